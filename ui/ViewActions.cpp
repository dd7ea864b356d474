#include "ui/ViewActions.h"

#include "base/Translation.h"
#include "settings/Options.h"
#include "ui/Command.h"
#include "ui/ETreeView.h"
#include "ui/Icons.h"
#include "ui/UiText.h"

#include <QAction>
#include <QToolBar>
#include <QWidget>

namespace talvoren {

TViewActions::TViewActions(TWindow window)
    : QObject(window.widget)
    , fWindow(std::move(window))
{
    QWidget* w = fWindow.widget;
    // The title-bar buttons' hints name these keys; they work on the active tree.
    actEditCollapseAll
        = makeCommand(w, "actEditCollapseAll", "Collapse All", -1, QKeySequence(QStringLiteral("Ctrl+Shift+-")));
    connect(actEditCollapseAll, &QAction::triggered, this, [this] {
        if (TETreeView* view = fWindow.activeTree()) {
            view->collapseAllNodes();
        }
    });
    actEditExpandAll
        = makeCommand(w, "actEditExpandAll", "Expand All", -1, QKeySequence(QStringLiteral("Ctrl+Shift++")));
    connect(actEditExpandAll, &QAction::triggered, this, [this] {
        if (TETreeView* view = fWindow.activeTree()) {
            view->expandAllNodes();
        }
    });

    // The menu items read "Information" and "Read-only variables"; the
    // toolbar buttons show the commands' own captions as their hints.
    actViewShowInformation = makeCommand(w, "actViewShowInformation", "Information", imgShowInformation, {});
    actViewShowInformation->setToolTip(qtr("Show/hide Information"));
    actViewShowInformation->setCheckable(true);
    connect(actViewShowInformation, &QAction::triggered, this, &TViewActions::actViewShowInformationExecute);

    actViewShowReadOnly = makeCommand(w, "actViewShowReadOnly", "Read-only variables", imgShowReadOnly,
                                      QKeySequence(Qt::CTRL | Qt::Key_H));
    actViewShowReadOnly->setToolTip(qtr("Show/hide read-only variables"));
    actViewShowReadOnly->setCheckable(true);
    connect(actViewShowReadOnly, &QAction::triggered, this, &TViewActions::actViewShowReadOnlyExecute);

    actViewShowMain = makeCommand(w, "actViewShowMain", "Main", -1, {});
    actViewShowInterface = makeCommand(w, "actViewShowInterface", "Interface", -1, {});
    actViewShowUser = makeCommand(w, "actViewShowUser", "User", -1, {});
    for (QAction* action : {actViewShowMain, actViewShowInterface, actViewShowUser}) {
        action->setCheckable(true);
        action->setChecked(true);
    }
}

void TViewActions::SetToolbars(QToolBar* main, QToolBar* interface, QToolBar* user)
{
    fMain = main;
    fInterface = interface;
    fUser = user;
    const std::pair<QAction*, QToolBar*> toggles[]
        = {{actViewShowMain, main}, {actViewShowInterface, interface}, {actViewShowUser, user}};
    for (const auto& [action, bar] : toggles) {
        connect(action, &QAction::triggered, bar, &QWidget::setVisible);
    }
}

void TViewActions::Update()
{
    if (const TOptions* o = fWindow.options()) {
        actViewShowInformation->setChecked(o->showInformation);
        actViewShowReadOnly->setChecked(o->showReadonly);
    }
    if (fMain) {
        actViewShowMain->setChecked(!fMain->isHidden());
        actViewShowInterface->setChecked(!fInterface->isHidden());
        actViewShowUser->setChecked(!fUser->isHidden());
    }
}

void TViewActions::actViewShowInformationExecute()
{
    TOptions& o = *fWindow.options();
    o.showInformation = !o.showInformation;
    fWindow.showInformation(o.showInformation);
    actViewShowInformation->setChecked(o.showInformation);
}

void TViewActions::actViewShowReadOnlyExecute()
{
    TOptions& o = *fWindow.options();
    o.showReadonly = !o.showReadonly;
    fWindow.showReadOnly(o.showReadonly);
    actViewShowReadOnly->setChecked(o.showReadonly);
}

} // namespace talvoren
