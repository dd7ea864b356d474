#include "platform/win32/WideText.h"

#include <cwchar>

namespace talvoren::platform::win32 {

const wchar_t* wide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

const wchar_t* wideOrNull(const std::u16string& text)
{
    return text.empty() ? nullptr : wide(text);
}

std::u16string fromWide(const wchar_t* text)
{
    return text ? fromWide(text, std::wcslen(text)) : std::u16string{};
}

std::u16string fromWide(const wchar_t* text, size_t length)
{
    return std::u16string(reinterpret_cast<const char16_t*>(text), length);
}

std::u16string fromWideBuffer(const wchar_t* text, size_t length)
{
    size_t n = 0;
    while (n < length && text[n] != 0) {
        ++n;
    }
    return fromWide(text, n);
}

} // namespace talvoren::platform::win32
