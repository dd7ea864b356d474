#include "platform/Intl.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <libintl.h>

// Bumped to make the library forget the translations it has cached; glibc
// and GNU libintl both export it.
extern "C" int _nl_msg_cat_cntr;

namespace talvoren::platform {

namespace {
constexpr const char* kDomain = "default";
}

void bindCatalogues(const std::string& folder)
{
#ifdef _WIN32
    // libintl takes the active code page for narrow paths; the folder is
    // UTF-8, so the wide entry point is the safe one.
    std::wstring wide;
    for (size_t i = 0; i < folder.size();) {
        unsigned char c = folder[i];
        char32_t cp;
        int n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (int k = 1; k < n && i + k < folder.size(); ++k) {
            cp = (cp << 6) | (folder[i + k] & 0x3F);
        }
        i += n;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            wide += wchar_t(0xD800 + (cp >> 10));
            wide += wchar_t(0xDC00 + (cp & 0x3FF));
        } else {
            wide += wchar_t(cp);
        }
    }
    wbindtextdomain(kDomain, wide.c_str());
#else
    bindtextdomain(kDomain, folder.c_str());
#endif
    bind_textdomain_codeset(kDomain, "UTF-8");
}

void selectCatalogueLanguage(const std::string& code)
{
#ifdef _WIN32
    _putenv_s("LANGUAGE", code.c_str());
#else
    // glibc ignores LANGUAGE while the messages locale is "C".
    const char* current = std::setlocale(LC_MESSAGES, nullptr);
    if (!current || std::strcmp(current, "C") == 0 || std::strcmp(current, "POSIX") == 0) {
        if (!std::setlocale(LC_MESSAGES, "C.UTF-8")) {
            std::setlocale(LC_MESSAGES, "en_US.UTF-8");
        }
    }
    setenv("LANGUAGE", code.c_str(), 1);
#endif
    ++_nl_msg_cat_cntr;
}

const char* lookUpCatalogue(const char* messageId)
{
    if (!messageId || !*messageId) {
        return messageId ? messageId : "";
    }
    return dgettext(kDomain, messageId);
}

} // namespace talvoren::platform
