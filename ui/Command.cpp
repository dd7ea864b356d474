#include "ui/Command.h"

#include "ui/Icons.h"
#include "ui/UiText.h"

#include <QAction>
#include <QWidget>

namespace talvoren {

QAction* makeCommand(QWidget* window, const char* name, const char* caption, int image, const QKeySequence& shortcut)
{
    auto* action = new QAction(qtr(caption), window);
    action->setObjectName(QString::fromLatin1(name));
    if (image >= 0) {
        action->setIcon(TIcons::toolbar(image));
    }
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
    }
    window->addAction(action);
    return action;
}

void setCommandHint(QAction* action, const char* hint)
{
    action->setToolTip(qtr(hint));
    action->setStatusTip(action->toolTip());
}

} // namespace talvoren
