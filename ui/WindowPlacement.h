#pragma once

// Where the main window stands and how its bars are laid out, restored
// from the options at start and stored into them at close: the normal
// rectangle, the maximized state, which toolbars are shown and the height
// of the information panel.

#include <QList>

class QDockWidget;
class QMainWindow;
class QToolBar;

namespace talvoren {

class TOptions;

class TWindowPlacement {
public:
    // `width` and `height`: the size the window gets when the stored
    // rectangle cannot be used and no screen is known.
    TWindowPlacement(QMainWindow& window, QList<QToolBar*> toolbars, QDockWidget* information, int width, int height);

    // The toolbars shown or hidden and the panel's height as stored.
    void ApplyLayout(TOptions& options);
    // The stored rectangle, or two thirds of the primary screen's available
    // area, centred, when it is unset or on no screen (a monitor that is gone).
    void Place(const TOptions& options);
    void Store(TOptions& options) const;

private:
    QMainWindow& fWindow;
    QList<QToolBar*> fToolbars;
    QDockWidget* fInformation;
    int fWidth;
    int fHeight;
};

} // namespace talvoren
