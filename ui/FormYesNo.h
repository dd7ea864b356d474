#pragma once

// The yes/no confirmation: "&Yes" (6) and "&No" (7); Esc answers No, the
// close box 2, the focus starts on "&Yes".

#include "ui/MessageForm.h"

#include <string>

namespace talvoren {

class TfrmYesNo : public TMessageForm, public THookedForm<TfrmYesNo> {
    Q_OBJECT
public:
    explicit TfrmYesNo(QWidget* parent = nullptr);

    // Creates the dialog with `text`, shows it modally, releases it and
    // returns its result.
    static int createAndShowModal(const std::u16string& text, QWidget* parent = nullptr);
};

} // namespace talvoren
