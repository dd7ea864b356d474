// The edit commands of the main window on a fresh emulated machine: their
// enabling rules on writable, read-only and locked trees, the deletion
// question, the path choosers, "Open folder", the context menu, and that
// each command is one undo step.

#include "ui/EditActions.h"

#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormAddVar.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QToolTip>
#include <fstream>

using namespace talvoren;
using namespace talvoren::test;
using platform::RootKey;

namespace {

// A window whose user tree has the keyboard focus on `name`'s element `row`
// (the variable itself for row -1).
struct TEditWindow : TFixture {
    explicit TEditWindow(bool readOnlySystem = false)
        : TFixture(readOnlySystem)
    {
    }

    TfrmMain& OpenFocused()
    {
        TfrmMain& w = Open();
        if (!QTest::qWaitForWindowActive(&w)) {
            qWarning("window not active");
        }
        userVarView(w)->setFocus();
        // Each test checks what depends on it; this only tells why it failed.
        if (!QTest::qWaitFor([&] { return activeView(w) == userVarView(w); })) {
            qWarning("the user tree did not take the focus");
        }
        return w;
    }
    TENode* Focus(TETree& tree, const std::u16string& name, int row = -1)
    {
        TENode* variable = tree.FindVariable(name);
        TENode* node = row < 0 ? variable : variable->Child(static_cast<size_t>(row));
        tree.ActivateNode(node);
        window->UpdateActions();
        return node;
    }
    bool Enabled(const char* name) { return action(name)->isEnabled(); }
    std::vector<std::u16string> Elements(const std::u16string& name)
    {
        std::vector<std::u16string> texts;
        TENode* variable = userVarTree(*window).FindVariable(name);
        for (size_t i = 0; variable && i < variable->ChildCount(); ++i) {
            texts.push_back(userVarTree(*window).GetElement(variable->Child(i)));
        }
        return texts;
    }
};

using U = std::vector<std::u16string>;

} // namespace

class EditActionsTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    void enablingFollowsTheFocusedNode()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"C:\\Windows;C:\\nothere;C:\\Windows\\System32");
        TfrmMain& w = f.OpenFocused();
        QCOMPARE(activeView(w), userVarView(w));
        TETree& user = userVarTree(w);

        f.Focus(user, u"TV", 0);
        for (const char* name :
             {"actEditDelete", "actEditEditAsPath", "actEditEditAsFile", "actEditChangeType", "actEditMoveDown",
              "actEditLong2Short", "actEditShort2Long", "actEditInline", "actEditOpenFolder"}) {
            QVERIFY2(f.Enabled(name), name);
        }
        QVERIFY2(!f.Enabled("actEditMoveUp"), "the first element");
        QVERIFY2(!f.Enabled("actEditCleanup"), "an element");

        f.Focus(user, u"TV", 2);
        QVERIFY(f.Enabled("actEditMoveUp"));
        QVERIFY2(!f.Enabled("actEditMoveDown"), "the last element");

        // Wait for the validation to mark the missing folder.
        TENode* missing = f.Focus(user, u"TV", 1);
        QTRY_VERIFY(!user.IsValid(missing));
        w.UpdateActions();
        QVERIFY2(!f.Enabled("actEditOpenFolder"), "a folder that is not there");

        f.Focus(user, u"TV");
        QVERIFY(f.Enabled("actEditCleanup"));
        QVERIFY(!f.Enabled("actEditEditAsPath"));
        QVERIFY(!f.Enabled("actEditMoveUp"));

        // A read-only special variable: nothing that would change it.
        TENode* special = nullptr;
        for (TENode* variable : user.Variables()) {
            special = user.GetVariableReadOnly(variable) ? variable : special;
        }
        QVERIFY(special);
        user.ActivateNode(special);
        w.UpdateActions();
        for (const char* name : {"actEditDelete", "actEditChangeType", "actEditCleanup", "actEditInline"}) {
            QVERIFY2(!f.Enabled(name), name);
        }

        // Without the keyboard focus in a tree nothing is offered.
        f.Focus(user, u"TV", 0);
        QLineEdit elsewhere(&w);
        elsewhere.show();
        elsewhere.setFocus();
        QTRY_VERIFY(!userVarView(w)->hasFocus());
        w.UpdateActions();
        QVERIFY(!f.Enabled("actEditDelete"));
        QVERIFY(!f.Enabled("actEditOpenFolder"));
    }

    void aReadOnlySystemTreeStillOpensFolders()
    {
        TEditWindow f(true);
        TfrmMain& w = f.OpenFocused();
        sysVarView(w)->setFocus();
        QTRY_COMPARE(activeView(w), sysVarView(w));
        f.Focus(sysVarTree(w), u"windir", 0); // %SystemRoot%
        for (const char* name : {"actEditDelete", "actEditEditAsPath", "actEditChangeType", "actEditInline"}) {
            QVERIFY2(!f.Enabled(name), name);
        }
        QVERIFY(f.Enabled("actEditOpenFolder"));
        f.action("actEditOpenFolder")->trigger();
        QCOMPARE(f.shell->calls.size(), size_t(1));
        QCOMPARE(f.shell->calls[0].verb, u"open");
        QCOMPARE(f.shell->calls[0].file, u"explorer.exe");
        // The machine's own spelling: Wine names the folder "C:\windows".
        const std::u16string systemRoot
            = f.machine.prefix().empty() ? f.platform().environment().variable(u"SystemRoot") : u"C:\\Windows";
        QCOMPARE(f.shell->calls[0].parameters, systemRoot);
    }

    void deleteAsksOnlyWhenTheOptionSaysSo()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        f.SeedSetting(u"onDeleteConfirmation", 1);
        TfrmMain& w = f.OpenFocused();
        f.Focus(userVarTree(w), u"TV", 1);
        TfrmYesNo::setNextAnswer(mrNo);
        f.action("actEditDelete")->trigger();
        QCOMPARE(TfrmYesNo::hook().asked(),
                 QStringList{QStringLiteral("Are you sure you want to delete value 'b' from the variable 'TV'?")});
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b"}));

        TfrmYesNo::setNextAnswer(mrYes);
        f.action("actEditDelete")->trigger();
        QCOMPARE(f.Elements(u"TV"), U{u"a"});
        QVERIFY(w.IsModified());

        f.Focus(userVarTree(w), u"TV");
        TfrmYesNo::setNextAnswer(mrYes);
        f.action("actEditDelete")->trigger();
        QCOMPARE(TfrmYesNo::hook().asked().last(), QStringLiteral("Are you sure you want to delete variable 'TV'?"));
        QVERIFY(!userVarTree(w).FindVariable(u"TV"));

        // One undo per deletion.
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), U{u"a"});
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b"}));
    }

    void severalRowsActTogetherAsOneNamedStep()
    {
        TEditWindow f;
        for (const char16_t* name : {u"LOOP1", u"LOOP2", u"LOOP3"}) {
            f.Seed(RootKey::CurrentUser, u"Environment", name, u"x");
        }
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b;c;d");
        f.SeedSetting(u"onDeleteConfirmation", 1);
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        TETreeView* view = userVarView(w);
        auto click = [&](const TENode* node, Qt::KeyboardModifiers keys) {
            view->scrollTo(view->treeModel().indexOf(node));
            const QRect row = view->visualRect(view->treeModel().indexOf(node));
            QTest::mouseClick(view->viewport(), Qt::LeftButton, keys, row.center());
        };
        auto names = [&] {
            U out;
            for (const TENode* node : user.GetSelectedNodes()) {
                out.push_back(node->IsVariable() ? user.GetVariableName(node) : user.GetElement(node));
            }
            return out;
        };

        // Ctrl+click picks variables; an element clicked with Ctrl is of
        // another group and starts a selection of its own.
        click(user.FindVariable(u"LOOP1"), Qt::NoModifier);
        click(user.FindVariable(u"LOOP3"), Qt::ControlModifier);
        QCOMPARE(names(), (U{u"LOOP1", u"LOOP3"}));
        // One question names exactly what goes; LOOP2 between them stays.
        TfrmYesNo::setNextAnswer(mrYes);
        w.UpdateActions();
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(TfrmYesNo::hook().asked(),
                 QStringList{QStringLiteral("Are you sure you want to delete these 2 variables?\r\nLOOP1\r\nLOOP3")});
        QVERIFY(!user.FindVariable(u"LOOP1") && user.FindVariable(u"LOOP2") && !user.FindVariable(u"LOOP3"));
        w.UpdateActions();
        QCOMPARE(undoActions(w).actEditUndo->text(), QStringLiteral("Undo Delete 2 variables"));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QVERIFY(user.FindVariable(u"LOOP1") && user.FindVariable(u"LOOP3"));
        w.UpdateActions();
        QCOMPARE(undoActions(w).actEditRedo->toolTip(), QStringLiteral("Redo Delete 2 variables"));

        // Shift+Down over the elements of one variable; Shift+Up past the
        // first reaches the variable, which is not of their group.
        user.SetExpanded(user.FindVariable(u"TV"), true);
        click(user.FindVariable(u"TV")->Child(1), Qt::NoModifier);
        QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(names(), (U{u"b", u"c"}));
        click(user.FindVariable(u"LOOP2"), Qt::ControlModifier);
        QCOMPARE(names(), (U{u"LOOP2"}));
        click(user.FindVariable(u"TV")->Child(1), Qt::NoModifier);
        QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);

        // Move down takes both, one step.
        w.UpdateActions();
        QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"d", u"b", u"c"}));
        QCOMPARE(names(), (U{u"b", u"c"}));
        QTest::keyClick(view, Qt::Key_Down, Qt::ControlModifier); // at the end: nothing
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"d", u"b", u"c"}));
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b", u"c", u"d"}));

        // Cut: both on the clipboard, one line each, gone without a
        // question, one step.
        f.Focus(user, u"TV", 1);
        QTest::keyClick(view, Qt::Key_Down, Qt::ShiftModifier);
        const qsizetype questions = TfrmYesNo::hook().asked().size();
        w.UpdateActions();
        QTest::keyClick(view, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("b\r\nc"));
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"d"}));
        QCOMPARE(TfrmYesNo::hook().asked().size(), questions);
        w.UpdateActions();
        QCOMPARE(undoActions(w).actEditUndo->text(), QStringLiteral("Undo Cut 2 elements of 'TV'"));
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b", u"c", u"d"}));
    }

    void commandsCheckTheirRuleWhenTheyRun()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        // An enabled state gone stale: Move up on the first element and
        // Move down on the last change nothing and record nothing.
        const std::pair<const char*, int> ends[] = {{"actEditMoveUp", 0}, {"actEditMoveDown", 1}};
        for (const auto& [name, row] : ends) {
            f.Focus(user, u"TV", row);
            f.action(name)->setEnabled(true);
            f.action(name)->trigger();
            QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b"}));
        }
        QCOMPARE(undoStack(w).Count(), size_t(0));

        // Inline refuses an expansion that never settles: the element stays,
        // no step is recorded, and the message says why.
        user.AddVariable(u"LOOPV", u"%LOOPV%x", kDataTypeExpandString, false);
        f.Focus(user, u"LOOPV", 0);
        TfrmOK::setNextAnswer(mrOk);
        f.action("actEditInline")->trigger();
        QCOMPARE(TfrmOK::hook().asked(), QStringList{QStringLiteral("Infinite loop detected")});
        QCOMPARE(f.Elements(u"LOOPV"), U{u"%LOOPV%x"});
        QCOMPARE(undoStack(w).Count(), size_t(0));
    }

    void choosersOpenOnTheElementsFolderElseOnC()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"C:\\Windows;C:\\Windows\\System32\\cmd.exe;nowhere");
        TfrmMain& w = f.OpenFocused();
        QString started;
        editActions(w).setPathChooser([&](bool, const QString& start) {
            started = start;
            return QString();
        });
        // On the emulated machine C: is the prefix's drive_c; on Windows it is
        // C: itself, whose folders Wine spells in lower case.
        const bool emulated = !f.machine.prefix().empty();
        const std::filesystem::path c = emulated ? f.machine.prefix() / "drive_c" : std::filesystem::path("C:/");
        auto same = [](const QString& a, const std::filesystem::path& b) {
            const QString want = QFileInfo(toQ(b.u16string())).canonicalFilePath();
            return !a.isEmpty() && !want.isEmpty()
                && QFileInfo(a).canonicalFilePath().compare(want, Qt::CaseInsensitive) == 0;
        };
        const std::pair<int, std::filesystem::path> cases[]
            = {{0, c / "Windows"}, {1, c / "Windows" / "System32"}, {2, c}};
        for (const auto& [row, folder] : cases) {
            f.Focus(userVarTree(w), u"TV", row);
            f.action(row == 1 ? "actEditEditAsFile" : "actEditEditAsPath")->trigger();
            QVERIFY2(same(started, folder), qPrintable(QString::number(row) + QLatin1Char(' ') + started));
        }
    }

    void deleteWithoutTheOptionDeletesAtOnce()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        TfrmMain& w = f.OpenFocused();
        f.Focus(userVarTree(w), u"TV", 0);
        QTest::keyClick(userVarView(w), Qt::Key_Delete);
        QVERIFY(TfrmYesNo::hook().asked().isEmpty());
        QCOMPARE(f.Elements(u"TV"), U{u"b"});
    }

    void choosersSetTheElementToTheMachinesPath()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        TfrmMain& w = f.OpenFocused();
        // What the dialog answers: a host path on the emulated machine, a
        // path with forward slashes on Windows.
        const std::string host
            = f.machine.prefix().empty() ? "C:/Windows" : (f.machine.prefix() / "drive_c" / "Windows").string();
        QString answer = QString::fromStdString(host);
        bool askedForFolder = false;
        editActions(w).setPathChooser([&](bool folder, const QString&) {
            askedForFolder = folder;
            return answer;
        });
        f.Focus(userVarTree(w), u"TV", 1);
        f.action("actEditEditAsPath")->trigger();
        QVERIFY(askedForFolder);
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\Windows"}));

        answer = QString::fromStdString(host + "/System32/cmd.exe");
        f.action("actEditEditAsFile")->trigger();
        QVERIFY(!askedForFolder);
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\Windows\\System32\\cmd.exe"}));

        // Open folder shows that file selected in its folder.
        w.UpdateActions();
        f.action("actEditOpenFolder")->trigger();
        QCOMPARE(f.shell->calls.back().parameters, u"/select, \"C:\\Windows\\System32\\cmd.exe\"");

        // Cancelling the dialog changes nothing and records no step.
        answer.clear();
        const size_t steps = undoStack(w).Count();
        f.action("actEditEditAsFile")->trigger();
        QCOMPARE(undoStack(w).Count(), steps);
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\Windows\\System32\\cmd.exe"}));
    }

    void editCommandsChangeTheTreeOneUndoStepEach()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"C:\\A;c:\\a;;D:\\");
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        f.Focus(user, u"TV");
        f.action("actEditCleanup")->trigger();
        QCOMPARE(f.Elements(u"TV"), (U{u"C:\\A", u"D:\\"}));
        f.Focus(user, u"TV", 0);
        QTest::keyClick(userVarView(w), Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(f.Elements(u"TV"), (U{u"D:\\", u"C:\\A"}));
        QCOMPARE(user.GetElement(user.GetFocusedNode()), u"C:\\A");
        const uint8_t type = user.GetVariableType(user.FindVariable(u"TV"));
        QTest::keyClick(userVarView(w), Qt::Key_F6);
        QVERIFY(user.GetVariableType(user.FindVariable(u"TV")) != type);

        undoActions(w).actEditUndoExecute();
        QCOMPARE(user.GetVariableType(user.FindVariable(u"TV")), type);
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"C:\\A", u"D:\\"}));
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"C:\\A", u"c:\\a", u"", u"D:\\"}));
        QVERIFY(!w.IsModified());
    }

    // Cleanup on the user Path offers to drop the folders the system Path
    // holds too: Yes drops them, No cleans only, Cancel changes nothing.
    void cleanupOffersToDropFoldersTheSystemPathHolds()
    {
        TEditWindow f;
        f.Seed(RootKey::LocalMachine, kSystemEnvironmentKey, u"Path", u"C:\\TvSys");
        f.Seed(RootKey::CurrentUser, u"Environment", u"Path", u"c:\\tvsys\\;C:\\TvMine;C:\\TvMine");
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        user.Verify();
        f.Focus(user, u"Path");
        TfrmYesNoCancel::hook().setNextAnswer(mrCancel);
        f.action("actEditCleanup")->trigger();
        QCOMPARE(f.Elements(u"Path"), (U{u"c:\\tvsys\\", u"C:\\TvMine", u"C:\\TvMine"}));
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(1));
        QVERIFY(TfrmYesNoCancel::hook().asked()[0].contains(QStringLiteral("\nc:\\tvsys\\\r\n")));
        TfrmYesNoCancel::hook().setNextAnswer(mrNo);
        f.action("actEditCleanup")->trigger();
        QCOMPARE(f.Elements(u"Path"), (U{u"c:\\tvsys\\", u"C:\\TvMine"}));
        undoActions(w).actEditUndoExecute();
        user.Verify();
        f.Focus(user, u"Path");
        TfrmYesNoCancel::hook().setNextAnswer(mrYes);
        f.action("actEditCleanup")->trigger();
        QCOMPARE(f.Elements(u"Path"), (U{u"C:\\TvMine"}));
    }

    // A new variable from the dialog, then "Add value" and C:\TvA: the value
    // saved is C:\TvA alone. The dialog stores the name as it checked it.
    void addValueOnANewVariableSavesTheValueAlone()
    {
        TEditWindow f;
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        TfrmAddVar::setDriver([](TfrmAddVar& d) {
            d.editName->setText(QStringLiteral("\u3000TvA "));
            return int(QDialog::Accepted);
        });
        w.UpdateActions();
        f.action("actEditAddVariable")->trigger();
        TfrmAddVar::setDriver({});
        QVERIFY(user.FindVariable(u"TvA"));
        QCOMPARE(user.GetVariableName(user.FindVariable(u"TvA")), u"TvA");
        QVERIFY(userVarView(w)->isEditing());
        w.UpdateActions();
        f.action("actEditAddValue")->trigger();
        auto* editor = qobject_cast<QLineEdit*>(userVarView(w)->currentEditor());
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("C:\\TvA"));
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents();
        QCOMPARE(f.Elements(u"TvA"), U{u"C:\\TvA"});
        w.UpdateActions();
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TvA"), u"C:\\TvA");
    }

    // Pasted text: trimmed, one element per line in one step; a NUL or too
    // much text is refused with its reason, in the tree as in the editor; a
    // variable too long for the record is copied as text, says so, and that
    // text pasted onto a variable of the other tree makes the variable.
    void pastedTextIsCheckedAndSplitByLines()
    {
        TEditWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        const std::u16string longValue = u"C:\\" + std::u16string(9000, u'x');
        f.Seed(RootKey::CurrentUser, u"Environment", u"LONG", longValue);
        TfrmMain& w = f.OpenFocused();
        TETree& user = userVarTree(w);
        QClipboard* clipboard = QGuiApplication::clipboard();

        f.Focus(user, u"TV", 0);
        clipboard->setText(QStringLiteral(" C:\\p \r\n\r\nC:\\q\r\n"));
        const size_t steps = undoStack(w).Count();
        QTRY_VERIFY(f.Enabled("actEditPaste"));
        f.action("actEditPaste")->trigger();
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\p", u"C:\\q"}));
        QCOMPARE(undoStack(w).Count(), steps + 2);

        TfrmOK::setNextAnswer(mrOk);
        TfrmOK::setNextAnswer(mrOk);
        clipboard->setText(QString(QStringLiteral("nul")) + QChar(0) + QStringLiteral("after"));
        QTRY_VERIFY(f.Enabled("actEditPaste"));
        f.action("actEditPaste")->trigger();
        clipboard->setText(QString(32768, QLatin1Char('x')));
        QTRY_VERIFY(f.Enabled("actEditPaste"));
        f.action("actEditPaste")->trigger();
        QCOMPARE(TfrmOK::hook().asked(),
                 (QStringList{QStringLiteral("The text contains a NUL character, which no value can hold"),
                              QStringLiteral("The text is longer than 32767 characters, the most a value can hold")}));
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\p", u"C:\\q"}));

        // The editor refuses the same text and tells beside itself.
        f.Focus(user, u"TV", 0);
        QTest::keyClick(userVarView(w), Qt::Key_F2);
        auto* editor = qobject_cast<QLineEdit*>(userVarView(w)->currentEditor());
        QVERIFY(editor);
        editor->end(false);
        editor->paste(); // the over-long text
        QCOMPARE(editor->text(), QStringLiteral("a"));
        QCOMPARE(QToolTip::text(),
                 QStringLiteral("The text is longer than 32767 characters, the most a value can hold"));
        clipboard->setText(QString(QStringLiteral("nul")) + QChar(0));
        editor->paste();
        QCOMPARE(editor->text(), QStringLiteral("a"));
        QCOMPARE(QToolTip::text(), QStringLiteral("The text contains a NUL character, which no value can hold"));
        QTest::keyClick(editor, Qt::Key_Escape);

        resetDialogs();
        TfrmOK::setNextAnswer(mrOk);
        f.Focus(user, u"LONG");
        f.action("actEditCopy")->trigger();
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QVERIFY(TfrmOK::hook().asked()[0].contains(QStringLiteral("only its text NAME=value was copied")));
        QVERIFY(!clipboard->mimeData()->hasFormat(QStringLiteral("VariableClipboard")));
        sysVarView(w)->setFocus();
        QTRY_COMPARE(activeView(w), sysVarView(w));
        TETree& sys = sysVarTree(w);
        sys.ActivateNode(sys.FindVariable(u"windir"));
        QTRY_VERIFY(f.Enabled("actEditPaste"));
        f.action("actEditPaste")->trigger();
        QVERIFY(sys.FindVariable(u"LONG"));
        QCOMPARE(sys.GetVariableValue(sys.FindVariable(u"LONG")), longValue);
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
    }

    void bothTreesShareTheContextMenu()
    {
        TEditWindow f;
        TfrmMain& w = f.OpenFocused();
        auto* popup = w.findChild<QMenu*>(QStringLiteral("tbxPopup"));
        QVERIFY(popup);
        QStringList names;
        for (QAction* action : popup->actions()) {
            names << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
        }
        QCOMPARE(names,
                 (QStringList{"actEditCut",
                              "actEditCopy",
                              "actEditPaste",
                              "actEditDelete",
                              "-",
                              "actEditAddVariable",
                              "actEditAddValue",
                              "actEditEditAsText",
                              "actEditEditAsPath",
                              "actEditEditAsFile",
                              "actEditChangeType",
                              "actEditCleanup",
                              "actEditRemoveMissing",
                              "actEditMoveUp",
                              "actEditMoveDown",
                              "-",
                              "actEditOpenFolder",
                              "-",
                              "actEditLong2Short",
                              "actEditShort2Long",
                              "actEditInline",
                              "-",
                              "actEditRefresh"}));
        QCOMPARE(userVarView(w)->contextMenuPolicy(), Qt::CustomContextMenu);
        QCOMPARE(sysVarView(w)->contextMenuPolicy(), Qt::CustomContextMenu);
    }
};

QTEST_MAIN(EditActionsTest)
#include "EditActionsTest.moc"
