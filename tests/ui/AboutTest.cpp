// The credits' markup and animation, and the about box opened by F1.

#include "base/Translation.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/Credits.h"
#include "ui/FormAbout.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

using namespace talvoren;
using namespace talvoren::test;

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void markup()
    {
        const TCreditLine both = ParseCreditLine(u"&b&uTScrollingCredits");
        QVERIFY(both.text == u"TScrollingCredits" && both.bold && both.underline && !both.italic);
        const TCreditLine atEnd = ParseCreditLine(u"TScrollingCredits&U&B");
        QVERIFY(atEnd.text == both.text && atEnd.bold && atEnd.underline);
        QVERIFY(ParseCreditLine(u"And put that ampersand in with &&&&").text == u"And put that ampersand in with &&");
        const TCreditLine boldB = ParseCreditLine(u"&bMake a line bold with &&b");
        QVERIFY(boldB.bold && boldB.text == u"Make a line bold with &b");
        const TCreditLine colour = ParseCreditLine(u"&c255,255,0;Make a line a different color");
        QVERIFY(colour.hasColor && colour.red == 255 && colour.green == 255 && colour.blue == 0);
        QVERIFY(colour.text == u"Make a line a different color");
        const TCreditLine twice = ParseCreditLine(u"&c1,2,3;x&c4,5,6;");
        QVERIFY(twice.text == u"x" && twice.red == 4 && twice.green == 5 && twice.blue == 6);
        QVERIFY(ParseCreditLine(u"a&zb&").text == u"ab"); // unknown code and trailing '&' dropped
        const TCreditLine bad = ParseCreditLine(u"&c300,1,1;x");
        QVERIFY(!bad.hasColor && bad.text == u"300,1,1;x");
        QVERIFY(!ParseCreditLine(u"plain").bold && !ParseCreditLine(u"").hasColor);
    }

    // One pixel per tick; each line reported once per pass; after the last
    // line the pass starts again from the bottom; hiding stops the timer.
    void animation()
    {
        TScrollingCredits credits;
        credits.resize(100, 40);
        credits.setCredits({QStringLiteral("&bone"), QStringLiteral("two")});
        QStringList shown;
        int passes = 0;
        credits.OnShowCredit = [&](TScrollingCredits&, const QString& text) {
            shown << text;
        };
        credits.AfterLastCredit = [&](TScrollingCredits&) {
            ++passes;
        };
        credits.show();
        QVERIFY(QTest::qWaitForWindowExposed(&credits));
        credits.setAnimate(true);
        QVERIFY(credits.timerActive());
        const int start = credits.scrollPosition();
        credits.TimerFired();
        QCOMPARE(credits.scrollPosition(), start - 1);
        for (int i = 0; i < 400 && passes < 2; ++i) {
            credits.TimerFired();
        }
        QCOMPARE(passes, 2);
        QCOMPARE(credits.scrollPosition(), 40); // Reset: from the control's bottom edge
        // The third pass starts at once with its first line on the bottom edge.
        QCOMPARE(shown, (QStringList{"one", "two", "one", "two", "one"}));

        credits.setCreditsVisible(false);
        QVERIFY(!credits.timerActive());
        credits.setCreditsVisible(true);
        QVERIFY(credits.timerActive());
    }

    // Still lines stand a line of text apart: the descenders of one line
    // keep clear of the accented capitals of the next.
    void linesKeepClearOfEachOther()
    {
        TScrollingCredits credits;
        credits.resize(200, 100);
        credits.setShowBorder(false);
        credits.setBackgroundColor(Qt::white);
        credits.setCreditsFont(QFont(QStringLiteral("Tahoma")), Qt::black);
        const auto inkRows = [&](const QStringList& lines) {
            credits.setCredits(lines);
            const QImage image = credits.grab().toImage();
            int first = -1, last = -1;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    if (qGray(image.pixel(x, y)) < 128) {
                        first = first < 0 ? y : first;
                        last = y;
                        break;
                    }
                }
            }
            return std::pair{first, last};
        };
        const auto [firstTop, firstBottom] = inkRows({QStringLiteral("gjpqy")});
        const auto [secondTop, secondBottom] = inkRows({QString(), QStringLiteral("ÜÉÅ")});
        QVERIFY(firstTop >= 4 && secondBottom > secondTop);
        QVERIFY2(firstBottom < secondTop, qPrintable(QStringLiteral("%1 >= %2").arg(firstBottom).arg(secondTop)));
    }

    void aboutBoxFromF1()
    {
        TFixture f;
        f.Open(false);
        bool opened = false;
        TfrmAbout::testDriver() = [&](TfrmAbout& box) {
            opened = true;
            QVERIFY(box.lblVersion->text().startsWith(QStringLiteral("Version ")));
            QVERIFY(box.lblVersion->text().contains(QStringLiteral(" build ")));
            QVERIFY(box.credits->animate());
            QCOMPARE(box.credits->geometry(), QRect(3, 142, 440, 81));
            // A line for what the build contains, and one per shipped translation.
            const QStringList lines = box.credits->credits();
            QCOMPARE(lines.filter(QStringLiteral("Qt 6")).size(), qsizetype(1));
            QCOMPARE(lines.filter(QStringLiteral("libintl")).size(), qsizetype(1));
            const QStringList codes
                = QDir(QStringLiteral(TALVOREN_TEST_LOCALE_DIR)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
            QVERIFY(!codes.isEmpty());
            for (const QString& code : codes) {
                const auto& table = LanguageTable();
                const auto language = std::find_if(table.begin(), table.end(),
                                                   [&](const TLanguage& l) { return code == QLatin1String(l.code); });
                QVERIFY2(language != table.end(), qPrintable(code));
                const QString credit
                    = QStringLiteral("the ") + QLatin1String(language->name) + QStringLiteral(" translation");
                QVERIFY2(lines.filter(credit).size() == 1, qPrintable(credit));
            }
            // Each line fits the box in every shipped language.
            const QFontMetrics metrics(box.credits->creditsFont());
            InitCatalogues(TALVOREN_TEST_LOCALE_DIR);
            for (const QString& code : codes) {
                SelectLanguage(code.toStdString());
                for (const QString& line : TfrmAbout::Acknowledgements()) {
                    QVERIFY2(metrics.horizontalAdvance(line) <= box.credits->width() - 8,
                             qPrintable(code + QStringLiteral(": ") + line));
                }
            }
            SelectLanguage("en");
            emit box.lblURL->linkActivated(QStringLiteral("x"));
            QCOMPARE(f.shell->calls.size(), size_t(1));
        };
        QVERIFY(f.action("actHelpAbout")->isEnabled());
        f.action("actHelpAbout")->trigger();
        TfrmAbout::testDriver() = nullptr;
        QVERIFY(opened);
        QCOMPARE(TfrmAbout::VersionText({2, 5, 0, 731}), QStringLiteral("Version 2.5 build 731"));
    }
};

QTEST_MAIN(AboutTest)
#include "AboutTest.moc"
