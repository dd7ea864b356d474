#include "base/Translation.h"

#include "platform/Intl.h"
#include "platform/Utf.h"

#include <unordered_map>

namespace talvoren {

namespace {
Translator gTranslator = nullptr;
bool gCatalogues = false;
std::string gLanguage = "en";
// Text shown -> English identifier, for the texts tr() handed out.
std::unordered_map<std::u16string, std::string>& shown()
{
    static std::unordered_map<std::u16string, std::string> map;
    return map;
}

std::u16string fromCatalogue(const char* messageId)
{
    return platform::fromUtf8(platform::lookUpCatalogue(messageId));
}
} // namespace

const std::vector<TLanguage>& LanguageTable()
{
    static const std::vector<TLanguage> table = {
        {"en", "English"},    {"ar", "Arabic"},
        {"ab", "Abkhazian"},  {"pt_br", "Brazilian Portuguese"},
        {"bg", "Bulgarian"},  {"zh", "Chinese (simplified)"},
        {"hr", "Croatian"},   {"cz", "Czech"},
        {"da", "Danish"},     {"nl", "Dutch"},
        {"fi", "Finnish"},    {"fr", "French"},
        {"de", "German"},     {"el", "Greek"},
        {"hu", "Hungarian"},  {"id", "Indonesian"},
        {"it", "Italian"},    {"ja", "Japanese"},
        {"ko", "Korean"},     {"lv", "Latvian"},
        {"lt", "Lithuanian"}, {"no", "Norwegian"},
        {"pl", "Polish"},     {"ro", "Romanian"},
        {"ru", "Russian"},    {"sk", "Slovak"},
        {"es", "Spanish"},    {"sv", "Swedish"},
        {"tr", "Turkish"},    {"uk", "Ukrainian"},
    };
    return table;
}

void InitCatalogues(const std::string& folder)
{
    platform::bindCatalogues(folder);
    gCatalogues = true;
    if (!gTranslator) {
        gTranslator = fromCatalogue;
    }
}

void SelectLanguage(const std::string& code)
{
    gLanguage = code;
    platform::selectCatalogueLanguage(code);
}

const std::string& SelectedLanguage()
{
    return gLanguage;
}

std::u16string englishOf(const std::u16string& text)
{
    const auto it = shown().find(text);
    return it == shown().end() ? std::u16string() : platform::fromUtf8(it->second);
}

void setTranslator(Translator translator)
{
    gTranslator = translator ? translator : (gCatalogues ? fromCatalogue : nullptr);
}

std::u16string tr(const char* messageId)
{
    if (!gTranslator) {
        return platform::fromUtf8(messageId);
    }
    std::u16string text = gTranslator(messageId);
    shown().emplace(text, messageId);
    return text;
}

std::u16string formatText(const std::u16string& pattern, std::initializer_list<std::u16string> args)
{
    std::u16string out;
    auto next = args.begin();
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == u'%' && i + 1 < pattern.size() && pattern[i + 1] == u's' && next != args.end()) {
            out += *next++;
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

std::u16string trFormat(const char* messageId, const std::u16string& arg1)
{
    return formatText(tr(messageId), {arg1});
}

std::u16string trFormat(const char* messageId, const std::u16string& arg1, const std::u16string& arg2)
{
    return formatText(tr(messageId), {arg1, arg2});
}

} // namespace talvoren
