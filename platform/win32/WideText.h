#pragma once

// Bridges the program's UTF-16 strings and the Win32 wide-character API.
// wchar_t is a 16-bit UTF-16 code unit on Windows, so no conversion is done:
// only the pointer type changes.

#include <string>
#include <string_view>

namespace talvoren::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t must be UTF-16 on Windows");

// Null-terminated wide view of `text` (valid while `text` lives).
const wchar_t* wide(const std::u16string& text);

// nullptr for the empty text: several calls take "no value" that way.
const wchar_t* wideOrNull(const std::u16string& text);

// A copy of a wide string, up to its terminating null.
std::u16string fromWide(const wchar_t* text);

// A copy of `length` wide characters.
std::u16string fromWide(const wchar_t* text, size_t length);

// A copy of a wide buffer up to its first null, at most `length` characters.
std::u16string fromWideBuffer(const wchar_t* text, size_t length);

} // namespace talvoren::platform::win32
