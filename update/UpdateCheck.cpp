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
// An answer document is a few hundred bytes; anything this large is not one.
constexpr qsizetype kMaxAnswerSize = 1024 * 1024;
} // namespace

std::optional<TUpdateAnswerFields> ReadUpdateAnswer(const QByteArray& document)
{
    QXmlStreamReader xml(document);
    TUpdateAnswerFields fields;
    bool inRoot = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) {
            continue;
        }
        if (!inRoot) {
            inRoot = true;
            continue;
        }
        // A child of the root: its whole text, the first of each name counts.
        const QString name = xml.name().toString();
        const std::u16string text = xml.readElementText(QXmlStreamReader::IncludeChildElements).toStdU16String();
        std::optional<std::u16string>* field = name == QLatin1String("version") ? &fields.version
            : name == QLatin1String("history")                                  ? &fields.history
            : name == QLatin1String("size")                                     ? &fields.size
                                                                                : nullptr;
        if (field && !*field) {
            *field = text;
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
            fTransfer->Abort();
            fAnswer.clear();
            Fail();
        }
    });
    connect(fTransfer, &THttpTransfer::finished, this, [this](bool ok, int) { XMLDocAsyncLoad(ok); });
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
    fTransfer->Abort();
    fAnswer.clear();
}

void TUpdateCheck::Start(bool isAuto, int32_t id)
{
    Drop();
    isAutoUpdate = isAuto;
    isUpdateErrorShown = false;
    const std::vector<uint16_t> version = fPlatform.system().executableVersion();
    const TUpdateAddresses& addresses = TUpdateAddresses::active();
    const QUrl address(QString::fromStdU16String(addresses.server + UpdateRequestPath(version, id)));
    fHost.SetUpdateStatus(usChecking, platform::fromUtf8(trNoop("Checking for updates...")));
    if (!address.isValid() || address.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0
        || address.host().isEmpty()) {
        Fail();
        return;
    }
    fTransfer->Start(address, false, addresses.timeoutMs);
}

void TUpdateCheck::XMLDocAsyncLoad(bool ok)
{
    const QByteArray document = std::exchange(fAnswer, {});
    try {
        const std::u16string current = FullVersionText(fPlatform.system().executableVersion());
        // Only a successful answer has a body here (an error page is not
        // passed on); an empty one does not parse.
        const std::optional<TUpdateAnswerFields> fields
            = ok ? ReadUpdateAnswer(document) : std::optional<TUpdateAnswerFields>();
        const TUpdateAnswerCheck answer = fields ? CheckUpdateAnswer(*fields, current) : TUpdateAnswerCheck();
        if (!answer.valid) {
            Fail();
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
        TfrmCheckForUpdate::createAndShowModal(fHost, fPlatform, current, answer.offer.version, answer.offer.history,
                                               answer.offer.size);
    } catch (const std::exception&) {
        Fail();
    }
}

void TUpdateCheck::Fail()
{
    fHost.SetUpdateStatus(usError, platform::fromUtf8(kCantRetrieve));
    if (!isAutoUpdate && !isUpdateErrorShown) {
        isUpdateErrorShown = true;
        TfrmCheckForUpdate::createAndShowModal(
            fHost, fPlatform, FullVersionText(fPlatform.system().executableVersion()), talvoren::tr(kCantRetrieve));
    }
}

} // namespace talvoren
