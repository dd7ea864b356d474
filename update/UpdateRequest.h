#pragma once

// The HTTP request of the update check and the setup download: the
// program's name as agent, the system's proxy, redirects only where they
// are no less safe, and a transfer timeout so that a silent server ends
// as a failure.

#include <QNetworkRequest>

namespace talvoren {

QNetworkRequest UpdateRequest(const QUrl& address, int timeoutMs, bool forceReload);

} // namespace talvoren
