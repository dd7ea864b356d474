// The single-instance guard: a later start finds the running one and hands
// over; after the guard stops (the elevated restart), a start stands alone.

#include "ui/SingleInstance.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <future>

using namespace talvoren;

class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    static QString uniqueKey() { return QUuid::createUuid().toString(); }

    // A later start is another process: here another thread, so that this
    // one can answer while that one waits.
    static std::future<bool> laterStart(const QString& key)
    {
        return std::async(std::launch::async, [key] { return TSingleInstance(key).handOver(); });
    }
    static bool finished(const std::future<bool>& start)
    {
        return start.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }

private slots:
    void laterStartHandsOverToTheRunningOne()
    {
        const QString key = uniqueKey();
        TSingleInstance first(key);
        QVERIFY2(!first.handOver(), "nobody runs yet");
        QVERIFY(first.listen());
        QSignalSpy raised(&first, &TSingleInstance::activationRequested);

        auto second = laterStart(key);
        QTRY_VERIFY(finished(second));
        QVERIFY(second.get());
        QCOMPARE(raised.count(), 1);
    }

    // An instance that is closing may still be reached but never answers: a
    // start then opens its own window and takes the name over.
    void aStartOpensItsOwnWindowBesideAClosingInstance()
    {
        const QString key = uniqueKey();
        TSingleInstance closing(key);
        QVERIFY(closing.listen());
        auto busy = laterStart(key); // this thread does not run its event loop meanwhile
        busy.wait();
        QVERIFY(!busy.get());

        TSingleInstance next(key);
        QVERIFY(next.listen());
    }

    void stoppedGuardLetsTheNextStartOpenItsOwnWindow()
    {
        const QString key = uniqueKey();
        TSingleInstance first(key);
        QVERIFY(first.listen());
        first.stop();
        QVERIFY(!first.isListening());
        TSingleInstance elevated(key);
        QVERIFY(!elevated.handOver());
        QVERIFY(elevated.listen());
    }

    void namesDifferPerKeyAndStayPlain()
    {
        const QString a = TSingleInstance::serverName(QStringLiteral("S-1-5-21|C:\\a\\talvoren.exe"));
        const QString b = TSingleInstance::serverName(QStringLiteral("S-1-5-21|C:\\b\\talvoren.exe"));
        QVERIFY(a != b);
        QCOMPARE(a, TSingleInstance::serverName(QStringLiteral("S-1-5-21|C:\\a\\talvoren.exe")));
        for (const QChar c : a) {
            QVERIFY(c.isLetterOrNumber() || c == QLatin1Char('-'));
        }
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
