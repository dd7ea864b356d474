#include "update/SetupDownload.h"

#include "update/UpdateRequest.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
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
    QNetworkAccessManager network;
    std::unique_ptr<QNetworkReply> reply(network.get(UpdateRequest(address, timeoutMs, true)));
    QEventLoop waiting;
    connect(reply.get(), &QNetworkReply::readyRead, &waiting, &QEventLoop::quit);
    connect(reply.get(), &QNetworkReply::finished, &waiting, &QEventLoop::quit);
    fWaiting = &waiting;

    // Only the body of a successful answer is the setup; an error page is not.
    const auto answered = [&] {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    };

    QFile file(targetFile);
    qint64 total = 0;
    while (!fCancelled) {
        if (reply->bytesAvailable() > 0) {
            if (!answered()) {
                break;
            }
            if (!file.isOpen() && !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                break;
            }
            const QByteArray block = reply->read(kBlockSize);
            if (file.write(block) != block.size()) {
                break;
            }
            total += block.size();
            if (progress) {
                progress(total);
            }
            QCoreApplication::processEvents();
            if (total > limit) {
                break;
            }
            continue;
        }
        if (reply->isFinished()) {
            break;
        }
        waiting.exec(); // until more arrives, the answer ends or the user stops it
    }
    fWaiting = nullptr;
    if (reply->isRunning()) {
        reply->abort();
    }
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
