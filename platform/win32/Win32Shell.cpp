#include "platform/win32/Win32Shell.h"

#include "platform/win32/WideText.h"

#include <windows.h>
// shellapi.h needs the types of windows.h first.
#include <shellapi.h>

namespace talvoren::platform::win32 {

namespace {
// Return only once the start has been handed over (the process may end right
// after), and let the caller decide what to report.
constexpr ULONG kExecuteMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
static_assert(kExecuteMask == 0x500);
// The 32-bit layout the shell expects (cbSize 60).
static_assert(sizeof(void*) != 4 || sizeof(SHELLEXECUTEINFOW) == 60);
} // namespace

bool TWin32Shell::execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                          uintptr_t ownerWindow)
{
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = kExecuteMask;
    info.hwnd = reinterpret_cast<HWND>(ownerWindow);
    info.lpVerb = wideOrNull(verb);
    info.lpFile = wide(file);
    info.lpParameters = wideOrNull(parameters);
    info.lpDirectory = nullptr;
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

void TWin32Shell::messageBox(const std::u16string& title, const std::u16string& text)
{
    MessageBoxW(nullptr, wide(text), wide(title), MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
}

} // namespace talvoren::platform::win32
