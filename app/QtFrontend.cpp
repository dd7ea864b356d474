#include "app/Frontend.h"
#include "app/HelpText.h"
#include "platform/HostEnvironment.h"
#include "platform/Utf.h"
#include "ui/MainWindowEntry.h"
#include "ui/dialogs/FormCmdHelp.h"

#include <cstdio>

namespace talvoren {

namespace {

bool hostHasDisplay()
{
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const auto value = platform::hostVariable(name);
        if (value && !value->empty()) {
            return true;
        }
    }
    return false;
}

class TQtFrontend : public IFrontend {
public:
    TQtFrontend(int argc, char** argv, platform::IPlatform& platform)
        : fArgc(argc)
        , fArgv(argv)
        , fPlatform(platform)
    {
    }

    void Show() override
    {
        // On the emulated machine a terminal without any display cannot show
        // a window: the help goes to standard output instead of an abort in
        // the window system.
        if (platform::kEmulatedMachine && !hostHasDisplay()) {
            const std::string text = platform::toUtf8(CommandHelpText(u"\n")) + "\n";
            std::fwrite(text.data(), 1, text.size(), stdout);
            std::fflush(stdout);
            return;
        }
        application();
        TfrmCmdHelp::createAndShowModal(fPlatform);
    }

    int RunWindow() override { return RunMainWindow(application(), fPlatform); }

private:
    QApplication& application()
    {
        if (!fApp) {
            fApp = std::make_unique<TApplication>(fArgc, fArgv);
        }
        return *fApp;
    }

    int fArgc;
    char** fArgv;
    platform::IPlatform& fPlatform;
    std::unique_ptr<TApplication> fApp;
};

} // namespace

std::unique_ptr<IFrontend> CreateFrontend(int argc, char** argv, platform::IPlatform& platform)
{
    return std::make_unique<TQtFrontend>(argc, argv, platform);
}

} // namespace talvoren
