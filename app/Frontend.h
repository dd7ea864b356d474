#pragma once

// The program's face: the Qt window, or, on a build without it, the system's
// message box. Creating a frontend creates no window-system object, so the
// command-line mode runs on a headless machine.

#include "cli/CommandLine.h"

#include <memory>

namespace talvoren {

namespace platform {
class IPlatform;
}

class IFrontend : public ICommandHelp {
public:
    // Runs the main window until it closes; returns the exit code.
    virtual int RunWindow() = 0;
};

std::unique_ptr<IFrontend> CreateFrontend(int argc, char** argv, platform::IPlatform& platform);

} // namespace talvoren
