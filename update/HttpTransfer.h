#pragma once

// One HTTP GET of the update check or the setup download: the program's
// name as agent, the system's proxy and certificates, https only (plain
// http to this machine alone), redirects only to another path of the same
// server, and a timeout so that a silent server ends as a failure. Each build
// brings its own transport; the answer always arrives on the thread that
// owns the transfer, never from within Start().

#include <QObject>

class QUrl;

namespace talvoren {

class THttpTransfer : public QObject {
    Q_OBJECT
public:
    static constexpr qsizetype kChunkSize = 10240;

    // How a transfer ended.
    enum TOutcome { toOk, toNoAnswer, toHttpError, toRedirectRefused };

    // Whether `address` may be asked at all: https, or http to the loopback
    // address (127.0.0.0/8, ::1, localhost), where nothing is on the way.
    static bool isPermittedAddress(const QUrl& address);
    // Whether a redirect from `from` to `to` may be followed: the same
    // scheme, host and port, only the path and query changed.
    static bool isPermittedRedirect(const QUrl& from, const QUrl& to);

    // The transport of this build.
    static THttpTransfer* create(QObject* parent = nullptr);

    // Starts a GET of `address`, dropping a running one. `forceReload`:
    // caches on the way must ask the server too. A transfer that receives
    // nothing for `timeoutMs` fails.
    virtual void Start(const QUrl& address, bool forceReload, int timeoutMs) = 0;
    // Drops a running transfer: nothing more comes from it.
    virtual void Abort() = 0;
    virtual bool isRunning() const = 0;

signals:
    // The body of a successful (2xx) answer, in chunks of at most
    // kChunkSize bytes; the body of any other answer is not passed on.
    void received(const QByteArray& chunk);
    // The end: toOk when a successful answer arrived whole; `httpStatus`
    // is 0 when no answer came.
    void finished(talvoren::THttpTransfer::TOutcome outcome, int httpStatus);

protected:
    using QObject::QObject;
};

} // namespace talvoren
