// In-place editing through the window on a fresh emulated machine: opening
// the editors, their keys, the commit rules with their messages, Esc after
// an add, the completion popup, and that the editor follows the tree.

#include "ui/ETreeEdit.h"

#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "settings/Exclusions.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/ETreeModel.h"
#include "ui/ETreeView.h"
#include "ui/EditActions.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormAddVar.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

using namespace talvoren;
using namespace talvoren::test;
using platform::RootKey;

namespace {

using U = std::vector<std::u16string>;

struct TEditorWindow : TFixture {
    TfrmMain& OpenFocused()
    {
        TfrmMain& w = Open();
        if (!QTest::qWaitForWindowActive(&w)) {
            qWarning("window not active");
        }
        userVarView(w)->setFocus();
        if (!QTest::qWaitFor([&] { return activeView(w) == userVarView(w); })) {
            qWarning("the user tree did not take the focus");
        }
        return w;
    }
    TETree& user() { return userVarTree(*window); }
    TETreeView* view() { return userVarView(*window); }
    TENode* Focus(const std::u16string& name, int row = -1)
    {
        TENode* variable = user().FindVariable(name);
        TENode* node = row < 0 ? variable : variable->Child(static_cast<size_t>(row));
        user().ActivateNode(node);
        window->UpdateActions();
        return node;
    }
    U Elements(const std::u16string& name)
    {
        U texts;
        TENode* variable = user().FindVariable(name);
        for (size_t i = 0; variable && i < variable->ChildCount(); ++i) {
            texts.push_back(user().GetElement(variable->Child(i)));
        }
        return texts;
    }
    // F2 on the focused node; the editor that opened.
    QLineEdit* EditFocused()
    {
        QTest::keyClick(view(), Qt::Key_F2);
        return qobject_cast<QLineEdit*>(view()->currentEditor());
    }
    TETreeEdit* ElementEditor() { return qobject_cast<TETreeEdit*>(view()->currentEditor()); }
    void Type(QWidget* editor, const QString& text, Qt::Key end = Qt::Key_Return)
    {
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, end);
        // Enter commits once the key press is over.
        QCoreApplication::processEvents();
    }
    QStringList Rows(const TETreeEdit* editor)
    {
        QStringList rows;
        const QListWidget* list = editor->contentAssist().list();
        for (int i = 0; i < list->count(); ++i) {
            rows << list->item(i)->text();
        }
        return rows;
    }
};

} // namespace

class ETreeEditTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }
    void cleanup() { TfrmAddVar::setDriver({}); }

    void addValueThenEscOrEnterIsOneStep()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        TfrmMain& w = f.OpenFocused();
        f.Focus(u"TV", 0);
        QTest::keyClick(f.view(), Qt::Key_Insert, Qt::AltModifier);
        TETreeEdit* editor = f.ElementEditor();
        QVERIFY(editor);
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"", u"b"}));
        // An empty element offers the two chooser commands.
        QTRY_VERIFY(editor->contentAssist().IsVisible());
        QCOMPARE(f.Rows(editor), (QStringList{"F7 Insert directory path...", "F8 Insert file path..."}));

        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!f.view()->isEditing());
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b"}));
        QVERIFY(!w.IsModified());
        undoActions(w).actEditRedoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"", u"b"}));
        QVERIFY2(!f.view()->isEditing(), "redo does not open the editor");
        undoActions(w).actEditUndoExecute();

        f.Focus(u"TV", 0);
        QTest::keyClick(f.view(), Qt::Key_Insert, Qt::AltModifier);
        QVERIFY(f.ElementEditor());
        f.Type(f.ElementEditor(), QStringLiteral("C:\\bin"));
        QVERIFY(!f.view()->isEditing());
        QVERIFY(f.view()->hasFocus());
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\bin", u"b"}));
        // The next edit is a step of its own; the add and its text are one.
        f.Focus(u"TV", 2);
        f.Type(f.EditFocused(), QStringLiteral("c"));
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\bin", u"c"}));
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"C:\\bin", u"b"}));
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b"}));

        // Enter without typing keeps an empty element; an unchanged text
        // commits nothing.
        f.Focus(u"TV", 1);
        QTest::keyClick(f.view(), Qt::Key_Insert, Qt::AltModifier);
        f.Type(f.ElementEditor(), QString());
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u"b", u""}));
        const size_t steps = undoStack(w).Count();
        f.Focus(u"TV", 0);
        f.Type(f.EditFocused(), QString());
        QCOMPARE(undoStack(w).Count(), steps);

        // The first hint row runs "Insert directory path..." on the new element.
        editActions(w).setPathChooser([&](bool folder, const QString&) {
            // A host path on the emulated machine, a Windows one on Windows.
            const std::string path = f.machine.prefix().empty() ? std::string("C:/Windows")
                                                                : (f.machine.prefix() / "drive_c" / "Windows").string();
            return folder ? QString::fromStdString(path) : QString();
        });
        // The add on a folded variable unfolds it; the editor outlives the
        // unfolding's animation. Unfolding leaves the animation option as it
        // was set.
        f.view()->setAnimated(false);
        f.user().SetExpanded(f.user().FindVariable(u"TV"), false);
        f.user().SetExpanded(f.user().FindVariable(u"TV"), true);
        QVERIFY(!f.view()->isAnimated());
        f.view()->setAnimated(true);
        f.Focus(u"TV", 0);
        f.user().SetExpanded(f.user().FindVariable(u"TV"), false);
        QTest::keyClick(f.view(), Qt::Key_Insert, Qt::AltModifier);
        editor = f.ElementEditor();
        QTRY_VERIFY(editor->contentAssist().IsVisible());
        QTest::qWait(f.view()->style()->styleHint(QStyle::SH_Widget_Animation_Duration) + 200);
        QVERIFY(f.view()->isEditing());
        QVERIFY(f.view()->isAnimated());
        QTest::keyClick(editor, Qt::Key_Down);
        QTest::keyClick(editor, Qt::Key_Return);
        // Wine spells the folder "windows".
        QTRY_COMPARE(QString::fromStdU16String(f.Elements(u"TV")[1]).toLower(), QStringLiteral("c:\\windows"));
        QCOMPARE(f.Elements(u"TV").size(), size_t(4));
        QCOMPARE(f.Elements(u"TV")[2], u"b");
        QVERIFY(!f.view()->isEditing());

        // Undo from the toolbar while typing commits the text first and
        // takes that step back: Redo brings the typed text again.
        f.Focus(u"TV", 0);
        QTest::keyClicks(f.EditFocused(), QStringLiteral("zz"));
        f.action("actEditUndo")->trigger();
        QVERIFY(!f.view()->isEditing());
        QCOMPARE(f.Elements(u"TV")[0], u"a");
        QCOMPARE(f.Elements(u"TV")[2], u"b");
        f.action("actEditRedo")->trigger();
        QCOMPARE(f.Elements(u"TV")[0], u"zz");
        f.Focus(u"TV", 0);
        f.Type(f.EditFocused(), QStringLiteral("after"));
        QCOMPARE(f.Elements(u"TV")[0], u"after");
    }

    void typedTextIsSplitOnlyWhereTheVariableIsSplit()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        f.Seed(RootKey::CurrentUser, u"Environment", u"NS", u"x");
        TfrmMain& w = f.OpenFocused();
        GlobalOptions()->GetExclusions().Add(u"NS", false, true);
        GlobalOptions()->GetExclusions().Add(u"WHOLE", false, true);

        f.Focus(u"TV", 0);
        f.Type(f.EditFocused(), QStringLiteral("C:\\a;C:\\b"));
        QCOMPARE(f.Elements(u"TV"), (U{u"C:\\a", u"C:\\b", u"b"}));
        f.Focus(u"NS", 0);
        f.Type(f.EditFocused(), QStringLiteral("C:\\a;C:\\b"));
        QCOMPARE(f.Elements(u"NS"), U{u"C:\\a;C:\\b"});

        // A rename to a name kept whole joins the elements.
        f.Focus(u"TV");
        QLineEdit* editor = f.EditFocused();
        QVERIFY(editor);
        QVERIFY2(!qobject_cast<TETreeEdit*>(editor), "a variable is renamed without completion");
        QCOMPARE(editor->text(), QStringLiteral("TV"));
        QCOMPARE(editor->selectedText(), QStringLiteral("TV"));
        f.Type(editor, QStringLiteral("whole"));
        QCOMPARE(f.Elements(u"whole"), U{u"C:\\a;C:\\b;b"});
        undoActions(w).actEditUndoExecute();
        QCOMPARE(f.Elements(u"TV"), (U{u"C:\\a", u"C:\\b", u"b"}));
    }

    void renamesAreCheckedAgainstTheTree()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"Path", u"p");
        f.Seed(RootKey::CurrentUser, u"Environment", u"Other", u"o");
        TfrmMain& w = f.OpenFocused();

        f.Focus(u"Path");
        f.Type(f.EditFocused(), QStringLiteral("PATH"));
        QCOMPARE(f.user().GetVariableName(f.user().FindVariable(u"path")), u"PATH");

        for (const auto& [typed, message] :
             {std::pair{QStringLiteral("other"), QStringLiteral("Variable 'other' already exists")},
              std::pair{QString(), QStringLiteral("Variable name can't be empty")}}) {
            const size_t steps = undoStack(w).Count();
            TfrmOK::setNextAnswer(mrOk);
            f.Focus(u"PATH");
            QLineEdit* editor = f.EditFocused();
            QTest::keyClick(editor, Qt::Key_Delete);
            f.Type(editor, typed);
            QTRY_COMPARE(TfrmOK::hook().asked().size(), 1);
            QCOMPARE(TfrmOK::hook().asked().first(), message);
            TfrmOK::hook().reset();
            QVERIFY(!f.view()->isEditing());
            QCOMPARE(f.user().GetVariableName(f.user().FindVariable(u"path")), u"PATH");
            QCOMPARE(undoStack(w).Count(), steps);
        }
    }

    void editorKeysAndReferenceCompletion()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"EX", u"x");
        f.Seed(RootKey::CurrentUser, u"Environment", u"SYA", u"1");
        f.Seed(RootKey::CurrentUser, u"Environment", u"STR", u"abc");
        f.OpenFocused();
        f.Focus(u"EX");
        QTest::keyClick(f.view(), Qt::Key_F6); // now an expandable string

        f.Focus(u"EX", 0);
        QLineEdit* plain = f.EditFocused();
        TETreeEdit* editor = f.ElementEditor();
        QVERIFY(editor && plain == editor);
        TContentAssist& assist = editor->contentAssist();
        QTest::keyClick(editor, Qt::Key_End);
        QTest::keyClicks(editor, QStringLiteral("\\%sy"));
        QVERIFY(assist.IsVisible());
        QCOMPARE(assist.mode(), TContentAssistType::Variable);
        // Both trees, each name once, sorted: the system tree has SystemRoot.
        const QStringList rows = f.Rows(editor);
        QVERIFY2(rows.contains("%SYA%") && rows.contains("%SystemRoot%"), qPrintable(rows.join(' ')));
        QCOMPARE(rows.count("%SystemRoot%"), 1);
        QCOMPARE(rows.first(), QStringLiteral("%SYA%"));
        QCOMPARE(assist.GetSelectionIndex(), -1);
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(assist.GetSelectionIndex(), 0);
        QTest::keyClick(editor, Qt::Key_Up);
        QCOMPARE(assist.GetSelectionIndex(), 0);
        QTest::keyClick(editor, Qt::Key_Return);
        QVERIFY2(f.view()->isEditing(), "Enter on a row accepts it and keeps editing");
        QCOMPARE(editor->text(), QStringLiteral("x\\%SYA%"));
        QVERIFY(!assist.IsVisible());

        QTest::keyClick(editor, Qt::Key_Percent);
        QVERIFY2(assist.IsVisible(), "an opening %");
        QTest::keyClick(editor, Qt::Key_Percent);
        QVERIFY2(!assist.IsVisible(), "a closing %");
        QTest::keyClick(editor, Qt::Key_Space, Qt::ControlModifier);
        QVERIFY(assist.IsVisible());
        QCOMPARE(assist.position(), editor->text().size() + 1);
        QCOMPARE(editor->text(), QStringLiteral("x\\%SYA%%%")); // Ctrl+Space inserts nothing
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(editor->selectedText(), editor->text());
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(f.Elements(u"EX"), U{u"x"});

        // Without the popup Up and Down move the caret; Tab is not typed
        // and does not end the edit.
        f.Focus(u"STR", 0);
        editor = qobject_cast<TETreeEdit*>(f.EditFocused());
        QTest::keyClick(editor, Qt::Key_Home);
        QTest::keyClick(editor, Qt::Key_Down);
        QCOMPARE(editor->cursorPosition(), 1);
        QTest::keyClick(editor, Qt::Key_Up);
        QCOMPARE(editor->cursorPosition(), 0);
        QTest::keyClick(editor, Qt::Key_Tab);
        QVERIFY(f.view()->isEditing());
        QCOMPARE(editor->text(), QStringLiteral("abc"));
        QTest::keyClick(editor, Qt::Key_Escape);
        QCOMPARE(f.Elements(u"STR"), U{u"abc"});
    }

    void pathCompletionReplacesTheTypedPath()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        f.OpenFocused();
        f.Focus(u"TV", 0);
        TETreeEdit* editor = qobject_cast<TETreeEdit*>(f.EditFocused());
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("c:/win"));
        QVERIFY(editor->contentAssist().IsVisible());
        QCOMPARE(editor->contentAssist().mode(), TContentAssistType::Path);
        // The folder as the machine spells it (Wine keeps "windows" in lower case).
        const QString windows
            = f.machine.prefix().empty() ? QStringLiteral("c:\\windows") : QStringLiteral("c:\\Windows");
        QCOMPARE(f.Rows(editor), QStringList{windows});
        // The popup sits under the text, below the caret's line.
        const QPoint below = editor->mapToGlobal(QPoint(0, 0));
        QVERIFY(editor->contentAssist().popup()->y() >= below.y() + 16);
        // A resized window hides it; the next keystroke brings it back.
        f.window->resize(f.window->width() + 10, f.window->height());
        QTRY_VERIFY(!editor->contentAssist().IsVisible());
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_N);
        QVERIFY(editor->contentAssist().IsVisible());
        QTest::keyClick(editor, Qt::Key_Down);
        QTest::keyClick(editor, Qt::Key_Return);
        f.Type(editor, QString());
        QCOMPARE(f.Elements(u"TV"), U{windows.toStdU16String()});
    }

    void escClosesTheCompletionListBeforeTheEdit()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a");
        TfrmMain& w = f.OpenFocused();
        f.Focus(u"TV", 0);
        QTest::keyClick(f.view(), Qt::Key_Insert, Qt::AltModifier);
        TETreeEdit* editor = f.ElementEditor();
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("c:/win"));
        QVERIFY(editor->contentAssist().IsVisible());

        // The first Esc closes the list; the new element and its text stay.
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!editor->contentAssist().IsVisible());
        QVERIFY(f.view()->isEditing());
        QCOMPARE(editor->text(), QStringLiteral("c:/win"));
        QCOMPARE(f.Elements(u"TV"), (U{u"a", u""}));
        // The second cancels the add, as Esc without a list does.
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!f.view()->isEditing());
        QCOMPARE(f.Elements(u"TV"), U{u"a"});
        QVERIFY(!w.IsModified());
    }

    void editorOpensOnClicksAndFollowsTheTree()
    {
        TEditorWindow f;
        for (int i = 0; i < 40; ++i) {
            f.Seed(RootKey::CurrentUser, u"Environment",
                   u"V" + std::u16string(1, char16_t(u'A' + i % 26)) + std::u16string(1, char16_t(u'a' + i / 26)),
                   u"value");
        }
        TfrmMain& w = f.OpenFocused();
        f.Focus(u"VBa");
        TENode* node = f.user().FindVariable(u"VAa");
        const QModelIndex index = f.view()->treeModel().indexOf(node);
        const QPoint center = f.view()->visualRect(index).center();
        // A second click on the selected node, slower than a double click.
        QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, center);
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, center);
        QTRY_VERIFY(f.view()->isEditing());
        QWidget* editor = f.view()->currentEditor();
        QVERIFY(editor->width() >= TETreeEdit::kMinimumWidth);

        f.view()->verticalScrollBar()->setValue(3);
        QTRY_COMPARE(editor->geometry().center().y(), f.view()->visualRect(index).center().y());
        w.resize(w.width() - 150, w.height());
        QTRY_VERIFY(editor->geometry().right() <= f.view()->viewport()->width());
        QTest::keyClick(editor, Qt::Key_Escape);
        QVERIFY(!f.view()->isEditing());

        const QModelIndex other = f.view()->treeModel().indexOf(f.user().FindVariable(u"VCa"));
        f.view()->scrollTo(other);
        const QPoint at = f.view()->visualRect(other).center();
        QTest::mouseClick(f.view()->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(f.view()->viewport(), Qt::LeftButton, {}, at);
        QTRY_VERIFY(f.view()->isEditing());
        QCOMPARE(qobject_cast<QLineEdit*>(f.view()->currentEditor())->text(), QStringLiteral("VCa"));
        QTest::keyClick(f.view()->currentEditor(), Qt::Key_Escape);

        // A read-only variable opens no editor.
        for (TENode* variable : f.user().Variables()) {
            if (f.user().GetVariableReadOnly(variable)) {
                f.user().ActivateNode(variable);
                break;
            }
        }
        QVERIFY(!f.view()->editNode(f.user().GetFocusedNode()));
    }

    void newVariableDialogChecksTheNameWhileTyping()
    {
        TEditorWindow f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"Path", u"p");
        TfrmMain& w = f.OpenFocused();
        QStringList seen;
        TfrmAddVar::setDriver([&](TfrmAddVar& d) {
            auto state = [&] {
                seen << d.lblErrorMessage->text() + (d.btnOk->isEnabled() ? "+" : "-");
            };
            state();
            QTest::keyClicks(d.editName, QStringLiteral("path"));
            state();
            d.editName->clear();
            QTest::keyClicks(d.editName, QStringLiteral("   "));
            state();
            d.editName->setText(QStringLiteral("A=B"));
            state();
            d.editName->setText(QStringLiteral(" NEW"));
            state();
            d.rbExpString->setChecked(true);
            return int(QDialog::Accepted);
        });
        w.UpdateActions();
        QTest::keyClick(f.view(), Qt::Key_Insert);
        QCOMPARE(seen,
                 (QStringList{"-", "This variable already exists-", "Variable name can't be empty-",
                              "Variable name can't contain '='-", "+"}));
        TENode* added = f.user().FindVariable(u"NEW");
        QVERIFY(added);
        QCOMPARE(f.user().GetVariableName(added), u"NEW"); // stored as it was checked, without the blank
        QCOMPARE(f.user().GetVariableType(added), uint8_t(kDataTypeExpandString));
        TETreeEdit* editor = f.ElementEditor();
        QVERIFY2(editor && editor->node() == added->Child(0), "the value is typed at once");
        f.Type(editor, QStringLiteral("v1"));
        QCOMPARE(f.Elements(u"NEW"), U{u"v1"});
        undoActions(w).actEditUndoExecute();
        QVERIFY2(!f.user().FindVariable(u"NEW"), "one undo removes the whole variable");

        // Esc in the editor removes it at once; Cancel adds nothing.
        TfrmAddVar::setDriver([](TfrmAddVar& d) {
            d.editName->setText(QStringLiteral("X2"));
            return int(QDialog::Accepted);
        });
        QTest::keyClick(f.view(), Qt::Key_Insert);
        QVERIFY(f.user().FindVariable(u"X2"));
        QTest::keyClick(f.ElementEditor(), Qt::Key_Escape);
        QVERIFY(!f.user().FindVariable(u"X2"));
        TfrmAddVar::setDriver([](TfrmAddVar& d) {
            d.editName->setText(QStringLiteral("X3"));
            return int(QDialog::Rejected);
        });
        const size_t steps = undoStack(w).Count();
        QTest::keyClick(f.view(), Qt::Key_Insert);
        QVERIFY(!f.user().FindVariable(u"X3"));
        QCOMPARE(undoStack(w).Count(), steps);
    }
};

QTEST_MAIN(ETreeEditTest)
#include "ETreeEditTest.moc"
