#pragma once

// Accounts, access tokens and privileges on the Win32 security API.

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32Accounts : public IAccounts {
public:
    bool lookupSid(const std::u16string& sid, AccountInfo& out) override;
    std::u16string currentUserSid() override;
    bool enablePrivilege(const std::u16string& name) override;
};

} // namespace talvoren::platform::win32
