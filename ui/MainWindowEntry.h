#pragma once

// Starts the main window on an existing QApplication and runs the event loop
// until the program ends; returns the exit code.

class QApplication;

namespace talvoren {

namespace platform {
class IPlatform;
}

int RunMainWindow(QApplication& app, platform::IPlatform& platform);

} // namespace talvoren
