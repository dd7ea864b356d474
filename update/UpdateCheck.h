#pragma once

// The update check: asks the update server which version is the newest and
// tells the user through the status field and, where fitting, the update
// dialog. At most one check runs at a time.

#include "update/UpdateProtocol.h"

#include <QObject>
#include <QPointer>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

namespace talvoren {

namespace platform {
class IPlatform;
}

class IUpdateHost;

// The fields of an answer document: the children "version", "history" and
// "size" of its root element, whatever the root is called; nothing when the
// document is empty or does not parse.
std::optional<TUpdateAnswerFields> ReadUpdateAnswer(const QByteArray& document);

class TUpdateCheck : public QObject {
    Q_OBJECT
public:
    TUpdateCheck(IUpdateHost& host, platform::IPlatform& platform, QObject* parent = nullptr);
    ~TUpdateCheck() override;

    // Starts a check for the options' `id`, dropping a running one. An
    // automatic check (at start-up) never shows a dialog for an error or
    // for the latest version.
    void Start(bool isAutoUpdate, int32_t id);
    bool isRunning() const { return !fReply.isNull(); }

private:
    void XMLDocAsyncLoad(QNetworkReply* reply);
    void Fail();
    void Drop();

    IUpdateHost& fHost;
    platform::IPlatform& fPlatform;
    QNetworkAccessManager* fNetwork;
    QPointer<QNetworkReply> fReply;
    bool isAutoUpdate = false;
    bool isUpdateErrorShown = false;
};

} // namespace talvoren
