// Talvoren: the command-line mode first, the window otherwise.

#include "app/Frontend.h"
#include "cli/CommandLine.h"
#include "platform/Platform.h"

#include <exception>

int main(int argc, char** argv)
{
    std::unique_ptr<talvoren::platform::IPlatform> platform;
    try {
        platform = talvoren::platform::createPlatform();
    } catch (const std::exception&) {
        // No machine to work on (the emulated prefix cannot be made): nothing
        // can be changed, which the command line reports as a failure.
        return 1;
    }
    auto frontend = talvoren::CreateFrontend(argc, argv, *platform);
    const auto args = platform->system().arguments(argc, argv);
    if (auto exitCode = talvoren::RunCommandLine(args, *platform, *frontend)) {
        return *exitCode;
    }
    return frontend->RunWindow();
}
