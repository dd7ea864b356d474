#include "platform/win32/Win32System.h"

#include "platform/CommandLineSplitter.h"
#include "platform/StandardError.h"
#include "platform/win32/WideText.h"

#include <vector>
#include <windows.h>

namespace talvoren::platform::win32 {

uintptr_t TWin32System::broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs)
{
    DWORD_PTR result = 0;
    const LRESULT sent = SendMessageTimeoutW(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(wide(area)),
                                             flags, timeoutMs, &result);
    return static_cast<uintptr_t>(sent);
}

bool TWin32System::isWow64Process(uint32_t* lastError)
{
    if (!fWow64Probed) {
        fWow64 = queryWow64(L"kernel32.dll", "IsWow64Process", fWow64Error);
        fWow64Probed = true;
    }
    if (fWow64Error != error::kSuccess) {
        SetLastError(fWow64Error);
    }
    if (lastError) {
        *lastError = fWow64Error;
    }
    return fWow64;
}

std::u16string TWin32System::executablePath()
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return {};
        }
        if (length < buffer.size()) {
            return fromWide(buffer.data(), length);
        }
        // Truncated: long paths ("\\?\" form) may exceed MAX_PATH.
        if (buffer.size() >= 32768) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::vector<uint16_t> TWin32System::executableVersion()
{
    auto version = fileVersion(executablePath());
    if (version.empty()) {
        version.assign(4, 0); // no resource: a version every caller can still print
    }
    return version;
}

std::vector<std::u16string> TWin32System::arguments(int, char**)
{
    // main()'s argv is in the ANSI code page; the command line itself keeps
    // every character.
    auto args = splitCommandLine(fromWide(GetCommandLineW()));
    if (!args.empty()) {
        args.erase(args.begin());
    }
    return args;
}

bool queryWow64(const wchar_t* moduleName, const char* functionName, uint32_t& lastError)
{
    // Looked up at run time: the function is missing from the oldest 32-bit
    // systems, where the answer is no anyway.
    using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
    HMODULE module = GetModuleHandleW(moduleName);
    auto probe = module
        ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(module, functionName)))
        : nullptr;
    if (!probe) {
        lastError = ERROR_NOT_SUPPORTED;
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    BOOL wow64 = FALSE;
    if (!probe(GetCurrentProcess(), &wow64)) {
        lastError = GetLastError();
        return false;
    }
    lastError = error::kSuccess;
    return wow64 != FALSE;
}

std::vector<uint16_t> fileVersion(const std::u16string& path)
{
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(wide(path), &handle);
    if (size == 0) {
        return {};
    }
    std::vector<uint8_t> block(size);
    if (!GetFileVersionInfoW(wide(path), 0, size, block.data())) {
        return {};
    }
    VS_FIXEDFILEINFO* info = nullptr;
    UINT infoSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoSize) || !info
        || infoSize < sizeof(VS_FIXEDFILEINFO) || info->dwSignature != VS_FFI_SIGNATURE) {
        return {};
    }
    return {HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS), HIWORD(info->dwFileVersionLS),
            LOWORD(info->dwFileVersionLS)};
}

namespace {

bool writeStandard(DWORD which, const std::u16string& text)
{
    std::u16string lines;
    for (char16_t c : text) {
        if (c == u'\n') {
            lines += u'\r';
        }
        lines += c;
    }
    // A window program has standard handles only when its caller redirected
    // them; started from a console it writes to that console.
    HANDLE out = GetStdHandle(which);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
            return false;
        }
        out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            return false;
        }
    }
    DWORD mode = 0;
    if (GetConsoleMode(out, &mode)) {
        DWORD written = 0;
        return WriteConsoleW(out, lines.data(), static_cast<DWORD>(lines.size()), &written, nullptr) != 0;
    }
    // A file or a pipe gets the text in UTF-8, which every reader of today takes.
    const int size
        = WideCharToMultiByte(CP_UTF8, 0, wide(lines), static_cast<int>(lines.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide(lines), static_cast<int>(lines.size()), bytes.data(), size, nullptr, nullptr);
    DWORD written = 0;
    return WriteFile(out, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
}

} // namespace

bool TWin32System::writeOutput(const std::u16string& text)
{
    return writeStandard(STD_OUTPUT_HANDLE, text);
}

} // namespace talvoren::platform::win32

namespace talvoren::platform {

bool writeStandardError(const std::u16string& text)
{
    return win32::writeStandard(STD_ERROR_HANDLE, text);
}

} // namespace talvoren::platform
