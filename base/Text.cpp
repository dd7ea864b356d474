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

bool isBlank(char16_t c)
{
    if (c <= u' ') {
        return true;
    }
    switch (c) {
    case u'\u0085':
    case u'\u00A0':
    case u'\u1680':
    case u'\u2028':
    case u'\u2029':
    case u'\u202F':
    case u'\u205F':
    case u'\u3000':
    case u'\uFEFF':
        return true;
    default:
        return c >= u'\u2000' && c <= u'\u200B';
    }
}

std::u16string trimBlanks(std::u16string_view text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && isBlank(text[end - 1])) {
        --end;
    }
    return std::u16string(text.substr(begin, end - begin));
}

std::u16string u16(std::string_view ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}

int hexDigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9') {
        return c - u'0';
    }
    if (c >= u'a' && c <= u'f') {
        return c - u'a' + 10;
    }
    if (c >= u'A' && c <= u'F') {
        return c - u'A' + 10;
    }
    return -1;
}

} // namespace talvoren
