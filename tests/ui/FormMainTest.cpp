// The main window on a fresh emulated machine: its start, the modified
// state through undo, redo and save, the close questions and what each
// answer does, the read-only system scope, the splitter's proportion, the
// window placement, Tab between the trees, the restart as administrator, the
// commands while a menu, the toolbar or the panel has the focus, the click
// that focuses a tree, and the change broadcast beside the window's thread.

#include "ui/FormMain.h"

#include "base/EnvStore.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "platform/Platform.h"
#include "settings/Options.h"
#include "system/Tools.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/FormOK.h"
#include "ui/FormQuestion.h"
#include "ui/Language.h"
#include "ui/SingleInstance.h"
#include "ui/StatusField.h"
#include "ui/TreePanel.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QDockWidget>
#include <QElapsedTimer>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSplitter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUuid>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace talvoren;
using platform::RootKey;

using namespace talvoren::test;

class FormMainTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    void startsOnASeededMachine()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV_USER", u"C:\\Windows;C:\\nothere");
        f.Seed(RootKey::LocalMachine, kSystemEnvironmentKey, u"TV_SYSTEM", u"C:\\Windows");
        TfrmMain& w = f.Open();

        QVERIFY(w.windowTitle().startsWith(QStringLiteral("Talvoren ")));
        QVERIFY(w.windowTitle().contains(QStringLiteral(" build ")));
        QVERIFY(userVarTree(w).FindVariable(u"TV_USER"));
        QVERIFY(sysVarTree(w).FindVariable(u"TV_SYSTEM"));
        QVERIFY(!userVarTree(w).FindVariable(u"TV_SYSTEM"));
        QCOMPARE(userVarTree(w).GetResolvingTree(), &sysVarTree(w));
        QCOMPARE(sysPanel(w)->caption(), QStringLiteral("System Variables"));
        QCOMPARE(userPanel(w)->caption(), QStringLiteral("User Variables"));
        QVERIFY(!restartButton(w)->isVisibleTo(&w));
        QVERIFY(!f.action("actFileRestartAsAdmin")->isEnabled());
        QVERIFY(!f.action("actFileSave")->isEnabled());
        QVERIFY(!f.action("actEditUndo")->isEnabled());
        QVERIFY(!f.action("actEditRedo")->isEnabled());
        QVERIFY(statusField(w, 1)->text().isEmpty());
        QVERIFY2(statusField(w, 2)->text().isEmpty(), "registry mode shows nothing");
        QVERIFY(statusField(w, 3)->text().isEmpty());
        QVERIFY(informationPanel(w)->isVisible());
        QVERIFY(sysVarTree(w).IsEditable());

        // After the first show the user tree is the active one, a node focused.
        QTRY_COMPARE(activeView(w), userVarView(w));
        QVERIFY(userVarTree(w).GetFocusedNode());

        // The timer validates both trees: the missing folder turns red.
        TENode* variable = userVarTree(w).FindVariable(u"TV_USER");
        QTRY_VERIFY(variable->Child(1)->Data().GetWrongPath());
        QVERIFY(!variable->Child(0)->Data().GetWrongPath());
        QVERIFY(userVarTree(w).HasErrorMark(variable));
        QVERIFY(!w.IsModified());
    }

    void modifiedStateFollowsUndoRedoAndSave()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        TfrmMain& w = f.Open();
        QAction* save = f.action("actFileSave");
        QAction* undo = f.action("actEditUndo");
        QAction* redo = f.action("actEditRedo");

        f.EditUser(u"TV", u"after");
        QVERIFY(w.IsModified());
        QVERIFY(save->isEnabled() && undo->isEnabled() && !redo->isEnabled());
        QCOMPARE(statusField(w, 1)->text(), QStringLiteral("Modified"));

        undo->trigger();
        QVERIFY(!w.IsModified());
        QCOMPARE(userVarTree(w).GetVariableValue(userVarTree(w).FindVariable(u"TV")), u"before");
        QVERIFY(!save->isEnabled() && !undo->isEnabled() && redo->isEnabled());
        QVERIFY(statusField(w, 1)->text().isEmpty());

        f.FocusUserTree();
        QTest::keyClick(userVarView(w), Qt::Key_Y, Qt::ControlModifier); // Redo, as Ctrl+Shift+Z
        QVERIFY(w.IsModified());
        QCOMPARE(userVarTree(w).GetVariableValue(userVarTree(w).FindVariable(u"TV")), u"after");
        QCOMPARE(undoStack(w).GetPos() % 2, 0);

        save->trigger();
        QVERIFY(!w.IsModified());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"after");
        QTRY_COMPARE(statusField(w, 1)->text(), QStringLiteral("Saved"));
        QVERIFY(!save->isEnabled());

        undo->trigger(); // back behind the saved state
        QVERIFY(w.IsModified());
        redo->trigger();
        QVERIFY(!w.IsModified());
        QVERIFY2(TfrmOK::hook().asked().isEmpty(), "no error on the way");
    }

    void exitQuestionComesFirstAndNoKeepsTheWindow()
    {
        TFixture f;
        f.SeedSetting(u"onExitConfirmation", 1);
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"x");

        TfrmYesNo::setNextAnswer(mrNo);
        QVERIFY(!w.close());
        QCOMPARE(TfrmYesNo::hook().asked(), QStringList{QStringLiteral("Are you sure you want to exit?")});
        QVERIFY(TfrmYesNoCancel::hook().asked().isEmpty());

        // The close box of the question is not a Yes either.
        TfrmYesNo::setNextAnswer(mrCancel);
        QVERIFY(!w.close());
        QVERIFY(TfrmYesNoCancel::hook().asked().isEmpty());
        QVERIFY(w.isVisible());
    }

    void cancelToTheSaveQuestionKeepsEverything()
    {
        TFixture f;
        f.SeedSetting(u"onExitConfirmation", 1);
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"x");

        TfrmYesNo::setNextAnswer(mrYes);
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        QVERIFY(!w.close());
        QCOMPARE(TfrmYesNoCancel::hook().asked(), QStringList{QStringLiteral("Do you want to save the changes?")});
        QVERIFY(w.IsModified());
        QVERIFY(f.Read(RootKey::CurrentUser, u"Environment", u"TV").empty());
        // The seeded settings key holds the one value; nothing else was written.
        TEnvStore store(f.platform().registry(), RootKey::CurrentUser);
        store.OpenKeyReadOnly(kSettingsKey);
        QCOMPARE(store.GetValueNames().size(), size_t(1));
    }

    void noClosesWithoutSavingTheVariablesButWithTheSettings()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"x");
        TfrmYesNoCancel::setNextAnswer(mrNo);
        QVERIFY(w.close());
        QVERIFY2(TfrmYesNo::hook().asked().isEmpty(), "the exit question is off by default");
        QVERIFY(f.Read(RootKey::CurrentUser, u"Environment", u"TV").empty());
        QVERIFY(f.SettingsSaved());
    }

    void yesSavesTheVariablesThenCloses()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"x");
        TfrmYesNoCancel::setNextAnswer(mrYes);
        QVERIFY(w.close());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"x");
        QVERIFY(f.SettingsSaved());
    }

    void cleanWindowClosesWithoutQuestionsAndStoresItsGeometry()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        w.setGeometry(120, 80, 700, 500);
        QTRY_COMPARE(w.geometry().size(), QSize(700, 500));
        QVERIFY(w.close());
        QVERIFY(TfrmYesNoCancel::hook().asked().isEmpty());
        TOptions options(f.platform(), f.files);
        options.Load();
        QCOMPARE(options.width, 700);
        QCOMPARE(options.height, 500);
        QCOMPARE(options.isMaximized, false);
        QCOMPARE(options.skin, u"Default");
        QCOMPARE(options.language(), u"English");
        QCOMPARE(options.toolbarLayout().Integer(u"tbMain", u"Visible"), 1);
    }

    void toolbarHiddenFromTheViewMenuStaysHiddenAtTheNextStart()
    {
        TFixture f;
        TfrmMain& first = f.Open();
        auto* user = first.findChild<QToolBar*>(QStringLiteral("tbUser"));
        QVERIFY(user && user->isVisible());
        f.action("actViewShowUser")->trigger();
        QVERIFY(user->isHidden());
        first.UpdateActions();
        QVERIFY(!f.action("actViewShowUser")->isChecked());
        QVERIFY(first.close());
        f.window.reset();

        TfrmMain& w = f.Open();
        QVERIFY(w.findChild<QToolBar*>(QStringLiteral("tbUser"))->isHidden());
        QVERIFY(w.findChild<QToolBar*>(QStringLiteral("tbMain"))->isVisible());
        w.UpdateActions();
        QVERIFY(!f.action("actViewShowUser")->isChecked());
        QVERIFY(f.action("actViewShowMain")->isChecked());
        f.action("actViewShowUser")->trigger();
        QVERIFY(w.findChild<QToolBar*>(QStringLiteral("tbUser"))->isVisible());
    }

    void storedGeometryIsRestoredAndMaximized()
    {
        TFixture f;
        f.SeedSetting(u"left", 100);
        f.SeedSetting(u"top", 50);
        f.SeedSetting(u"width", 800);
        f.SeedSetting(u"height", 600);
        f.SeedSetting(u"isMaximized", 1);
        TfrmMain& w = f.Open();
        QTRY_VERIFY(w.isMaximized());
        QCOMPARE(w.normalGeometry(), QRect(100, 50, 800, 600));
    }

    // The first start takes two thirds of the screen, centred; the title
    // carries the modified mark while an edit is unsaved.
    void firstStartCentresAtTwoThirdsAndTitleShowsModified()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        f.SeedSetting(u"left", -1);
        f.SeedSetting(u"top", 50);
        f.SeedSetting(u"width", 800);
        f.SeedSetting(u"height", 600);
        TfrmMain& w = f.Open(false);
        const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(w.size(), QSize(area.width() * 2 / 3, area.height() * 2 / 3));
        QVERIFY(qAbs(w.geometry().center().x() - area.center().x()) <= 1);
        QVERIFY(qAbs(w.geometry().center().y() - area.center().y()) <= 1);
        QVERIFY(w.minimumWidth() >= 380);

        QVERIFY(w.windowTitle().endsWith(QStringLiteral("[*]")));
        QVERIFY(!w.isWindowModified());
        f.EditUser(u"TV", u"b");
        QTRY_VERIFY(w.isWindowModified());
        f.action("actEditUndo")->trigger();
        QTRY_VERIFY(!w.isWindowModified());
    }

    void readOnlySystemScope()
    {
        TFixture f(true);
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        TfrmMain& w = f.Open();
        QVERIFY(!CheckForAdminAccess(f.platform()));
        QCOMPARE(sysPanel(w)->caption(), QStringLiteral("System variables (read-only)"));
        QCOMPARE(sysVarView(w)->palette().color(QPalette::Base), QApplication::palette().color(QPalette::Window));
        QVERIFY(!sysVarTree(w).IsEditable());
        QVERIFY(userVarTree(w).IsEditable());
        QVERIFY(restartButton(w)->isVisibleTo(&w));
        QVERIFY(f.action("actFileRestartAsAdmin")->isEnabled());
        QCOMPARE(statusField(w, 3)->text(), QStringLiteral("You have no write access to the system variables"));
        QCOMPARE(statusField(w, 3)->image(), 4);

        // Save writes the user tree alone and reports no error.
        f.EditUser(u"TV", u"b");
        f.action("actFileSave")->trigger();
        QVERIFY(TfrmOK::hook().asked().isEmpty());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"b");
        QVERIFY(!w.IsModified());
    }

    // Hovering a menu item with a hint leaves the status fields as they
    // are, and the fields show their whole text at the first window size.
    void statusFieldsStayWhenAHintIsShown()
    {
        TFixture f(true);
        TfrmMain& w = f.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        TStatusField* field = statusField(w, 3);
        const QString text = QStringLiteral("You have no write access to the system variables");
        QCOMPARE(field->text(), text);
        const QLabel* label = nullptr;
        for (const QLabel* child : field->findChildren<QLabel*>()) {
            label = child->text() == text ? child : label;
        }
        QVERIFY(label && label->width() >= label->fontMetrics().horizontalAdvance(text));

        QAction* refresh = f.action("actEditRefresh");
        QMenu* edit = nullptr;
        for (QAction* item : w.menuBar()->actions()) {
            edit = item->menu() && item->menu()->actions().contains(refresh) ? item->menu() : edit;
        }
        QVERIFY(edit);
        QVERIFY(edit->toolTipsVisible());
        w.menuBar()->setActiveAction(edit->menuAction());
        QTRY_VERIFY(edit->isVisible());
        edit->setActiveAction(refresh);
        QCOMPARE(edit->activeAction(), refresh);
        QVERIFY(w.statusBar()->currentMessage().isEmpty());
        QVERIFY(field->isVisible());
        QCOMPARE(field->text(), text);
        edit->close();
    }

    // At start and after Refresh each tree's focus is on its first variable
    // the user can edit; a read-only system tree starts on its first one.
    void focusStartsOnTheFirstEditableVariable()
    {
        TFixture f(true);
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        TfrmMain& w = f.Open();
        auto firstEditable = [](TETree& tree) {
            for (TENode* variable : tree.Variables()) {
                if (!variable->IsHidden() && tree.IsWritable(variable)) {
                    return variable;
                }
            }
            return static_cast<TENode*>(nullptr);
        };
        TETree& user = userVarTree(w);
        QVERIFY(user.GetFocusedNode() && user.GetFocusedNode() == firstEditable(user));
        QVERIFY(!user.GetVariableReadOnly(user.GetFocusedNode()));
        QCOMPARE(userVarView(w)->currentIndex(), userVarView(w)->treeModel().indexOf(user.GetFocusedNode()));
        QCOMPARE(sysVarTree(w).GetFocusedNode(), sysVarTree(w).GetFirstVisible());

        user.ActivateNode(user.Variables().back());
        f.action("actEditRefresh")->trigger();
        QVERIFY(user.GetFocusedNode() && user.GetFocusedNode() == firstEditable(user));
    }

    // Once the window has begun to close it no longer answers later starts;
    // a close that is cancelled keeps answering.
    void closingStopsAnsweringLaterStarts()
    {
        TFixture f;
        f.SeedSetting(u"onExitConfirmation", 1);
        TSingleInstance guard(QUuid::createUuid().toString());
        QVERIFY(guard.listen());
        TfrmMain w(f.platform(), f.files, &guard);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        TfrmYesNo::setNextAnswer(mrNo);
        w.close();
        QVERIFY(w.isVisible());
        QVERIFY(guard.isListening());
        TfrmYesNo::setNextAnswer(mrYes);
        w.close();
        QVERIFY(!w.isVisible());
        QVERIFY(!guard.isListening());
    }

    void restartAsAdministrator()
    {
        TFixture f(true);
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"x");

        TfrmYesNoCancel::setNextAnswer(mrCancel);
        w.btnRestartAsAdminClick();
        QVERIFY(!f.ended);
        QVERIFY(f.shell->calls.empty());
        QCOMPARE(TfrmYesNoCancel::hook().asked().last(),
                 QStringLiteral("All changes will be lost after switching user\r\nDo you want to save the changes?"));

        TfrmYesNoCancel::setNextAnswer(mrYes);
        w.btnRestartAsAdminClick();
        QVERIFY2(f.ended, "the instance ends even though the start was refused");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"x");
        QCOMPARE(f.shell->calls.size(), size_t(1));
        QCOMPARE(f.shell->calls[0].verb, u"runas");
        QCOMPARE(f.shell->calls[0].file, f.platform().system().executablePath());
        QCOMPARE(f.shell->calls[0].parameters, u"");
        QVERIFY(f.shell->calls[0].owner != 0);

        // The ending runs neither the close questions nor the settings save.
        f.EditUser(u"TV", u"y");
        QVERIFY(w.close());
        QVERIFY(TfrmYesNoCancel::hook().asked().size() == 2);
        QVERIFY(!f.SettingsSaved());
    }

    void splitterKeepsItsProportionWhenTheWindowGrows()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        w.resize(900, 600);
        auto* splitter = qobject_cast<QSplitter*>(test::splitter(w));
        QTRY_VERIFY(splitter->width() > 800);
        const int handle = splitter->handleWidth();
        QVERIFY(qAbs(test::splitter(w)->proportion() - 0.5) < 0.01);

        // Drag the handle so that the system panel takes a third.
        const int shared = splitter->width() - handle;
        const int target = shared / 3;
        QSplitterHandle* grip = splitter->handle(1);
        const QPoint start(handle / 2, grip->height() / 2);
        const int dx = target - splitter->sizes().at(0);
        QTest::mousePress(grip, Qt::LeftButton, {}, start);
        QTest::mouseMove(grip, start + QPoint(dx, 0));
        QTest::mouseRelease(grip, Qt::LeftButton, {}, start + QPoint(dx, 0));
        QTRY_VERIFY(qAbs(splitter->sizes().at(0) - target) <= 2);
        QVERIFY(qAbs(test::splitter(w)->proportion() - 1.0 / 3) < 0.01);

        w.resize(1800, 600);
        QTRY_VERIFY(splitter->width() > 1700);
        const int newShared = splitter->width() - handle;
        QVERIFY(qAbs(splitter->sizes().at(0) - std::lround(newShared * test::splitter(w)->proportion())) <= 1);
        QVERIFY(qAbs(double(splitter->sizes().at(0)) / newShared - 1.0 / 3) < 0.01);
    }

    void tabMovesBetweenTheTrees()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(userVarView(w)));
        QTest::keyClick(userVarView(w), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(sysVarView(w)));
        QCOMPARE(activeView(w), sysVarView(w));
        QTest::keyClick(sysVarView(w), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(userVarView(w)));
        QCOMPARE(activeView(w), userVarView(w));
    }

    void showHideCommandsFlipTheirSettings()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        QAction* info = f.action("actViewShowInformation");
        QAction* readOnly = f.action("actViewShowReadOnly");
        QVERIFY(info->isChecked() && readOnly->isChecked());
        QCOMPARE(readOnly->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_H));

        info->trigger();
        QVERIFY(!informationPanel(w)->isVisible());
        QVERIFY(!GlobalOptions()->showInformation);
        QVERIFY(!info->isChecked());
        info->trigger();
        QVERIFY(informationPanel(w)->isVisible());

        // The panel's own close button runs the same command.
        informationPanel(w)->close();
        QVERIFY(!informationPanel(w)->isVisible());
        QVERIFY(!GlobalOptions()->showInformation);

        TENode* special = nullptr;
        for (TENode* node : sysVarTree(w).Variables()) {
            if (node->VarData()->GetReadOnly()) {
                special = node;
            }
        }
        QVERIFY2(special, "the machine's process environment gives read-only variables");
        readOnly->trigger();
        QVERIFY(!GlobalOptions()->showReadonly);
        QVERIFY(special->IsHidden());
        QVERIFY(sysVarView(w)->isRowHidden(int(special->Row()), {}));
        readOnly->trigger();
        QVERIFY(!special->IsHidden());
    }

    void refreshAsksOnlyWhenModified()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"one");
        TfrmMain& w = f.Open();
        QAction* refresh = f.action("actEditRefresh");
        QCOMPARE(refresh->shortcut(), QKeySequence(Qt::Key_F5));

        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"two"); // changed outside
        refresh->trigger();
        QVERIFY(TfrmYesNo::hook().asked().isEmpty());
        QCOMPARE(userVarTree(w).GetVariableValue(userVarTree(w).FindVariable(u"TV")), u"two");

        f.EditUser(u"TV", u"mine");
        TfrmYesNo::setNextAnswer(mrNo);
        refresh->trigger();
        QCOMPARE(TfrmYesNo::hook().asked().size(), qsizetype(1));
        QCOMPARE(userVarTree(w).GetVariableValue(userVarTree(w).FindVariable(u"TV")), u"mine");
        QVERIFY(w.IsModified());

        // Only Yes reloads: a close box (2) keeps the edits as well.
        TfrmYesNo::setNextAnswer(mrCancel);
        refresh->trigger();
        QCOMPARE(userVarTree(w).GetVariableValue(userVarTree(w).FindVariable(u"TV")), u"mine");
        TfrmYesNo::setNextAnswer(mrYes);
        refresh->trigger();
        QCOMPARE(userVarTree(w).GetVariableValue(userVarTree(w).FindVariable(u"TV")), u"two");
        QVERIFY(!w.IsModified());
        QVERIFY(!undoStack(w).IsUndoable());
        QVERIFY(sysVarTree(w).VariableCount() > 0);
    }

    void saveErrorIsShownAndTheWindowStaysModified()
    {
        TFixture f;
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"x");
        // The user's environment key is gone: the tree cannot be written back.
        f.platform().registry().deleteKey(RootKey::CurrentUser, u"Environment");
        TfrmOK::setNextAnswer(mrOk);
        TfrmYesNoCancel::setNextAnswer(mrYes);
        QVERIFY2(!w.close(), "a failed save keeps the window open");
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QVERIFY(w.IsModified());
        QVERIFY(!f.SettingsSaved());
    }

    // A save that meets another program's change on the machine's own
    // registry: the question names the scope and both values; No keeps the
    // other value, and the user's edit is one Undo away.
    void aSaveConflictAnsweredNoKeepsTheEditReachable()
    {
        TFixture f;
        f.Seed(platform::RootKey::CurrentUser, u"Environment", u"TV_CONFLICT", u"before");
        TfrmMain& w = f.Open();
        f.EditUser(u"TV_CONFLICT", u"mine");
        f.Seed(platform::RootKey::CurrentUser, u"Environment", u"TV_CONFLICT", u"theirs");
        TfrmYesNoCancel::setNextAnswer(mrNo);
        f.action("actFileSave")->trigger();
        QCOMPARE(TfrmYesNoCancel::hook().asked(),
                 QStringList{QStringLiteral("The user variable 'TV_CONFLICT' was changed by another program since it "
                                            "was loaded.\r\n\r\nStored now: theirs\r\nAbout to be written: "
                                            "mine\r\n\r\nOverwrite it?")});
        QCOMPARE(f.Read(platform::RootKey::CurrentUser, u"Environment", u"TV_CONFLICT"), u"theirs");
        f.action("actEditUndo")->trigger();
        TETree& tree = userVarTree(w);
        QCOMPARE(tree.GetVariableValue(tree.FindVariable(u"TV_CONFLICT")), u"mine");
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(platform::RootKey::CurrentUser, u"Environment", u"TV_CONFLICT"), u"mine");
    }

    void saveEndsTheOpenEditFirst()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"v");
        f.Seed(RootKey::CurrentUser, u"Environment", u"Other", u"o");
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        QAction* save = f.action("actFileSave");

        // A new name typed and Ctrl+S: the rename alone is a change to save.
        QLineEdit* editor = f.TypeInEditor(u"TV", -1, QStringLiteral("TV2"));
        QVERIFY(editor);
        QTRY_VERIFY(save->isEnabled());
        QTest::keyClick(editor, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(!userVarView(w)->isEditing());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV2"), u"v");
        QVERIFY(f.Read(RootKey::CurrentUser, u"Environment", u"TV").empty());
        QVERIFY(!w.IsModified());
        w.UpdateActions();
        QVERIFY(!save->isEnabled());

        // A refused rename saves nothing, not even the other edits, and says why once.
        f.EditUser(u"NEW", u"n");
        QVERIFY(f.TypeInEditor(u"TV2", -1, QStringLiteral("other")));
        TfrmOK::setNextAnswer(mrOk);
        save->trigger();
        QCOMPARE(TfrmOK::hook().asked(), QStringList{QStringLiteral("Variable 'other' already exists")});
        QVERIFY(!userVarView(w)->isEditing());
        QVERIFY(userVarTree(w).FindVariable(u"TV2"));
        QVERIFY(f.Read(RootKey::CurrentUser, u"Environment", u"NEW").empty());
        QVERIFY(w.IsModified());
        QTest::qWait(50);
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
    }

    void closeAsksAboutTheTextOfAnOpenEditor()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        auto element = [&] {
            return userVarTree(w).GetElement(userVarTree(w).FindVariable(u"TV")->Child(0));
        };

        // Ctrl+Q: the typed text is a change; Cancel keeps the window and the text.
        QLineEdit* editor = f.TypeInEditor(u"TV", 0, QStringLiteral("typed"));
        QVERIFY(editor);
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        QTest::keyClick(editor, Qt::Key_Q, Qt::ControlModifier);
        QCOMPARE(TfrmYesNoCancel::hook().asked(), QStringList{QStringLiteral("Do you want to save the changes?")});
        QVERIFY(w.isVisible());
        QCOMPARE(element(), u"typed");
        QVERIFY(w.IsModified());

        // The close box, then Yes: what the editor holds is saved.
        QVERIFY(f.TypeInEditor(u"TV", 0, QStringLiteral("second")));
        TfrmYesNoCancel::setNextAnswer(mrYes);
        QVERIFY(w.close());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"second");
    }

    void reloadsAndLanguageChangesEndTheOpenEditFirst()
    {
        // The selector offers the languages that have a catalogue.
        QTemporaryDir locale;
        QVERIFY(QDir().mkpath(locale.filePath(QStringLiteral("de/LC_MESSAGES"))));
        QFile mo(locale.filePath(QStringLiteral("de/LC_MESSAGES/default.mo")));
        QVERIFY(mo.open(QIODevice::WriteOnly));
        mo.close();
        UseCatalogueFolder(locale.path().toStdString());
        const auto restore = qScopeGuard([] { UseCatalogueFolder({}); });
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        f.Seed(RootKey::CurrentUser, u"Environment", u"Other", u"o");
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        auto element = [&] {
            return userVarTree(w).GetElement(userVarTree(w).FindVariable(u"TV")->Child(0));
        };
        auto refused = [&] {
            QVERIFY(f.TypeInEditor(u"TV", -1, QStringLiteral("Other")));
            TfrmOK::setNextAnswer(mrOk);
        };
        auto* languages = w.findChild<QComboBox*>(QStringLiteral("comboLanguages"));
        // Any entry but the shown one asks for a switch of account.
        const int otherUser = w.findChild<QComboBox*>(QStringLiteral("comboUsers"))->count();
        const int english = languages->currentIndex();

        // Refresh: the text is committed, then the question about losing it.
        QVERIFY(f.TypeInEditor(u"TV", 0, QStringLiteral("r")));
        TfrmYesNo::setNextAnswer(mrNo);
        f.action("actEditRefresh")->trigger();
        QCOMPARE(TfrmYesNo::hook().asked().size(), qsizetype(1));
        QCOMPARE(element(), u"r");

        // A refused commit stops each of them, with its reason.
        resetDialogs();
        refused();
        f.action("actEditRefresh")->trigger();
        refused();
        w.comboUsersSelect(otherUser);
        refused();
        languages->setCurrentIndex(languages->findText(QStringLiteral("Deutsch")));
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(3));
        QCOMPARE(TfrmOK::hook().asked().first(), QStringLiteral("Variable 'Other' already exists"));
        QVERIFY(TfrmYesNo::hook().asked().isEmpty() && TfrmYesNoCancel::hook().asked().isEmpty());
        QCOMPARE(languages->currentIndex(), english);
        QCOMPARE(element(), u"r");
        QVERIFY(w.IsModified());

        // An account switch commits, then asks whether to save.
        QVERIFY(f.TypeInEditor(u"TV", 0, QStringLiteral("u")));
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        w.comboUsersSelect(otherUser);
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(1));
        QCOMPARE(element(), u"u");
        // A change of language keeps the text.
        QVERIFY(f.TypeInEditor(u"TV", 0, QStringLiteral("l")));
        languages->setCurrentIndex(languages->findText(QStringLiteral("Deutsch")));
        QVERIFY(!userVarView(w)->isEditing());
        QCOMPARE(element(), u"l");
        languages->setCurrentIndex(english);
    }
    // "Remove missing paths": the question lists exactly what goes, No keeps it, Yes removes it in one
    // undo step; a reference that does not expand stays; none missing is told.
    void removeMissingPathsAsksAndIsOneStep()
    {
        TFixture f;
        const std::u16string scratch = f.machine.scratchPath();
        const std::u16string value
            = scratch + u";C:\\TvGone1;%TV_UNDEFINED%\\bin;C:\\%TV_UNDEFINED%\\x;C:\\TvGone2\\tool.exe";
        f.Seed(platform::RootKey::CurrentUser, u"Environment", u"TV_LIST", value);
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        QAction* remove = f.action("actEditRemoveMissing");
        TETree& tree = userVarTree(w);
        tree.ActivateNode(tree.FindVariable(u"TV_LIST")->Child(2));
        tree.Verify();
        w.UpdateActions();
        QVERIFY(remove->isEnabled());
        const auto current = [&] {
            return tree.GetVariableValue(tree.FindVariable(u"TV_LIST"));
        };

        TfrmYesNo::setNextAnswer(mrNo);
        remove->trigger();
        QCOMPARE(TfrmYesNo::hook().asked(),
                 QStringList{"Remove these elements of 'TV_LIST'? They name folders or files that do not exist:\n\n"
                             "C:\\TvGone1\nC:\\TvGone2\\tool.exe"});
        QCOMPARE(current(), value);
        QVERIFY(!w.isWindowModified() && !f.action("actEditUndo")->isEnabled());

        TfrmYesNo::setNextAnswer(mrYes);
        remove->trigger();
        QCOMPARE(current(), scratch + u";%TV_UNDEFINED%\\bin;C:\\%TV_UNDEFINED%\\x");
        QCOMPARE(tree.GetFocusedNode(), tree.FindVariable(u"TV_LIST"));
        w.UpdateActions();
        QVERIFY(w.IsModified());
        TfrmOK::setNextAnswer(mrOk);
        tree.Verify();
        remove->trigger();
        QCOMPARE(TfrmOK::hook().asked(), QStringList{"No element of 'TV_LIST' names a missing folder or file"});
        f.action("actEditUndo")->trigger(); // one step takes it all back
        QCOMPARE(current(), value);
        QVERIFY(!w.IsModified());
    }

    void commandsFollowTheLastFocusedTreeWhileMenusToolbarOrPanelHaveTheFocus()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"C:\\a;C:\\b");
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        TETree& tree = userVarTree(w);
        tree.ActivateNode(tree.FindVariable(u"TV")->Child(0));
        const char* commands[] = {"actEditCopy",       "actEditDelete",     "actEditAddVariable", "actEditAddValue",
                                  "actEditEditAsText", "actEditEditAsPath", "actEditMoveDown",    "actEditChangeType"};
        auto disabled = [&] {
            QTest::qWait(50); // the idle update after the focus moved
            QStringList off;
            for (const char* name : commands) {
                if (!f.action(name)->isEnabled()) {
                    off << QString::fromLatin1(name);
                }
            }
            return off.join(u' ');
        };
        QCOMPARE(disabled(), QString());

        // Every menu opened by its accelerator, as Alt+E.
        for (QAction* title : w.menuBar()->actions()) {
            const QString text = title->text();
            const qsizetype amp = text.indexOf(u'&');
            QVERIFY2(amp >= 0 && title->menu(), qPrintable(text));
            QTest::keyClick(&w, text.at(amp + 1).toLatin1(), Qt::AltModifier);
            QTRY_VERIFY2(title->menu()->isVisible(), qPrintable(text));
            QCOMPARE(disabled(), QString());
            QTest::keyClick(title->menu(), Qt::Key_Escape);
            QTest::keyClick(w.menuBar(), Qt::Key_Escape);
            QTRY_VERIFY(!title->menu()->isVisible());
        }

        // The Information panel has the focus: the toolbar's Delete deletes
        // the element focused in the user tree.
        QVERIFY(informationPanel(w)->isVisible());
        inspectorGrid(w)->setFocus();
        QTRY_VERIFY(inspectorGrid(w)->hasFocus());
        QCOMPARE(disabled(), QString());
        TfrmYesNo::setNextAnswer(mrYes);
        QWidget* button = w.findChild<QToolBar*>(QStringLiteral("tbMain"))->widgetForAction(f.action("actEditDelete"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(tree.GetVariableValue(tree.FindVariable(u"TV")), u"C:\\b");

        // Typed text in the account box is its own: no command on the tree.
        auto* users = w.findChild<QComboBox*>(QStringLiteral("comboUsers"));
        users->setEnabled(true);
        users->setFocus();
        QTRY_VERIFY(users->hasFocus());
        QVERIFY(disabled().contains(QStringLiteral("actEditDelete")));
    }

    void aClickThatFocusesATreeNeverOpensTheEditor()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        f.Seed(RootKey::LocalMachine, kSystemEnvironmentKey, u"SV", u"s");
        TfrmMain& w = f.Open();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto click = [&](TETreeView* view, const std::u16string& name) {
            const QModelIndex index = view->treeModel().indexOf(view->tree().FindVariable(name));
            view->scrollTo(index);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
            // A rename starts after the double-click interval.
            QTest::qWait(QApplication::doubleClickInterval() + 150);
        };
        for (int round = 0; round < 2; ++round) {
            click(sysVarView(w), u"SV");
            QVERIFY(sysVarView(w)->hasFocus());
            QVERIFY(!sysVarView(w)->isEditing());
            click(userVarView(w), u"TV");
            QVERIFY(userVarView(w)->hasFocus());
            QCOMPARE(userVarTree(w).GetFocusedNode(), userVarTree(w).FindVariable(u"TV"));
            QVERIFY2(!userVarView(w)->isEditing(), "the click that focused the tree renamed");
        }
        // A second click on the focused, selected row renames.
        click(userVarView(w), u"TV");
        QVERIFY(userVarView(w)->isEditing());
        QTest::keyClick(userVarView(w)->currentEditor(), Qt::Key_Escape);
        QVERIFY(!w.IsModified());
    }

    void theChangeBroadcastRunsBesideTheWindowOneAtATime()
    {
        TFixture f;
        std::atomic<int> started{0}, finished{0}, running{0}, mostAtOnce{0};
        std::atomic<int> holdMs{300};
        f.shell->beforeBroadcast = [&] {
            ++started;
            mostAtOnce = std::max(mostAtOnce.load(), ++running);
            std::this_thread::sleep_for(std::chrono::milliseconds(holdMs.load()));
            --running;
            ++finished;
        };
        TfrmMain& w = f.Open();
        QAction* save = f.action("actFileSave");
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ticks += running.load(); });
        ticker.start(10);

        f.EditUser(u"TV", u"1");
        save->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"1");
        QCOMPARE(statusField(w, 1)->text(), QStringLiteral("Notifying programs…"));
        QTRY_COMPARE(finished.load(), 1);
        QVERIFY2(ticks >= 10, "the window's events waited for the broadcast");
        QTRY_COMPARE(statusField(w, 1)->text(), QStringLiteral("Saved"));

        // Saves during a broadcast: one more broadcast after it, never two at once.
        for (const char16_t* value : {u"2", u"3", u"4"}) {
            f.EditUser(u"TV", value);
            save->trigger();
        }
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"4");
        QTRY_COMPARE(finished.load(), 3);
        QTest::qWait(400);
        QCOMPARE(started.load(), 3);
        QCOMPARE(mostAtOnce.load(), 1);
        // "Saved" goes after a few seconds.
        QTRY_VERIFY_WITH_TIMEOUT(statusField(w, 1)->text().isEmpty(), 6000);

        // Closing waits for the broadcast, but no longer than its timeout.
        holdMs = 3 * static_cast<int>(kSaveBroadcastTimeoutMs);
        f.EditUser(u"TV", u"5");
        save->trigger();
        QElapsedTimer clock;
        clock.start();
        QVERIFY(w.close());
        const qint64 waited = clock.elapsed();
        // Under Wine without a window manager hiding a window takes two seconds more.
        const qint64 hiding = f.machine.prefix().empty() ? 2500 : 500;
        QVERIFY2(waited >= kSaveBroadcastTimeoutMs - 100 && waited < kSaveBroadcastTimeoutMs + hiding,
                 qPrintable(QString::number(waited)));
        QCOMPARE(finished.load(), 3);
        f.window.reset();
        QTRY_VERIFY_WITH_TIMEOUT(finished.load() == 4, 3 * kSaveBroadcastTimeoutMs);
        QTest::qWait(100); // the machine's own broadcast after the hold
    }
};

QTEST_MAIN(FormMainTest)
#include "FormMainTest.moc"
