#pragma once

// The update dialog: the running and the offered version with the release
// history, and the download of the setup program into a folder of its own.
// Only a download whose SHA-256 is the one of the answer, checked while no
// other program can change the file, is started: after the main window
// agreed to close, with administrator rights, and the program ends.

#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace talvoren {

namespace platform {
class INewFile;
class IPlatform;
} // namespace platform

class IUpdateHost;
class TSetupDownload;
struct TUpdateOffer;

class TfrmCheckForUpdate : public QDialog {
    Q_OBJECT
public:
    // The result of "Close" (and Esc): a running download stops.
    static constexpr int mrAbort = 3;
    // The name of the downloaded setup in the temporary folder.
    static constexpr const char16_t* kSetupFileName = u"Talvoren_setup.exe";

    TfrmCheckForUpdate(IUpdateHost& host, platform::IPlatform& platform, QWidget* parent = nullptr);

    // Shows an offered version; returns when the dialog closes.
    static int createAndShowModal(IUpdateHost& host, platform::IPlatform& platform,
                                  const std::u16string& currentVersion, const TUpdateOffer& offer);
    // Shows only a status line in place of the offered version, with
    // "Download" disabled.
    static int createAndShowModal(IUpdateHost& host, platform::IPlatform& platform,
                                  const std::u16string& currentVersion, const std::u16string& status);

    // Tests drive the open form here instead of a modal loop.
    static std::function<void(TfrmCheckForUpdate&)>& testDriver();

    QLabel* lblCurrent = nullptr;
    QLabel* lblLatest = nullptr;
    QPlainTextEdit* memoHistory = nullptr;
    QPushButton* btnDownload = nullptr;
    QProgressBar* ProgressBar = nullptr;
    QLabel* lblURL = nullptr;
    QPushButton* btnClose = nullptr;
    int size = 0;
    std::u16string sha256; // of the setup, lower-case hex; empty when the server gave none

public slots:
    void btnDownloadClick();
    void btnCloseClick();
    void lblURLClick();

protected:
    void showEvent(QShowEvent* event) override;
    // Esc and the close box: as "Close".
    void reject() override;

private:
    static int showModal(TfrmCheckForUpdate& form);
    static constexpr qint64 kStopped = -2;
    // Downloads into `file`: the bytes written, -1 when the answer did not
    // arrive whole, kStopped when the user stopped the download.
    qint64 Download(platform::INewFile& file);

    IUpdateHost& fHost;
    platform::IPlatform& fPlatform;
    TSetupDownload* fDownload = nullptr;
};

} // namespace talvoren
