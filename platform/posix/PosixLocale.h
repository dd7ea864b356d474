#pragma once

// Text comparison of the emulated machine: names compared after folding to
// upper case with the full Unicode case tables, code unit by code unit.

#include "platform/Platform.h"

namespace talvoren::platform::posix {

class TPosixLocale : public ILocale {
public:
    int compareNoCase(const std::u16string& a, const std::u16string& b) override;
    std::u16string foldCase(const std::u16string& text) override;
};

} // namespace talvoren::platform::posix
