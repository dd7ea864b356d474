// The transfer through Windows' own Internet client, which blocks: each
// transfer runs on a thread of its own and hands the answer to the owner's
// thread. A dropped transfer's thread is left to end by itself (soon, as its
// connection is closed), so neither closing the window nor a new transfer
// waits for it. The timeout is kept here as well: not every step of the
// client keeps its own (Wine's TLS handshake waits for ever).

#include "platform/win32/Win32Internet.h"
#include "update/HttpTransfer.h"

#include <QByteArray>
#include <QMetaObject>
#include <QTimer>
#include <QUrl>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace talvoren {

namespace {

// What one transfer's thread shares with its owner; it lives as long as
// either of them.
struct TJob {
    platform::win32::TInternetGet get;
    std::mutex lock;
    QObject* owner; // nullptr once dropped

    explicit TJob(QObject* owner)
        : owner(owner)
    {
    }

    // Queues `deliver` to the owner's thread; false once dropped. Under the
    // lock, so the owner cannot go away while the call is queued.
    template <typename F> bool Post(F deliver)
    {
        std::lock_guard<std::mutex> guard(lock);
        if (!owner) {
            return false;
        }
        QMetaObject::invokeMethod(owner, std::move(deliver), Qt::QueuedConnection);
        return true;
    }
    // Nothing more reaches the owner, and the connection is closed. Closing
    // can wait for a blocked read to give up (Wine's does), so that happens
    // on a thread of its own.
    static void Drop(const std::shared_ptr<TJob>& job)
    {
        {
            std::lock_guard<std::mutex> guard(job->lock);
            job->owner = nullptr;
        }
        try {
            std::thread([job] { job->get.Abort(); }).detach();
        } catch (const std::system_error&) {
            job->get.Abort();
        }
    }
};

class TWin32HttpTransfer final : public THttpTransfer {
public:
    explicit TWin32HttpTransfer(QObject* parent)
        : THttpTransfer(parent)
    {
        fSilence.setSingleShot(true);
        connect(&fSilence, &QTimer::timeout, this, [this] {
            Abort();
            emit finished(toNoAnswer, 0);
        });
    }
    ~TWin32HttpTransfer() override { Abort(); }

    void Start(const QUrl& address, bool forceReload, int timeoutMs) override
    {
        Abort();
        auto job = std::make_shared<TJob>(this);
        fJob = job;
        if (timeoutMs > 0) {
            fSilence.start(timeoutMs);
        }
        const std::u16string url = address.toString(QUrl::FullyEncoded).toStdU16String();
        const unsigned long timeout = timeoutMs > 0 ? static_cast<unsigned long>(timeoutMs) : 0;
        const auto run = [this, job, url, forceReload, timeout] {
            int status = 0;
            bool refused = false;
            const bool ok = job->get.Run(
                url, forceReload, timeout, size_t(kChunkSize),
                [&refused](const std::u16string& from, const std::u16string& location) {
                    const QUrl current(QString::fromStdU16String(from));
                    const QUrl next = current.resolved(QUrl(QString::fromStdU16String(location)));
                    refused = !isPermittedRedirect(current, next);
                    return refused ? std::u16string() : next.toString(QUrl::FullyEncoded).toStdU16String();
                },
                [&status](int answered) {
                    status = answered;
                    return answered >= 200 && answered < 300;
                },
                [this, &job](const char* data, size_t size) {
                    QByteArray chunk(data, qsizetype(size));
                    return job->Post([this, job, chunk] { Deliver(job, chunk); });
                });
            const TOutcome outcome = ok ? toOk
                : refused               ? toRedirectRefused
                : status / 100 > 2      ? toHttpError
                                        : toNoAnswer;
            job->Post([this, job, outcome, status] { Finish(job, outcome, status); });
        };
        try {
            std::thread(run).detach();
        } catch (const std::system_error&) {
            job->Post([this, job] { Finish(job, toNoAnswer, 0); }); // no thread to be had: a failed transfer
        }
    }

    void Abort() override
    {
        fSilence.stop();
        if (std::shared_ptr<TJob> job = std::move(fJob)) {
            TJob::Drop(job);
        }
    }

    bool isRunning() const override { return fJob != nullptr; }

    // On the owner's thread; calls of a dropped job are ignored.
    void Deliver(const std::shared_ptr<TJob>& job, const QByteArray& chunk)
    {
        if (job == fJob) {
            if (fSilence.isActive()) {
                fSilence.start(); // again, as something arrived
            }
            emit received(chunk);
        }
    }
    void Finish(const std::shared_ptr<TJob>& job, TOutcome outcome, int status)
    {
        if (job == fJob) {
            fJob.reset();
            fSilence.stop();
            emit finished(outcome, status);
        }
    }

private:
    std::shared_ptr<TJob> fJob;
    QTimer fSilence; // ends a transfer that receives nothing for its timeout
};

} // namespace

THttpTransfer* THttpTransfer::create(QObject* parent)
{
    return new TWin32HttpTransfer(parent);
}

} // namespace talvoren
