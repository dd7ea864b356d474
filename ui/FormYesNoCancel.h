#pragma once

// The yes/no/cancel warning: "&Yes" (6), "&No" (7), "Cancel" (2); Esc and
// the close box answer 2, the focus starts on "&Yes".

#include "ui/MessageForm.h"

#include <string>

namespace talvoren {

class TfrmYesNoCancel : public TMessageForm, public THookedForm<TfrmYesNoCancel> {
    Q_OBJECT
public:
    explicit TfrmYesNoCancel(QWidget* parent = nullptr);

    static int createAndShowModal(const std::u16string& text, QWidget* parent = nullptr);
};

} // namespace talvoren
