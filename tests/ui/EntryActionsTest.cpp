// Copy and Paste through the window on a fresh emulated machine: both
// clipboard forms, pasting into the other tree, the overwrite question,
// text as one element, records from other programs that are not readable,
// and when the commands are offered. Also where every command is placed.

#include "ui/EntryActions.h"

#include "edit/UndoStack.h"
#include "edit/VariableClipboard.h"
#include "model/ETree.h"
#include "settings/Exclusions.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeView.h"
#include "ui/NodeMime.h"
#include "ui/UiText.h"

#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QToolBar>

using namespace talvoren;
using namespace talvoren::test;
using platform::RootKey;

namespace {

using U = std::vector<std::u16string>;

struct TClipboardWindow : TFixture {
    using TFixture::TFixture;
    TfrmMain& OpenFocused(TETreeView* (*view)(QWidget&) = &userVarView)
    {
        TfrmMain& w = Open();
        if (!QTest::qWaitForWindowActive(&w)) {
            qWarning("window not active");
        }
        FocusTree(view(w));
        return w;
    }
    void FocusTree(TETreeView* view)
    {
        view->setFocus();
        if (!QTest::qWaitFor([&] { return activeView(*window) == view; })) {
            qWarning("the tree did not take the focus");
        }
    }
    TENode* Focus(TETree& tree, const std::u16string& name, int row = -1)
    {
        TENode* variable = tree.FindVariable(name);
        TENode* node = row < 0 ? variable : variable->Child(static_cast<size_t>(row));
        tree.ActivateNode(node);
        window->UpdateActions();
        return node;
    }
    U Elements(TETree& tree, const std::u16string& name)
    {
        U texts;
        TENode* variable = tree.FindVariable(name);
        for (size_t i = 0; variable && i < variable->ChildCount(); ++i) {
            texts.push_back(tree.GetElement(variable->Child(i)));
        }
        return texts;
    }
    bool Enabled(const char* name)
    {
        window->UpdateActions();
        return action(name)->isEnabled();
    }
    QStringList Names(const QList<QAction*>& actions)
    {
        QStringList names;
        for (QAction* a : actions) {
            names << (a->isSeparator() ? QStringLiteral("-") : a->menu() ? a->text() : a->objectName());
        }
        return names;
    }
};

} // namespace

class EntryActionsTest : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        resetDialogs();
        QGuiApplication::clipboard()->clear();
    }

    void aCopiedVariableIsPastedIntoTheOtherTree()
    {
        TClipboardWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"A", u"x;y");
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        TETree& sys = sysVarTree(w);
        f.Focus(user, u"A");
        user.SetVariableType(user.FindVariable(u"A"), kDataTypeExpandString);
        QTest::keyClick(userVarView(w), Qt::Key_C, Qt::ControlModifier);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        QCOMPARE(data->text(), QStringLiteral("A=x;y"));
        const auto record = variableRecordOf(data);
        QVERIFY(record);
        QCOMPARE(record->name, u"A");
        QCOMPARE(record->value, u"x;y");
        QCOMPARE(record->dataType, uint8_t(kDataTypeExpandString));

        f.FocusTree(sysVarView(w));
        f.Focus(sys, u"windir");
        // Windows tells of a new clipboard content a moment later.
        QTRY_VERIFY2(f.Enabled("actEditPaste"), "a record pastes onto any node");
        QTest::keyClick(sysVarView(w), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(f.Elements(sys, u"A"), (U{u"x", u"y"}));
        QCOMPARE(sys.GetVariableType(sys.FindVariable(u"A")), uint8_t(kDataTypeExpandString));
        QCOMPARE(sys.GetFocusedNode(), sys.FindVariable(u"A"));

        // Pasting where the name exists asks; only Yes overwrites, keeping
        // the existing name and type, in one step.
        f.FocusTree(userVarView(w));
        user.AddVariable(u"a2", u"", kDataTypeString, false);
        QGuiApplication::clipboard()->setMimeData(clipboardDataFor(user, user.FindVariable(u"A")));
        user.SetVariableName(user.FindVariable(u"A"), u"keep");
        user.SetVariableName(user.FindVariable(u"a2"), u"a");
        f.Focus(user, u"a");
        TfrmYesNo::setNextAnswer(mrNo);
        QTest::keyClick(userVarView(w), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(TfrmYesNo::hook().asked(),
                 QStringList{QStringLiteral("Variable 'A' already exists\r\nDo you want to overwrite it?")});
        QCOMPARE(f.Elements(user, u"a"), U{u""});
        const size_t steps = undoStack(w).Count();
        TfrmYesNo::setNextAnswer(mrYes);
        QTest::keyClick(userVarView(w), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(f.Elements(user, u"a"), (U{u"x", u"y"}));
        QCOMPARE(user.GetVariableName(user.FindVariable(u"a")), u"a");
        QCOMPARE(user.GetVariableType(user.FindVariable(u"a")), uint8_t(kDataTypeString));
        QCOMPARE(undoStack(w).Count(), steps + 2);
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(user, u"a"), U{u""});
    }

    void textIsPastedAsOneElementWhereTheVariableIsSplit()
    {
        TClipboardWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        f.Seed(RootKey::CurrentUser, u"Environment", u"NS", u"n");
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        GlobalOptions()->GetExclusions().Add(u"NS", false, true);

        // An element copies as text only.
        f.Focus(user, u"TV", 1);
        f.action("actEditCopy")->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b"));
        QVERIFY(!variableRecordOf(QGuiApplication::clipboard()->mimeData()));

        QGuiApplication::clipboard()->setText(QStringLiteral("C:\\p;C:\\q"));
        f.Focus(user, u"TV");
        QTRY_VERIFY(f.Enabled("actEditPaste"));
        f.action("actEditPaste")->trigger();
        f.Focus(user, u"TV", 1);
        QTRY_VERIFY(f.Enabled("actEditPaste"));
        f.action("actEditPaste")->trigger();
        QCOMPARE(f.Elements(user, u"TV"), (U{u"C:\\p;C:\\q", u"a", u"C:\\p;C:\\q", u"b"}));

        f.Focus(user, u"NS", 0);
        QVERIFY2(!f.Enabled("actEditPaste"), "text into a variable kept whole");
        TENode* special = nullptr;
        for (TENode* variable : user.Variables()) {
            special = user.GetVariableReadOnly(variable) ? variable : special;
        }
        user.ActivateNode(special);
        QVERIFY2(!f.Enabled("actEditPaste"), "text into a read-only variable");
        QVERIFY(f.Enabled("actEditCopy"));
    }

    void recordsThatCannotBeReadPasteNothing()
    {
        TClipboardWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        TfrmMain& w = f.OpenFocused();
        f.Focus(userVarTree(w), u"TV", 0);
        std::vector<uint8_t> unterminated = *EncodeVariableRecord({u"N", u"v", 1});
        std::fill(unterminated.begin(), unterminated.begin() + 514, 'N');
        for (const QByteArray& bytes :
             {QByteArray("short"), QByteArray(reinterpret_cast<const char*>(unterminated.data()), 16902)}) {
            auto* data = new QMimeData;
            data->setData(variableClipboardFormat(), bytes);
            data->setText(QStringLiteral("fallback"));
            QGuiApplication::clipboard()->setMimeData(data);
            const size_t steps = undoStack(w).Count();
            const size_t count = userVarTree(w).VariableCount();
            f.action("actEditPaste")->trigger();
            QCOMPARE(undoStack(w).Count(), steps);
            QCOMPARE(userVarTree(w).VariableCount(), count);
            QCOMPARE(f.Elements(userVarTree(w), u"TV"), U{u"a"});
        }
    }

    void editingCommandsFollowTheirRules()
    {
        TClipboardWindow f(true);
        f.Seed(RootKey::CurrentUser, u"Environment", u"NS", u"n");
        TfrmMain& w = f.OpenFocused(&sysVarView);
        f.Focus(sysVarTree(w), u"windir");
        QVERIFY2(f.Enabled("actEditCopy"), "copy from a read-only system tree");
        for (const char* name : {"actEditAddVariable", "actEditAddValue", "actEditEditAsText"}) {
            QVERIFY2(!f.Enabled(name), name);
        }
        QGuiApplication::clipboard()->setMimeData(
            clipboardDataFor(sysVarTree(w), sysVarTree(w).FindVariable(u"windir")));
        QVERIFY(!f.Enabled("actEditPaste"));

        f.FocusTree(userVarView(w));
        TETree& user = userVarTree(w);
        GlobalOptions()->GetExclusions().Add(u"NS", false, true);
        f.Focus(user, u"NS", 0);
        QVERIFY(f.Enabled("actEditAddVariable"));
        QVERIFY(f.Enabled("actEditEditAsText"));
        QVERIFY2(!f.Enabled("actEditAddValue"), "a variable kept whole that has its element");
        QTest::keyClick(userVarView(w), Qt::Key_Delete);
        f.Focus(user, u"NS");
        QVERIFY2(f.Enabled("actEditAddValue"), "the element is gone");
        QTest::keyClick(userVarView(w), Qt::Key_F2);
        QVERIFY(userVarView(w)->isEditing());
        QVERIFY2(!f.Enabled("actEditEditAsText"), "already editing");
    }

    void everyCommandHasItsPlace()
    {
        TClipboardWindow f;
        TfrmMain& w = f.OpenFocused();
        QStringList menus;
        for (QAction* menu : w.menuBar()->actions()) {
            menus << menu->text() + ":" + f.Names(menu->menu()->actions()).join(',');
        }
        QCOMPARE(
            menus,
            (QStringList{"&File:actFileSave,actFileBackup,actFileRestore,actFileHistory,actFileOptions,-,"
                         "actFileRestartAsAdmin,-,actFileExit",
                         "&Edit:actEditUndo,actEditRedo,-,actEditCut,actEditCopy,actEditPaste,actEditDelete,-,"
                         "actEditFind,actEditFindNext,actEditFindPrevious,actEditNextProblem,actEditPreviousProblem,"
                         "actEditWhichProgram,-,actEditAddVariable,actEditAddValue,"
                         "actEditEditAsText,actEditEditAsPath,"
                         "actEditEditAsFile,actEditChangeType,actEditCleanup,actEditRemoveMissing,actEditMoveUp,"
                         "actEditMoveDown,-,"
                         "actEditOpenFolder,-,actEditLong2Short,actEditShort2Long,actEditInline,-,actEditRefresh",
                         "&View:actViewShowInformation,actViewShowReadOnly,Toolbars",
                         "&Help:actHelpAbout,actHelpCheckUpdates,actHelpDonate"}));
        auto* tbMain = w.findChild<QToolBar*>(QStringLiteral("tbMain"));
        QStringList bar = f.Names(tbMain->actions());
        bar.removeLast(); // the Donate link
        QCOMPARE(bar.join(','),
                 QStringLiteral("actFileSave,-,actEditUndo,actEditRedo,-,actEditCopy,actEditPaste,actEditDelete,-,"
                                "actEditAddVariable,actEditAddValue,actEditEditAsText,actEditEditAsPath,"
                                "actEditEditAsFile,actEditChangeType,actEditMoveUp,actEditMoveDown,-,actFileOptions,-,"
                                "actViewShowInformation,actViewShowReadOnly,-,actHelpCheckUpdates,actHelpAbout,-"));

        struct Key {
            const char* name;
            QKeySequence key;
        };
        for (const Key& k : {Key{"actEditAddVariable", QKeySequence(Qt::Key_Insert)},
                             Key{"actEditAddValue", QKeySequence(Qt::ALT | Qt::Key_Insert)},
                             Key{"actEditEditAsText", QKeySequence(Qt::Key_F2)},
                             Key{"actEditCopy", QKeySequence(Qt::CTRL | Qt::Key_Insert)},
                             Key{"actEditPaste", QKeySequence(Qt::SHIFT | Qt::Key_Insert)},
                             Key{"actHelpAbout", QKeySequence(Qt::Key_F1)}, Key{"actEditFind", QKeySequence::Find},
                             Key{"actEditFindNext", QKeySequence(Qt::Key_F3)}}) {
            QVERIFY2(f.action(k.name)->shortcuts().contains(k.key), k.name);
        }
        QVERIFY(f.Enabled("actHelpCheckUpdates"));

        // Donate, from the menu and from the toolbar's link.
        f.action("actHelpDonate")->trigger();
        auto* link = w.findChild<QLabel*>(QStringLiteral("lblDonate"));
        QVERIFY(link && link->text().contains("Donate"));
        emit link->linkActivated(QStringLiteral("donate"));
        QCOMPARE(f.shell->calls.size(), size_t(2));
        for (const auto& call : f.shell->calls) {
            QCOMPARE(call.verb, u"open");
            QVERIFY(call.file.ends_with(u"/en/donation"));
        }
    }
};

QTEST_MAIN(EntryActionsTest)
#include "EntryActionsTest.moc"
