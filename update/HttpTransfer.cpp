#include "update/HttpTransfer.h"

#include <QStringList>
#include <QUrl>

namespace talvoren {

namespace {

bool isLoopbackHost(const QString& host)
{
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || host == QLatin1String("::1")) {
        return true;
    }
    const QStringList octets = host.split(u'.');
    if (octets.size() != 4 || octets[0] != QLatin1String("127")) {
        return false;
    }
    for (const QString& octet : octets) {
        bool number = false;
        if (octet.isEmpty() || octet.size() > 3 || octet.toUInt(&number) > 255 || !number) {
            return false;
        }
    }
    return true;
}

} // namespace

bool THttpTransfer::isPermittedAddress(const QUrl& address)
{
    if (!address.isValid() || address.host().isEmpty() || !address.userInfo().isEmpty()) {
        return false;
    }
    const QString scheme = address.scheme().toLower();
    return scheme == QLatin1String("https") || (scheme == QLatin1String("http") && isLoopbackHost(address.host()));
}

bool THttpTransfer::isPermittedRedirect(const QUrl& from, const QUrl& to)
{
    const int defaultPort = from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
    return to.isValid() && isPermittedAddress(to) && to.scheme().compare(from.scheme(), Qt::CaseInsensitive) == 0
        && to.host().compare(from.host(), Qt::CaseInsensitive) == 0 && to.port(defaultPort) == from.port(defaultPort);
}

} // namespace talvoren
