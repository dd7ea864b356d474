#pragma once

// Accounts of the emulated machine, looked up in its machine hive. The
// running process is an administrator exactly when it may write that hive.

#include "platform/Platform.h"

namespace talvoren::platform::posix {

class TPosixRegistry;

class TPosixAccounts : public IAccounts {
public:
    TPosixAccounts(TPosixRegistry& registry, std::u16string currentSid);

    bool lookupSid(const std::u16string& sid, AccountInfo& out) override;
    std::u16string currentUserSid() override;
    bool enablePrivilege(const std::u16string& name) override;

private:
    TPosixRegistry& fRegistry;
    std::u16string fCurrentSid;
};

} // namespace talvoren::platform::posix
