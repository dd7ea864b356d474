// The single-instance guard: a later start finds the running one and hands
// over; after the guard stops (the elevated restart), a start stands alone.

#include "ui/SingleInstance.h"

#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <atomic>
#include <thread>

using namespace talvoren;

class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    static QString uniqueKey() { return QUuid::createUuid().toString(); }

private slots:
    void laterStartHandsOverToTheRunningOne()
    {
        const QString key = uniqueKey();
        TSingleInstance first(key);
        QVERIFY2(!first.handOver(), "nobody runs yet");
        QVERIFY(first.listen());
        QSignalSpy raised(&first, &TSingleInstance::activationRequested);

        // The later start runs beside the event loop of the running one, as
        // two processes do (Windows pipes answer only from that loop).
        std::atomic<bool> handedOver = false;
        std::thread later([&] { handedOver = TSingleInstance(key).handOver(); });
        QTRY_COMPARE(raised.count(), 1);
        later.join();
        QVERIFY(handedOver);
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
