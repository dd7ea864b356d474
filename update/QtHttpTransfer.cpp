// The transfer through Qt Network.

#include "update/HttpTransfer.h"

#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QPointer>
#include <QUrl>

namespace talvoren {

namespace {

QNetworkRequest MakeRequest(const QUrl& address, int timeoutMs, bool forceReload)
{
    static const bool systemProxy = (QNetworkProxyFactory::setUseSystemConfiguration(true), true);
    (void)systemProxy;

    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Talvoren"));
    // Each redirect is put to isPermittedRedirect() first.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setTransferTimeout(timeoutMs);
    if (forceReload) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
    }
    return request;
}

class TQtHttpTransfer final : public THttpTransfer {
public:
    explicit TQtHttpTransfer(QObject* parent)
        : THttpTransfer(parent)
        , fNetwork(new QNetworkAccessManager(this))
    {
    }
    ~TQtHttpTransfer() override { Abort(); }

    void Start(const QUrl& address, bool forceReload, int timeoutMs) override
    {
        Abort();
        fRefused = false;
        fAt = address;
        QNetworkReply* reply = fNetwork->get(MakeRequest(address, timeoutMs, forceReload));
        fReply = reply;
        connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl& to) {
            if (reply != fReply) {
                return;
            }
            const QUrl next = fAt.resolved(to);
            if (isPermittedRedirect(fAt, next)) {
                fAt = next;
                emit reply->redirectAllowed();
            } else {
                fRefused = true;
                reply->abort(); // finished() follows
            }
        });
        connect(reply, &QNetworkReply::readyRead, this, [this, reply] { Deliver(reply); });
        connect(reply, &QNetworkReply::finished, this, [this, reply] { Finish(reply); });
    }

    void Abort() override
    {
        if (QNetworkReply* reply = fReply.data()) {
            fReply = nullptr;
            disconnect(reply, nullptr, this, nullptr);
            reply->abort();
            reply->deleteLater();
        }
    }

    bool isRunning() const override { return !fReply.isNull(); }

private:
    static int Status(QNetworkReply* reply)
    {
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
    static bool Successful(QNetworkReply* reply)
    {
        const int status = Status(reply);
        return reply->error() == QNetworkReply::NoError && status >= 200 && status < 300;
    }

    // A receiver may drop the transfer or start another one in between.
    void Deliver(QNetworkReply* reply)
    {
        while (reply == fReply && reply->bytesAvailable() > 0 && Successful(reply)) {
            emit received(reply->read(kChunkSize));
        }
    }

    void Finish(QNetworkReply* reply)
    {
        Deliver(reply);
        if (reply != fReply) {
            return;
        }
        fReply = nullptr;
        reply->deleteLater();
        const int status = Status(reply);
        emit finished(fRefused                ? toRedirectRefused
                          : Successful(reply) ? toOk
                          : status / 100 > 2  ? toHttpError
                                              : toNoAnswer,
                      status);
    }

    QNetworkAccessManager* fNetwork;
    QPointer<QNetworkReply> fReply;
    QUrl fAt; // where the request went last
    bool fRefused = false;
};

} // namespace

THttpTransfer* THttpTransfer::create(QObject* parent)
{
    return new TQtHttpTransfer(parent);
}

} // namespace talvoren
