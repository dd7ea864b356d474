#pragma once

// The commands that bring text into the trees: "Add variable...", "Add
// value", "&Edit" (the in-place editor), "Copy" and "Paste". Like the other
// edit commands they act on the active tree and recompute their enabled
// state when the application is idle.

#include "ui/EditActions.h"

class QLineEdit;

namespace talvoren {

class TEntryActions : public QObject {
    Q_OBJECT
public:
    TEntryActions(TEditActions::TWindow window);

    void Update();

    QAction* actEditAddVariable = nullptr;
    QAction* actEditAddValue = nullptr;
    QAction* actEditEditAsText = nullptr;
    QAction* actEditCopy = nullptr;
    QAction* actEditPaste = nullptr;

public slots:
    void actEditAddVariableExecute();
    void actEditAddValueExecute();
    void actEditEditAsTextExecute();
    void actEditCopyExecute();
    void actEditPasteExecute();

private:
    TETree* Tree() const;
    bool IsTreeInUse() const;
    // The in-place editor of the active tree, when it has the input focus.
    QLineEdit* FocusedEditor() const;

    TEditActions::TWindow fWindow;
    // What the clipboard offers, read again after each change of it.
    bool fClipboardChanged = true;
    bool fClipboardRecord = false;
    bool fClipboardText = false;
    bool fClipboardVariableText = false; // NAME=value, a variable at a variable's level
};

} // namespace talvoren
