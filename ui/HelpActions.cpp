#include "ui/HelpActions.h"

#include "platform/Platform.h"
#include "ui/Command.h"
#include "ui/Icons.h"
#include "update/UpdateAddresses.h"

#include <QAction>
#include <QWidget>

namespace talvoren {

THelpActions::THelpActions(platform::IPlatform& platform, QWidget* window)
    : QObject(window)
    , fPlatform(platform)
    , fWindow(window)
{
    actHelpAbout = makeCommand(window, "actHelpAbout", "About...", imgAbout, QKeySequence(Qt::Key_F1));
    actHelpCheckUpdates = makeCommand(window, "actHelpCheckUpdates", "Check for updates...", imgCheckUpdates);

    actHelpDonate = makeCommand(window, "actHelpDonate", "Donate...", -1);
    QFont italic = actHelpDonate->font();
    italic.setItalic(true);
    actHelpDonate->setFont(italic);
    connect(actHelpDonate, &QAction::triggered, this, &THelpActions::actHelpDonateExecute);
}

std::u16string THelpActions::DonationUrl()
{
    return TUpdateAddresses::active().site + u"/en/donation";
}

void THelpActions::actHelpDonateExecute()
{
    // A shell that cannot open the page is not reported.
    fPlatform.shell().execute(u"open", DonationUrl(), u"", static_cast<uintptr_t>(fWindow->winId()));
}

} // namespace talvoren
