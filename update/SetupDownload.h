#pragma once

// One download of the setup program into a file, block by block (as the
// transfer hands them over) on the user-interface thread: the window goes on
// answering between blocks, so that the user can stop the download.

#include <QObject>
#include <functional>

class QEventLoop;
class QString;
class QUrl;

namespace talvoren {

class TSetupDownload : public QObject {
    Q_OBJECT
public:
    explicit TSetupDownload(QObject* parent = nullptr);

    // Downloads `address` into `targetFile`, replacing it, and calls
    // `progress` with the bytes written so far after every block. Stops once
    // more than `limit` bytes arrived, on an error and when cancelled; what
    // was written stays. Returns the bytes written (0 when the address
    // gave nothing to write).
    qint64 Run(const QUrl& address, const QString& targetFile, qint64 limit, int timeoutMs,
               const std::function<void(qint64)>& progress);

    // Stops a running download at the next block.
    void Cancel();
    bool isCancelled() const { return fCancelled; }

private:
    QEventLoop* fWaiting = nullptr;
    bool fCancelled = false;
};

} // namespace talvoren
