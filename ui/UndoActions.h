#pragma once

// Undo and Redo over the one history of both trees.

#include <QObject>

class QAction;
class QWidget;

namespace talvoren {

class TUndoStack;

class TUndoActions : public QObject {
    Q_OBJECT
public:
    TUndoActions(TUndoStack& stack, QWidget* window);

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
    TUndoStack& fStack;
};

} // namespace talvoren
