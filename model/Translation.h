#pragma once

// The one entry point for user-visible texts. Every text is an English
// message identifier; the window installs a translator (gettext, text domain
// "default") and the core only ever asks through tr(). xgettext extracts the
// identifiers with --keyword=tr --keyword=trFormat:1.

#include <initializer_list>
#include <string>

namespace talvoren {

using Translator = std::u16string (*)(const char* messageId);

// Installs the translator; nullptr restores the identity (English).
void setTranslator(Translator translator);

std::u16string tr(const char* messageId);

// tr() with each "%s" replaced in turn by the next argument.
std::u16string trFormat(const char* messageId, const std::u16string& arg1);
std::u16string trFormat(const char* messageId, const std::u16string& arg1, const std::u16string& arg2);

// The same substitution on an already translated text.
std::u16string formatText(const std::u16string& pattern, std::initializer_list<std::u16string> args);

} // namespace talvoren
