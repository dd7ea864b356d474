#pragma once

// ASCII character classes of Windows path syntax ("C:"), which every layer
// from the emulated drives to the value helpers reads the same way.

#include <string_view>

namespace talvoren::platform {

constexpr bool isAsciiLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

// Whether `text` begins with `lowerPrefix` (lower-case ASCII), in any case:
// URL schemes ("https://") are compared this way.
constexpr bool startsWithAsciiNoCase(std::u16string_view text, std::u16string_view lowerPrefix)
{
    if (text.size() < lowerPrefix.size()) {
        return false;
    }
    for (size_t i = 0; i < lowerPrefix.size(); ++i) {
        const char16_t c = text[i] >= u'A' && text[i] <= u'Z' ? char16_t(text[i] - u'A' + u'a') : text[i];
        if (c != lowerPrefix[i]) {
            return false;
        }
    }
    return true;
}

} // namespace talvoren::platform
