// The main window beside other programs on the same emulated machine: a
// change made outside reloads a tree without edits and is asked about at
// save when the tree has edits; a locked hive at Refresh and a damaged
// machine hive at start show the error and lose nothing.

#include "base/EnvStore.h"
#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "platform/Platform.h"
#include "system/ToolsUser.h"
#include "tests/ui/MainWindowFixture.h"
#include "ui/StatusField.h"
#include "ui/UiText.h"

#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <csignal>
#include <fstream>
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
        TfrmMain& w = f.Open();
        f.EditUser(u"TV", u"mine");
        SetOutside(u"TV", u"theirs");
        QTRY_VERIFY_WITH_TIMEOUT(statusField(w, 1)->text().contains(QStringLiteral("changed by another program")),
                                 1000);
        QVERIFY(statusField(w, 1)->text().startsWith(QStringLiteral("Modified")));
        QCOMPARE(Value(userVarTree(w), u"TV"), u"mine");

        // Cancel stops the whole save.
        TfrmYesNoCancel::setNextAnswer(mrCancel);
        f.action("actFileSave")->trigger();
        QCOMPARE(TfrmYesNoCancel::hook().asked(),
                 QStringList{QStringLiteral("The variable 'TV' was changed by another program since it was "
                                            "loaded.\r\nOverwrite it?")});
        QVERIFY(w.IsModified());
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"theirs");

        // No keeps the other program's value, and the tree shows it.
        TfrmYesNoCancel::setNextAnswer(mrNo);
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"theirs");
        QCOMPARE(Value(userVarTree(w), u"TV"), u"theirs");
        QVERIFY(!w.IsModified());
        QVERIFY(statusField(w, 1)->text().isEmpty());
        QVERIFY(TfrmOK::hook().asked().isEmpty());

        // The window's own save is not a change from outside.
        f.EditUser(u"TV", u"again");
        f.action("actFileSave")->trigger();
        QCOMPARE(f.Read(RootKey::CurrentUser, u"Environment", u"TV"), u"again");
        QTest::qWait(450);
        QVERIFY(undoStack(w).IsUndoable());
        QCOMPARE(TfrmYesNoCancel::hook().asked().size(), qsizetype(2));
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
        std::filesystem::copy_file(UserHive(f), users / "Bob" / "ntuser.dat");
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

        // No: Bob's variables, without the running account's read-only ones.
        TfrmYesNoCancel::setNextAnswer(mrNo);
        choose(0);
        QCOMPARE(combo->currentIndex(), 0);
        QVERIFY(!userVarTree(w).FindVariable(u"MINE"));
        QVERIFY(userVarTree(w).FindVariable(u"TEMP"));
        QVERIFY(userVarTree(w).VariableCount() < ownCount);
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
        languages->setCurrentIndex(languages->findText(QStringLiteral("German")));
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->currentIndex(), 0);
        std::filesystem::rename(users / "Bob", users / "Bob.away");
        languages->setCurrentIndex(languages->findText(QStringLiteral("French")));
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
};

QTEST_MAIN(FormMainRegistryTest)
#include "FormMainRegistryTest.moc"
