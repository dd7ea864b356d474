#pragma once

// The window's commands are QActions owned by the window, so that their
// shortcuts work wherever the focus is inside it; menus, toolbars and
// context menus only point at them.

#include <QKeySequence>

class QAction;
class QWidget;

namespace talvoren {

// A command named `name` (its object name) with the translated caption, the
// toolbar image `image` (none when negative) and `shortcut`.
QAction* makeCommand(QWidget* window, const char* name, const char* caption, int image,
                     const QKeySequence& shortcut = {});

// Sets the translated hint, shown as tool tip and status tip.
void setCommandHint(QAction* action, const char* hint);

} // namespace talvoren
