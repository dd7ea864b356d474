#pragma once

// The accounts of the emulated machine, as seeding records them in the
// machine hive, and the account that the running Unix login is.

#include "platform/Platform.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace talvoren::platform::posix {

class THive;

struct TAccountRecord {
    std::u16string sid;
    AccountInfo info;
};

std::optional<AccountInfo> findAccount(THive& machine, const std::u16string& sid);
std::vector<TAccountRecord> listAccounts(THive& machine);

// The user account named `login`. A login the machine does not know yet
// gets an account and a profile, as on a first logon, when the machine hive
// can be written; otherwise the first user account stands in.
std::optional<TAccountRecord> logonAccount(THive& machine, const std::filesystem::path& driveC,
                                           const std::u16string& login);

} // namespace talvoren::platform::posix
