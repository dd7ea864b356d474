#pragma once

// The commands that work on the focused node of the active tree, or on its
// selected nodes (delete, cut, moves, clean-up): delete, cut,
// the path choosers, type change, clean-up, moves, the path conversions and
// "Open folder". Each is an action of the window with an execute handler and
// an update handler; the operations themselves are the tree's.

#include <QObject>
#include <QString>
#include <functional>

class QAction;
class QLineEdit;
class QMenu;
class QWidget;

namespace talvoren {

namespace platform {
class IPlatform;
}

class TETree;
class TETreeEditing;
class TETreeView;

class TEditActions : public QObject {
    Q_OBJECT
public:
    // What the commands need to know of the window.
    struct TWindow {
        QWidget* widget = nullptr; // owns the actions, parents the dialogs
        std::function<TETreeView*()> activeTree;
        std::function<bool()> confirmDeletion; // the onDeleteConfirmation option
    };
    TEditActions(platform::IPlatform& platform, TWindow window);

    // The tree the commands act on.
    TETreeView* activeTree() const { return fWindow.activeTree(); }

    // Whether the commands act on `view`, the last focused tree: it or its
    // editor has the focus, or the focus is on a part of the window that
    // only passes commands on (the menus, the toolbar, the Information
    // panel), or outside the program. Not while another input of the window
    // (the account box) or another window has the focus.
    static bool IsInUse(const TETreeView* view);

    // Asks for a folder (true) or a file (false), opening at `startFolder`
    // (a path the dialogs know); an empty answer cancels. The platform's
    // dialogs by default; tests answer for them.
    using TPathChooser = std::function<QString(bool folder, const QString& startFolder)>;
    void setPathChooser(TPathChooser chooser) { fChoosePath = std::move(chooser); }

    // Recomputes every enabled state (run when the application is idle).
    void Update();

    QAction* actEditDelete = nullptr;
    QAction* actEditCut = nullptr;
    QAction* actEditEditAsPath = nullptr;
    QAction* actEditEditAsFile = nullptr;
    QAction* actEditChangeType = nullptr;
    QAction* actEditCleanup = nullptr;
    QAction* actEditMoveUp = nullptr;
    QAction* actEditMoveDown = nullptr;
    QAction* actEditOpenFolder = nullptr;
    QAction* actEditLong2Short = nullptr;
    QAction* actEditShort2Long = nullptr;
    QAction* actEditInline = nullptr;
    QAction* actEditRemoveMissing = nullptr;

public slots:
    void actEditDeleteExecute();
    // Copy, then delete without a question (the clipboard holds the nodes),
    // one undo step.
    void actEditCutExecute();
    void actEditEditAsPathExecute();
    void actEditEditAsFileExecute();
    void actEditChangeTypeExecute();
    void actEditCleanupExecute();
    void actEditMoveUpExecute();
    void actEditMoveDownExecute();
    void actEditOpenFolderExecute();
    void actEditLong2ShortExecute();
    void actEditShort2LongExecute();
    void actEditInlineExecute();
    // Asks with the list of the focused variable's elements that name
    // nothing that exists, and removes them on Yes.
    void actEditRemoveMissingExecute();

private:
    // The active tree has the input focus or an open in-place edit.
    bool IsTreeInUse() const;
    // In use, editable, and the focused node's variable is writable.
    bool IsEditable() const;
    TETree* Tree() const;
    // Whether `action` may run now: its enabling rule, checked again when
    // it runs, so a stale enabled state can do no harm.
    bool Allowed(QAction* action);
    // Runs one of the tree's operations on the active tree, if `action` may run.
    void OnTree(QAction* action, void (TETreeEditing::*operation)());
    void SetChosenPath(QAction* action, bool folder);
    // Where a chooser opens: the focused element's folder when it exists,
    // else the machine's C: drive; as the dialogs know the path.
    QString StartFolder() const;
    QString ChoosePath(bool folder, const QString& startFolder) const;
    // The in-place editor of the active tree when it has the keyboard.
    QLineEdit* FocusedEditor() const;

    platform::IPlatform& fPlatform;
    TWindow fWindow;
    TPathChooser fChoosePath;
};

} // namespace talvoren
