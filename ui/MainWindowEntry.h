#pragma once

// Starts the main window on the program's application object and runs the
// event loop until the program ends; returns the exit code.

#include <QApplication>

namespace talvoren {

namespace platform {
class IPlatform;
}

// The window program's application object. Qt cannot carry an exception
// through its event loop (on Windows not even through the window procedure):
// an error that escapes a slot or an event handler ends here, in the error
// dialog, and the program goes on.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;
};

int RunMainWindow(QApplication& app, platform::IPlatform& platform);

} // namespace talvoren
