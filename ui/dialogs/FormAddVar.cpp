#include "ui/dialogs/FormAddVar.h"

#include "edit/InPlaceCommit.h"
#include "model/ETree.h"
#include "model/VariableName.h"
#include "ui/Language.h"
#include "ui/UiText.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace talvoren {

namespace {
TfrmAddVar::TDriver& driver()
{
    static TfrmAddVar::TDriver instance;
    return instance;
}
} // namespace

void TfrmAddVar::setDriver(TDriver d)
{
    driver() = std::move(d);
}

TfrmAddVar::TfrmAddVar(const TETree& tree, QWidget* parent)
    : QDialog(parent)
    , tree(tree)
{
    setObjectName(QStringLiteral("frmAddVar"));
    setWindowTitle(qtr("New variable"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* lblVariableName = new QLabel(qtr("&Variable name:"), this);
    editName = new QLineEdit(this);
    editName->setObjectName(QStringLiteral("editName"));
    lblVariableName->setBuddy(editName);
    lblErrorMessage = new QLabel(this);
    lblErrorMessage->setObjectName(QStringLiteral("lblErrorMessage"));
    QPalette red = lblErrorMessage->palette();
    red.setColor(QPalette::WindowText, ReadableOn(Qt::red, {red.color(QPalette::Window)}));
    lblErrorMessage->setPalette(red);

    auto* radioGroup = new QGroupBox(qtr(" Variable type: "), this);
    rbString = new QRadioButton(qtr("&String"), radioGroup);
    rbString->setToolTip(qtr("A text string"));
    rbString->setChecked(true);
    rbExpString = new QRadioButton(qtr("&Expandable string"), radioGroup);
    rbExpString->setToolTip(qtr("An expandable string registry value\r\nis a string that contains unexpanded\r\n"
                                "references to environment variables\r\n(for example, '%PATH%')")
                                .replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    auto* types = new QHBoxLayout(radioGroup);
    types->setContentsMargins(8, 4, 8, 4);
    types->addWidget(rbString);
    types->addWidget(rbExpString);

    btnOk = new QPushButton(qtr("OK"), this);
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    btnCancel = new QPushButton(qtr("Cancel"), this);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(4);
    layout->addWidget(lblVariableName);
    layout->addWidget(editName);
    layout->addWidget(lblErrorMessage);
    layout->addWidget(radioGroup);
    layout->addLayout(buttons);
    setFixedSize(313, 174);

    connect(editName, &QLineEdit::textChanged, this, &TfrmAddVar::editNameChange);
}

void TfrmAddVar::editNameChange()
{
    const std::u16string error = NewVariableNameError(tree, fromQ(editName->text()));
    lblErrorMessage->setText(toQ(error));
    btnOk->setEnabled(error.empty());
}

bool TfrmAddVar::createAndShowModal(const TETree& tree, std::u16string& text, uint8_t& texttype, QWidget* parent)
{
    TfrmAddVar form(tree, parent);
    form.editName->setText(toQ(text));
    if (texttype == 2) {
        form.rbExpString->setChecked(true);
    }
    form.editName->setFocus();
    int result;
    if (driver()) {
        result = driver()(form);
    } else {
        result = form.exec();
    }
    // The name as the check judged it, without surrounding blanks.
    text = result == QDialog::Accepted ? NormalizeVariableName(fromQ(form.editName->text()))
                                       : fromQ(form.editName->text());
    texttype = form.rbString->isChecked() ? 1 : 2;
    return result == QDialog::Accepted;
}

} // namespace talvoren
