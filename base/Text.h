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

// Whether `c` is white space: the ASCII blanks and controls up to U+0020 and
// the Unicode spaces (no-break, the typographic spaces, ideographic space,
// the byte-order mark), which a paste or an input method leaves unseen.
bool isBlank(char16_t c);

// `text` without the blanks at its start and end.
std::u16string trimBlanks(std::u16string_view text);

// Plain conversion for ASCII literals and test output.
std::u16string u16(std::string_view ascii);

// The value of a hexadecimal digit (either case), or -1.
int hexDigitValue(char16_t c);

} // namespace talvoren
