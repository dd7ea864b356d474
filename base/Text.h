#pragma once

// Small text helpers of the core: the ASCII-only case folding that the tree
// order, exclusion keys, options and element removal use, and UTF-16 literals.

#include <string>
#include <string_view>

namespace talvoren {

// Upper-cases the ASCII letters a-z only; every other code unit stays.
std::u16string asciiUpper(std::u16string_view text);

// Compares with ASCII letters folded to upper case, then by code unit;
// a prefix sorts first. Returns <0, 0, >0.
int compareAsciiNoCase(std::u16string_view a, std::u16string_view b);

bool equalsAsciiNoCase(std::u16string_view a, std::u16string_view b);

// Plain conversion for ASCII literals and test output.
std::u16string u16(std::string_view ascii);

} // namespace talvoren
