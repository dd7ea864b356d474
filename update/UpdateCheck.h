#pragma once

// The update check: asks the update server which version is the newest and
// tells the user through the status field and, where fitting, the update
// dialog. At most one check runs at a time.

#include "update/UpdateProtocol.h"

#include <QByteArray>
#include <QObject>
#include <optional>

namespace talvoren {

namespace platform {
class IPlatform;
}

class IUpdateHost;
class THttpTransfer;

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
    bool isRunning() const;

private:
    void XMLDocAsyncLoad(bool ok);
    void Fail();
    void Drop();

    IUpdateHost& fHost;
    platform::IPlatform& fPlatform;
    THttpTransfer* fTransfer;
    QByteArray fAnswer;
    bool isAutoUpdate = false;
    bool isUpdateErrorShown = false;
};

} // namespace talvoren
