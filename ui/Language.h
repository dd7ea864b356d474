#pragma once

// The window side of languages and skins: translating a window's captions
// again after a change of language, Qt's own texts, and the skin manager.

#include <QColor>
#include <QStringList>
#include <initializer_list>
#include <string>
#include <vector>

class QWidget;

namespace talvoren {

// The folder "locale" beside the executable, unless another was chosen
// (tests read the build's catalogues).
std::string CatalogueFolder();
void UseCatalogueFolder(const std::string& folder);

// A language the selector offers: its catalogue code and its name in its
// own language ("Deutsch").
struct TInterfaceLanguage {
    std::string code;
    QString name;
};
// English first, then every language with a catalogue in CatalogueFolder(),
// by code; a catalogue added later is offered without further change.
std::vector<TInterfaceLanguage> AvailableLanguages();
// The language's name in its own language, from Qt's locale data.
QString NativeLanguageName(const std::string& code);
// What the setting `language` holds for `code`: the English name of the
// language table (older settings hold it too), or the code itself.
std::u16string LanguageSettingOf(const std::string& code);
// The index in `languages` that the setting names (the English name, the
// own name or the code); 0, English, when none does.
size_t LanguageIndexOfSetting(const std::vector<TInterfaceLanguage>& languages, const std::u16string& setting);

// Selects `code` for the program's catalogues and for Qt's own texts.
void SelectInterfaceLanguage(const std::string& code);

// Sets every caption, hint and title of `window` and its children to the
// translation, in the active language, of the English text it shows.
void RetranslateWindow(QWidget* window);
// One such text; any other text is returned unchanged.
QString RetranslatedText(const QString& shown);

// "Default" first, then Qt's styles and our own palettes in ascending order.
QStringList SkinNames();
// The skin's style and palette, every text role of which stands out from
// its background by at least 4.5:1. An unknown name leaves the look as it is.
void ApplySkin(const QString& name);

// The WCAG contrast ratio of two colours (1 to 21).
double ContrastRatio(const QColor& a, const QColor& b);
// `colour`, darkened on light backgrounds or lightened on dark ones until
// it is readable on each of `backgrounds`.
QColor ReadableOn(const QColor& colour, const std::initializer_list<QColor>& backgrounds);

} // namespace talvoren
