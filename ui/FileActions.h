#pragma once

// The File menu's commands and Refresh: save, backup, restore, options, restart as
// administrator, exit, and reading both scopes again. The window does the
// work; these decide when a command is offered and what it asks first.

#include <QObject>
#include <functional>

class QAction;
class QWidget;

namespace talvoren {

class TFileActions : public QObject {
    Q_OBJECT
public:
    // What the commands need of the window.
    struct TWindow {
        QWidget* widget = nullptr; // owns the actions, parents the dialogs
        std::function<bool()> isModified; // an open editor's changed text counts
        std::function<bool()> hasAdminAccess;
        // Runs a command; an error it raises is shown and the commands'
        // states are updated after it.
        std::function<void(const std::function<void()>&)> guarded;
        // Ends an open in-place edit; false when its commit was refused.
        std::function<bool()> endEditing;
        std::function<void()> save;
        std::function<void()> reload;
        std::function<void()> backup;
        std::function<void()> restore; // after endEditing: it replaces content
        std::function<void()> history; // after endEditing
        std::function<void()> options;
        std::function<void()> restartAsAdmin;
    };
    explicit TFileActions(TWindow window);

    // Save while there are changes; the restart while the system scope is
    // not writable.
    void Update();

    QAction* actFileSave = nullptr;
    QAction* actFileBackup = nullptr;
    QAction* actFileRestore = nullptr;
    QAction* actFileHistory = nullptr;
    QAction* actFileOptions = nullptr;
    QAction* actFileRestartAsAdmin = nullptr;
    QAction* actFileExit = nullptr;
    QAction* actEditRefresh = nullptr;

public slots:
    void actFileSaveExecute();
    void actFileRestartAsAdminExecute();
    // Asks first when there are changes: they are lost.
    void actEditRefreshExecute();

private:
    TWindow fWindow;
};

} // namespace talvoren
