#pragma once

// What the update check needs from the main window, which implements it:
// the status field, the error notice, the close query, the shell and the
// end of the program.

#include <string>

class QWidget;

namespace talvoren {

// Images of the status field for the check.
enum TUpdateStatusImage : int {
    usNone = -1,
    usChecking = 5,
    usUpToDate = 6,
    usError = 7,
};

class IUpdateHost {
public:
    virtual ~IUpdateHost() = default;

    // The window the update dialogs are shown over.
    virtual QWidget* UpdateOwner() = 0;
    // The fourth status field: `image` and the translation of the English
    // `text` (empty clears it); the translation of the English `reason`,
    // when there is one, joins the text in the field's hint.
    virtual void SetUpdateStatus(int image, const std::u16string& text, const std::u16string& reason = {}) = 0;
    // An error notice with the (translated) `text`.
    virtual void ShowUpdateError(const std::u16string& text) = 0;
    // The main window's close query: the exit question, the question about
    // unsaved changes and, when the window may close, the settings saved.
    virtual bool UpdateCloseQuery() = 0;
    // Starts `file` with the shell's `verb` over the main window; true when
    // the start was handed over (false also when the user declined the
    // elevation).
    virtual bool UpdateShellExecute(const std::u16string& verb, const std::u16string& file) = 0;
    // Ends the program without further questions.
    virtual void UpdateEndApplication() = 0;
};

} // namespace talvoren
