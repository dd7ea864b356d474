#pragma once

// The running process's environment block on the Win32 API.

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32Environment : public IProcessEnvironment {
public:
    std::u16string variable(const std::u16string& name) override;
    std::u16string expand(const std::u16string& text) override;
};

} // namespace talvoren::platform::win32
