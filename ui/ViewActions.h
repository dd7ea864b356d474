#pragma once

// The View menu's commands: the information panel, the read-only
// variables, the three toolbars, and collapsing or expanding the active
// tree. Each show/hide command's check follows what is shown.

#include <QObject>
#include <functional>

class QAction;
class QToolBar;
class QWidget;

namespace talvoren {

class TETreeView;
class TOptions;

class TViewActions : public QObject {
    Q_OBJECT
public:
    // What the commands need of the window.
    struct TWindow {
        QWidget* widget = nullptr; // owns the actions
        std::function<TETreeView*()> activeTree;
        // Where the show/hide choices are kept (null while the window is
        // built or torn down).
        std::function<TOptions*()> options;
        std::function<void(bool shown)> showInformation;
        std::function<void(bool shown)> showReadOnly;
    };
    explicit TViewActions(TWindow window);

    // The toolbar commands show and hide these bars; until then they do nothing.
    void SetToolbars(QToolBar* main, QToolBar* interface, QToolBar* user);
    void Update();

    QAction* actEditCollapseAll = nullptr;
    QAction* actEditExpandAll = nullptr;
    QAction* actViewShowInformation = nullptr;
    QAction* actViewShowReadOnly = nullptr;
    QAction* actViewShowMain = nullptr;
    QAction* actViewShowInterface = nullptr;
    QAction* actViewShowUser = nullptr;

public slots:
    void actViewShowInformationExecute();
    void actViewShowReadOnlyExecute();

private:
    TWindow fWindow;
    QToolBar* fMain = nullptr;
    QToolBar* fInterface = nullptr;
    QToolBar* fUser = nullptr;
};

} // namespace talvoren
