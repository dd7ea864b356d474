#include "ui/FormFind.h"

#include "base/Translation.h"
#include "model/ETree.h"
#include "ui/Command.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/UiText.h"

#include <QAction>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace talvoren {

namespace {
constexpr int kClientWidth = 310;
constexpr int kClientHeight = 102;
} // namespace

TfrmFind::TfrmFind(QWidget* parent)
    : QDialog(parent)
    , lblText(new QLabel(this))
    , edtText(new QLineEdit(this))
    , btnOk(new QPushButton(this))
    , btnCancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmFind"));
    edtText->setObjectName(QStringLiteral("edtText"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    lblText->setBuddy(edtText);
    btnOk->setDefault(true);
    btnOk->setEnabled(false);
    connect(btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(edtText, &QLineEdit::textChanged, this, &TfrmFind::edtTextChange);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblText);
    layout->addWidget(edtText);
    layout->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(btnOk);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    setFixedSize(kClientWidth, kClientHeight);
    FormCreate();
}

void TfrmFind::FormCreate()
{
    setWindowTitle(qtr("Find"));
    lblText->setText(qtr("&Find text:"));
    btnOk->setText(qtr("OK"));
    btnCancel->setText(qtr("Cancel"));
}

void TfrmFind::edtTextChange()
{
    btnOk->setEnabled(!edtText->text().isEmpty());
}

bool ShowFindDialog(std::u16string& text, QWidget* parent)
{
    TfrmFind form(parent);
    form.edit()->setText(toQ(text));
    form.edit()->selectAll();
    form.edit()->setFocus();
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    text = fromQ(form.edit()->text());
    return true;
}

TFindActions::TFindActions(QWidget* window, std::function<TETreeView*()> activeTree)
    : QObject(window)
    , fWindow(window)
    , fActiveTree(std::move(activeTree))
{
    actEditFind = makeCommand(window, "actEditFind", "Find...", -1, QKeySequence(Qt::CTRL | Qt::Key_F));
    connect(actEditFind, &QAction::triggered, this, &TFindActions::actEditFindExecute);
    actEditFindNext = makeCommand(window, "actEditFindNext", "Find Next", -1, QKeySequence(Qt::Key_F3));
    connect(actEditFindNext, &QAction::triggered, this, &TFindActions::actEditFindNextExecute);
    Update();
}

void TFindActions::Update()
{
    actEditFindNext->setEnabled(!fSearchString.empty());
}

void TFindActions::actEditFindExecute()
{
    if (ShowFindDialog(fSearchString, fWindow)) {
        SearchText(true);
    }
    Update();
}

void TFindActions::actEditFindNextExecute()
{
    // The shortcut may fire before the idle update has disabled the command.
    if (!fSearchString.empty()) {
        SearchText(false);
    }
}

void TFindActions::SearchText(bool fromStart)
{
    TETreeView* view = fActiveTree();
    if (!view) {
        return;
    }
    if (!view->tree().FindText(fSearchString, fromStart)) {
        TfrmOK::createAndShowModal(trFormat("Search string '%s' not found", fSearchString), mtInformation, fWindow);
        return;
    }
    // A match inside a collapsed variable is shown: the view scrolls to it.
    if (TENode* found = view->tree().GetFocusedNode()) {
        view->scrollTo(view->treeModel().indexOf(found));
    }
}

} // namespace talvoren
