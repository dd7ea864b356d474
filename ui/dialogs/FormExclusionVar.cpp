#include "ui/dialogs/FormExclusionVar.h"

#include "settings/Exclusions.h"
#include "ui/Language.h"
#include "ui/UiText.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace talvoren {

TfrmExclusionVar::TfrmExclusionVar(TExclusions& exclusions, const std::u16string& name, QWidget* parent)
    : QDialog(parent)
    , fExclusions(exclusions)
    , fInitialName(name)
{
    setWindowTitle(qtr("Variable"));
    setFixedSize(313, 202);
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(qtr("&Variable name:"), this);
    editName = new QLineEdit(toQ(name), this);
    label->setBuddy(editName);
    layout->addWidget(label);
    layout->addWidget(editName);

    auto* frame = new QGroupBox(this);
    auto* frameLayout = new QVBoxLayout(frame);
    chkNotSplit = new QCheckBox(qtr("Do not split"), frame);
    chkNotCheck = new QCheckBox(qtr("Do not validate"), frame);
    chkNotSplit->setChecked(!exclusions.isSplit(name));
    chkNotCheck->setChecked(!exclusions.isCheck(name));
    frameLayout->addWidget(chkNotSplit);
    frameLayout->addWidget(chkNotCheck);
    layout->addWidget(frame);

    auto* messageRow = new QHBoxLayout;
    imgError = new QLabel(this);
    imgError->setFixedSize(16, 16);
    lblErrorMessage = new QLabel(this);
    QPalette red = lblErrorMessage->palette();
    red.setColor(QPalette::WindowText, ReadableOn(Qt::red, {red.color(QPalette::Window)}));
    lblErrorMessage->setPalette(red);
    lblErrorMessage->setWordWrap(true); // the longer languages take two lines
    messageRow->addWidget(imgError);
    messageRow->addWidget(lblErrorMessage, 1);
    layout->addLayout(messageRow);

    auto* buttons = new QHBoxLayout;
    btnOk = new QPushButton(qtr("OK"), this);
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    auto* btnCancel = new QPushButton(qtr("Cancel"), this);
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);

    // Connected after filling, so the initial values do not enable "OK".
    connect(editName, &QLineEdit::textChanged, this, &TfrmExclusionVar::Validate);
    connect(chkNotSplit, &QCheckBox::clicked, this, &TfrmExclusionVar::Validate);
    connect(chkNotCheck, &QCheckBox::clicked, this, &TfrmExclusionVar::Validate);
    connect(btnOk, &QPushButton::clicked, this, &TfrmExclusionVar::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    editName->setFocus();
}

std::function<void(TfrmExclusionVar&)>& TfrmExclusionVar::testDriver()
{
    static std::function<void(TfrmExclusionVar&)> driver;
    return driver;
}

bool TfrmExclusionVar::createAndShowModal(TExclusions& exclusions, const std::u16string& name, QWidget* parent)
{
    TfrmExclusionVar form(exclusions, name, parent);
    if (testDriver()) {
        testDriver()(form);
    } else {
        form.exec();
    }
    return form.result() == QDialog::Accepted;
}

void TfrmExclusionVar::Validate()
{
    const char* failure = ValidateExclusion(fExclusions, fInitialName, fromQ(editName->text()),
                                            chkNotSplit->isChecked(), chkNotCheck->isChecked());
    if (failure) {
        lblErrorMessage->setText(qtr(failure));
        imgError->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(16, 16));
    } else {
        lblErrorMessage->clear();
        imgError->clear();
    }
    btnOk->setEnabled(failure == nullptr);
}

void TfrmExclusionVar::btnOkClick()
{
    // Guards a click that arrives while the input is refused; the rule is
    // asked again so that the store below can never meet a clash.
    const std::u16string typed = fromQ(editName->text());
    if (!btnOk->isEnabled()
        || ValidateExclusion(fExclusions, fInitialName, typed, chkNotSplit->isChecked(), chkNotCheck->isChecked())) {
        return;
    }
    fExclusions.Remove(fInitialName);
    fExclusions.Add(ExclusionName(typed), !chkNotSplit->isChecked(), !chkNotCheck->isChecked());
    accept();
}

} // namespace talvoren
