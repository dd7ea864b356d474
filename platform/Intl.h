#pragma once

// The message-catalogue library (GNU gettext / libintl) behind the
// translation layer: where the catalogues are, which language is active.

#include <string>

namespace talvoren::platform {

// Binds the text domain "default" to `folder` (UTF-8), with UTF-8 output.
void bindCatalogues(const std::string& folder);

// Makes `code` the catalogue language for every later look-up.
void selectCatalogueLanguage(const std::string& code);

// The active catalogue's text for `messageId`, or messageId itself.
const char* lookUpCatalogue(const char* messageId);

} // namespace talvoren::platform
