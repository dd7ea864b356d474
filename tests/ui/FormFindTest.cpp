// Find and Find Next in the real window: the dialog as the user fills it,
// the walk over names and elements of the active tree only, the case rule,
// the end of the tree, and the not-found message.

#include "ui/FormFind.h"

#include "model/ETree.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/FormMain.h"
#include "ui/FormWhichProgram.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

using namespace talvoren;
using namespace talvoren::test;

namespace {

// Answers the next find dialog as a user would: types `text` over what it
// shows and presses OK (or Cancel). `shown` receives what it opened with
// and whether OK was enabled then.
void AnswerFind(const QString& text, bool ok, QString* shown = nullptr, bool* okEnabled = nullptr)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* form = qobject_cast<TfrmFind*>(QApplication::activeModalWidget());
        if (!form) {
            return;
        }
        poll->deleteLater();
        if (shown) {
            *shown = form->edit()->text();
        }
        if (okEnabled) {
            *okEnabled = form->okButton()->isEnabled();
        }
        form->edit()->clear();
        const bool emptyDisables = !form->okButton()->isEnabled();
        QTest::keyClicks(form->edit(), text);
        if (!emptyDisables) {
            form->edit()->setText(QStringLiteral("OK enabled on an empty edit"));
        }
        if (ok) {
            QTest::keyClick(form->edit(), Qt::Key_Return);
        } else {
            form->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        }
    });
    poll->start(10);
}

QString Focused(TfrmMain& w)
{
    TETree& tree = userVarTree(w);
    const TENode* node = tree.GetFocusedNode();
    return node ? toQ(tree.GetNodeAsText(node)) : QString();
}

} // namespace

class FormFindTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    void findsForwardOverBothLevelsToTheEnd()
    {
        TFixture f;
        f.Seed(platform::RootKey::LocalMachine, kSystemEnvironmentKey, u"TV_ONLYSYS", u"needle");
        TfrmMain& w = f.Open();
        QTRY_COMPARE(activeView(w), userVarView(w));
        TETree& tree = userVarTree(w);
        tree.AddVariable(u"A_ONE", u"x;C:\\Some\\BeTa", kDataTypeString, false);
        tree.AddVariable(u"A_TWO_BETA", u"y", kDataTypeString, false);
        tree.AddVariable(u"A_THREE", u"MiXeD bEtA", kDataTypeString, false);
        tree.AddVariable(u"Z_HIDDEN", u"beta hidden", kDataTypeString, true);
        tree.ShowReadOnly(false);
        QAction* find = f.action("actEditFind");
        QAction* next = f.action("actEditFindNext");
        QVERIFY(!next->isEnabled());

        // In walking order, whatever the letter case: an element first.
        AnswerFind("beta", true);
        find->trigger();
        QCOMPARE(Focused(w), QStringLiteral("C:\\Some\\BeTa"));
        QVERIFY(next->isEnabled());
        QCOMPARE(findActions(w).searchString(), u"beta");
        next->trigger();
        QCOMPARE(Focused(w), QStringLiteral("MiXeD bEtA"));
        next->trigger();
        QCOMPARE(Focused(w), QStringLiteral("A_TWO_BETA=y"));
        next->trigger();
        QCOMPARE(Focused(w), QStringLiteral("beta hidden")); // hidden, still searched
        QVERIFY(TfrmOK::hook().asked().isEmpty());

        // After the last one: the message, the focus stays; no wrap to the top.
        TfrmOK::setNextAnswer(mrOk);
        next->trigger();
        QCOMPARE(TfrmOK::hook().asked(), QStringList{"Search string 'beta' not found"});
        QCOMPARE(Focused(w), QStringLiteral("beta hidden"));

        // Find starts over from the top, opening with the last text.
        QString shown;
        bool okEnabled = false;
        AnswerFind("BETA", true, &shown, &okEnabled);
        find->trigger();
        QCOMPARE(shown, QStringLiteral("beta"));
        QVERIFY(okEnabled);
        QCOMPARE(Focused(w), QStringLiteral("C:\\Some\\BeTa"));

        // Per element, in the active tree only.
        TfrmOK::hook().reset();
        for (const char* text : {"x;C:", "needle"}) {
            TfrmOK::setNextAnswer(mrOk);
            AnswerFind(text, true);
            find->trigger();
        }
        QCOMPARE(TfrmOK::hook().asked(),
                 (QStringList{"Search string 'x;C:' not found", "Search string 'needle' not found"}));
        QCOMPARE(Focused(w), QStringLiteral("C:\\Some\\BeTa"));

        // Cancel: the text and the focus stay, nothing is searched.
        TfrmOK::hook().reset();
        AnswerFind("y", false);
        find->trigger();
        QCOMPARE(findActions(w).searchString(), u"needle");
        QCOMPARE(Focused(w), QStringLiteral("C:\\Some\\BeTa"));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
    }
    // "Which program runs": the hits of the effective Path in order, the
    // list following the typed name, and Enter on a hit leading to its element.
    void whichProgramListsWhatRunsAndWhatItShadows()
    {
        TFixture f;
        namespace fs = std::filesystem;
        for (const char* folder : {"SysBin", "UserBin"}) {
            fs::create_directories(f.machine.scratchHostPath() / folder);
            std::ofstream(f.machine.scratchHostPath() / folder / "tvtool.exe") << "MZ";
        }
        std::ofstream(f.machine.scratchHostPath() / "UserBin" / "tvtool.cmd") << "@echo";
        const std::u16string scratch = f.machine.scratchPath();
        f.Seed(platform::RootKey::LocalMachine, kSystemEnvironmentKey, u"Path",
               u"C:\\Nowhere;" + scratch + u"\\SysBin");
        f.Seed(platform::RootKey::LocalMachine, kSystemEnvironmentKey, u"PATHEXT", u".COM;.EXE;.CMD");
        f.Seed(platform::RootKey::CurrentUser, u"Environment", u"Path", scratch + u"\\UserBin");
        TfrmMain& w = f.Open();
        QStringList listed;
        QString missing;
        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [&] {
            auto* form = qobject_cast<TfrmWhichProgram*>(QApplication::activeModalWidget());
            if (!form) {
                return;
            }
            poll->deleteLater();
            QTest::keyClicks(form->edit(), QStringLiteral("tvtoolx"));
            missing = form->findChildren<QLabel*>().last()->text();
            QTest::keyClick(form->edit(), Qt::Key_Backspace);
            for (int i = 0; i < form->hits()->topLevelItemCount(); ++i) {
                QTreeWidgetItem* item = form->hits()->topLevelItem(i);
                listed << item->text(0).mid(int(scratch.size())) + u'|' + item->text(2);
            }
            // Enter moves to the hits, Down to the second, Enter leads there.
            QTest::keyClick(form->edit(), Qt::Key_Return);
            QTest::keyClick(form->hits(), Qt::Key_Down);
            QTest::keyClick(form->hits(), Qt::Key_Return);
        });
        poll->start(10);
        f.action("actEditWhichProgram")->trigger();
        QCOMPARE(missing, QStringLiteral("No program named 'tvtoolx' is found in Path."));
        QCOMPARE(
            listed,
            (QStringList{"\\SysBin\\tvtool.exe|System", "\\UserBin\\tvtool.exe|User", "\\UserBin\\tvtool.cmd|User"}));
        QCOMPARE(activeView(w), userVarView(w));
        const TENode* focused = userVarTree(w).GetFocusedNode();
        QVERIFY(focused && !focused->IsVariable());
        QCOMPARE(userVarTree(w).GetElement(focused), scratch + u"\\UserBin");
        QCOMPARE(f.action("actEditWhichProgram")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_W));
    }
};

QTEST_MAIN(FormFindTest)
#include "FormFindTest.moc"
