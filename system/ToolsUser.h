#pragma once

// The accounts that have a profile on the machine, the account the program
// runs as, and loading a profile's registry hive.

#include <cstdint>
#include <string>
#include <vector>

namespace talvoren {

namespace platform {
class IPlatform;
}

class TETree;

struct UserInfo {
    std::u16string Name;
    std::u16string Domain;
    std::u16string Sid;
    uint32_t SidType = 0; // 1 = user
    std::u16string ProfileFolder; // references expanded
};

extern const char16_t kProfileListKey[]; // under HKEY_LOCAL_MACHINE

// Every profile whose SID is a user account, sorted by domain, then name
// (ASCII letters folded). A profile that cannot be read is skipped.
std::vector<UserInfo> GetUsers(platform::IPlatform& platform);

// Name, Domain and SidType of the account `sid`.
bool GetUserInfoFromSid(platform::IPlatform& platform, const std::u16string& sid, UserInfo& info);

// The same for the running account; also its Sid and ProfileFolder.
bool GetCurrentUserInfo(platform::IPlatform& platform, UserInfo& info);

// The read-only logon variables of an account that is not the running one
// (APPDATA, USERPROFILE, USERNAME...), as its first logon makes them from its
// profile, added to its user tree. The running account's come from this
// process's environment instead (TETree::AddReadOnlyVariables).
void AddAccountVariables(TETree& user, const UserInfo& account);

bool EnablePrivilege(platform::IPlatform& platform, const std::u16string& name);

// Enables the restore privilege and loads the account's hive file
// (ProfileFolder\ntuser.dat) under HKEY_USERS\<Sid>. A hive loaded once
// stays loaded. Returns the platform's error code (0 on success).
uint32_t LoadUserHive(platform::IPlatform& platform, const UserInfo& user);

} // namespace talvoren
