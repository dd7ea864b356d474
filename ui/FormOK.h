#pragma once

// The one-button notice: "OK" (1), also the default button and the answer
// to Esc and the close box. Caption and icon follow the message type.

#include "ui/MessageForm.h"

#include <string>

namespace talvoren {

enum TMsgDlgType : int {
    mtWarning = 0,
    mtError = 1,
    mtInformation = 2,
    mtConfirmation = 3,
};

class TfrmOK : public TMessageForm, public THookedForm<TfrmOK> {
    Q_OBJECT
public:
    explicit TfrmOK(QWidget* parent = nullptr);

    // Sets caption and icon of the type; an unknown type counts as
    // information.
    void setType(int dlgType);

    static int createAndShowModal(const std::u16string& text, int dlgType, QWidget* parent = nullptr);
};

} // namespace talvoren
