#include "app/Frontend.h"
#include "cli/CommandLine.h"
#include "model/Translation.h"
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

    void Show() override
    {
        std::u16string text = tr("Command line parameters") + u"\r\n" + CommandHelpUrl() + u"\r\n";
        for (const auto& line : CommandHelpLines()) {
            text += u"\r\n";
            if (*line.description == '\0') {
                text += tr(line.option);
            } else {
                text += tr(line.option) + u"\t" + tr(line.description);
            }
        }
        fPlatform.shell().messageBox(u"Talvoren", text);
    }

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
