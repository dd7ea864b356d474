#include "ui/MainWindowEntry.h"

#include "base/Error.h"
#include "base/Translation.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "settings/Options.h"
#include "ui/ExecutableIniStore.h"
#include "ui/FormMain.h"
#include "ui/FormOK.h"
#include "ui/SingleInstance.h"
#include "ui/UiText.h"

#include <QApplication>
#include <exception>

namespace talvoren {

namespace {

void reportEscapedError(const std::u16string& message)
{
    // An error raised while its own dialog is shown would open dialogs without end.
    static bool reporting = false;
    if (reporting) {
        qWarning("%s", platform::toUtf8(message).c_str());
        return;
    }
    reporting = true;
    QWidget* parent = QApplication::activeModalWidget();
    TfrmOK::createAndShowModal(message, mtError, parent ? parent : QApplication::activeWindow());
    reporting = false;
}

} // namespace

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    std::u16string message;
    try {
        return QApplication::notify(receiver, event);
    } catch (const TError& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = platform::fromUtf8(e.what());
    } catch (...) {
        message = talvoren::tr("An unexpected error occurred");
    }
    // Shown once the handler has been left, outside the catch.
    reportEscapedError(message);
    return true;
}

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
