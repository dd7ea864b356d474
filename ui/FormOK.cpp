#include "ui/FormOK.h"

#include "ui/UiText.h"

#include <QPushButton>

namespace talvoren {

TfrmOK::TfrmOK(QWidget* parent)
    : TMessageForm(parent)
{
    QPushButton* ok = addButton(qtr("OK"), mrOk);
    ok->setDefault(true);
    setFocusResult(mrOk);
    setEscapeResult(mrOk);
    setType(mtInformation);
}

void TfrmOK::setType(int dlgType)
{
    switch (dlgType) {
    case mtWarning:
        setWindowTitle(qtr("Warning"));
        setIcon(QStyle::SP_MessageBoxWarning);
        break;
    case mtError:
        setWindowTitle(qtr("Error"));
        setIcon(QStyle::SP_MessageBoxCritical);
        break;
    case mtConfirmation:
        setWindowTitle(qtr("Confirm"));
        setIcon(QStyle::SP_MessageBoxQuestion);
        break;
    default:
        setWindowTitle(qtr("Information"));
        setIcon(QStyle::SP_MessageBoxInformation);
        break;
    }
}

int TfrmOK::createAndShowModal(const std::u16string& text, int dlgType, QWidget* parent)
{
    TfrmOK form(parent);
    form.setType(dlgType);
    form.setText(toQ(text));
    return showModal(form, hook());
}

} // namespace talvoren
