// Find, Find Next and Find Previous in the real window: the dialog as the
// user fills it, the walk over names and elements of both trees, the
// options, coming round with a notice, and the not-found message.

#include "ui/FormFind.h"

#include "model/ETree.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/FormMain.h"
#include "ui/FormWhichProgram.h"
#include "ui/UiText.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>
#include <fstream>

using namespace talvoren;
using namespace talvoren::test;

namespace {

// Answers the next find dialog as a user would: types `text` over what it
// shows, sets the two options and presses OK (or Cancel). `shown` receives
// what it opened with and whether OK was enabled then.
void AnswerFind(const QString& text, bool ok, bool matchCase = false, bool whole = false, QString* shown = nullptr,
                bool* okEnabled = nullptr)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [=] {
        auto* form = qobject_cast<TfrmFind*>(QApplication::activeModalWidget());
        if (!form) {
            return;
        }
        poll->deleteLater();
        if (shown) {
            *shown = form->edit()->text() + (form->matchCaseBox()->isChecked() ? "|case" : "")
                + (form->wholeElementBox()->isChecked() ? "|whole" : "");
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
        form->matchCaseBox()->setChecked(matchCase);
        form->wholeElementBox()->setChecked(whole);
        if (ok) {
            QTest::keyClick(form->edit(), Qt::Key_Return);
        } else {
            form->findChild<QPushButton*>(QStringLiteral("btnCancel"))->click();
        }
    });
    poll->start(10);
}

// The focused node of the active tree, as "S:" or "U:" and its text.
QString Focused(TfrmMain& w)
{
    TETreeView* view = activeView(w);
    const TETree& tree = view->tree();
    const TENode* node = tree.GetFocusedNode();
    return (view == sysVarView(w) ? "S:" : "U:") + (node ? toQ(tree.GetNodeAsText(node)) : QString());
}

} // namespace

class FormFindTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    // Both trees, the active one first from its focused node; round to the
    // start with a notice; backwards; the two options; "not found" only
    // when nothing matches anywhere.
    void findsInBothTreesAndComesRound()
    {
        TFixture f;
        f.Seed(platform::RootKey::LocalMachine, kSystemEnvironmentKey, u"TV_ONLYSYS", u"needle;beta");
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        TETree& tree = userVarTree(w);
        tree.AddVariable(u"A_ONE", u"x;C:\\Some\\BeTa", kDataTypeString, false);
        tree.AddVariable(u"A_TWO_BETA", u"y", kDataTypeString, false);
        tree.AddVariable(u"A_THREE", u"MiXeD bEtA", kDataTypeString, false);
        tree.AddVariable(u"Z_HIDDEN", u"beta hidden", kDataTypeString, true);
        tree.ShowReadOnly(false);
        tree.ActivateNode(tree.FindVariable(u"A_THREE"));
        QAction* find = f.action("actEditFind");
        QAction* next = f.action("actEditFindNext");
        QVERIFY(!next->isEnabled() && !f.action("actEditFindPrevious")->isEnabled());
        const auto notice = [&] {
            return w.statusBar()->currentMessage();
        };
        const QString top = QStringLiteral("Search wrapped around: went on from the top");
        // A key as the user presses it in the window, which is active again
        // once the dialog is gone.
        const auto press = [&](Qt::KeyboardModifiers modifiers) {
            w.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&w));
            QTest::keyClick(activeView(w), Qt::Key_F3, modifiers);
        };

        // From the focused row on, whatever the letter case, hidden ones too,
        // then round to the upper (system) tree, which takes the focus.
        AnswerFind("beta", true);
        find->trigger();
        QCOMPARE(Focused(w), QStringLiteral("U:MiXeD bEtA"));
        QVERIFY(next->isEnabled());
        QStringList walk;
        for (int i = 0; i < 4; ++i) {
            press(Qt::NoModifier);
            walk << Focused(w) + (notice().isEmpty() ? "" : " (" + notice() + ")");
        }
        QCOMPARE(walk, (QStringList{"U:A_TWO_BETA=y", "U:beta hidden", "S:beta (" + top + ")", "U:C:\\Some\\BeTa"}));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
        QTRY_VERIFY(userVarView(w)->hasFocus());
        // Backwards: up into the system tree, then round its top.
        press(Qt::ShiftModifier);
        QCOMPARE(Focused(w), QStringLiteral("S:beta"));
        QTRY_VERIFY(sysVarView(w)->hasFocus());
        QVERIFY(sysVarView(w)->selectionModel()->isSelected(sysVarView(w)->currentIndex()));
        press(Qt::ShiftModifier);
        QCOMPARE(Focused(w), QStringLiteral("U:beta hidden"));
        QCOMPARE(notice(), QStringLiteral("Search wrapped around: went on from the bottom"));

        // Match case and whole element; the dialog opens with the last choice.
        QString shown;
        bool okEnabled = false;
        AnswerFind("BeTa", true, true);
        find->trigger();
        QCOMPARE(Focused(w), QStringLiteral("U:C:\\Some\\BeTa"));
        AnswerFind("BETA", true, false, true, &shown, &okEnabled);
        find->trigger();
        QCOMPARE(shown, QStringLiteral("BeTa|case"));
        QVERIFY(okEnabled);
        QCOMPARE(Focused(w), QStringLiteral("S:beta"));
        next->trigger(); // the only whole match: found again, round the walk
        QCOMPARE(Focused(w), QStringLiteral("S:beta"));
        QCOMPARE(notice(), top);

        // Per element, and "not found" only when nothing matches anywhere;
        // the focus stays.
        TfrmOK::setNextAnswer(mrOk);
        AnswerFind("x;C:", true);
        find->trigger();
        QCOMPARE(TfrmOK::hook().asked(), QStringList{"Search string 'x;C:' not found"});
        QCOMPARE(Focused(w), QStringLiteral("S:beta"));

        // Cancel: text, options and focus stay, nothing is searched.
        TfrmOK::hook().reset();
        AnswerFind("needle", false, true, true);
        find->trigger();
        QCOMPARE(findActions(w).searchString(), u"x;C:");
        QVERIFY(!findActions(w).options().matchCase && !findActions(w).options().wholeElement);
        QCOMPARE(Focused(w), QStringLiteral("S:beta"));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
    }
    // F4 and Shift+F4: every node with an error or a warning, in both
    // trees read as one list, round the ends with a notice; none at all is
    // told in the status bar and the focus stays.
    void problemKeysWalkBothTrees()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        TETree& user = userVarTree(w);
        TETree& sys = sysVarTree(w);
        user.Clear();
        sys.Clear();
        const std::u16string scratch = f.machine.scratchPath();
        sys.AddVariable(u"TV_S", u"C:\\TvNowhere2", kDataTypeString, false);
        user.AddVariable(u"TV_A", scratch, kDataTypeString, false);
        user.AddVariable(u"TV_B", scratch + u";C:\\TvNowhere1", kDataTypeString, false);
        user.ActivateNode(user.FindVariable(u"TV_A"));
        sys.Verify();
        user.Verify();
        const auto press = [&](Qt::KeyboardModifiers modifiers) {
            QTest::keyClick(activeView(w), Qt::Key_F4, modifiers);
            const TETree& tree = activeView(w)->tree();
            const TENode* node = tree.GetFocusedNode();
            const QString notice = w.statusBar()->currentMessage();
            return (&tree == &sys ? "S:" : "U:")
                + toQ(node->IsVariable() ? tree.GetVariableName(node) : tree.GetElement(node))
                + (notice.isEmpty() ? "" : " (" + notice + ")");
        };
        QStringList walk;
        for (int i = 0; i < 4; ++i) {
            walk << press(Qt::NoModifier);
        }
        walk << press(Qt::ShiftModifier) << press(Qt::ShiftModifier);
        QCOMPARE(walk,
                 (QStringList{"U:TV_B", "U:C:\\TvNowhere1", "S:TV_S (Search wrapped around: went on from the top)",
                              "S:C:\\TvNowhere2", "S:TV_S",
                              "U:C:\\TvNowhere1 (Search wrapped around: went on from the bottom)"}));
        QTRY_VERIFY(userVarView(w)->hasFocus());

        // Nothing wrong anywhere.
        sys.Clear();
        user.SetVariableValue(user.FindVariable(u"TV_B"), scratch);
        user.ActivateNode(user.FindVariable(u"TV_A"));
        user.Verify();
        QCOMPARE(press(Qt::NoModifier), QStringLiteral("U:TV_A (No node in either tree has an error or a warning)"));
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
