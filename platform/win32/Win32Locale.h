#pragma once

// Text comparison under the user's locale (the NLS API).

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32Locale : public ILocale {
public:
    int compareNoCase(const std::u16string& a, const std::u16string& b) override;
    std::u16string foldCase(const std::u16string& text) override;
    bool toAnsi(const std::u16string& text, std::string& bytes) override;
    std::u16string fromAnsi(const std::string& bytes) override;
};

} // namespace talvoren::platform::win32
