#include "ui/FormYesNoCancel.h"

#include "ui/UiText.h"

#include <QPushButton>

namespace talvoren {

TfrmYesNoCancel::TfrmYesNoCancel(QWidget* parent)
    : TMessageForm(parent)
{
    setWindowTitle(qtr("Warning"));
    setIcon(QStyle::SP_MessageBoxWarning);
    addButton(qtr("&Yes"), mrYes);
    addButton(qtr("&No"), mrNo);
    addButton(qtr("Cancel"), mrCancel);
    setEscapeResult(mrCancel);
}

TDialogHook& TfrmYesNoCancel::hook()
{
    static TDialogHook instance;
    return instance;
}

int TfrmYesNoCancel::createAndShowModal(const std::u16string& text, QWidget* parent)
{
    TfrmYesNoCancel form(parent);
    form.setText(toQ(text));
    return showModal(form, hook());
}

void TfrmYesNoCancel::showEvent(QShowEvent* event)
{
    TMessageForm::showEvent(event);
    button(mrYes)->setFocus();
}

} // namespace talvoren
