#include "update/UpdateRequest.h"

#include <QNetworkProxyFactory>

namespace talvoren {

QNetworkRequest UpdateRequest(const QUrl& address, int timeoutMs, bool forceReload)
{
    static const bool systemProxy = (QNetworkProxyFactory::setUseSystemConfiguration(true), true);
    (void)systemProxy;

    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Talvoren"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(timeoutMs);
    if (forceReload) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
        request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
    }
    return request;
}

} // namespace talvoren
