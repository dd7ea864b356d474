// The main window beside other programs on the same emulated machine: a
// change made outside reloads a tree without edits and is asked about at
// save when the tree has edits; a locked hive at Refresh and a damaged
// machine hive at start show the error and lose nothing.

#include "base/EnvStore.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "model/SaveHistory.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "system/ToolsUser.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/FormQuestion.h"
#include "ui/Language.h"
#include "ui/StatusField.h"
#include "ui/UiText.h"
#include "ui/dialogs/FormHistory.h"
#include "ui/dialogs/FormOptions.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <csignal>
#include <fstream>
#include <functional>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvoren;
using namespace talvoren::test;
using platform::RootKey;

namespace {

// Another program writing the user's environment: a platform of its own,
// with its own hive connections, as a second process has.
void SetOutside(const std::u16string& name, const std::u16string& value)
{
    auto other = platform::createPlatform();
    TEnvStore store(other->registry(), RootKey::CurrentUser);
    QVERIFY(store.OpenKey(kUserEnvironmentKey, false));
    store.WriteString(name, value);
}

std::u16string Value(TETree& tree, const std::u16string& name)
{
    const TENode* node = tree.FindVariable(name);
    return node ? tree.GetVariableValue(node) : u"(none)";
}

// A child process that holds `file` locked against readers and writers.
class TExclusiveLock {
public:
    explicit TExclusiveLock(const std::string& file)
    {
        int ready[2];
        QVERIFY(pipe(ready) == 0);
        fPid = fork();
        if (fPid == 0) {
            sqlite3* db = nullptr;
            sqlite3_open(file.c_str(), &db);
            const char answer = sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK ? 'y' : 'n';
            (void)!write(ready[1], &answer, 1);
            sleep(60);
            _exit(0);
        }
        close(ready[1]);
        char answer = 0;
        (void)!read(ready[0], &answer, 1);
        close(ready[0]);
        QCOMPARE(answer, 'y');
    }
    ~TExclusiveLock()
    {
        kill(fPid, SIGKILL);
        waitpid(fPid, nullptr, 0);
    }

private:
    pid_t fPid = -1;
};

// Acts on the next message dialog once it is shown modally, as a person
// would: a button, Esc or the title bar's close box.
void OnNextDialog(std::function<void(TMessageForm&)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, act] {
        if (auto* form = qobject_cast<TMessageForm*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            act(*form);
        }
    });
    poll->start(10);
}

std::string UserHive(TFixture& f)
{
    for (const auto& entry : std::filesystem::recursive_directory_iterator(f.machine.prefix() / "drive_c" / "Users")) {
        if (entry.path().filename() == "ntuser.dat" && entry.path().parent_path().filename() != "Default") {
            return entry.path().string();
        }
    }
    return {};
}

} // namespace

class FormMainRegistryTest : public QObject {
    Q_OBJECT

private slots:
    void init() { resetDialogs(); }

    void anUntouchedTreeFollowsTheRegistryKeepingItsView()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        TfrmMain& w = f.Open();
        TETree& tree = userVarTree(w);
        TENode* tv = tree.FindVariable(u"TV");
        tree.SetExpanded(tv, true);
        tree.ActivateNode(tv->Child(1));

        SetOutside(u"TV", u"a;b;c");
        SetOutside(u"TV_NEW", u"x");
        QTRY_VERIFY_WITH_TIMEOUT(tree.FindVariable(u"TV_NEW"), 1000);
        tv = tree.FindVariable(u"TV");
        QCOMPARE(Value(tree, u"TV"), u"a;b;c");
        QVERIFY(tv->IsExpanded());
        QCOMPARE(tree.GetFocusedNode(), tv->Child(1));
        QCOMPARE(tree.GetSelectedNodes(), std::vector<TENode*>{tv->Child(1)});
        QVERIFY(tree.FindVariable(u"USERNAME")); // the read-only variables are back
        QVERIFY(!w.IsModified());
        QVERIFY(statusField(w, 1)->text().isEmpty());
    }

    void editsAreKeptAndAskedAboutAtSave()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        f.Seed(RootKey::CurrentUser, u"Environment", u"UNTOUCHED", u"u1");
        f.Seed(RootKey::CurrentUser, u"Environment", u"LONG", u"l");
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"mine");
        const std::u16string longMine = u"C:\\head;" + std::u16string(900, u'm') + u";C:\\tail";
        f.EditUser(u"LONG", longMine);
        SetOutside(u"TV", u"theirs");
        SetOutside(u"UNTOUCHED", u"u2");
        SetOutside(u"LONG", std::u16string(900, u't'));
        QTRY_VERIFY_WITH_TIMEOUT(statusField(w, 1)->text().contains(QStringLiteral("changed by another program")),
                                 1000);
        QVERIFY(statusField(w, 1)->text().startsWith(QStringLiteral("Modified")));
        QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");

        // Cancel stops the whole save. The question names the scope and shows
        // both values, a long one without its middle.
        TfrmYesNoCancel::setNextAnswer(mrYes);
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        f.action("actFileSave")->trigger();
        const QStringList asked = TfrmYesNoCancel::hook().asked();
        QCOMPARE(asked.size(), qsizetype(2));
        QVERIFY2(asked[0].startsWith(QStringLiteral("The user variable 'LONG' was changed by another program")),
                 qPrintable(asked[0]));
        QVERIFY(asked[0].contains(QStringLiteral("About to be written: C:\\head;mmm")));
        QVERIFY(asked[0].contains(QStringLiteral("m \u2026 m")));
        QVERIFY(asked[0].endsWith(QStringLiteral("m;C:\\tail\r\n\r\nOverwrite it?")));
        QVERIFY(asked[0].size() < 800);
        QCOMPARE(asked[1],
                 QStringLiteral("The user variable 'TV' was changed by another program since it was "
                                "loaded.\r\n\r\nStored now: theirs\r\nAbout to be written: "
                                "mine\r\n\r\nOverwrite it?"));
        QVERIFY(w.IsModified());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"theirs");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"LONG"), std::u16string(900, u't'));

        // No keeps the other program's value, and the tree shows the scope as
        // it is now; the user's own value is one Undo away, with nothing else
        // of the old state.
        TfrmYesNoCancel::setNextAnswer(mrYes);
        TfrmYesNoCancel::setNextAnswer(mrNo);
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"theirs");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"LONG"), longMine);
        QCOMPARE(Value(userVarTree(w), u"TV"), u"theirs");
        QCOMPARE(Value(userVarTree(w), u"UNTOUCHED"), u"u2");
        QVERIFY(!w.IsModified());
        QTRY_COMPARE(statusField(w, 1)->text(), QStringLiteral("Saved"));
        QVERIFY(TfrmOK::hook().asked().isEmpty());
        QVERIFY(f.action("actEditUndo")->isEnabled());
        f.action("actEditUndo")->trigger();
        QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");
        QCOMPARE(Value(userVarTree(w), u"LONG"), longMine);
        QCOMPARE(Value(userVarTree(w), u"UNTOUCHED"), u"u2");
        QVERIFY(userVarTree(w).FindVariable(u"USERNAME"));
        QVERIFY(w.IsModified());
        // Saved now, the edit goes in without a question: it is the user's
        // answer to the value they have seen.
        f.action("actFileSave")->trigger();
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(4));
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"mine");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"UNTOUCHED"), u"u2");
        QVERIFY(!w.IsModified());

        // The window's own save is not a change from outside.
        f.EditUser(u"TV", u"again");
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"again");
        QTest::qWait(450);
        QVERIFY(undoStack(w).IsUndoable());
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(4));
    }

    // A save records what it overwrites, per scope, before writing; File >
    // History brings it back into the tree as an edit, writing nothing.
    void aSaveIsRecordedAndRestoredAsAnEdit()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        TfrmMain& w = f.Open();
        TSaveHistory history(f.platform());
        const size_t had = history.List().size();
        f.EditUser(u"TV", u"mine");
        w.Push();
        sysVarTree(w).AddVariable(u"TV_SYS", u"s", kDataTypeString, false);
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"mine");
        const auto entries = history.List();
        QCOMPARE(entries.size(), had + 2);
        QVERIFY(!entries[0].system && entries[0].window);
        QCOMPARE(entries[0].names, std::vector<std::u16string>{u"TV"});
        QVERIFY(entries[1].system);
        QCOMPARE(entries[1].names, std::vector<std::u16string>{u"TV_SYS"});

        auto* poll = new QTimer;
        QObject::connect(poll, &QTimer::timeout, [poll] {
            if (auto* dialog = qobject_cast<TfrmHistory*>(QApplication::activeModalWidget())) {
                poll->stop();
                poll->deleteLater();
                auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("lstHistory"));
                list->setCurrentItem(list->topLevelItem(0));
                dialog->findChild<QPushButton*>(QStringLiteral("btnRestore"))->click();
            }
        });
        poll->start(10);
        f.action("actFileHistory")->trigger();
        QCOMPARE(Value(userVarTree(w), u"TV"), u"before");
        QVERIFY(w.IsModified());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"mine");
        QCOMPARE(history.List().size(), had + 2);
        f.action("actEditUndo")->trigger();
        QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");

        // Without a place for the entry, nothing is written, and the error says why.
        if (f.machine.prefix().empty()) {
            return;
        }
        std::filesystem::path folder;
        for (const auto& entry :
             std::filesystem::recursive_directory_iterator(f.machine.prefix() / "drive_c" / "Users")) {
            if (entry.path().filename() == "History" && entry.path().parent_path().filename() == "Talvoren") {
                folder = entry.path();
            }
        }
        QVERIFY(!folder.empty());
        std::filesystem::remove_all(folder);
        std::ofstream(folder.string()) << "not a folder";
        f.EditUser(u"TV", u"lost?");
        TfrmOK::setNextAnswer(mrOk);
        f.action("actFileSave")->trigger();
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QVERIFY2(TfrmOK::hook().asked()[0].contains(QStringLiteral("The save history cannot be kept in")),
                 qPrintable(TfrmOK::hook().asked()[0]));
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"mine");
        QVERIFY(w.IsModified());
    }

    // The title bar's close box and Esc give the safe answer: nothing is
    // reloaded, dropped or closed.
    void closingAQuestionGoesNoFurther()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"mine");
        const auto closeBox = [](TMessageForm& form) {
            form.close();
        };
        const auto esc = [](TMessageForm& form) {
            QTest::keyClick(&form, Qt::Key_Escape);
        };
        for (const auto& answer : {std::function<void(TMessageForm&)>(closeBox), std::function(esc)}) {
            OnNextDialog(answer);
            f.action("actEditRefresh")->trigger();
            QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");
            QVERIFY(w.IsModified());
            QVERIFY(undoStack(w).IsUndoable());

            OnNextDialog(answer); // "Do you want to save the changes?"
            QVERIFY(!w.close());
            QVERIFY(w.isVisible());
            QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"before");
        }
        // The drop question: a user variable dropped on the system tree that
        // has one of that name.
        sysVarTree(w).AddVariable(u"TV", u"system", kDataTypeString, false);
        TETreeView* sys = sysVarView(w);
        for (const auto& answer : {std::function<void(TMessageForm&)>(closeBox), std::function(esc)}) {
            userVarTree(w).ActivateNode(userVarTree(w).FindVariable(u"TV"));
            OnNextDialog(answer);
            QVERIFY(!sys->dropAt(userVarView(w), QPoint(5, sys->viewport()->height() - 2)));
            QCOMPARE(Value(sysVarTree(w), u"TV"), u"system");
            QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");
        }
        QVERIFY(!f.ended);
    }

    void backupWritesTheStoredValuesNotTheEdits()
    {
        for (const bool readOnlySystem : {false, true}) {
            resetDialogs();
            TFixture f(readOnlySystem);
            if (!readOnlySystem) {
                f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"stored \\\\srv\\x");
            }
            TfrmMain& w = f.Open();
            if (!readOnlySystem) {
                f.EditUser(u"TV", u"unsaved");
            }
            QString offered;
            const QString file = QString::fromStdString((f.machine.scratchHostPath() / "b.reg").string());
            w.setBackupFileChooser([&](const QString& name) {
                offered = name;
                return file;
            });
            f.action("actFileBackup")->trigger();
            QVERIFY2(QRegularExpression(QStringLiteral("^backup_\\d{6}_\\d{6}\\.reg$")).match(offered).hasMatch(),
                     qPrintable(offered));
            QFile in(file);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray text = in.readAll();
            QVERIFY(text.startsWith("REGEDIT4\r\n\r\n; User: "));
            QVERIFY(text.contains("; System variables\r\n[HKEY_LOCAL_MACHINE\\SYSTEM"));
            QVERIFY(text.contains("\"windir\"=hex(2):25,53,79,73,74,65,6D,52,6F,6F,74,25,00\r\n"));
            QCOMPARE(text.contains("\"TV\"=\"stored \\\\\\\\srv\\\\x\"\r\n"), !readOnlySystem);
            QVERIFY(!text.contains("unsaved"));
            QVERIFY(TfrmOK::hook().asked().isEmpty());

            // Cancel writes nothing.
            QVERIFY(in.remove());
            w.setBackupFileChooser([](const QString&) { return QString(); });
            f.action("actFileBackup")->trigger();
            QVERIFY(!QFile::exists(file));
        }
    }

    void switchingUserEditsThatAccountsHiveAlone()
    {
        // The selector offers the languages that have a catalogue.
        QTemporaryDir locale;
        for (const QString code : {QStringLiteral("de"), QStringLiteral("fr")}) {
            QVERIFY(QDir().mkpath(locale.filePath(code + QStringLiteral("/LC_MESSAGES"))));
            QFile mo(locale.filePath(code + QStringLiteral("/LC_MESSAGES/default.mo")));
            QVERIFY(mo.open(QIODevice::WriteOnly));
        }
        UseCatalogueFolder(locale.path().toStdString());
        const auto restore = qScopeGuard([] { UseCatalogueFolder({}); });
        TFixture f;
        platform::IPlatform& p = f.platform();
        UserInfo me;
        QVERIFY(GetCurrentUserInfo(p, me));
        const auto users = f.machine.prefix() / "drive_c" / "Users";
        // Two more accounts: Bob with a hive of his own, Carol with a damaged one.
        auto account = [&](const std::u16string& sid, const std::u16string& name) {
            f.Seed(RootKey::LocalMachine, u"SAM\\Accounts\\" + sid, u"Name", name);
            f.Seed(RootKey::LocalMachine, u"SAM\\Accounts\\" + sid, u"Domain", me.Domain);
            TEnvStore store(p.registry(), RootKey::LocalMachine);
            QVERIFY(store.OpenKey(u"SAM\\Accounts\\" + sid, true));
            store.WriteInteger(u"SidType", 1);
            f.Seed(RootKey::LocalMachine, std::u16string(kProfileListKey) + u"\\" + sid, u"ProfileImagePath",
                   u"C:\\Users\\" + name);
            std::filesystem::create_directories(users / utf8(name));
        };
        account(u"S-1-5-21-7-7-7-2001", u"Bob");
        account(u"S-1-5-21-7-7-7-2002", u"Carol");
        const std::string ownHive = UserHive(f);
        std::filesystem::copy_file(ownHive, users / "Bob" / "ntuser.dat");
        std::ofstream(users / "Carol" / "ntuser.dat") << "not a hive";
        f.Seed(RootKey::CurrentUser, u"Environment", u"MINE", u"mine");

        TfrmMain& w = f.Open();
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboUsers"));
        QVERIFY(combo && combo->isEnabled());
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i) {
            texts << combo->itemText(i);
        }
        const QString domain = toQ(me.Domain) + QLatin1Char('\\');
        QCOMPARE(texts, QStringList({domain + "Bob", domain + "Carol", domain + toQ(me.Name) + " [logged in]"}));
        QCOMPARE(combo->currentIndex(), 2);
        const size_t ownCount = userVarTree(w).VariableCount();

        auto choose = [&](int index) {
            combo->setCurrentIndex(index);
            emit combo->activated(index);
        };
        // Unsaved edits and Cancel: nothing changes, the selection included.
        f.EditUser(u"MINE", u"edited");
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        choose(0);
        QCOMPARE(combo->currentIndex(), 2);
        QVERIFY(userVarTree(w).FindVariable(u"MINE"));
        QVERIFY(w.IsModified());

        // Yes, and the save stops (Cancel at a conflict, a locked hive): no
        // switch, and the edits stay.
        SetOutside(u"MINE", u"theirs");
        TfrmYesNoCancel::setNextAnswer(mrYes);
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        choose(0);
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(3));
        QCOMPARE(combo->currentIndex(), 2);
        QCOMPARE(Value(userVarTree(w), u"MINE"), u"edited");
        QVERIFY(w.IsModified());
        {
            TExclusiveLock lock(ownHive);
            TfrmYesNoCancel::setNextAnswer(mrYes);
            TfrmOK::setNextAnswer(mrOk);
            choose(0);
            QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
            QVERIFY(TfrmOK::hook().asked().first().contains(QStringLiteral("locked by another process")));
            QCOMPARE(combo->currentIndex(), 2);
            QCOMPARE(Value(userVarTree(w), u"MINE"), u"edited");
            QVERIFY(w.IsModified());
        }
        SetOutside(u"MINE", u"mine");
        TfrmOK::hook().reset();

        // No: Bob's variables, with his own logon variables instead of the
        // running account's.
        TfrmYesNoCancel::setNextAnswer(mrNo);
        choose(0);
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(!userVarTree(w).FindVariable(u"MINE"));
        QVERIFY(userVarTree(w).FindVariable(u"TEMP"));
        QCOMPARE(Value(userVarTree(w), u"USERPROFILE"), u"C:\\Users\\Bob");
        QCOMPARE(Value(userVarTree(w), u"USERNAME"), u"Bob");
        QVERIFY(userVarTree(w).GetVariableReadOnly(userVarTree(w).FindVariable(u"APPDATA")));
        QVERIFY(!w.IsModified());

        f.EditUser(u"BOBS", u"bob");
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::Users, u"S-1-5-21-7-7-7-2001\\Environment", u"BOBS"), u"bob");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"BOBS"), u"");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"MINE"), u"mine");

        // A damaged hive: the message, and Bob stays selected and shown.
        TfrmOK::setNextAnswer(mrOk);
        choose(1);
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QCOMPARE(TfrmOK::hook().asked().first(), QStringLiteral("Can not load profile of the user 'Carol'"));
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(userVarTree(w).FindVariable(u"BOBS"));

        // A change of language fills the list again and keeps Bob, whose
        // variables the trees show, also while his profile folder is away.
        auto* languages = w.findChild<QComboBox*>(QStringLiteral("comboLanguages"));
        languages->setCurrentIndex(languages->findText(QStringLiteral("Deutsch")));
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentIndex(), 0);
        std::filesystem::rename(users / "Bob", users / "Bob.away");
        languages->setCurrentIndex(languages->findText(QStringLiteral("Français")));
        QCOMPARE(combo->currentText(), domain + "Bob");
        std::filesystem::rename(users / "Bob.away", users / "Bob");
        languages->setCurrentIndex(languages->findText(QStringLiteral("English")));
        QCOMPARE(combo->currentIndex(), 0);

        // Back to the running account: its own variables and read-only ones.
        choose(2);
        QCOMPARE(combo->currentIndex(), 2);
        QVERIFY(userVarTree(w).FindVariable(u"MINE"));
        QCOMPARE(userVarTree(w).VariableCount(), ownCount);
    }

    // Every save shows what it writes first: Esc (at Ctrl+S or at the close
    // question's Yes) writes nothing and leaves the window modified, Enter
    // writes; a value another program changed is marked, shows what is
    // stored now, and the save waits until it is answered.
    void aSaveIsReviewedBeforeItWrites()
    {
        TFixture f;
        f.reviewSaves = true;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"a;b");
        f.Seed(RootKey::CurrentUser, u"Environment", u"KEEP", u"k");
        f.Seed(RootKey::CurrentUser, u"Environment", u"OTHER", u"o");
        TfrmMain& w = f.Open();
        f.FocusUserTree();
        f.EditUser(u"TV", u"b;a;c");
        f.EditUser(u"NEWV", u"n");
        const auto ctrlS = [&] {
            QTest::keyClick(userVarView(w), Qt::Key_S, Qt::ControlModifier);
        };
        int shown = 0;
        TfrmSaveReview::testDriver() = [&](TfrmSaveReview& form) {
            ++shown;
            form.show();
            QVERIFY(!form.scopeItem(0));
            QTreeWidgetItem* user = form.scopeItem(1);
            QCOMPARE(user->childCount(), 2);
            QCOMPARE(user->child(0)->text(0), QStringLiteral("NEWV"));
            QCOMPARE(user->child(1)->text(1), QStringLiteral("elements: 1 added, 0 removed, 1 moved"));
            form.listChanges->setCurrentItem(user->child(1));
            QVERIFY(form.memoDetails->toPlainText().contains(QStringLiteral("Before (REG_SZ):\na;b\n")));
            QTest::keyClick(form.listChanges, Qt::Key_Escape);
        };
        ctrlS();
        TfrmYesNoCancel::setNextAnswer(mrYes); // "Do you want to save the changes?"
        QVERIFY(!w.close());
        QCOMPARE(shown, 2);
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"a;b");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"NEWV"), u"");
        QVERIFY(w.IsModified());

        TfrmSaveReview::testDriver() = [&](TfrmSaveReview& form) {
            form.show();
            QTest::keyClick(form.listChanges, Qt::Key_Return);
        };
        ctrlS();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"b;a;c");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"NEWV"), u"n");
        QVERIFY(!w.IsModified());

        // Two values changed outside: one kept, one overwritten, answered in
        // the review alone.
        f.EditUser(u"KEEP", u"mine-k");
        f.EditUser(u"OTHER", u"mine-o");
        SetOutside(u"KEEP", u"theirs-k");
        SetOutside(u"OTHER", u"theirs-o");
        TfrmSaveReview::testDriver() = [&](TfrmSaveReview& form) {
            form.show();
            QTreeWidgetItem* user = form.scopeItem(1);
            QCOMPARE(user->child(0)->text(2), QStringLiteral("changed by another program: answer needed"));
            QCOMPARE(form.listChanges->currentItem(), user->child(0));
            QVERIFY(
                form.memoDetails->toPlainText().contains(QStringLiteral("Stored now by another program:\ntheirs-k\n")));
            QVERIFY(!form.btnSave->isEnabled());
            QTest::keyClick(form.listChanges, Qt::Key_Return); // not yet
            QVERIFY(form.isVisible() && form.result() != QDialog::Accepted);
            form.rbKeepStored->click();
            form.listChanges->setCurrentItem(user->child(1));
            form.rbWriteMine->click();
            QCOMPARE(user->child(1)->text(2), QStringLiteral("changed by another program: write mine"));
            QTest::keyClick(form.listChanges, Qt::Key_Return);
        };
        ctrlS();
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(1)); // the close question above
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"KEEP"), u"theirs-k");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"OTHER"), u"mine-o");
        QCOMPARE(Value(userVarTree(w), u"KEEP"), u"theirs-k");
        f.action("actEditUndo")->trigger();
        QCOMPARE(Value(userVarTree(w), u"KEEP"), u"mine-k");
        QVERIFY(w.IsModified());
    }

    // With the option off, the conflicts are asked one by one as before and
    // no review shows.
    void theReviewCanBeTurnedOff()
    {
        TFixture f;
        f.reviewSaves.reset();
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        f.Open();
        TfrmOptions::testDriver() = [](TfrmOptions& dialog) {
            QVERIFY(dialog.cbReviewBeforeSave->isChecked());
            dialog.cbReviewBeforeSave->setChecked(false);
            dialog.btnOkClick();
        };
        f.action("actFileOptions")->trigger();
        TfrmOptions::testDriver() = nullptr;
        int shown = 0;
        TfrmSaveReview::testDriver() = [&](TfrmSaveReview&) {
            ++shown;
        };
        f.EditUser(u"TV", u"mine");
        SetOutside(u"TV", u"theirs");
        TfrmYesNoCancel::setNextAnswer(mrYes);
        f.action("actFileSave")->trigger();
        QCOMPARE(shown, 0);
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(1));
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"mine");
        f.window.reset();
        TEnvStore settings(f.platform().registry(), RootKey::CurrentUser);
        QVERIFY(settings.OpenKeyReadOnly(kSettingsKey));
        QCOMPARE(settings.ReadInteger(u"reviewBeforeSave"), 0);
    }

    void standardUserSeesOnlyThemselves()
    {
        TFixture f(true);
        TfrmMain& w = f.Open();
        auto* combo = w.findChild<QComboBox*>(QStringLiteral("comboUsers"));
        QVERIFY(combo && !combo->isEnabled());
        QCOMPARE(combo->count(), 1);
        QVERIFY(combo->itemText(0).endsWith(QStringLiteral(" [logged in]")));
        QVERIFY(combo->itemText(0).contains(QLatin1Char('\\')));
    }

    void aLockedHiveAtRefreshKeepsTheTrees()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"mine");
        {
            TExclusiveLock lock(UserHive(f));
            TfrmYesNo::setNextAnswer(mrYes);
            TfrmOK::setNextAnswer(mrOk);
            f.action("actEditRefresh")->trigger();
            QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
            QVERIFY(TfrmOK::hook().asked().first().contains(QStringLiteral("locked by another process")));
            QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");
            QVERIFY(sysVarTree(w).VariableCount() > 0);
            QVERIFY(w.IsModified());
        }
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"mine");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TEMP"), u"%USERPROFILE%\\AppData\\Local\\Temp");
    }

    void aDamagedMachineHiveLeavesTheUserScopeWorking()
    {
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV", u"before");
        std::ofstream(f.machine.prefix() / "machine.hive", std::ios::trunc) << "not a hive";
        f.window.reset();
        f.shell.reset();
        f.fresh = platform::createPlatform();
        f.shell = std::make_unique<TRecordingPlatform>(*f.fresh);
        ResetAdminAccessProbe();
        TfrmOK::setNextAnswer(mrOk);
        TfrmMain& w = f.Open();

        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QVERIFY(TfrmOK::hook().asked().first().contains(QStringLiteral("damaged")));
        QVERIFY(!sysVarTree(w).IsLoaded());
        QVERIFY(!sysVarTree(w).IsEditable());
        QVERIFY(userVarTree(w).IsEditable());
        QCOMPARE(Value(userVarTree(w), u"TV"), u"before");

        f.EditUser(u"TV", u"after");
        f.action("actFileSave")->trigger();
        QCOMPARE(TfrmOK::hook().asked().size(), qsizetype(1));
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"after");
        QVERIFY(!w.IsModified());
    }

    // A user hive that cannot be written is read-only from the start and
    // says why; a save names what it wrote and what it did not, per scope.
    void whatCannotBeWrittenIsSaidPerScope()
    {
        for (const bool missing : {false, true}) {
            resetDialogs();
            TFixture f;
            namespace fs = std::filesystem;
            if (missing) {
                fs::remove(UserHive(f));
            } else {
                fs::permissions(UserHive(f), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                                fs::perm_options::remove);
            }
            f.fresh = platform::createPlatform();
            f.shell = std::make_unique<TRecordingPlatform>(*f.fresh);
            ResetAdminAccessProbe();
            TfrmMain& w = f.Open();
            QVERIFY(!userVarTree(w).IsEditable());
            QCOMPARE(userVarTree(w).FindVariable(u"TEMP") == nullptr, missing);
            QCOMPARE(userPanel(w)->caption(),
                     missing ? QStringLiteral("User variables (read-only: no registry key)")
                             : QStringLiteral("User variables (read-only: no write access)"));
            QVERIFY(sysVarTree(w).IsEditable());
            w.Push();
            sysVarTree(w).AddVariable(u"TV_SYS", u"s", kDataTypeString, false);
            w.UpdateActions();
            f.action("actFileSave")->trigger();
            QVERIFY(TfrmOK::hook().asked().isEmpty());
            QCOMPARE(f.Read(RootKey::LocalMachine, kSystemEnvironmentKey, u"TV_SYS"), u"s");
            QVERIFY(!w.IsModified());
        }
        resetDialogs();
        TFixture f;
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV_A", u"a");
        f.Seed(RootKey::CurrentUser, u"Environment", u"TV_B", u"b");
        TfrmMain& w = f.Open();
        QCOMPARE(userPanel(w)->caption(), QStringLiteral("User Variables"));
        w.Push();
        sysVarTree(w).AddVariable(u"TV_SYS", u"s", kDataTypeString, false);
        f.EditUser(u"TV_A", u"mine");
        f.EditUser(u"TV_B", u"mine");
        SetOutside(u"TV_B", u"theirs");
        QTRY_VERIFY_WITH_TIMEOUT(statusField(w, 1)->text().contains(QStringLiteral("changed by another program")),
                                 1000);
        // While the question about TV_B is open, another program changes
        // TV_A, whose write was already planned: the user scope's step stops.
        OnNextDialog([](TMessageForm& form) {
            SetOutside(u"TV_A", u"late");
            form.button(mrYes)->click();
        });
        TfrmOK::setNextAnswer(mrOk);
        f.action("actFileSave")->trigger();
        QCOMPARE(TfrmOK::hook().asked(),
                 QStringList{QStringLiteral("The system variables were saved.\r\nThe user variables were not saved: "
                                            "'TV_A' was changed by another program while saving; nothing was "
                                            "written")});
        QCOMPARE(f.Read(RootKey::LocalMachine, kSystemEnvironmentKey, u"TV_SYS"), u"s");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV_A"), u"late");
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV_B"), u"theirs");
        QVERIFY(w.IsModified());
    }

    // Values REGEDIT4 cannot hold make the backup a Unicode script, said so;
    // Restore brings them back into the trees as one step to save. A NUL
    // inside a value is kept by the file, but no variable can hold it.
    void aBackupOfAnyValueRestoresExactlyThroughRestore()
    {
        namespace t = platform::regtype;
        TFixture f;
        const auto utf16 = [](std::u16string_view text) {
            std::vector<uint8_t> bytes;
            platform::appendUtf16Le(bytes, std::u16string(text) + u'\0');
            return bytes;
        };
        const std::vector<platform::RegValue> stored = {
            {t::kSz, utf16(u"5 \u20AC")},
            {t::kSz, utf16(u"one\r\ntwo")},
            {t::kExpandSz, utf16(u"%TEMP%\\\u6F22\u5B57")},
            {t::kSz, utf16(std::u16string_view(u"a\0b", 3))},
        };
        const std::vector<std::u16string> names = {u"TV_EURO", u"TV_BREAK", u"TV_CJK", u"TV_NUL"};
        const auto writeAll = [&](bool remove) {
            std::unique_ptr<platform::IRegistryKey> key;
            auto other = platform::createPlatform(); // another program, as SetOutside
            QCOMPARE(other->registry().openKey(RootKey::CurrentUser, u"Environment", platform::access::kAllAccess,
                                               false, key),
                     0u);
            for (size_t i = 0; i < names.size(); ++i) {
                QCOMPARE(remove ? key->deleteValue(names[i]) : key->setValue(names[i], stored[i]), 0u);
            }
        };
        writeAll(false);
        TfrmMain& w = f.Open();
        const std::string base = (f.machine.scratchHostPath() / "all").string();
        w.setBackupFileChooser([&](const QString&) { return QString::fromStdString(base); });
        TfrmOK::setNextAnswer(mrOk);
        f.action("actFileBackup")->trigger();
        QCOMPARE(TfrmOK::hook().asked().size(), 1);
        const QString told = TfrmOK::hook().asked().front();
        QVERIFY2(told.contains("Unicode format") && told.contains("TV_BREAK") && told.contains("TV_CJK")
                     && told.contains("TV_NUL") && !told.contains("TV_EURO"),
                 qPrintable(told));
        const std::string file = base + ".reg"; // the typed name had no extension
        QFile in(QString::fromStdString(file));
        QVERIFY(in.open(QIODevice::ReadOnly));
        const QByteArray written = in.readAll();
        in.close();
        QVERIFY(written.startsWith(QByteArray("\xFF\xFEW\0i\0n\0", 8)));

        // Replacing the file is asked; No writes nothing.
        SetOutside(u"TV_EURO", u"later");
        TfrmYesNo::setNextAnswer(mrNo);
        f.action("actFileBackup")->trigger();
        QCOMPARE(TfrmYesNo::hook().asked().size(), 1);
        QVERIFY(in.open(QIODevice::ReadOnly));
        QCOMPARE(in.readAll(), written);
        in.close();

        writeAll(true);
        QTRY_VERIFY_WITH_TIMEOUT(!userVarTree(w).FindVariable(u"TV_CJK"), 1000);
        w.setRestoreFileChooser([&] { return QString::fromStdString(file); });
        TfrmOK::setNextAnswer(mrOk);
        f.action("actFileRestore")->trigger();
        const QString report = TfrmOK::hook().asked().back();
        QVERIFY2(report.contains("Variables changed: 3;") && report.contains("TV_NUL: The text contains a NUL"),
                 qPrintable(report));
        QVERIFY(w.IsModified()); // nothing written before the save
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV_CJK"), u"");
        f.action("actFileSave")->trigger();
        std::unique_ptr<platform::IRegistryKey> key;
        QCOMPARE(
            f.platform().registry().openKey(RootKey::CurrentUser, u"Environment", platform::access::kRead, false, key),
            0u);
        for (size_t i = 0; i + 1 < names.size(); ++i) {
            platform::RegValue read;
            QCOMPARE(key->queryValue(names[i], read), 0u);
            QCOMPARE(read.type, stored[i].type);
            QVERIFY2(read.data == stored[i].data, qPrintable(toQ(names[i])));
        }

        // A damaged file names its line and changes nothing; one that
        // cannot be read says why.
        std::ofstream(base + "2.reg", std::ios::binary) << "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n"
                                                           "\"A\"=hex(2):zz\r\n";
        for (const std::string& name : {base + "2.reg", base + "-missing.reg"}) {
            w.setRestoreFileChooser([&] { return QString::fromStdString(name); });
            TfrmOK::setNextAnswer(mrOk);
            f.action("actFileRestore")->trigger();
            const QString error = TfrmOK::hook().asked().back();
            QVERIFY2(error.contains(name.ends_with("2.reg") ? "line 4" : "Can not read"), qPrintable(error));
            QVERIFY(!w.IsModified());
        }
    }
};

QTEST_MAIN(FormMainRegistryTest)
#include "FormMainRegistryTest.moc"
