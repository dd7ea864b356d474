#include "system/ToolsUser.h"

#include "model/ETree.h"
#include "model/NodeInfo.h"
#include "platform/Platform.h"
#include "platform/Utf.h"

#include <algorithm>
#include <memory>

namespace talvoren {

const char16_t kProfileListKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";

namespace {

std::u16string foldAscii(std::u16string text)
{
    for (char16_t& c : text) {
        if (c >= u'a' && c <= u'z') {
            c = static_cast<char16_t>(c - u'a' + u'A');
        }
    }
    return text;
}

std::u16string profileFolder(platform::IPlatform& platform, const std::u16string& sid)
{
    std::unique_ptr<platform::IRegistryKey> key;
    if (platform.registry().openKey(platform::RootKey::LocalMachine, std::u16string(kProfileListKey) + u"\\" + sid,
                                    platform::access::kRead, false, key)
        != platform::error::kSuccess) {
        return {};
    }
    platform::RegValue value;
    if (key->queryValue(u"ProfileImagePath", value) != platform::error::kSuccess) {
        return {};
    }
    const std::u16string text = platform::fromUtf16Le(value.data);
    if (value.type == platform::regtype::kSz) {
        return text;
    }
    if (value.type == platform::regtype::kExpandSz) {
        return platform.environment().expand(text);
    }
    return {};
}

} // namespace

bool GetUserInfoFromSid(platform::IPlatform& platform, const std::u16string& sid, UserInfo& info)
{
    platform::AccountInfo account;
    if (!platform.accounts().lookupSid(sid, account)) {
        return false;
    }
    info.Name = account.name;
    info.Domain = account.domain;
    info.SidType = account.sidType;
    return true;
}

bool GetCurrentUserInfo(platform::IPlatform& platform, UserInfo& info)
{
    const std::u16string sid = platform.accounts().currentUserSid();
    if (sid.empty() || !GetUserInfoFromSid(platform, sid, info)) {
        return false;
    }
    info.Sid = sid;
    info.ProfileFolder = profileFolder(platform, sid);
    return true;
}

std::vector<UserInfo> GetUsers(platform::IPlatform& platform)
{
    std::vector<UserInfo> users;
    std::vector<std::u16string> sids;
    {
        std::unique_ptr<platform::IRegistryKey> list;
        if (platform.registry().openKey(platform::RootKey::LocalMachine, kProfileListKey, platform::access::kRead,
                                        false, list)
            != platform::error::kSuccess) {
            return users;
        }
        sids = list->subKeyNames();
    }
    for (const std::u16string& sid : sids) {
        UserInfo info;
        if (!GetUserInfoFromSid(platform, sid, info) || info.SidType != 1) {
            continue; // service accounts, groups, deleted accounts
        }
        info.Sid = sid;
        info.ProfileFolder = profileFolder(platform, sid);
        users.push_back(std::move(info));
    }
    std::stable_sort(users.begin(), users.end(), [](const UserInfo& a, const UserInfo& b) {
        if (a.Domain != b.Domain) {
            return foldAscii(a.Domain) < foldAscii(b.Domain);
        }
        return foldAscii(a.Name) < foldAscii(b.Name);
    });
    return users;
}

bool EnablePrivilege(platform::IPlatform& platform, const std::u16string& name)
{
    return platform.accounts().enablePrivilege(name);
}

uint32_t LoadUserHive(platform::IPlatform& platform, const UserInfo& user)
{
    EnablePrivilege(platform, u"SeRestorePrivilege"); // a refused load tells
    return platform.registry().loadHive(user.Sid, user.ProfileFolder + u"\\ntuser.dat");
}

// The logon variables of an account that is not the running one, from its
// profile as a first logon makes them. What belongs to the logon session
// (LOGONSERVER, SESSIONNAME) stays this session's: that account has none to
// ask.
void AddAccountVariables(TETree& user, const UserInfo& account)
{
    const std::u16string& profile = account.ProfileFolder;
    const bool drive = profile.size() >= 2 && profile[1] == u':';
    const std::pair<const char16_t*, std::u16string> values[] = {
        {u"APPDATA", profile + u"\\AppData\\Roaming"},
        {u"HOMEDRIVE", drive ? profile.substr(0, 2) : std::u16string()},
        {u"HOMEPATH", drive ? profile.substr(2) : std::u16string()},
        {u"LOCALAPPDATA", profile + u"\\AppData\\Local"},
        {u"USERDOMAIN", account.Domain},
        {u"USERNAME", account.Name},
        {u"USERPROFILE", profile},
    };
    for (const auto& [name, value] : values) {
        if (!value.empty()) {
            user.AddVariable(name, value, kDataTypeString, true);
        }
    }
}

} // namespace talvoren
