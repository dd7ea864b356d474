#pragma once

// One download of the setup program into a file, block by block (as the
// transfer hands them over) on the user-interface thread: the window goes on
// answering between blocks, so that the user can stop the download.

#include <QObject>
#include <functional>

class QByteArray;
class QEventLoop;
class QUrl;

namespace talvoren {

class TSetupDownload : public QObject {
    Q_OBJECT
public:
    explicit TSetupDownload(QObject* parent = nullptr);

    // Downloads `address`, handing every block to `write` (false stops the
    // download) and then the bytes written so far to `progress`. Stops once
    // more than `limit` bytes arrived, on an error and when cancelled.
    // Returns the bytes written, or -1 when the answer did not arrive whole.
    qint64 Run(const QUrl& address, qint64 limit, int timeoutMs, const std::function<bool(const QByteArray&)>& write,
               const std::function<void(qint64)>& progress);

    // Stops a running download at the next block.
    void Cancel();
    bool isCancelled() const { return fCancelled; }

private:
    QEventLoop* fWaiting = nullptr;
    bool fCancelled = false;
};

} // namespace talvoren
