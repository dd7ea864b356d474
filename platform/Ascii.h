#pragma once

// ASCII character classes of Windows path syntax ("C:"), which every layer
// from the emulated drives to the value helpers reads the same way.

namespace talvoren::platform {

constexpr bool isAsciiLetter(char16_t c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

} // namespace talvoren::platform
