#include "ui/UndoActions.h"

#include "base/Translation.h"
#include "edit/UndoStack.h"
#include "ui/Command.h"
#include "ui/Icons.h"
#include "ui/UiText.h"

#include <QAction>
#include <QWidget>

namespace talvoren {

TUndoActions::TUndoActions(TUndoStack& stack, QWidget* window, std::function<bool()> endEditing)
    : QObject(window)
    , fStack(stack)
    , fEndEditing(std::move(endEditing))
{
    actEditUndo = makeCommand(window, "actEditUndo", "Undo", imgUndo, QKeySequence(Qt::CTRL | Qt::Key_Z));
    actEditUndo->setEnabled(false);
    connect(actEditUndo, &QAction::triggered, this, &TUndoActions::actEditUndoExecute);

    actEditRedo = makeCommand(window, "actEditRedo", "Redo", imgRedo, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    // Ctrl+Y as in the programs of Windows.
    actEditRedo->setShortcuts({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)});
    actEditRedo->setEnabled(false);
    connect(actEditRedo, &QAction::triggered, this, &TUndoActions::actEditRedoExecute);
}

void TUndoActions::actEditUndoExecute()
{
    if (!EndEditing()) {
        return;
    }
    fStack.Undo();
    emit changed();
}

void TUndoActions::actEditRedoExecute()
{
    // A committed text is a new step: nothing is left to redo after it.
    if (!EndEditing()) {
        return;
    }
    fStack.Redo();
    fStack.Redo();
    emit changed();
}

namespace {
// "Undo Delete 'C:\Tools'" in the menu and the tooltip; the plain caption
// for a step without a name.
void nameStep(QAction* action, const char* plain, const std::u16string& named)
{
    const QString text = named.empty() ? qtr(plain) : toQ(named);
    QString menuText = text;
    menuText.replace(QLatin1Char('&'), QStringLiteral("&&")); // a path's '&' is no accelerator
    action->setText(named.empty() ? text : menuText);
    action->setToolTip(text);
}
} // namespace

void TUndoActions::Update()
{
    actEditUndo->setEnabled(fStack.IsUndoable());
    actEditRedo->setEnabled(fStack.IsRedoable());
    const std::u16string undo = fStack.UndoDescription();
    const std::u16string redo = fStack.RedoDescription();
    nameStep(actEditUndo, "Undo", undo.empty() ? undo : trFormat("Undo %s", undo));
    nameStep(actEditRedo, "Redo", redo.empty() ? redo : trFormat("Redo %s", redo));
}

} // namespace talvoren
