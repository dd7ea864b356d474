#pragma once

// Undo and Redo over the one history of both trees.

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace talvoren {

class TUndoStack;

class TUndoActions : public QObject {
    Q_OBJECT
public:
    // `endEditing` ends an open in-place edit first (the step it commits is
    // the one Undo takes back); false stops the command.
    TUndoActions(TUndoStack& stack, QWidget* window, std::function<bool()> endEditing = {});

    TUndoStack& stack() const { return fStack; }

    // Enabled while there is a step to undo or redo.
    void Update();

    QAction* actEditUndo = nullptr;
    QAction* actEditRedo = nullptr;

public slots:
    void actEditUndoExecute();
    // One user redo re-applies one edit to both trees.
    void actEditRedoExecute();

signals:
    // A step was undone or redone: the window's state follows.
    void changed();

private:
    bool EndEditing() const { return !fEndEditing || fEndEditing(); }

    TUndoStack& fStack;
    std::function<bool()> fEndEditing;
};

} // namespace talvoren
