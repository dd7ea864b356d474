#include "update/FormCheckForUpdate.h"

#include "base/Translation.h"
#include "platform/Platform.h"
#include "update/SetupDownload.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateHost.h"
#include "update/UpdateProtocol.h"

#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QUrl>
#include <algorithm>

namespace talvoren {

namespace {

constexpr int kClientWidth = 440;
constexpr int kClientHeight = 308;
constexpr int kMargin = 8;

QString qtr(const char* messageId)
{
    return QString::fromStdU16String(tr(messageId));
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

    lblCurrent = new QLabel(group);
    lblCurrent->setObjectName(QStringLiteral("lblCurrent"));
    lblCurrent->setGeometry(valueLeft, 18, 90, current->height());
    lblLatest = new QLabel(group);
    lblLatest->setObjectName(QStringLiteral("lblLatest"));
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
                                           const std::u16string& currentVersion, const std::u16string& internetVersion,
                                           const std::u16string& history, int size)
{
    TfrmCheckForUpdate form(host, platform, host.UpdateOwner());
    form.lblCurrent->setText(QString::fromStdU16String(currentVersion));
    form.lblLatest->setText(QString::fromStdU16String(internetVersion));
    form.memoHistory->setPlainText(QString::fromStdU16String(history));
    form.size = size;
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

    platform::IFileSystem& files = fPlatform.fileSystem();
    const std::u16string tempFolder = files.tempFolder();
    const std::u16string target = tempFolder + kSetupFileName;
    const std::u16string hostFolder = files.dialogPathOf(tempFolder);
    const std::u16string hostFile = hostFolder.empty()
        ? std::u16string()
        : QDir(QDir::fromNativeSeparators(QString::fromStdU16String(hostFolder)))
              .filePath(QString::fromStdU16String(kSetupFileName))
              .toStdU16String();

    const qint64 total = hostFile.empty() ? 0 : Download(hostFile);
    if (total < 0) {
        return; // stopped by the user: nothing to say
    }
    if (total == size && SetupIsComplete(hostFile)) {
        if (fHost.UpdateCloseQuery()) {
            fHost.UpdateShellExecute(u"runas", target);
            fHost.UpdateEndApplication();
        }
        done(QDialog::Accepted);
        return;
    }
    fHost.ShowUpdateError(talvoren::tr("Error downloading new version"));
    btnDownload->setEnabled(true);
}

qint64 TfrmCheckForUpdate::Download(const std::u16string& hostFile)
{
    const TUpdateAddresses& addresses = TUpdateAddresses::active();
    if (!IsAcceptableDownload(size, addresses.download)) {
        return 0;
    }
    TSetupDownload download;
    fDownload = &download;
    const qint64 total
        = download.Run(QUrl(QString::fromStdU16String(addresses.download)), QString::fromStdU16String(hostFile), size,
                       addresses.timeoutMs, [this](qint64 written) {
                           ProgressBar->setValue(int(std::min<qint64>(written, size)));
                           ProgressBar->repaint();
                       });
    fDownload = nullptr;
    return download.isCancelled() ? -1 : total;
}

bool TfrmCheckForUpdate::SetupIsComplete(const std::u16string& hostFile) const
{
    QFile file(QString::fromStdU16String(hostFile));
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray head = file.read(2);
    return IsCompleteSetup(file.size(), std::string_view(head.constData(), size_t(head.size())), size);
}

} // namespace talvoren
