#include "platform/posix/CaseFold.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace talvoren::platform::posix {

namespace {
locale_t foldLocale()
{
    // C.UTF-8 gives the full Unicode case tables whatever the user's own
    // locale is; plain "C" (ASCII only) is the last resort.
    static locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
        if (l == static_cast<locale_t>(0)) {
            l = newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0));
        }
        return l;
    }();
    return locale;
}
} // namespace

std::u16string foldUpper(std::u16string_view text)
{
    const locale_t locale = foldLocale();
    std::u16string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        if (c < 0x80) {
            out += (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c;
            continue;
        }
        if (c >= 0xD800 && c <= 0xDFFF) {
            out += c; // surrogate halves have no case of their own
            continue;
        }
        const wint_t upper = towupper_l(static_cast<wint_t>(c), locale);
        out += upper <= 0xFFFF ? static_cast<char16_t>(upper) : c;
    }
    return out;
}

} // namespace talvoren::platform::posix
