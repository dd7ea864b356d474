#pragma once

// The one entry point for user-visible texts. Every text is an English
// message identifier; the window installs a translator (gettext, text domain
// "default") and the core only ever asks through tr(). xgettext extracts the
// identifiers with every keyword listed in po/CMakeLists.txt.

#include <initializer_list>
#include <string>
#include <vector>

namespace talvoren {

using Translator = std::u16string (*)(const char* messageId);

// Installs the translator; nullptr restores the identity (English).
void setTranslator(Translator translator);

std::u16string tr(const char* messageId);

// tr() with each "%s" replaced in turn by the next argument.
std::u16string trFormat(const char* messageId, const std::u16string& arg1);
std::u16string trFormat(const char* messageId, const std::u16string& arg1, const std::u16string& arg2);

// Marks a message identifier kept in a table for translation later.
constexpr const char* trNoop(const char* messageId)
{
    return messageId;
}

// The English identifier of a text that tr() returned in the language
// active at the time, or an empty text for any other text; lets a window translate its
// captions again after a change of language.
std::u16string englishOf(const std::u16string& text);

struct TLanguage {
    const char* code;
    const char* name; // shown in the selector and stored in the settings
};
const std::vector<TLanguage>& LanguageTable();

// Reads the catalogues from `folder` (UTF-8): locale/<code>/LC_MESSAGES/default.mo.
void InitCatalogues(const std::string& folder);

// Makes `code` the language of every later tr(); a code without a
// catalogue gives the English originals.
void SelectLanguage(const std::string& code);
const std::string& SelectedLanguage();

// The same substitution on an already translated text.
std::u16string formatText(const std::u16string& pattern, std::initializer_list<std::u16string> args);

} // namespace talvoren
