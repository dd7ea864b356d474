#include "platform/Utf.h"
#include "platform/win32/WideText.h"
#include "tests/support/HostProcess.h"

#include <cstdio>
#include <cstdlib>
#include <vector>
#include <windows.h>

namespace talvoren::test {

using platform::fromUtf8;
using platform::toUtf8;
using platform::win32::fromWide;
using platform::win32::wide;

void setHostVariable(const std::string& name, const std::optional<std::string>& value)
{
    // An empty value removes the variable: Windows has no empty variables.
    const std::u16string wideName = fromUtf8(name);
    const std::u16string wideValue = value ? fromUtf8(*value) : std::u16string{};
    _wputenv_s(wide(wideName), wide(wideValue));
}

namespace {

// Console programs (reg.exe, cmd's own commands) write in the OEM code page
// when their output is a pipe; the callers read UTF-8, as on the host.
std::string oemToUtf8(const std::string& bytes)
{
    if (bytes.empty()) {
        return bytes;
    }
    const int length = MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) {
        return bytes;
    }
    std::vector<wchar_t> text(length);
    MultiByteToWideChar(CP_OEMCP, 0, bytes.data(), static_cast<int>(bytes.size()), text.data(), length);
    return toUtf8(fromWide(text.data(), text.size()));
}

} // namespace

ProcessResult runProcess(const std::string& commandLine)
{
    ProcessResult result;
    // Given to "cmd /c" as it stands: the caller quotes for cmd.
    const std::u16string command = fromUtf8(commandLine);
    std::fflush(nullptr);
    FILE* pipe = _wpopen(wide(command), L"rt");
    if (!pipe) {
        return result;
    }
    std::string output;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        output.append(buffer, n);
    }
    result.exitCode = _pclose(pipe);
    result.output = oemToUtf8(output);
    return result;
}

} // namespace talvoren::test
