#pragma once

// The shell's execution and the system message box.

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32Shell : public IShell {
public:
    bool execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                 uintptr_t ownerWindow) override;
    void messageBox(const std::u16string& title, const std::u16string& text) override;
};

} // namespace talvoren::platform::win32
