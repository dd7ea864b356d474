#include "ui/MainWindowEntry.h"

#include "platform/Platform.h"
#include "settings/Options.h"
#include "ui/ExecutableIniStore.h"
#include "ui/FormMain.h"
#include "ui/SingleInstance.h"
#include "ui/UiText.h"

#include <QApplication>

namespace talvoren {

int RunMainWindow(QApplication& app, platform::IPlatform& platform)
{
    // One window per account and executable: a later start hands over.
    const std::u16string exe = platform.system().executablePath();
    TSingleInstance guard(toQ(platform.accounts().currentUserSid() + u"|" + exe));
    if (guard.handOver()) {
        return 0;
    }
    guard.listen();

    TExecutableIniStore files(ChangeFileExt(exe, u".ini"), TExecutableIniStore::hostIniPath());
    TfrmMain window(platform, files, &guard);
    window.show();
    return app.exec();
}

} // namespace talvoren
