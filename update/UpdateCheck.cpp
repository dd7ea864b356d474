#include "update/UpdateCheck.h"

#include "base/Translation.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "update/FormCheckForUpdate.h"
#include "update/HttpTransfer.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateHost.h"

#include <QUrl>
#include <QXmlStreamReader>
#include <exception>
#include <utility>

namespace talvoren {

namespace {
const char* const kCantRetrieve = trNoop("Can't retrieve version info");
const char* const kReasonNoAnswer = trNoop("The update server could not be reached.");
const char* const kReasonTooSlow = trNoop("The update server did not answer in time.");
const char* const kReasonHttpError = trNoop("The update server answered with an error.");
const char* const kReasonRedirect = trNoop("The update server pointed to another server, which is not followed.");
const char* const kReasonInsecure = trNoop("The update server's address is not a secure (https) one.");
const char* const kReasonBadAnswer = trNoop("The update server's answer could not be read.");
// An answer document is a few hundred bytes; anything this large is not one.
constexpr qsizetype kMaxAnswerSize = 1024 * 1024;
// The answer is flat: the root and its children. Deeper nesting is read
// (the text of a child includes its children's) up to this depth only.
constexpr int kMaxAnswerDepth = 32;
} // namespace

std::optional<TUpdateAnswerFields> ReadUpdateAnswer(const QByteArray& document)
{
    QXmlStreamReader xml(document);
    TUpdateAnswerFields fields;
    bool inRoot = false;
    int depth = 0;
    std::optional<std::u16string>* field = nullptr; // the child being read, when its text is wanted
    QString text;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > kMaxAnswerDepth) {
                return std::nullopt;
            }
            if (depth == 1) {
                inRoot = true;
            } else if (depth == 2) {
                // A child of the root: its whole text; the first of each name counts.
                const QStringView name = xml.name();
                field = name == QLatin1String("version") ? &fields.version
                    : name == QLatin1String("history")   ? &fields.history
                    : name == QLatin1String("size")      ? &fields.size
                    : name == QLatin1String("sha256")    ? &fields.sha256
                                                         : nullptr;
                if (field && *field) {
                    field = nullptr;
                }
                text.clear();
            }
            break;
        case QXmlStreamReader::Characters:
            if (field) {
                text += xml.text();
            }
            break;
        case QXmlStreamReader::EndElement:
            if (depth == 2 && field) {
                *field = text.toStdU16String();
                field = nullptr;
            }
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError() || !inRoot) {
        return std::nullopt;
    }
    return fields;
}

TUpdateCheck::TUpdateCheck(IUpdateHost& host, platform::IPlatform& platform, QObject* parent)
    : QObject(parent)
    , fHost(host)
    , fPlatform(platform)
    , fTransfer(THttpTransfer::create(this))
{
    connect(fTransfer, &THttpTransfer::received, this, [this](const QByteArray& chunk) {
        fAnswer += chunk;
        if (fAnswer.size() > kMaxAnswerSize) {
            Drop();
            Fail(kReasonBadAnswer);
        }
    });
    connect(fTransfer, &THttpTransfer::finished, this,
            [this](THttpTransfer::TOutcome outcome, int) { XMLDocAsyncLoad(outcome); });
    fLimit.setSingleShot(true);
    connect(&fLimit, &QTimer::timeout, this, [this] {
        Drop();
        Fail(kReasonTooSlow);
    });
}

TUpdateCheck::~TUpdateCheck()
{
    Drop();
}

bool TUpdateCheck::isRunning() const
{
    return fTransfer->isRunning();
}

void TUpdateCheck::Drop()
{
    fLimit.stop();
    fTransfer->Abort();
    fAnswer.clear();
}

void TUpdateCheck::Start(bool isAuto)
{
    Drop();
    isAutoUpdate = isAuto;
    isUpdateErrorShown = false;
    const std::vector<uint16_t> version = fPlatform.system().executableVersion();
    const TUpdateAddresses& addresses = TUpdateAddresses::active();
    const QUrl address(QString::fromStdU16String(addresses.server + UpdateRequestPath(version, SelectedLanguage())));
    fHost.SetUpdateStatus(usChecking, platform::fromUtf8(trNoop("Checking for updates...")));
    if (!THttpTransfer::isPermittedAddress(address)) {
        Fail(kReasonInsecure);
        return;
    }
    fLimit.start(addresses.checkLimitMs);
    fTransfer->Start(address, false, addresses.timeoutMs);
}

void TUpdateCheck::XMLDocAsyncLoad(THttpTransfer::TOutcome outcome)
{
    fLimit.stop();
    const QByteArray document = std::exchange(fAnswer, {});
    try {
        const std::vector<uint16_t> version = fPlatform.system().executableVersion();
        const std::u16string current = FullVersionText(version);
        switch (outcome) {
        case THttpTransfer::toOk:
            break;
        case THttpTransfer::toHttpError:
            Fail(kReasonHttpError);
            return;
        case THttpTransfer::toRedirectRefused:
            Fail(kReasonRedirect);
            return;
        default:
            Fail(kReasonNoAnswer);
            return;
        }
        // Only a successful answer has a body here (an error page is not
        // passed on); an empty one does not parse.
        const std::optional<TUpdateAnswerFields> fields = ReadUpdateAnswer(document);
        const TUpdateAnswerCheck answer = fields ? CheckUpdateAnswer(*fields, version) : TUpdateAnswerCheck();
        if (!answer.valid) {
            Fail(kReasonBadAnswer);
            return;
        }
        if (answer.latest) {
            const char* latest = trNoop("You have the latest version of Talvoren!");
            fHost.SetUpdateStatus(usUpToDate, platform::fromUtf8(latest));
            if (!isAutoUpdate) {
                TfrmCheckForUpdate::createAndShowModal(fHost, fPlatform, current, talvoren::tr(latest));
            }
            return;
        }
        fHost.SetUpdateStatus(usNone, u"");
        TfrmCheckForUpdate::createAndShowModal(fHost, fPlatform, current, answer.offer);
    } catch (const std::exception&) {
        Fail(kReasonBadAnswer);
    }
}

void TUpdateCheck::Fail(const char* reason)
{
    // At start-up quietly: no error image, the reason in the field's hint.
    fHost.SetUpdateStatus(isAutoUpdate ? usNone : usError, platform::fromUtf8(kCantRetrieve),
                          platform::fromUtf8(reason));
    if (!isAutoUpdate && !isUpdateErrorShown) {
        isUpdateErrorShown = true;
        TfrmCheckForUpdate::createAndShowModal(
            fHost, fPlatform, FullVersionText(fPlatform.system().executableVersion()), talvoren::tr(kCantRetrieve));
    }
}

} // namespace talvoren
