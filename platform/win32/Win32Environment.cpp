#include "platform/win32/Win32Environment.h"

#include "platform/win32/WideText.h"

#include <vector>
#include <windows.h>

namespace talvoren::platform::win32 {

std::u16string TWin32Environment::variable(const std::u16string& name)
{
    if (name.empty()) {
        return {};
    }
    DWORD size = GetEnvironmentVariableW(wide(name), nullptr, 0);
    // Another thread may lengthen the variable between the two calls.
    while (size != 0) {
        std::vector<wchar_t> buffer(size);
        const DWORD length = GetEnvironmentVariableW(wide(name), buffer.data(), size);
        if (length < size) {
            return fromWide(buffer.data(), length);
        }
        size = length;
    }
    return {};
}

std::u16string TWin32Environment::expand(const std::u16string& text)
{
    if (text.empty()) {
        return {};
    }
    DWORD size = ExpandEnvironmentStringsW(wide(text), nullptr, 0);
    while (size != 0) {
        std::vector<wchar_t> buffer(size);
        const DWORD needed = ExpandEnvironmentStringsW(wide(text), buffer.data(), size);
        if (needed == 0) {
            break;
        }
        if (needed <= size) {
            return fromWideBuffer(buffer.data(), needed);
        }
        size = needed;
    }
    return text; // the expansion failed: the text stays as it was
}

} // namespace talvoren::platform::win32
