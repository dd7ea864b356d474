#include "ui/WindowPlacement.h"

#include "settings/Options.h"
#include "ui/UiText.h"

#include <QDockWidget>
#include <QGuiApplication>
#include <QMainWindow>
#include <QScreen>
#include <QToolBar>

namespace talvoren {

namespace {
const char16_t kGroupInformation[] = u"panelInformation";
} // namespace

TWindowPlacement::TWindowPlacement(QMainWindow& window, QList<QToolBar*> toolbars, QDockWidget* information, int width,
                                   int height)
    : fWindow(window)
    , fToolbars(std::move(toolbars))
    , fInformation(information)
    , fWidth(width)
    , fHeight(height)
{
}

void TWindowPlacement::ApplyLayout(TOptions& options)
{
    const TToolbarLayout& layout = options.toolbarLayout();
    for (QToolBar* bar : fToolbars) {
        if (auto visible = layout.Integer(fromQ(bar->objectName()), u"Visible")) {
            bar->setVisible(*visible != 0);
        }
    }
    if (auto height = layout.Integer(kGroupInformation, u"DockedHeight"); height && *height > 0) {
        fWindow.resizeDocks({fInformation}, {*height}, Qt::Vertical);
    }
}

void TWindowPlacement::Place(const TOptions& o)
{
    const QRect stored(o.left, o.top, o.width, o.height);
    bool onScreen = false;
    for (const QScreen* s : QGuiApplication::screens()) {
        onScreen = onScreen || s->availableGeometry().intersects(stored);
    }
    if (o.left == -1 || o.top == -1 || o.width == -1 || o.height == -1 || o.width <= 0 || o.height <= 0 || !onScreen) {
        fWindow.resize(fWidth, fHeight);
        if (const QScreen* s = QGuiApplication::primaryScreen()) {
            // Two thirds of the screen shows the values whole and leaves
            // room beside the window.
            const QRect area = s->availableGeometry();
            fWindow.resize(QSize(area.width() * 2 / 3, area.height() * 2 / 3).expandedTo(fWindow.minimumSize()));
            fWindow.move(area.center() - QPoint(fWindow.width() / 2, fWindow.height() / 2));
        }
    } else {
        fWindow.setGeometry(stored);
    }
    if (o.isMaximized) {
        fWindow.setWindowState(fWindow.windowState() | Qt::WindowMaximized);
    }
}

void TWindowPlacement::Store(TOptions& o) const
{
    const QRect normal = fWindow.normalGeometry().isValid() ? fWindow.normalGeometry() : fWindow.geometry();
    o.left = normal.left();
    o.top = normal.top();
    o.width = normal.width();
    o.height = normal.height();
    o.isMaximized = fWindow.isMaximized();
    TToolbarLayout& layout = o.toolbarLayout();
    for (QToolBar* bar : fToolbars) {
        layout.SetInteger(fromQ(bar->objectName()), u"Visible", bar->isHidden() ? 0 : 1);
    }
    if (fInformation->isVisible()) {
        layout.SetInteger(kGroupInformation, u"DockedHeight", fInformation->height());
    }
}

} // namespace talvoren
