#include "update/SetupDownload.h"

#include "update/HttpTransfer.h"

#include <QEventLoop>
#include <QFile>
#include <QUrl>
#include <memory>

namespace talvoren {

TSetupDownload::TSetupDownload(QObject* parent)
    : QObject(parent)
{
}

qint64 TSetupDownload::Run(const QUrl& address, const QString& targetFile, qint64 limit, int timeoutMs,
                           const std::function<void(qint64)>& progress)
{
    fCancelled = false;
    const std::unique_ptr<THttpTransfer> transfer(THttpTransfer::create());
    QEventLoop waiting;
    QFile file(targetFile);
    qint64 total = 0;
    const auto stop = [&] {
        transfer->Abort();
        waiting.quit();
    };
    // Only the body of a successful answer arrives: an error page is not
    // the setup and leaves no file.
    connect(transfer.get(), &THttpTransfer::received, &waiting, [&](const QByteArray& block) {
        if ((!file.isOpen() && !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            || file.write(block) != block.size()) {
            stop();
            return;
        }
        total += block.size();
        if (progress) {
            progress(total);
        }
        if (total > limit) {
            stop();
        }
    });
    connect(transfer.get(), &THttpTransfer::finished, &waiting, &QEventLoop::quit);
    transfer->Start(address, true, timeoutMs);
    fWaiting = &waiting;
    // Until the answer ends, the user stops it or too much arrived; the
    // window goes on answering meanwhile.
    if (!fCancelled && transfer->isRunning()) {
        waiting.exec();
    }
    fWaiting = nullptr;
    transfer->Abort();
    file.close();
    return total;
}

void TSetupDownload::Cancel()
{
    fCancelled = true;
    if (fWaiting) {
        fWaiting->quit();
    }
}

} // namespace talvoren
