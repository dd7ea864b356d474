#include "base/Text.h"

namespace talvoren {

namespace {
char16_t upperAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - (u'a' - u'A')) : c;
}
} // namespace

std::u16string asciiUpper(std::u16string_view text)
{
    std::u16string out(text);
    for (auto& c : out) {
        c = upperAscii(c);
    }
    return out;
}

int compareAsciiNoCase(std::u16string_view a, std::u16string_view b)
{
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const char16_t ca = upperAscii(a[i]);
        const char16_t cb = upperAscii(b[i]);
        if (ca != cb) {
            return ca < cb ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool equalsAsciiNoCase(std::u16string_view a, std::u16string_view b)
{
    return a.size() == b.size() && compareAsciiNoCase(a, b) == 0;
}

std::u16string u16(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace talvoren
