#include "update/SetupDownload.h"

#include "update/HttpTransfer.h"

#include <QEventLoop>
#include <QUrl>
#include <memory>

namespace talvoren {

TSetupDownload::TSetupDownload(QObject* parent)
    : QObject(parent)
{
}

qint64 TSetupDownload::Run(const QUrl& address, qint64 limit, int timeoutMs,
                           const std::function<bool(const QByteArray&)>& write,
                           const std::function<void(qint64)>& progress)
{
    fCancelled = false;
    const std::unique_ptr<THttpTransfer> transfer(THttpTransfer::create());
    QEventLoop waiting;
    qint64 total = 0;
    bool whole = false;
    const auto stop = [&] {
        transfer->Abort();
        waiting.quit();
    };
    // Only the body of a successful answer arrives: an error page is not
    // the setup.
    connect(transfer.get(), &THttpTransfer::received, &waiting, [&](const QByteArray& block) {
        if (!write(block)) {
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
    connect(transfer.get(), &THttpTransfer::finished, &waiting, [&](THttpTransfer::TOutcome outcome, int) {
        whole = outcome == THttpTransfer::toOk;
        waiting.quit();
    });
    if (THttpTransfer::isPermittedAddress(address)) {
        transfer->Start(address, true, timeoutMs);
    }
    fWaiting = &waiting;
    // Until the answer ends, the user stops it or too much arrived; the
    // window goes on answering meanwhile.
    if (!fCancelled && transfer->isRunning()) {
        waiting.exec();
    }
    fWaiting = nullptr;
    transfer->Abort();
    return whole && !fCancelled ? total : -1;
}

void TSetupDownload::Cancel()
{
    fCancelled = true;
    if (fWaiting) {
        fWaiting->quit();
    }
}

} // namespace talvoren
