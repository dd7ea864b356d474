// The update check and the setup download through the main window, against
// an HTTP server inside the test process: what the status field and the
// update dialog show for each answer, that errors reach the user only for
// a check the user started, and that only a download whose SHA-256 matches
// is ever started, with nothing left behind otherwise.

#include "update/UpdateCheck.h"

#include "base/EnvStore.h"
#include "platform/Platform.h"
#include "tests/ui/MainWindowFixture.h"
#include "tests/update/TestHttpServer.h"
#include "ui/StatusField.h"
#include "update/FormCheckForUpdate.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateHost.h"
#include "update/UpdateProtocol.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <filesystem>
#include <fstream>

using namespace talvoren;
using namespace talvoren::test;

namespace {

const QString kLatest = QStringLiteral("You have the latest version of Talvoren!");
const QString kCantRetrieve = QStringLiteral("Can't retrieve version info");
const QString kDownloadError = QStringLiteral("Error downloading new version");
const QString kNoChecksum
    = QStringLiteral("The update server gave no SHA-256 checksum for the setup, so it is not downloaded.");
const QString kMismatch = QStringLiteral(
    "The downloaded setup does not match its SHA-256 checksum. It was deleted and nothing was started.");
const QString kStartFailed
    = QStringLiteral("The setup was not started (the start failed or was declined). Talvoren goes on running.");
const QByteArray kSetupPath = "/download/Talvoren_setup.exe";

QByteArray sha256Of(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

QByteArray setupBytes(qsizetype size, char first = 'M', char second = 'Z')
{
    QByteArray bytes(size, 'x');
    bytes[0] = first;
    bytes[1] = second;
    return bytes;
}

QByteArray answerXml(const QByteArray& version, const QByteArray& size = "4096",
                     const QByteArray& history = "Fixed:\n- this\n- that", const QByteArray& sha256 = sha256Of("x"))
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<talvoren><version>" + version + "</version><history>" + history
        + "</history><size>" + size + "</size>" + (sha256.isEmpty() ? "" : "<sha256>" + sha256 + "</sha256>")
        + "</talvoren>";
}

// What one showing of the update dialog held.
struct TShown {
    QString current, latest, history;
    bool downloadEnabled = false;
    int size = 0;
    bool plainText = false;
};

// A host without a window that starts the setup for real, with the test's
// own parameters (/S keeps a real setup silent).
struct THost : IUpdateHost {
    explicit THost(platform::IPlatform& platform, std::u16string parameters = {})
        : real(platform)
        , parameters(std::move(parameters))
    {
    }
    platform::IPlatform& real;
    std::u16string parameters;
    QStringList errors;
    bool ended = false;
    QWidget* UpdateOwner() override { return nullptr; }
    void SetUpdateStatus(int, const std::u16string&, const std::u16string&) override { }
    void ShowUpdateError(const std::u16string& text) override { errors.append(QString::fromStdU16String(text)); }
    bool UpdateCloseQuery() override { return true; }
    bool UpdateShellExecute(const std::u16string& verb, const std::u16string& file) override
    {
        return real.shell().execute(verb, file, parameters, 0);
    }
    void UpdateEndApplication() override { ended = true; }
};

} // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

    TTestHttpServer server;
    QList<TShown> shown;
    // What the test does in the open dialog after it was recorded.
    std::function<void(TfrmCheckForUpdate&)> inDialog;

    TFixture& Prepare(TFixture& f, bool checkAtStart)
    {
        f.SeedSetting(u"checkForUpdates", checkAtStart ? 1 : 0);
        f.SeedSetting(u"id", 4711); // never sent
        TUpdateAddresses& addresses = TUpdateAddresses::active();
        addresses.server = QString::fromLatin1(server.url("")).toStdU16String();
        addresses.download = QString::fromLatin1(server.url(kSetupPath)).toStdU16String();
        addresses.timeoutMs = 3000;
        addresses.checkLimitMs = 15000;
        return f;
    }
    static QString CurrentVersion(TFixture& f)
    {
        return QString::fromStdU16String(FullVersionText(f.platform().system().executableVersion()));
    }
    // The download folders in the temporary folder.
    static QStringList Downloads(platform::IPlatform& platform)
    {
        platform::IFileSystem& files = platform.fileSystem();
        QStringList found;
        std::error_code ec;
        const std::filesystem::path temp(
            QString::fromStdU16String(files.dialogPathOf(files.tempFolder())).toStdString());
        for (const auto& entry : std::filesystem::directory_iterator(temp, ec)) {
            const QString name = QString::fromStdString(entry.path().filename().string());
            if (name.startsWith(QLatin1String("Talvoren-"))) {
                found.append(name);
            }
        }
        return found;
    }
    static QString Tooltip(TfrmMain& w) { return statusField(w, 4)->toolTip(); }
    // Runs the user's command and waits for the dialog it opens.
    void CheckAndWait(TFixture& f, qsizetype dialogs)
    {
        f.action("actHelpCheckUpdates")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), dialogs, 5000);
    }
    // Opens an offer of `size` bytes with `sha256` and presses "Download"
    // in it; whether "Download" can be pressed again afterwards.
    bool Download(TFixture& f, int size, const QByteArray& sha256)
    {
        server.answer("/en/updates", {200, answerXml("99.0.0.1", QByteArray::number(size), "h", sha256)});
        bool enabledAgain = false;
        inDialog = [&](TfrmCheckForUpdate& form) {
            form.btnDownload->click();
            enabledAgain = form.btnDownload->isEnabled();
        };
        CheckAndWait(f, shown.size() + 1);
        return enabledAgain;
    }

private slots:
    void init()
    {
        resetDialogs();
        // A notice that comes unexpectedly is answered rather than waited
        // for; the tests read which texts were shown.
        for (int i = 0; i < 10; ++i) {
            TfrmOK::setNextAnswer(mrOk);
        }
        server.Reset();
        shown.clear();
        inDialog = nullptr;
        TfrmCheckForUpdate::testDriver() = [this](TfrmCheckForUpdate& form) {
            shown.append(
                {form.lblCurrent->text(), form.lblLatest->text(), form.memoHistory->toPlainText(),
                 form.btnDownload->isEnabled(), form.size,
                 form.lblCurrent->textFormat() == Qt::PlainText && form.lblLatest->textFormat() == Qt::PlainText});
            if (inDialog) {
                inDialog(form);
            }
        };
    }
    void cleanup()
    {
        TfrmCheckForUpdate::testDriver() = nullptr;
        resetDialogs();
    }

    // A check the user starts: "checking" at once, then the latest version
    // in the status form; a newer version (also behind a redirect to
    // another path) as an offer with its history as plain text; an older
    // one is no offer. The request tells the build and the language only.
    void userCheckShowsTheAnswer()
    {
        TFixture f;
        Prepare(f, false);
        TfrmMain& w = f.Open();
        QTest::qWait(50);
        QVERIFY2(server.requests.isEmpty(), "no check at start when the option is off");
        const QString current = CurrentVersion(f);

        server.answer("/en/updates", {200, answerXml(current.toLatin1())});
        f.action("actHelpCheckUpdates")->trigger();
        QCOMPARE(statusField(w, 4)->text(), QStringLiteral("Checking for updates..."));
        QCOMPARE(statusField(w, 4)->image(), 5);
        QTRY_COMPARE(shown.size(), qsizetype(1));
        QCOMPARE(statusField(w, 4)->text(), kLatest);
        QCOMPARE(statusField(w, 4)->image(), 6);
        QCOMPARE(shown[0].current, current);
        QCOMPARE(shown[0].latest, kLatest);
        QVERIFY(!shown[0].downloadEnabled);
        QVERIFY(shown[0].history.isEmpty());
        QCOMPARE(server.requests.size(), qsizetype(1));
        const QByteArray build = QByteArray::number(f.platform().system().executableVersion().at(3));
        QCOMPARE(server.requests[0].target, "/en/updates?build=" + build + "&lang=en");
        QVERIFY(server.requests[0].head.contains("User-Agent: Talvoren"));

        const QByteArray markup = "&lt;b&gt;9&lt;/b&gt;&lt;img src=x&gt;";
        server.answer("/en/updates", {200, answerXml(" 99.0.0.1 ", "4096", "Fixed:\n- this\n" + markup)});
        CheckAndWait(f, 2);
        QVERIFY(statusField(w, 4)->text().isEmpty());
        QCOMPARE(statusField(w, 4)->image(), -1);
        QCOMPARE(shown[1].current, current);
        QCOMPARE(shown[1].latest, QStringLiteral("99.0.0.1"));
        QCOMPARE(shown[1].history, QStringLiteral("Fixed:\n- this\n<b>9</b><img src=x>"));
        QVERIFY(shown[1].plainText);
        QVERIFY(shown[1].downloadEnabled);
        QCOMPARE(shown[1].size, 4096);

        // Older than the running version, or the oldest there is (a test
        // program without a version resource is 0.0.0.0).
        std::vector<uint16_t> older = f.platform().system().executableVersion();
        older.resize(4, 0);
        QList<QByteArray> olderTexts{"0.0.0.0"};
        if (older[3] > 0) {
            --older[3];
            olderTexts.append(QString::fromStdU16String(FullVersionText(older)).toLatin1());
        }
        for (const QByteArray& older : olderTexts) {
            server.answer("/en/updates", {200, answerXml(older)});
            CheckAndWait(f, shown.size() + 1);
            QCOMPARE(shown.last().latest, kLatest);
            QVERIFY(!shown.last().downloadEnabled);
        }

        server.answer("/en/updates", {302, {}, "Location: /elsewhere.xml\r\n"});
        server.answer("/elsewhere.xml", {200, answerXml("99.0.0.2")});
        CheckAndWait(f, shown.size() + 1);
        QCOMPARE(shown.last().latest, QStringLiteral("99.0.0.2"));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
    }

    // Every kind of failure ends in the status field with its reason in the
    // hint and, for a check the user started, in one status dialog per
    // check. None of them crashes, waits long or follows another server.
    void failedUserCheckReportsOnce()
    {
        TFixture f;
        Prepare(f, false);
        TfrmMain& w = f.Open();

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QByteArray refusing = "http://127.0.0.1:" + QByteArray::number(closed.serverPort());
        closed.close();
        const QByteArray deep = "<update>" + QByteArray("<x>").repeated(100000) + QByteArray("</x>").repeated(100000)
            + "<version>99.0.0.1</version></update>";
        const QByteArray otherHost = "Location: " + server.url("/moved.xml").replace("127.0.0.1", "localhost") + "\r\n";

        const char* unreadable = "The update server's answer could not be read.";
        const char* unreachable = "The update server could not be reached.";
        struct TCase {
            const char* what;
            TTestHttpServer::TAnswer answer;
            const char* reason;
            QByteArray serverUrl; // empty: the test server's
            qsizetype requests;
        };
        const TCase cases[] = {
            {"malformed XML", {200, "<talvoren><version>99.0.0.1</version><size>5</talvoren>"}, unreadable, {}, 1},
            {"empty answer", {200, ""}, unreadable, {}, 1},
            {"size not a number", {200, answerXml("99.0.0.1", "12 kB")}, unreadable, {}, 1},
            {"size missing", {200, "<a><version>99.0.0.1</version></a>"}, unreadable, {}, 1},
            {"no version", {200, "<a><size>100</size></a>"}, unreadable, {}, 1},
            {"version with markup", {200, answerXml("&lt;b&gt;9&lt;/b&gt;&lt;img src=x&gt;")}, unreadable, {}, 1},
            {"nested 100000 deep", {200, deep}, unreadable, {}, 1},
            {"HTTP error", {404, answerXml("99.0.0.1")}, "The update server answered with an error.", {}, 1},
            {"redirect to another host",
             {302, {}, otherHost},
             "The update server pointed to another server, which is not followed.",
             {},
             1},
            {"silent server", {200, {}, {}, true}, unreachable, {}, 1},
            {"nobody listening", {}, unreachable, refusing, 0},
            {"plain http elsewhere",
             {},
             "The update server's address is not a secure (https) one.",
             "http://update.example.org",
             0},
        };
        server.answer("/moved.xml", {200, answerXml("99.0.0.1")});
        qsizetype count = 0;
        for (const TCase& c : cases) {
            server.Reset();
            server.answer("/en/updates", c.answer);
            server.answer("/moved.xml", {200, answerXml("99.0.0.1")});
            TUpdateAddresses::active().server
                = QString::fromLatin1(c.serverUrl.isEmpty() ? server.url("") : c.serverUrl).toStdU16String();
            TUpdateAddresses::active().timeoutMs = 300;
            CheckAndWait(f, ++count);
            QTest::qWait(50);
            QVERIFY2(shown.size() == count, c.what);
            QVERIFY2(statusField(w, 4)->text() == kCantRetrieve, c.what);
            QVERIFY2(statusField(w, 4)->image() == 7, c.what);
            QVERIFY2(Tooltip(w) == kCantRetrieve + u'\n' + QLatin1String(c.reason), qPrintable(Tooltip(w)));
            QVERIFY2(shown.last().latest == kCantRetrieve, c.what);
            QVERIFY2(!shown.last().downloadEnabled, c.what);
            QVERIFY2(server.requests.size() == c.requests, c.what);
            for (const TTestHttpServer::TRequest& request : server.requests) {
                QVERIFY2(!request.target.contains("id="), request.target.constData());
            }
        }

        // A server that drips its answer a byte at a time, each well within
        // the silence allowed, is cut off at the check's overall limit.
        server.Reset();
        TUpdateAddresses::active().server = QString::fromLatin1(server.url("")).toStdU16String();
        TUpdateAddresses::active().checkLimitMs = 600;
        server.answer("/en/updates", {200, answerXml("99.0.0.1"), {}, false, -1, 20});
        QElapsedTimer clock;
        clock.start();
        CheckAndWait(f, ++count);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(shown.last().latest, kCantRetrieve);
        QCOMPARE(Tooltip(w), kCantRetrieve + QStringLiteral("\nThe update server did not answer in time."));
    }

    // The check at start shows an offer like a check of the user's, the
    // latest version only in the status field, and an error quietly: no
    // image, the reason in the hint.
    void automaticCheckAtStart()
    {
        struct TCase {
            const char* what;
            bool offer;
            int image;
            QString text;
        };
        for (const TCase& c : {TCase{"offer", true, -1, {}}, TCase{"latest", false, 6, kLatest},
                               TCase{"error", false, -1, kCantRetrieve}}) {
            TFixture f;
            Prepare(f, true);
            const QString current = CurrentVersion(f);
            if (c.text != kCantRetrieve) {
                server.answer("/en/updates", {200, answerXml(c.offer ? "99.0.0.1" : current.toLatin1())});
            }
            shown.clear();
            TfrmMain& w = f.Open();
            QTRY_VERIFY2(!server.requests.isEmpty(), c.what);
            QTRY_VERIFY2(statusField(w, 4)->text() == c.text, c.what);
            QTest::qWait(50);
            QVERIFY2(statusField(w, 4)->image() == c.image, c.what);
            QVERIFY2(shown.size() == (c.offer ? 1 : 0), c.what);
            if (c.text == kCantRetrieve) {
                QCOMPARE(Tooltip(w), kCantRetrieve + QStringLiteral("\nThe update server answered with an error."));
            }
            QVERIFY(TfrmOK::hook().asked().isEmpty());
            server.Reset();
        }
    }

    // A complete, verified download asks the main window's close questions;
    // when it may close, the setup starts elevated from a new folder of its
    // own and the program ends. When the window stays, or the start fails
    // or is declined, Talvoren goes on (with a word for the failed start)
    // and the download is removed.
    void completeDownloadStartsTheSetup()
    {
        struct TCase {
            const char* what;
            int answer;
            bool started; // what the shell says
        };
        for (const TCase& c :
             {TCase{"started", mrNo, true}, TCase{"declined", mrNo, false}, TCase{"window stays", mrCancel, true}}) {
            TFixture f;
            Prepare(f, false);
            TfrmMain& w = f.Open();
            f.shell->answer = c.started;
            TfrmOK::setNextAnswer(mrOk);
            f.EditUser(u"TV_CHANGED", u"1");
            const QStringList before = Downloads(f.platform());
            const QByteArray setup = setupBytes(50000);
            server.answer(kSetupPath, {200, setup});
            TfrmYesNoCancel::setNextAnswer(c.answer);

            int progress = -1;
            bool closed = false;
            qint64 elapsed = 0;
            server.answer("/en/updates", {200, answerXml("99.0.0.1", "50000", "h", sha256Of(setup).toUpper())});
            inDialog = [&](TfrmCheckForUpdate& form) {
                QElapsedTimer clock;
                clock.start();
                form.btnDownload->click();
                elapsed = clock.elapsed();
                progress = form.ProgressBar->value();
                closed = form.result() == QDialog::Accepted;
            };
            CheckAndWait(f, 1);
            qInfo("%s: download, check and start in %lld ms", c.what, elapsed);
            QVERIFY2(progress == 50000, c.what);
            QVERIFY2(closed, c.what);
            const TTestHttpServer::TRequest& get = server.requests.last();
            QCOMPARE(get.target, kSetupPath);
            QVERIFY(get.head.contains("Cache-Control: no-cache"));
            QCOMPARE(TfrmYesNoCancel::hook().asked(), QStringList{QStringLiteral("Do you want to save the changes?")});
            const QStringList after = Downloads(f.platform());
            if (c.answer == mrNo) {
                QCOMPARE(f.shell->calls.size(), size_t(1));
                QCOMPARE(f.shell->calls[0].verb, u"runas");
                const QString file = QString::fromStdU16String(f.shell->calls[0].file);
                const QString temp = QString::fromStdU16String(f.platform().fileSystem().tempFolder());
                QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(
                                                QRegularExpression::escape(temp)
                                                + QStringLiteral("Talvoren-[0-9a-f]{32}\\\\Talvoren_setup\\.exe")))
                             .match(file)
                             .hasMatch(),
                         qPrintable(file));
                QVERIFY2(f.SettingsSaved(), "the options are saved on the way out");
            } else {
                QVERIFY(f.shell->calls.empty());
            }
            if (c.started && c.answer == mrNo) {
                QVERIFY(f.ended);
                QVERIFY(TfrmOK::hook().asked().isEmpty());
                QCOMPARE(after.size(), before.size() + 1); // the running setup stays
                QFile started(
                    QString::fromStdU16String(f.platform().fileSystem().dialogPathOf(f.shell->calls[0].file)));
                QVERIFY(started.open(QIODevice::ReadOnly));
                QCOMPARE(started.readAll(), setup);
            } else {
                QVERIFY2(!f.ended, c.what);
                QVERIFY(w.isVisible());
                QCOMPARE(TfrmOK::hook().asked(), c.started ? QStringList() : QStringList{kStartFailed});
                QCOMPARE(after, before);
            }
            TfrmYesNoCancel::hook().reset();
            TfrmOK::hook().reset();
            shown.clear();
            server.Reset();
        }
    }

    // Downloads that must not start the setup: each ends in its notice,
    // with "Download" enabled again where another try can help, and leaves
    // nothing in the temporary folder.
    void failedDownloadsStartNothing()
    {
        TFixture f;
        Prepare(f, false);
        f.Open();
        f.shell->answer = true;
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        const QStringList before = Downloads(f.platform());
        const QByteArray good = setupBytes(30000);
        const QByteArray otherHost = server.url(kSetupPath).replace("127.0.0.1", "localhost");
        struct TCase {
            const char* what;
            int offered;
            QByteArray sha256;
            TTestHttpServer::TAnswer setup;
            std::u16string address; // empty: the test server's
            bool requested; // the download reached the server
            QString notice;
            bool again;
        };
        const TCase cases[] = {
            {"wrong SHA-256", 30000, sha256Of("other"), {200, good}, {}, true, kMismatch, true},
            {"no SHA-256", 30000, {}, {200, good}, {}, false, kNoChecksum, false},
            {"SHA-256 not 64 digits", 30000, sha256Of(good).left(63), {200, good}, {}, false, kNoChecksum, false},
            {"shorter than offered", 40000, sha256Of(good), {200, good}, {}, true, kDownloadError, true},
            {"longer than offered", 20000, sha256Of(good), {200, good}, {}, true, kDownloadError, true},
            {"not a Windows program",
             30000,
             sha256Of(setupBytes(30000, '#', '!')),
             {200, setupBytes(30000, '#', '!')},
             {},
             true,
             kMismatch,
             true},
            {"error page", 9, sha256Of("not found"), {404, "not found"}, {}, true, kDownloadError, true},
            {"redirect to another host",
             30000,
             sha256Of(good),
             {302, {}, "Location: " + otherHost + "\r\n"},
             {},
             true,
             kDownloadError,
             true},
            {"size beyond reason", 600 * 1024 * 1024, sha256Of(good), {200, good}, {}, false, kDownloadError, true},
            {"size not positive", -5, sha256Of(good), {200, good}, {}, false, kDownloadError, true},
            {"no web address", 100, sha256Of(good), {200, good}, u"file:///etc/passwd", false, kDownloadError, true},
            {"plain http elsewhere",
             100,
             sha256Of(good),
             {200, good},
             u"http://www.example.org/setup.exe",
             false,
             kDownloadError,
             true},
            // A secure connection that cannot be made (no TLS on the other
            // side, or none in the program) is a failed download, not a hang.
            {"TLS that fails",
             100,
             sha256Of(good),
             {200, good},
             QString::fromLatin1(server.url(kSetupPath)).replace(0, 4, QStringLiteral("https")).toStdU16String(),
             false,
             kDownloadError,
             true},
        };
        TUpdateAddresses::active().timeoutMs = 500;
        for (const TCase& c : cases) {
            server.Reset();
            server.answer(kSetupPath, c.setup);
            TUpdateAddresses::active().download
                = c.address.empty() ? QString::fromLatin1(server.url(kSetupPath)).toStdU16String() : c.address;
            TfrmOK::setNextAnswer(mrOk);
            QVERIFY2(Download(f, c.offered, c.sha256) == c.again, c.what);
            QVERIFY2(TfrmOK::hook().asked() == QStringList{c.notice}, c.what);
            TfrmOK::hook().reset();
            QVERIFY2(Downloads(f.platform()) == before, c.what);
            QVERIFY2((server.requests.size() >= 2) == c.requested, c.what);
            QVERIFY2(server.requests.size() <= 2, c.what); // the other host was never asked
        }
        QVERIFY(f.shell->calls.empty());
        QVERIFY(TfrmYesNoCancel::hook().asked().isEmpty());
        QVERIFY(!f.ended);
    }

    // Closing the window while the check waits on a server that sent part
    // of its answer neither waits for the server nor lets the answer reach
    // anything afterwards; the next window's check works.
    void closingTheWindowDropsARunningCheck()
    {
        {
            TFixture f;
            Prepare(f, false);
            TUpdateAddresses::active().timeoutMs = 30000; // far beyond what closing may take
            f.Open();
            const QByteArray answer = answerXml("99.0.0.1");
            server.answer("/en/updates", {200, answer, {}, false, answer.size() / 2});
            f.action("actHelpCheckUpdates")->trigger();
            QTRY_COMPARE(server.requests.size(), qsizetype(1));
            QTest::qWait(100); // the first half is on its way
            QElapsedTimer closing;
            closing.start();
            f.window.reset();
            QVERIFY2(closing.elapsed() < 10000, "closing waited for the server");
        }
        server.Reset(); // what the dropped check hears now must reach no one
        QTest::qWait(200);
        QVERIFY(shown.isEmpty());
        QVERIFY(TfrmOK::hook().asked().isEmpty());

        TFixture f;
        Prepare(f, false);
        TfrmMain& w = f.Open();
        server.answer("/en/updates", {200, answerXml("99.0.0.3")});
        CheckAndWait(f, 1);
        QCOMPARE(shown[0].latest, QStringLiteral("99.0.0.3"));
        QVERIFY(statusField(w, 4)->text().isEmpty());
    }

    // "Close" during a download stops it without a word and removes what
    // arrived.
    void closeStopsADownload()
    {
        TFixture f;
        Prepare(f, false);
        f.Open();
        const QStringList before = Downloads(f.platform());
        const QByteArray setup = setupBytes(40000);
        server.answer(kSetupPath, {200, setup, {}, false, 12000});
        server.answer("/en/updates", {200, answerXml("99.0.0.1", "40000", "h", sha256Of(setup))});
        int result = -1;
        QStringList during;
        inDialog = [&](TfrmCheckForUpdate& form) {
            QTimer poll;
            connect(&poll, &QTimer::timeout, &form, [&] {
                if (form.ProgressBar->value() >= 12000) {
                    during = Downloads(f.platform());
                    form.btnClose->click();
                }
            });
            poll.start(5);
            form.btnDownload->click();
            result = form.result();
        };
        CheckAndWait(f, 1);
        QCOMPARE(result, int(TfrmCheckForUpdate::mrAbort));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
        QCOMPARE(during.size(), before.size() + 1);
        QCOMPARE(Downloads(f.platform()), before);
        QVERIFY(f.shell->calls.empty());
    }

    // On Windows, through its own Internet client and shell: a stand-in
    // setup is downloaded, checked and really started; the same with a
    // wrong SHA-256 starts nothing and leaves nothing.
    void verifiedSetupRunsForReal()
    {
#ifndef TALVOREN_STAND_IN_SETUP
        QSKIP("the stand-in setup is a Windows program");
#else
        TFixture f;
        Prepare(f, false);
        QFile standIn(QStringLiteral(TALVOREN_STAND_IN_SETUP));
        QVERIFY2(standIn.open(QIODevice::ReadOnly), TALVOREN_STAND_IN_SETUP);
        // As large as a setup may be; a program runs with data after its end.
        QByteArray setup = standIn.readAll();
        setup += QByteArray(7 * 1024 * 1024 - setup.size(), '\0');
        server.answer(kSetupPath, {200, setup});
        const QString marker = QString::fromStdU16String(f.platform().fileSystem().tempFolder())
            + QStringLiteral("talvoren-stand-in-ran.txt");
        QFile::remove(marker);
        qputenv("TALVOREN_STAND_IN_MARKER", marker.toLocal8Bit());

        for (const bool matching : {false, true}) {
            THost host(f.machine.platform());
            const QStringList before = Downloads(host.real);
            TUpdateOffer offer{u"99.0.0.1", u"", int32_t(setup.size()),
                               QString::fromLatin1(sha256Of(matching ? setup : setup + "!")).toStdU16String()};
            qint64 elapsed = 0;
            inDialog = [&](TfrmCheckForUpdate& form) {
                QElapsedTimer clock;
                clock.start();
                form.btnDownload->click();
                elapsed = clock.elapsed();
            };
            TfrmCheckForUpdate::createAndShowModal(host, host.real, u"1.0.0.0", offer);
            qInfo("%s SHA-256: %lld bytes downloaded and checked in %lld ms", matching ? "matching" : "wrong",
                  qlonglong(setup.size()), elapsed);
            if (matching) {
                QVERIFY2(host.errors.isEmpty(), qPrintable(host.errors.join(u'\n')));
                QVERIFY(host.ended);
                QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 20000);
                QCOMPARE(Downloads(host.real).size(), before.size() + 1);
            } else {
                QCOMPARE(host.errors, QStringList{kMismatch});
                QVERIFY(!host.ended);
                QTest::qWait(2000);
                QVERIFY2(!QFile::exists(marker), "the wrong setup ran");
                QCOMPARE(Downloads(host.real), before);
            }
        }
        QFile::remove(marker);
#endif
    }

    // End to end on Windows with the setup this build made: the check finds
    // a newer version with the setup's SHA-256, and the download is checked
    // and started silently; afterwards the program is installed. The same
    // setup with one byte changed is refused, deleted and never run.
    void realSetupInstallsThroughTheCheck()
    {
#ifndef TALVOREN_REAL_SETUP
        QSKIP("the setup is made by the Windows build");
#else
        TFixture f;
        Prepare(f, false);
        platform::IPlatform& real = f.machine.platform();
        QFile file(QStringLiteral(TALVOREN_REAL_SETUP));
        QVERIFY2(file.open(QIODevice::ReadOnly), TALVOREN_REAL_SETUP);
        const QByteArray setup = file.readAll();
        QByteArray tampered = setup;
        tampered[tampered.size() / 2] = char(tampered[tampered.size() / 2] ^ 1);
        server.answer("/en/updates",
                      {200, answerXml("99.0.0.1", QByteArray::number(setup.size()), "h", sha256Of(setup))});
        inDialog = [](TfrmCheckForUpdate& form) {
            form.btnDownload->click();
        };

        const std::u16string uninstallKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvoren";
        auto entry = [&](const std::u16string& name) {
            TEnvStore store(real.registry(), platform::RootKey::LocalMachine,
                            platform::access::kRead | platform::access::kWow64_32Key);
            return store.OpenKey(uninstallKey, false) ? QString::fromStdU16String(store.ReadString(name)) : QString();
        };
        QVERIFY2(entry(u"DisplayName").isEmpty(), "Talvoren is installed before the test");
        for (const bool genuine : {false, true}) {
            server.answer(kSetupPath, {200, genuine ? setup : tampered});
            THost host(real, u"/S");
            const QStringList before = Downloads(real);
            TUpdateCheck check(host, real);
            QElapsedTimer clock;
            clock.start();
            check.Start(false);
            QTRY_VERIFY_WITH_TIMEOUT(host.ended || !host.errors.isEmpty(), 30000);
            qInfo("%s setup: checked, downloaded and verified in %lld ms", genuine ? "genuine" : "tampered",
                  qlonglong(clock.elapsed()));
            if (!genuine) {
                QCOMPARE(host.errors, QStringList{kMismatch});
                QCOMPARE(Downloads(real), before);
                QTest::qWait(2000);
                QVERIFY2(entry(u"DisplayName").isEmpty(), "the tampered setup ran");
                continue;
            }
            QVERIFY2(host.errors.isEmpty(), qPrintable(host.errors.join(u'\n')));
            QTRY_COMPARE_WITH_TIMEOUT(entry(u"DisplayName"), QStringLiteral("Talvoren"), 90000);
            QTRY_VERIFY_WITH_TIMEOUT(!entry(u"QuietUninstallString").isEmpty(), 10000);
            qInfo("installed %lld ms after the check began", qlonglong(clock.elapsed()));
            const QString folder = entry(u"InstallLocation");
            QVERIFY2(QFile::exists(folder + QStringLiteral("\\talvoren.exe")), qPrintable(folder));
            QVERIFY(QFile::exists(folder + QStringLiteral("\\locale\\de\\LC_MESSAGES\\default.mo")));
            QCOMPARE(entry(u"DisplayVersion"),
                     QStringLiteral("%1.%2.%3.%4")
                         .arg(TALVOREN_VERSION_MAJOR)
                         .arg(TALVOREN_VERSION_MINOR)
                         .arg(TALVOREN_VERSION_PATCH)
                         .arg(TALVOREN_VERSION_TWEAK));

            // The prefix is shared with the setup's own suite: uninstall again.
            const QStringList uninstall = QProcess::splitCommand(entry(u"QuietUninstallString"));
            QVERIFY(!uninstall.isEmpty());
            QCOMPARE(QProcess::execute(uninstall.front(), uninstall.mid(1)), 0);
            QTRY_VERIFY_WITH_TIMEOUT(entry(u"DisplayName").isEmpty() && !QFile::exists(folder), 60000);
        }
#endif
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "UpdateCheckTest.moc"
