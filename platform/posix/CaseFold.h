#pragma once

// Upper-case folding of UTF-16 text, one code unit at a time, as the
// Windows registry and file system compare names. The locale, the hive
// index and the drive map all fold through this one function, so that what
// one calls equal the others do too.

#include <string>
#include <string_view>

namespace talvoren::platform::posix {

std::u16string foldUpper(std::u16string_view text);

} // namespace talvoren::platform::posix
