#include "ui/FormYesNo.h"

#include "ui/UiText.h"

#include <QPushButton>

namespace talvoren {

TfrmYesNo::TfrmYesNo(QWidget* parent)
    : TMessageForm(parent)
{
    setWindowTitle(qtr("Confirm"));
    setIcon(QStyle::SP_MessageBoxQuestion);
    addButton(qtr("&Yes"), mrYes);
    addButton(qtr("&No"), mrNo);
    setEscapeResult(mrNo);
}

TDialogHook& TfrmYesNo::hook()
{
    static TDialogHook instance;
    return instance;
}

int TfrmYesNo::createAndShowModal(const std::u16string& text, QWidget* parent)
{
    TfrmYesNo form(parent);
    form.setText(toQ(text));
    return showModal(form, hook());
}

void TfrmYesNo::showEvent(QShowEvent* event)
{
    TMessageForm::showEvent(event);
    button(mrYes)->setFocus();
}

} // namespace talvoren
