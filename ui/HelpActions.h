#pragma once

// The Help menu's commands: about and the update check, which the window
// connects to its dialogs, and "Donate...", which opens the donation page.

#include <QObject>
#include <string>

class QAction;
class QWidget;

namespace talvoren {

namespace platform {
class IPlatform;
}

class THelpActions : public QObject {
    Q_OBJECT
public:
    THelpActions(platform::IPlatform& platform, QWidget* window);

    // The donation page (the vendor's site, path "/en/donation").
    static std::u16string DonationUrl();

    QAction* actHelpAbout = nullptr;
    QAction* actHelpCheckUpdates = nullptr;
    QAction* actHelpDonate = nullptr;

public slots:
    void actHelpDonateExecute();

private:
    platform::IPlatform& fPlatform;
    QWidget* fWindow;
};

} // namespace talvoren
