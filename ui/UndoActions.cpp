#include "ui/UndoActions.h"

#include "edit/UndoStack.h"
#include "ui/Command.h"
#include "ui/Icons.h"

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

void TUndoActions::Update()
{
    actEditUndo->setEnabled(fStack.IsUndoable());
    actEditRedo->setEnabled(fStack.IsRedoable());
}

} // namespace talvoren
