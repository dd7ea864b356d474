#include "app/Frontend.h"
#include "app/HelpText.h"
#include "base/Translation.h"
#include "cli/CommandLine.h"
#include "platform/Platform.h"

namespace talvoren {

namespace {

// A build without the window toolkit: the command-line mode alone, its help
// shown in the system's message box.
class TPlainFrontend : public IFrontend {
public:
    explicit TPlainFrontend(platform::IPlatform& platform)
        : fPlatform(platform)
    {
    }

    void Show() override { fPlatform.shell().messageBox(u"Talvoren", CommandHelpText(u"\r\n")); }

    int RunWindow() override
    {
        fPlatform.shell().messageBox(u"Talvoren",
                                     tr("This build of Talvoren has no window. Run it with -? to see the command "
                                        "line parameters."));
        return 0;
    }

private:
    platform::IPlatform& fPlatform;
};

} // namespace

std::unique_ptr<IFrontend> CreateFrontend(int, char**, platform::IPlatform& platform)
{
    return std::make_unique<TPlainFrontend>(platform);
}

} // namespace talvoren
