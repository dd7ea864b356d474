#pragma once

// Window messages and facts of the running process on the Win32 API.

#include "platform/Platform.h"

namespace talvoren::platform::win32 {

class TWin32System : public ISystem {
public:
    uintptr_t broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs) override;
    bool isWow64Process(uint32_t* lastError = nullptr) override;
    std::u16string executablePath() override;
    std::vector<uint16_t> executableVersion() override;
    std::vector<std::u16string> arguments(int argc, char** argv) override;
    bool writeOutput(const std::u16string& text) override;

private:
    bool fWow64Probed = false;
    bool fWow64 = false;
    uint32_t fWow64Error = error::kSuccess;
};

// Asks `functionName` of `moduleName` (an IsWow64Process) whether this
// process runs under WOW64. A missing module or function answers false with
// ERROR_NOT_SUPPORTED in `lastError` and in the thread's last-error code; a
// failing call answers false with its error.
bool queryWow64(const wchar_t* moduleName, const char* functionName, uint32_t& lastError);

// The fixed file version of a module file: major, minor, release, build;
// empty when the file has no version resource.
std::vector<uint16_t> fileVersion(const std::u16string& path);

} // namespace talvoren::platform::win32
