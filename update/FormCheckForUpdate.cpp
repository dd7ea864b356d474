#include "update/FormCheckForUpdate.h"

#include "base/Translation.h"
#include "platform/Platform.h"
#include "update/SetupDownload.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateHost.h"
#include "update/UpdateProtocol.h"

#include <QCryptographicHash>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <algorithm>
#include <memory>

namespace talvoren {

namespace {

constexpr int kClientWidth = 440;
constexpr int kClientHeight = 308;
constexpr int kMargin = 8;

const char* const kDownloadError = trNoop("Error downloading new version");
const char* const kNoChecksum
    = trNoop("The update server gave no SHA-256 checksum for the setup, so it is not downloaded.");
const char* const kChecksumMismatch
    = trNoop("The downloaded setup does not match its SHA-256 checksum. It was deleted and nothing was started.");
const char* const kStartFailed
    = trNoop("The setup was not started (the start failed or was declined). Talvoren goes on running.");

QString qtr(const char* messageId)
{
    return QString::fromStdU16String(tr(messageId));
}

// The download's own folder under the temporary folder, with a name no
// other program can guess, made new (never one that is there already), and
// the setup file in it. What is not started is removed again with the
// folder when this goes.
class TDownloadPlace {
public:
    explicit TDownloadPlace(platform::IFileSystem& files)
        : fFiles(files)
    {
        QRandomGenerator* random = QRandomGenerator::system();
        QString name = QStringLiteral("Talvoren-");
        for (int i = 0; i < 4; ++i) {
            name += QStringLiteral("%1").arg(random->generate(), 8, 16, QLatin1Char('0'));
        }
        const std::u16string folder = files.tempFolder() + name.toStdU16String();
        if (files.createNewFolder(folder)) {
            fFolder = folder;
            path = folder + u"\\" + TfrmCheckForUpdate::kSetupFileName;
            file = files.createNewFile(path);
        }
    }
    ~TDownloadPlace()
    {
        if (fKept) {
            return;
        }
        const bool made = file != nullptr;
        file.reset(); // the handle lets nobody delete the file, this program neither
        if (made) {
            fFiles.deleteFile(path);
        }
        if (!fFolder.empty()) {
            fFiles.removeFolder(fFolder);
        }
    }
    // The setup was started: it stays (a running program cannot be deleted).
    void keep() { fKept = true; }

    std::u16string path;
    std::unique_ptr<platform::INewFile> file;

private:
    platform::IFileSystem& fFiles;
    std::u16string fFolder;
    bool fKept = false;
};

// Reads the sealed file from its start: whether it begins as a Windows
// program does ("MZ") and has `expectedSize` bytes whose SHA-256 is
// `sha256` (lower-case hex).
bool IsVerifiedSetup(platform::INewFile& file, qint64 expectedSize, const std::u16string& sha256)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    QByteArray block(64 * 1024, Qt::Uninitialized);
    QByteArray head;
    qint64 total = 0;
    for (;;) {
        const int64_t read = file.read(block.data(), size_t(block.size()));
        if (read < 0) {
            return false;
        }
        if (read == 0) {
            break;
        }
        if (head.size() < 2) {
            head += block.left(qsizetype(std::min<int64_t>(read, 2)));
        }
        hash.addData(QByteArrayView(block.constData(), qsizetype(read)));
        total += read;
    }
    return IsCompleteSetup(total, std::string_view(head.constData(), size_t(head.size())), expectedSize)
        && QString::fromLatin1(hash.result().toHex()).toStdU16String() == sha256;
}

} // namespace

TfrmCheckForUpdate::TfrmCheckForUpdate(IUpdateHost& host, platform::IPlatform& platform, QWidget* parent)
    : QDialog(parent)
    , fHost(host)
    , fPlatform(platform)
{
    setObjectName(QStringLiteral("frmCheckForUpdate"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setWindowTitle(qtr("Update check"));
    setFixedSize(kClientWidth, kClientHeight);

    auto* group = new QGroupBox(this);
    group->setGeometry(kMargin, 4, kClientWidth - 2 * kMargin, 262);
    auto* current = new QLabel(qtr("Current version:"), group);
    auto* latest = new QLabel(qtr("Latest version:"), group);
    current->adjustSize();
    latest->adjustSize();
    const int valueLeft = 12 + std::max(current->width(), latest->width()) + 8;
    current->move(12, 18);
    latest->move(12, 40);

    // What the server sent is shown as it stands, never as markup.
    lblCurrent = new QLabel(group);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));
    lblCurrent->setTextFormat(Qt::PlainText);
    lblCurrent->setGeometry(valueLeft, 18, 90, current->height());
    lblLatest = new QLabel(group);
    lblLatest->setObjectName(QStringLiteral("lblLatest"));
    lblLatest->setTextFormat(Qt::PlainText);
    lblLatest->setGeometry(valueLeft, 40, group->width() - valueLeft - 12, latest->height());

    const QString site = QString::fromStdU16String(TUpdateAddresses::active().site);
    auto* linkIcon = new QLabel(group);
    linkIcon->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon, nullptr, this).pixmap(16, 16));
    lblURL = new QLabel(group);
    lblURL->setObjectName(QStringLiteral("lblURL"));
    QFont link = lblURL->font();
    link.setBold(true);
    link.setUnderline(true);
    lblURL->setFont(link);
    lblURL->setStyleSheet(QStringLiteral("color: blue"));
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->setToolTip(qtr("Go to the site"));
    lblURL->setText(QStringLiteral("<a href=\"x\" style=\"color: blue\">%1</a>").arg(site.toHtmlEscaped()));
    // Sized once its style sheet is applied, so that it is never cut off.
    lblURL->ensurePolished();
    lblURL->adjustSize();
    const int linkLeft = std::max(valueLeft + 90, group->width() - 12 - lblURL->width());
    lblURL->move(linkLeft, 18);
    linkIcon->setGeometry(linkLeft - 20, 18, 16, 16);
    connect(lblURL, &QLabel::linkActivated, this, &TfrmCheckForUpdate::lblURLClick);

    memoHistory = new QPlainTextEdit(group);
    memoHistory->setObjectName(QStringLiteral("memoHistory"));
    memoHistory->setReadOnly(true);
    memoHistory->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memoHistory->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memoHistory->setGeometry(12, 64, group->width() - 24, 150);

    btnDownload = new QPushButton(qtr("Download"), group);
    btnDownload->setObjectName(QStringLiteral("btnDownload"));
    btnDownload->setGeometry(12, 224, 90, 25);
    connect(btnDownload, &QPushButton::clicked, this, &TfrmCheckForUpdate::btnDownloadClick);
    ProgressBar = new QProgressBar(group);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(110, 226, group->width() - 122, 21);
    QFont bold = ProgressBar->font();
    bold.setBold(true);
    ProgressBar->setFont(bold);
    ProgressBar->setFormat(QStringLiteral("%p%"));
    ProgressBar->setAlignment(Qt::AlignCenter);
    ProgressBar->setTextVisible(true);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);

    btnClose = new QPushButton(qtr("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(kClientWidth - kMargin - 75, kClientHeight - kMargin - 25, 75, 25);
    connect(btnClose, &QPushButton::clicked, this, &TfrmCheckForUpdate::btnCloseClick);
}

std::function<void(TfrmCheckForUpdate&)>& TfrmCheckForUpdate::testDriver()
{
    static std::function<void(TfrmCheckForUpdate&)> driver;
    return driver;
}

int TfrmCheckForUpdate::showModal(TfrmCheckForUpdate& form)
{
    if (testDriver()) {
        testDriver()(form);
        return form.result();
    }
    return form.exec();
}

int TfrmCheckForUpdate::createAndShowModal(IUpdateHost& host, platform::IPlatform& platform,
                                           const std::u16string& currentVersion, const TUpdateOffer& offer)
{
    TfrmCheckForUpdate form(host, platform, host.UpdateOwner());
    form.lblCurrent->setText(QString::fromStdU16String(currentVersion));
    form.lblLatest->setText(QString::fromStdU16String(offer.version));
    form.memoHistory->setPlainText(QString::fromStdU16String(offer.history));
    form.size = offer.size;
    form.sha256 = offer.sha256;
    return showModal(form);
}

int TfrmCheckForUpdate::createAndShowModal(IUpdateHost& host, platform::IPlatform& platform,
                                           const std::u16string& currentVersion, const std::u16string& status)
{
    TfrmCheckForUpdate form(host, platform, host.UpdateOwner());
    form.lblCurrent->setText(QString::fromStdU16String(currentVersion));
    form.lblLatest->setText(QString::fromStdU16String(status));
    form.btnDownload->setEnabled(false);
    return showModal(form);
}

void TfrmCheckForUpdate::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QWidget* owner = parentWidget() ? parentWidget()->window() : nullptr) {
        move(owner->frameGeometry().center() - rect().center());
    } else if (screen()) {
        move(screen()->availableGeometry().center() - rect().center());
    }
    (btnDownload->isEnabled() ? btnDownload : btnClose)->setFocus();
}

void TfrmCheckForUpdate::reject()
{
    btnCloseClick();
}

void TfrmCheckForUpdate::btnCloseClick()
{
    if (fDownload) {
        fDownload->Cancel();
    }
    done(mrAbort);
}

void TfrmCheckForUpdate::lblURLClick()
{
    // A shell that cannot open the page is not reported.
    fHost.UpdateShellExecute(u"open", TUpdateAddresses::active().historyPage());
}

void TfrmCheckForUpdate::btnDownloadClick()
{
    ProgressBar->setRange(0, std::max(size, 1));
    ProgressBar->setValue(0);
    btnDownload->setEnabled(false);
    if (sha256.empty()) {
        fHost.ShowUpdateError(talvoren::tr(kNoChecksum));
        return; // nothing to check a download against: no use trying again
    }

    TDownloadPlace place(fPlatform.fileSystem());
    const qint64 total = place.file && IsAcceptableSize(size) ? Download(*place.file) : 0;
    if (total == kStopped) {
        return; // stopped by the user: nothing to say, nothing left
    }
    if (total != size) {
        fHost.ShowUpdateError(talvoren::tr(kDownloadError));
        btnDownload->setEnabled(true);
        return;
    }
    // From here until the setup is started nobody can change the file.
    if (!place.file->seal() || !IsVerifiedSetup(*place.file, size, sha256)) {
        fHost.ShowUpdateError(talvoren::tr(kChecksumMismatch));
        btnDownload->setEnabled(true);
        return;
    }
    if (fHost.UpdateCloseQuery()) {
        if (fHost.UpdateShellExecute(u"runas", place.path)) {
            place.keep();
            fHost.UpdateEndApplication();
        } else {
            fHost.ShowUpdateError(talvoren::tr(kStartFailed));
        }
    }
    done(QDialog::Accepted);
}

qint64 TfrmCheckForUpdate::Download(platform::INewFile& file)
{
    const TUpdateAddresses& addresses = TUpdateAddresses::active();
    TSetupDownload download;
    fDownload = &download;
    const qint64 total = download.Run(
        QUrl(QString::fromStdU16String(addresses.download)), size, addresses.timeoutMs,
        [&file](const QByteArray& block) { return file.write(block.constData(), size_t(block.size())); },
        [this](qint64 written) {
            ProgressBar->setValue(int(std::min<qint64>(written, size)));
            ProgressBar->repaint();
        });
    fDownload = nullptr;
    return download.isCancelled() ? kStopped : total;
}

} // namespace talvoren
