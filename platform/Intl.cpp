#include "platform/Intl.h"

#include "platform/Utf.h"

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
    const std::u16string text = fromUtf8(folder);
    const std::wstring wide(text.begin(), text.end()); // wchar_t is UTF-16 there
    wbindtextdomain(kDomain, wide.c_str());
#else
    bindtextdomain(kDomain, folder.c_str());
#endif
    bind_textdomain_codeset(kDomain, "UTF-8");
}

void selectCatalogueLanguage(const std::string& code)
{
#ifdef _WIN32
    // GNU libintl passes over LANGUAGE while the locale named by the first
    // of LC_ALL, LC_MESSAGES and LANG that is set is "C", as a Unix-like
    // shell may leave it; the program's own choice of language wins. Only
    // a "C" is replaced, and the programs started from here inherit it.
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) {
            if (std::strcmp(value, "C") == 0) {
                _putenv_s(name, "en_US");
            }
            break;
        }
    }
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
