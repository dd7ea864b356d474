#pragma once

// The window side of languages and skins: translating a window's captions
// again after a change of language, Qt's own texts, and the skin manager.

#include <QStringList>
#include <string>

class QWidget;

namespace talvoren {

// The folder "locale" beside the executable, unless another was chosen
// (tests read the build's catalogues).
std::string CatalogueFolder();
void UseCatalogueFolder(const std::string& folder);

// Selects `code` for the program's catalogues and for Qt's own texts.
void SelectInterfaceLanguage(const std::string& code);

// Sets every caption, hint and title of `window` and its children to the
// translation, in the active language, of the English text it shows.
void RetranslateWindow(QWidget* window);
// One such text; any other text is returned unchanged.
QString RetranslatedText(const QString& shown);

// "Default" first, then the styles and style sheets in ascending order.
QStringList SkinNames();
// An unknown name leaves the look as it is.
void ApplySkin(const QString& name);

} // namespace talvoren
