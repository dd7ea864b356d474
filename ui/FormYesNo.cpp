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
    setFocusResult(mrYes);
    setEscapeResult(mrNo);
}

int TfrmYesNo::createAndShowModal(const std::u16string& text, QWidget* parent)
{
    TfrmYesNo form(parent);
    form.setText(toQ(text));
    return showModal(form, hook());
}

} // namespace talvoren
