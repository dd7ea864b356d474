#pragma once

// The two questions: the yes/no confirmation `TfrmYesNo` ("&Yes" 6,
// "&No" 7; Esc answers No) and the yes/no/cancel warning `TfrmYesNoCancel`
// ("&Yes" 6, "&No" 7, "Cancel" 2; Esc answers Cancel). Both start with the
// focus on "&Yes"; the close box answers as Esc does, so that closing a
// question never goes on. They differ only in their row of the button
// table, so they are one class over the kind.

#include "ui/MessageForm.h"

#include <string>

namespace talvoren {

enum class TQuestionKind { YesNo, YesNoCancel };

class TQuestionForm : public TMessageForm {
    Q_OBJECT
protected:
    TQuestionForm(TQuestionKind kind, QWidget* parent);

    static int ask(TQuestionForm& form, const std::u16string& text, TDialogHook& hook);
};

template <TQuestionKind Kind> class TfrmQuestion : public TQuestionForm, public THookedForm<TfrmQuestion<Kind>> {
public:
    explicit TfrmQuestion(QWidget* parent = nullptr)
        : TQuestionForm(Kind, parent)
    {
    }

    // Creates the dialog with `text`, shows it modally, releases it and
    // returns its result.
    static int createAndShowModal(const std::u16string& text, QWidget* parent = nullptr)
    {
        TfrmQuestion form(parent);
        return ask(form, text, THookedForm<TfrmQuestion>::hook());
    }
};

using TfrmYesNo = TfrmQuestion<TQuestionKind::YesNo>;
using TfrmYesNoCancel = TfrmQuestion<TQuestionKind::YesNoCancel>;

} // namespace talvoren
