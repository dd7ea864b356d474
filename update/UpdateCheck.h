#pragma once

// The update check: asks the update server which version is the newest and
// tells the user through the status field and, where fitting, the update
// dialog. At most one check runs at a time.

#include "update/HttpTransfer.h"
#include "update/UpdateProtocol.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <optional>

namespace talvoren {

namespace platform {
class IPlatform;
}

class IUpdateHost;

// The fields of an answer document: the children "version", "history",
// "size" and "sha256" of its root element, whatever the root is called;
// nothing when the document is empty, does not parse or nests deeper than
// 32 elements.
std::optional<TUpdateAnswerFields> ReadUpdateAnswer(const QByteArray& document);

class TUpdateCheck : public QObject {
    Q_OBJECT
public:
    TUpdateCheck(IUpdateHost& host, platform::IPlatform& platform, QObject* parent = nullptr);
    ~TUpdateCheck() override;

    // Starts a check, dropping a running one. An automatic check (at
    // start-up) never shows a dialog for an error or for the latest
    // version, and shows an error without the error image.
    void Start(bool isAutoUpdate);
    bool isRunning() const;

private:
    void XMLDocAsyncLoad(THttpTransfer::TOutcome outcome);
    // `reason`: the English message of why.
    void Fail(const char* reason);
    void Drop();

    IUpdateHost& fHost;
    platform::IPlatform& fPlatform;
    THttpTransfer* fTransfer;
    QTimer fLimit; // the whole check's time
    QByteArray fAnswer;
    bool isAutoUpdate = false;
    bool isUpdateErrorShown = false;
};

} // namespace talvoren
