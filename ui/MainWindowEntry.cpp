#include "ui/MainWindowEntry.h"

#include <QApplication>
#include <QMainWindow>

namespace talvoren {

int RunMainWindow(QApplication& app, platform::IPlatform&)
{
    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Talvoren"));
    window.show();
    return app.exec();
}

} // namespace talvoren
