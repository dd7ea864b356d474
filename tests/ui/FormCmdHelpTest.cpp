#include "ui/dialogs/FormCmdHelp.h"

#include "cli/CommandLine.h"
#include "tests/support/RecordingPlatform.h"
#include "tests/support/TestSupport.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace talvoren;

namespace {

class FormCmdHelpTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = {name, nullptr};
        // Never destroyed: Qt's own statics (input devices) go at exit after
        // it, and a static QApplication would be destroyed after them.
        if (!QApplication::instance()) {
            new QApplication(argc, argv);
        }
    }

    test::TestMachine machine;
    test::TRecordingPlatform platform{machine.platform()};
};

QRgb rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

} // namespace

TEST_F(FormCmdHelpTest, PaintsTheFramesAndTheDiagonalLines)
{
    TfrmCmdHelp dialog(platform);
    EXPECT_EQ(dialog.size(), QSize(586, 360));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    const QImage image = dialog.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(image.size(), QSize(586, 360));
    const QRgb line = rgb(117, 155, 92);
    const QRgb background = rgb(140, 172, 115);
    const QRgb white = rgb(255, 255, 255);
    EXPECT_EQ(image.pixel(0, 0), line);
    EXPECT_EQ(image.pixel(585, 359), line);
    EXPECT_EQ(image.pixel(1, 100), white);
    EXPECT_EQ(image.pixel(2, 100), white);
    EXPECT_EQ(image.pixel(584, 100), white);
    // Inside the frames: x - y divisible by 5 is a line pixel, the rest background.
    EXPECT_EQ(image.pixel(3, 3), line);
    EXPECT_EQ(image.pixel(4, 3), background);
    EXPECT_EQ(image.pixel(8, 3), line);
    EXPECT_EQ(image.pixel(5, 10), line);
    EXPECT_EQ(image.pixel(6, 10), background);
    EXPECT_EQ(image.pixel(582, 356), background); // 582 - 356 = 226
    EXPECT_EQ(image.pixel(581, 356), line); // 581 - 356 = 225
}

TEST_F(FormCmdHelpTest, ListsEveryOptionLineAndTheLink)
{
    TfrmCmdHelp dialog(platform);
    QStringList texts;
    for (auto* label : dialog.findChildren<QLabel*>()) {
        texts << label->text();
    }
    EXPECT_TRUE(texts.contains(QStringLiteral("Command line parameters")));
    EXPECT_TRUE(texts.contains(QString::fromStdU16String(CommandHelpUrl())));
    for (const auto& line : CommandHelpLines()) {
        EXPECT_TRUE(texts.contains(QString::fromUtf8(line.option))) << line.option;
        if (*line.description) {
            EXPECT_TRUE(texts.contains(QString::fromUtf8(line.description))) << line.description;
        }
    }
    EXPECT_TRUE(CommandHelpUrl().ends_with(u"/en/command_line"));
}

TEST_F(FormCmdHelpTest, ClickingTheLinkOpensItInTheBrowser)
{
    TfrmCmdHelp dialog(platform);
    auto* link = dialog.findChild<QLabel*>(QStringLiteral("lblLink"));
    ASSERT_NE(link, nullptr);
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), link->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), link->mapToGlobal(QPointF(5, 5)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(link, &press);
    QApplication::sendEvent(link, &release);
    ASSERT_EQ(platform.calls.size(), 1u);
    EXPECT_EQ(platform.calls[0].verb, u"open");
    EXPECT_EQ(platform.calls[0].file, CommandHelpUrl());
}

TEST_F(FormCmdHelpTest, OkClosesTheModalDialog)
{
    QTimer::singleShot(0, [] {
        for (auto* widget : QApplication::topLevelWidgets()) {
            if (auto* ok = widget->findChild<QPushButton*>(QStringLiteral("btnOK")); ok && widget->isVisible()) {
                ok->click();
            }
        }
    });
    EXPECT_EQ(TfrmCmdHelp::createAndShowModal(platform), QDialog::Accepted);
}
