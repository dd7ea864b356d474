#include "platform/win32/Win32Locale.h"

#include "platform/win32/WideText.h"

#include <vector>
#include <windows.h>

namespace talvoren::platform::win32 {

int TWin32Locale::compareNoCase(const std::u16string& a, const std::u16string& b)
{
    const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, wide(a), static_cast<int>(a.size()),
                                      wide(b), static_cast<int>(b.size()));
    if (result == 0) {
        // Not comparable under the locale (invalid parameters): fall back to
        // the upper-cased texts, so the order is still total.
        const std::u16string ua = foldCase(a);
        const std::u16string ub = foldCase(b);
        return ua < ub ? -1 : (ua == ub ? 0 : 1);
    }
    return result - CSTR_EQUAL;
}

std::u16string TWin32Locale::foldCase(const std::u16string& text)
{
    if (text.empty()) {
        return {}; // LCMapString rejects an empty source
    }
    const int length = static_cast<int>(text.size());
    const int size = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, wide(text), length, nullptr, 0);
    if (size <= 0) {
        return text;
    }
    std::vector<wchar_t> buffer(size);
    const int written = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_UPPERCASE, wide(text), length, buffer.data(), size);
    return written > 0 ? fromWide(buffer.data(), written) : text;
}

bool TWin32Locale::toAnsi(const std::u16string& text, std::string& bytes)
{
    bytes.clear();
    if (text.empty()) {
        return true;
    }
    // UTF-8 as the ANSI code page carries every character and takes no
    // default-character flags.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(CP_ACP, flags, wide(text), length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return false;
    }
    bytes.resize(size);
    WideCharToMultiByte(CP_ACP, flags, wide(text), length, bytes.data(), size, nullptr, utf8 ? nullptr : &usedDefault);
    return !usedDefault;
}

std::u16string TWin32Locale::fromAnsi(const std::string& bytes)
{
    if (bytes.empty()) {
        return {};
    }
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (size <= 0) {
        return ILocale::fromAnsi(bytes);
    }
    std::vector<wchar_t> buffer(size);
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, buffer.data(), size);
    return fromWide(buffer.data(), size);
}

} // namespace talvoren::platform::win32
