// The update check and the setup download through the main window, against
// an HTTP server inside the test process: what the status field and the
// update dialog show for each answer, that errors reach the user only for
// a check the user started, and what each outcome of a download does.

#include "platform/Platform.h"
#include "tests/ui/MainWindowFixture.h"
#include "tests/update/TestHttpServer.h"
#include "ui/StatusField.h"
#include "update/FormCheckForUpdate.h"
#include "update/UpdateAddresses.h"
#include "update/UpdateProtocol.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <fstream>

using namespace talvoren;
using namespace talvoren::test;

namespace {

const QString kLatest = QStringLiteral("You have the latest version of Talvoren!");
const QString kCantRetrieve = QStringLiteral("Can't retrieve version info");
const QString kDownloadError = QStringLiteral("Error downloading new version");
const QByteArray kSetupPath = "/download/Talvoren_setup.exe";

QByteArray answerXml(const QByteArray& version, const QByteArray& size = "4096",
                     const QByteArray& history = "Fixed:\n- this\n- that")
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<talvoren><version>" + version + "</version><history>" + history
        + "</history><size>" + size + "</size></talvoren>";
}

QByteArray setupBytes(qsizetype size, char first = 'M', char second = 'Z')
{
    QByteArray bytes(size, 'x');
    bytes[0] = first;
    bytes[1] = second;
    return bytes;
}

// What one showing of the update dialog held.
struct TShown {
    QString current, latest, history;
    bool downloadEnabled = false;
    int size = 0;
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
        TUpdateAddresses& addresses = TUpdateAddresses::active();
        addresses.server = QString::fromLatin1(server.url("")).toStdU16String();
        addresses.download = QString::fromLatin1(server.url(kSetupPath)).toStdU16String();
        addresses.timeoutMs = 3000;
        return f;
    }
    static QString CurrentVersion(TFixture& f)
    {
        return QString::fromStdU16String(FullVersionText(f.platform().system().executableVersion()));
    }
    static std::filesystem::path SetupFile(TFixture& f)
    {
        platform::IFileSystem& files = f.platform().fileSystem();
        return std::filesystem::path(QString::fromStdU16String(files.dialogPathOf(files.tempFolder())).toStdString())
            / "Talvoren_setup.exe";
    }
    // Runs the user's command and waits for the dialog it opens.
    void CheckAndWait(TFixture& f, qsizetype dialogs)
    {
        f.action("actHelpCheckUpdates")->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(shown.size(), dialogs, 5000);
    }
    // Opens the offer of `size` bytes and presses "Download" in it; whether
    // "Download" can be pressed again afterwards.
    bool Download(TFixture& f, int size)
    {
        server.answer("/en/updates", {200, answerXml("99.0.0.1", QByteArray::number(size))});
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
            shown.append({form.lblCurrent->text(), form.lblLatest->text(), form.memoHistory->toPlainText(),
                          form.btnDownload->isEnabled(), form.size});
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
    // in the status form, and any other version (newer, older, behind a
    // redirect) as an offer with its history.
    void userCheckShowsTheAnswer()
    {
        TFixture f;
        Prepare(f, false);
        f.SeedSetting(u"id", 0);
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
        QCOMPARE(server.requests[0].target, "/en/updates?build=" + build);
        QVERIFY(server.requests[0].head.contains("User-Agent: Talvoren"));

        server.answer("/en/updates", {200, answerXml("99.0.0.1")});
        CheckAndWait(f, 2);
        QVERIFY(statusField(w, 4)->text().isEmpty());
        QCOMPARE(statusField(w, 4)->image(), -1);
        QCOMPARE(shown[1].current, current);
        QCOMPARE(shown[1].latest, QStringLiteral("99.0.0.1"));
        QCOMPARE(shown[1].history, QStringLiteral("Fixed:\n- this\n- that"));
        QVERIFY(shown[1].downloadEnabled);
        QCOMPARE(shown[1].size, 4096);

        server.answer("/en/updates", {200, answerXml("0.0.0.1")});
        CheckAndWait(f, 3);
        QCOMPARE(shown[2].latest, QStringLiteral("0.0.0.1"));

        server.answer("/en/updates", {302, {}, "Location: /elsewhere.xml\r\n"});
        server.answer("/elsewhere.xml", {200, answerXml("99.0.0.2")});
        CheckAndWait(f, 4);
        QCOMPARE(shown[3].latest, QStringLiteral("99.0.0.2"));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
    }

    // Every kind of failure ends in the status field and, for a check the
    // user started, in one status dialog per check.
    void failedUserCheckReportsOnce()
    {
        TFixture f;
        Prepare(f, false);
        f.SeedSetting(u"id", 4711);
        TfrmMain& w = f.Open();

        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QByteArray refusing = "http://127.0.0.1:" + QByteArray::number(closed.serverPort());
        closed.close();

        struct TCase {
            const char* what;
            TTestHttpServer::TAnswer answer;
            QByteArray serverUrl;
        };
        const TCase cases[] = {
            {"malformed XML", {200, "<talvoren><version>99.0.0.1</version><size>5</talvoren>"}, {}},
            {"empty answer", {200, ""}, {}},
            {"size not a number", {200, answerXml("99.0.0.1", "12 kB")}, {}},
            {"size missing", {200, "<a><version>99.0.0.1</version></a>"}, {}},
            {"no version", {200, "<a><size>100</size></a>"}, {}},
            {"HTTP error", {404, answerXml("99.0.0.1")}, {}},
            {"silent server", {200, {}, {}, true}, {}},
            {"nobody listening", {}, refusing},
        };
        qsizetype count = 0;
        for (const TCase& c : cases) {
            server.Reset();
            server.answer("/en/updates", c.answer);
            TUpdateAddresses::active().server
                = QString::fromLatin1(c.serverUrl.isEmpty() ? server.url("") : c.serverUrl).toStdU16String();
            TUpdateAddresses::active().timeoutMs = 300;
            CheckAndWait(f, ++count);
            QTest::qWait(50);
            QVERIFY2(shown.size() == count, c.what);
            QVERIFY2(statusField(w, 4)->text() == kCantRetrieve, c.what);
            QVERIFY2(statusField(w, 4)->image() == 7, c.what);
            QVERIFY2(shown.last().latest == kCantRetrieve, c.what);
            QVERIFY2(!shown.last().downloadEnabled, c.what);
            if (c.serverUrl.isEmpty()) {
                QVERIFY2(server.requests.size() == 1, c.what);
                QVERIFY2(server.requests[0].target.endsWith("&id=4711"), server.requests[0].target.constData());
            }
        }
    }

    // The check at start shows an offer like a check of the user's, but an
    // error or the latest version only in the status field.
    void automaticCheckAtStart()
    {
        struct TCase {
            const char* what;
            bool offer;
            int image;
        };
        for (const TCase& c : {TCase{"offer", true, -1}, TCase{"latest", false, 6}, TCase{"error", false, 7}}) {
            TFixture f;
            Prepare(f, true);
            const QString current = CurrentVersion(f);
            if (c.image != 7) {
                server.answer("/en/updates", {200, answerXml(c.offer ? "99.0.0.1" : current.toLatin1())});
            }
            shown.clear();
            TfrmMain& w = f.Open();
            QTRY_VERIFY2(!server.requests.isEmpty(), c.what);
            QTRY_VERIFY2(statusField(w, 4)->image() == c.image, c.what);
            QTest::qWait(50);
            QVERIFY2(shown.size() == (c.offer ? 1 : 0), c.what);
            QVERIFY(TfrmOK::hook().asked().isEmpty());
            server.Reset();
        }
    }

    // A complete download asks the main window's close questions; when it
    // may close, the setup starts elevated and the program ends, otherwise
    // Talvoren goes on. The dialog closes either way.
    void completeDownloadStartsTheSetup()
    {
        for (const int answer : {int(mrNo), int(mrCancel)}) {
            TFixture f;
            Prepare(f, false);
            TfrmMain& w = f.Open();
            f.EditUser(u"TV_CHANGED", u"1");
            std::filesystem::create_directories(SetupFile(f).parent_path());
            std::ofstream(SetupFile(f), std::ios::binary) << std::string(70000, 'o'); // an old one
            server.answer(kSetupPath, {200, setupBytes(50000)});
            TfrmYesNoCancel::setNextAnswer(answer);

            int progress = -1;
            bool closed = false;
            server.answer("/en/updates", {200, answerXml("99.0.0.1", "50000")});
            inDialog = [&](TfrmCheckForUpdate& form) {
                form.btnDownload->click();
                progress = form.ProgressBar->value();
                closed = form.result() == QDialog::Accepted;
            };
            CheckAndWait(f, 1);
            QCOMPARE(progress, 50000);
            QVERIFY(closed);
            QCOMPARE(std::filesystem::file_size(SetupFile(f)), uintmax_t(50000));
            const TTestHttpServer::TRequest& get = server.requests.last();
            QCOMPARE(get.target, kSetupPath);
            QVERIFY(get.head.contains("Cache-Control: no-cache"));
            QCOMPARE(TfrmYesNoCancel::hook().asked(), QStringList{QStringLiteral("Do you want to save the changes?")});
            QVERIFY(TfrmOK::hook().asked().isEmpty());
            if (answer == mrNo) {
                QCOMPARE(f.shell->calls.size(), size_t(1));
                QCOMPARE(f.shell->calls[0].verb, u"runas");
                QCOMPARE(f.shell->calls[0].file, f.platform().fileSystem().tempFolder() + u"Talvoren_setup.exe");
                QVERIFY(f.ended);
                QVERIFY2(f.SettingsSaved(), "the options are saved on the way out");
            } else {
                QVERIFY(f.shell->calls.empty());
                QVERIFY(!f.ended);
                QVERIFY(w.isVisible());
            }
            TfrmYesNoCancel::hook().reset();
            shown.clear();
            server.Reset();
        }
    }

    // Downloads that must not start the setup: each ends in the error
    // notice with "Download" enabled again and the partial file left; one
    // stopped by "Close" ends without a word.
    void failedDownloadsStartNothing()
    {
        TFixture f;
        Prepare(f, false);
        f.Open();
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        const auto fileSize = [&]() -> qint64 {
            std::error_code ec;
            const auto size = std::filesystem::file_size(SetupFile(f), ec);
            return ec ? -1 : qint64(size);
        };
        struct TCase {
            const char* what;
            int offered;
            TTestHttpServer::TAnswer setup;
            std::u16string address; // empty: the test server's
            bool requested; // the download reached the server
            qint64 kept; // bytes on disk afterwards: -1 none, -2 more than offered
        };
        const TCase cases[] = {
            {"shorter than offered", 40000, {200, setupBytes(30000)}, {}, true, 30000},
            {"longer than offered", 20000, {200, setupBytes(30000)}, {}, true, -2},
            {"not a Windows program", 30000, {200, setupBytes(30000, '#', '!')}, {}, true, 30000},
            {"error page", 9, {404, "not found"}, {}, true, -1},
            {"size beyond reason", 600 * 1024 * 1024, {200, setupBytes(100)}, {}, false, -1},
            {"size not positive", -5, {200, setupBytes(100)}, {}, false, -1},
            {"no web address", 100, {200, setupBytes(100)}, u"file:///etc/passwd", false, -1},
            // A secure connection that cannot be made (no TLS on the other
            // side, or none in the program) is a failed download, not a hang.
            {"TLS that fails",
             100,
             {200, setupBytes(100)},
             QString::fromLatin1(server.url(kSetupPath)).replace(0, 4, QStringLiteral("https")).toStdU16String(),
             false,
             -1},
        };
        TUpdateAddresses::active().timeoutMs = 500;
        for (const TCase& c : cases) {
            std::filesystem::remove(SetupFile(f));
            server.Reset();
            server.answer(kSetupPath, c.setup);
            TUpdateAddresses::active().download
                = c.address.empty() ? QString::fromLatin1(server.url(kSetupPath)).toStdU16String() : c.address;
            TfrmOK::setNextAnswer(mrOk);
            QVERIFY2(Download(f, c.offered), c.what);
            QVERIFY2(TfrmOK::hook().asked() == QStringList{kDownloadError}, c.what);
            TfrmOK::hook().reset();
            QVERIFY2(c.kept == -2 ? fileSize() > c.offered : fileSize() == c.kept, c.what);
            QVERIFY2((server.requests.size() == 2) == c.requested, c.what);
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

    // "Close" during a download stops it without a word and leaves what
    // arrived.
    void closeStopsADownload()
    {
        TFixture f;
        Prepare(f, false);
        f.Open();
        server.answer(kSetupPath, {200, setupBytes(40000), {}, false, 12000});
        server.answer("/en/updates", {200, answerXml("99.0.0.1", "40000")});
        int result = -1;
        inDialog = [&](TfrmCheckForUpdate& form) {
            QTimer poll;
            connect(&poll, &QTimer::timeout, &form, [&] {
                if (form.ProgressBar->value() >= 12000) {
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
        QCOMPARE(std::filesystem::file_size(SetupFile(f)), uintmax_t(12000));
        QVERIFY(f.shell->calls.empty());
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "UpdateCheckTest.moc"
