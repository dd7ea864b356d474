#include "platform/posix/MachineAccounts.h"

#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"
#include "platform/posix/Hive.h"
#include "platform/posix/HiveWriter.h"
#include "platform/posix/MachineLayout.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PrefixSeeder.h"

#include <algorithm>

namespace talvoren::platform::posix {

namespace {
constexpr uint32_t kSidTypeUser = 1;
constexpr uint32_t kFirstUserRid = 1000;

// The relative id at the end of a SID ("S-1-5-21-a-b-c-1001" gives 1001).
uint32_t relativeId(const std::u16string& sid)
{
    const auto dash = sid.rfind(u'-');
    uint32_t rid = 0;
    for (size_t i = dash + 1; dash != std::u16string::npos && i < sid.size(); ++i) {
        if (sid[i] < u'0' || sid[i] > u'9') {
            return 0;
        }
        rid = rid * 10 + (sid[i] - u'0');
    }
    return rid;
}
} // namespace

std::optional<AccountInfo> findAccount(THive& machine, const std::u16string& sid)
{
    if (sid.empty() || sid.find(u'\\') != std::u16string::npos) {
        return std::nullopt;
    }
    const std::u16string key = std::u16string(layout::kAccountsKey) + u"\\" + sid;
    const auto name = readHiveText(machine, key, u"Name");
    if (!name) {
        return std::nullopt;
    }
    AccountInfo info;
    info.name = *name;
    info.domain = readHiveText(machine, key, u"Domain").value_or(u"");
    info.sidType = readHiveDword(machine, key, u"SidType").value_or(0);
    return info;
}

std::vector<TAccountRecord> listAccounts(THive& machine)
{
    std::vector<TAccountRecord> accounts;
    int64_t id = 0;
    std::vector<std::u16string> sids;
    if (machine.findKey(splitKeyPath(layout::kAccountsKey), id) != 0 || machine.subKeyNames(id, sids) != 0) {
        return accounts;
    }
    for (const auto& sid : sids) {
        if (auto info = findAccount(machine, sid)) {
            accounts.push_back({sid, *info});
        }
    }
    return accounts;
}

std::optional<TAccountRecord> logonAccount(THive& machine, const std::filesystem::path& driveC,
                                           const std::u16string& login)
{
    const std::u16string folded = foldUpper(login);
    std::optional<TAccountRecord> firstUser;
    uint32_t highestRid = kFirstUserRid;
    const auto scan = [&]() -> std::optional<TAccountRecord> {
        firstUser.reset();
        highestRid = kFirstUserRid;
        for (const auto& account : listAccounts(machine)) {
            const uint32_t rid = relativeId(account.sid);
            if (account.info.sidType != kSidTypeUser || rid < kFirstUserRid) {
                continue;
            }
            if (foldUpper(account.info.name) == folded) {
                return account;
            }
            highestRid = std::max(highestRid, rid);
            if (!firstUser || rid < relativeId(firstUser->sid)) {
                firstUser = account;
            }
        }
        return std::nullopt;
    };
    if (auto found = scan()) {
        return found;
    }
    const auto machineSid = readHiveText(machine, layout::kAccountsKey, u"MachineSid");
    if (!machine.writable() || !machineSid || machine.begin() != 0) {
        return firstUser;
    }
    // Another process may have added the account while this one looked.
    if (auto found = scan()) {
        machine.rollback();
        return found;
    }
    const std::u16string domain = readHiveText(machine, layout::kComputerNameKey, u"ComputerName").value_or(u"");
    const std::u16string sid = *machineSid + u"-" + fromUtf8(std::to_string(highestRid + 1));
    try {
        TPrefixSeeder::addUser(machine, driveC, login, domain, sid);
    } catch (...) {
        machine.rollback();
        return firstUser;
    }
    if (machine.commit() != 0) {
        machine.rollback();
        return firstUser;
    }
    return TAccountRecord{sid, AccountInfo{login, domain, kSidTypeUser}};
}

} // namespace talvoren::platform::posix
