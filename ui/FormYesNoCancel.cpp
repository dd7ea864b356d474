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
    setFocusResult(mrYes);
    setEscapeResult(mrCancel);
}

int TfrmYesNoCancel::createAndShowModal(const std::u16string& text, QWidget* parent)
{
    TfrmYesNoCancel form(parent);
    form.setText(toQ(text));
    return showModal(form, hook());
}

} // namespace talvoren
