#pragma once

// Conversions between the UTF-16 strings of the program and the UTF-8 of
// host files, command lines and databases. Invalid sequences become U+FFFD.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace talvoren::platform {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);
// The same, but each byte that is not part of valid UTF-8 becomes the lone
// surrogate U+DC00 + byte: different bytes stay different texts, and
// isValidUtf16 tells that the input was not text.
std::u16string fromUtf8KeepingInvalid(std::string_view text);
// False when the text holds a surrogate without its partner.
bool isValidUtf16(std::u16string_view text);
// Strict UTF-8: no overlong forms, no surrogates, nothing beyond U+10FFFF.
// Tells a file in a single-byte code page from one in UTF-8.
bool isValidUtf8(std::string_view text);

// UTF-16 little-endian, the byte order of registry data and Windows text files.
void appendUtf16Le(std::vector<uint8_t>& bytes, std::u16string_view text);
// Registry string data: the text and its terminating null.
void appendRegString(std::vector<uint8_t>& bytes, std::u16string_view text);
// The text of UTF-16LE bytes from `offset`, up to the first null when
// `stopAtNull`; an odd last byte is dropped.
std::u16string fromUtf16Le(const std::vector<uint8_t>& bytes, size_t offset = 0, bool stopAtNull = true);

} // namespace talvoren::platform
