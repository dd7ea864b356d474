#include "platform/posix/PosixAccounts.h"

#include "platform/posix/Hive.h"
#include "platform/posix/MachineAccounts.h"
#include "platform/posix/PosixRegistry.h"

namespace talvoren::platform::posix {

TPosixAccounts::TPosixAccounts(TPosixRegistry& registry, std::u16string currentSid)
    : fRegistry(registry)
    , fCurrentSid(std::move(currentSid))
{
}

bool TPosixAccounts::lookupSid(const std::u16string& sid, AccountInfo& out)
{
    std::shared_ptr<THive> machine;
    if (fRegistry.machineHive(machine) != error::kSuccess) {
        return false;
    }
    const auto info = findAccount(*machine, sid);
    if (!info) {
        return false;
    }
    out = *info;
    return true;
}

std::u16string TPosixAccounts::currentUserSid()
{
    return fCurrentSid;
}

bool TPosixAccounts::enablePrivilege(const std::u16string& name)
{
    return !name.empty() && fRegistry.machineWritable();
}

} // namespace talvoren::platform::posix
