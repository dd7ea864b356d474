#include "app/Frontend.h"
#include "cli/FormCmdHelp.h"
#include "ui/MainWindowEntry.h"

#include <QApplication>

namespace talvoren {

namespace {

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
        QApplication& app = application();
        TfrmCmdHelp::createAndShowModal(fPlatform);
        (void)app;
    }

    int RunWindow() override { return RunMainWindow(application(), fPlatform); }

private:
    QApplication& application()
    {
        if (!fApp) {
            fApp = std::make_unique<QApplication>(fArgc, fArgv);
        }
        return *fApp;
    }

    int fArgc;
    char** fArgv;
    platform::IPlatform& fPlatform;
    std::unique_ptr<QApplication> fApp;
};

} // namespace

std::unique_ptr<IFrontend> CreateFrontend(int argc, char** argv, platform::IPlatform& platform)
{
    return std::make_unique<TQtFrontend>(argc, argv, platform);
}

} // namespace talvoren
