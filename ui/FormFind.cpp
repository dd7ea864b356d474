#include "ui/FormFind.h"

#include "base/Translation.h"
#include "model/ETree.h"
#include "ui/Command.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/UiText.h"

#include <QAction>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStatusBar>
#include <QVBoxLayout>

namespace talvoren {

namespace {
constexpr int kClientWidth = 310;
constexpr int kClientHeight = 150;
// How long a notice stays in the status bar.
constexpr int kNoticeMs = 5000;
} // namespace

TfrmFind::TfrmFind(QWidget* parent)
    : QDialog(parent)
    , lblText(new QLabel(this))
    , edtText(new QLineEdit(this))
    , chkMatchCase(new QCheckBox(this))
    , chkWholeElement(new QCheckBox(this))
    , btnOk(new QPushButton(this))
    , btnCancel(new QPushButton(this))
{
    setObjectName(QStringLiteral("frmFind"));
    edtText->setObjectName(QStringLiteral("edtText"));
    chkMatchCase->setObjectName(QStringLiteral("chkMatchCase"));
    chkWholeElement->setObjectName(QStringLiteral("chkWholeElement"));
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
    layout->addWidget(chkMatchCase);
    layout->addWidget(chkWholeElement);
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
    chkMatchCase->setText(qtr("Match &case"));
    chkWholeElement->setText(qtr("&Whole element"));
    btnOk->setText(qtr("OK"));
    btnCancel->setText(qtr("Cancel"));
}

void TfrmFind::edtTextChange()
{
    btnOk->setEnabled(!edtText->text().isEmpty());
}

bool ShowFindDialog(std::u16string& text, TETree::TFindOptions& options, QWidget* parent)
{
    TfrmFind form(parent);
    form.edit()->setText(toQ(text));
    form.edit()->selectAll();
    form.edit()->setFocus();
    form.matchCaseBox()->setChecked(options.matchCase);
    form.wholeElementBox()->setChecked(options.wholeElement);
    if (form.exec() != QDialog::Accepted) {
        return false;
    }
    text = fromQ(form.edit()->text());
    options.matchCase = form.matchCaseBox()->isChecked();
    options.wholeElement = form.wholeElementBox()->isChecked();
    return true;
}

TFindActions::TFindActions(TWindow window)
    : QObject(window.widget)
    , fWindow(std::move(window))
{
    QWidget* w = fWindow.widget;
    auto make = [&](QAction*& action, const char* name, const char* caption, const QKeySequence& keys,
                    void (TFindActions::*execute)()) {
        action = makeCommand(w, name, caption, -1, keys);
        connect(action, &QAction::triggered, this, execute);
    };
    make(actEditFind, "actEditFind", "Find...", QKeySequence(Qt::CTRL | Qt::Key_F), &TFindActions::actEditFindExecute);
    make(actEditFindNext, "actEditFindNext", "Find Next", QKeySequence(Qt::Key_F3),
         &TFindActions::actEditFindNextExecute);
    make(actEditFindPrevious, "actEditFindPrevious", "Find Previous", QKeySequence(Qt::SHIFT | Qt::Key_F3),
         &TFindActions::actEditFindPreviousExecute);
    make(actEditNextProblem, "actEditNextProblem", "Next problem", QKeySequence(Qt::Key_F4),
         &TFindActions::actEditNextProblemExecute);
    setCommandHint(actEditNextProblem, "Go to the next node with an error or a warning");
    make(actEditPreviousProblem, "actEditPreviousProblem", "Previous problem", QKeySequence(Qt::SHIFT | Qt::Key_F4),
         &TFindActions::actEditPreviousProblemExecute);
    setCommandHint(actEditPreviousProblem, "Go to the previous node with an error or a warning");
    Update();
}

void TFindActions::Update()
{
    actEditFindNext->setEnabled(!fSearchString.empty());
    actEditFindPrevious->setEnabled(!fSearchString.empty());
}

void TFindActions::actEditFindExecute()
{
    // A new search starts at the focused node itself.
    if (ShowFindDialog(fSearchString, fOptions, fWindow.widget)) {
        SearchText(true, true);
    }
    Update();
}

void TFindActions::actEditFindNextExecute()
{
    // The shortcut may fire before the idle update has disabled the command.
    if (!fSearchString.empty()) {
        SearchText(true, false);
    }
}

void TFindActions::actEditFindPreviousExecute()
{
    if (!fSearchString.empty()) {
        SearchText(false, false);
    }
}

void TFindActions::actEditNextProblemExecute()
{
    GoToProblem(true);
}

void TFindActions::actEditPreviousProblemExecute()
{
    GoToProblem(false);
}

void TFindActions::SearchText(bool forward, bool includeFocused)
{
    const auto matches = [this](const TETree& tree, const TENode* node) {
        return tree.MatchesFindText(node, fSearchString, fOptions);
    };
    if (!Walk(forward, includeFocused, matches)) {
        TfrmOK::createAndShowModal(trFormat("Search string '%s' not found", fSearchString), mtInformation,
                                   fWindow.widget);
    }
}

void TFindActions::GoToProblem(bool forward)
{
    // What the user cannot see is skipped: hidden read-only variables.
    const auto matches = [](const TETree& tree, const TENode* node) {
        return !tree.GetVariableNode(node)->IsHidden()
            && (!tree.GetNodeErrors(node).empty() || !tree.GetNodeWarnings(node).empty());
    };
    if (!Walk(forward, false, matches)) {
        Notify(qtr("No node in either tree has an error or a warning"));
    }
}

bool TFindActions::Walk(bool forward, bool includeFocused, const TNodeMatch& matches)
{
    TETreeView* view = fWindow.activeTree();
    if (!view) {
        return true; // no tree to search yet: nothing to tell
    }
    TETreeView* other = fWindow.otherTree();
    // The system tree is the upper one in the window.
    const TFindHit hit = FindInTrees(view->tree(), other ? &other->tree() : nullptr, !view->tree().IsUserTree(),
                                     forward, includeFocused, matches);
    if (!hit.node) {
        return false;
    }
    TETreeView* found = hit.tree == &view->tree() ? view : other;
    // The found tree takes the focus, so the hit shows in the active
    // selection colours; inside a collapsed variable the view opens it.
    fWindow.showTree(found);
    found->scrollTo(found->treeModel().indexOf(hit.node));
    if (hit.wrapped) {
        Notify(forward ? qtr("Search wrapped around: went on from the top")
                       : qtr("Search wrapped around: went on from the bottom"));
    } else {
        Notify(QString());
    }
    return true;
}

void TFindActions::Notify(const QString& text)
{
    auto* window = qobject_cast<QMainWindow*>(fWindow.widget);
    if (!window) {
        return;
    }
    if (text.isEmpty()) {
        window->statusBar()->clearMessage();
    } else {
        window->statusBar()->showMessage(text, kNoticeMs);
    }
}

} // namespace talvoren
