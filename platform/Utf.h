#pragma once

// Conversions between the UTF-16 strings of the program and the UTF-8 of
// host files, command lines and databases. Invalid sequences become U+FFFD.

#include <string>
#include <string_view>

namespace talvoren::platform {

std::string toUtf8(std::u16string_view text);
std::u16string fromUtf8(std::string_view text);

} // namespace talvoren::platform
