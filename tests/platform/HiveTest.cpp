// The emulated machine's hive files under stress: processes killed in the
// middle of a write, locks held by another process, read-only and damaged
// files, and hives of other profiles loaded under HKEY_USERS.

#include "platform/posix/Hive.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "platform/Utf.h"
#include "platform/posix/HiveWriter.h"
#include "platform/posix/MachineLayout.h"
#include "platform/posix/PosixPlatform.h"
#include "platform/posix/PrefixSeeder.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace talvoren;
using namespace talvoren::platform;
using namespace talvoren::platform::posix;
namespace fs = std::filesystem;

namespace {

const std::u16string kEnv = layout::kUserEnvironmentKey;

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const fs::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

void makeReadOnly(const fs::path& path)
{
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

// A value whose text says how long it must be: "<n>:" and n letters.
std::u16string checkedText(unsigned n)
{
    const std::string head = std::to_string(n) + ":";
    return fromUtf8(head) + std::u16string(n, static_cast<char16_t>(u'a' + n % 26));
}

bool isWhole(const std::u16string& text)
{
    const auto colon = text.find(u':');
    if (colon == std::u16string::npos) {
        return false;
    }
    const unsigned n = std::stoul(toUtf8(text.substr(0, colon)));
    return text == checkedText(n);
}

// A child process that holds the write lock of `file` for `seconds`.
class TLockHolder {
public:
    TLockHolder(const fs::path& file, int seconds)
    {
        int ready[2];
        EXPECT_EQ(pipe(ready), 0);
        fPid = fork();
        if (fPid == 0) {
            sqlite3* db = nullptr;
            sqlite3_open(file.c_str(), &db);
            const int rc = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            const char answer = rc == SQLITE_OK ? 'y' : 'n';
            (void)!write(ready[1], &answer, 1);
            sleep(seconds);
            _exit(0);
        }
        close(ready[1]);
        char answer = 0;
        EXPECT_EQ(read(ready[0], &answer, 1), 1);
        close(ready[0]);
        EXPECT_EQ(answer, 'y') << "the helper could not take the lock";
    }
    ~TLockHolder() { release(); }
    void release()
    {
        if (fPid > 0) {
            kill(fPid, SIGKILL);
            waitpid(fPid, nullptr, 0);
            fPid = -1;
        }
    }

private:
    pid_t fPid = -1;
};

class HiveTest : public ::testing::Test {
protected:
    TPosixPlatform& posix() { return static_cast<TPosixPlatform&>(fMachine.platform()); }
    fs::path machineHive() { return fMachine.prefix() / layout::kMachineHiveFile; }
    fs::path userHive()
    {
        return fMachine.prefix() / "drive_c" / "Users" / toUtf8(loginAccountName()) / toUtf8(layout::kUserHiveFile);
    }
    // A platform made afresh on the same prefix, as a second process sees it.
    std::unique_ptr<IPlatform> again() { return createPlatform(); }

    test::TestMachine fMachine;
};

TEST_F(HiveTest, AWriterKilledAtAnyMomentLeavesEveryValueWhole)
{
    ASSERT_TRUE(fs::exists(userHive()));
    int interrupted = 0; // rounds that killed the writer inside a transaction
    for (int round = 0; round < 6; ++round) {
        // The writer tells when its first value is stored, so that a slow
        // start on a busy machine is not taken for a kill before any write.
        int started[2];
        ASSERT_EQ(pipe(started), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(started[0]);
            auto platform = createPlatform();
            TEnvStore store(platform->registry(), RootKey::CurrentUser);
            if (!store.OpenKey(kEnv, false)) {
                _exit(2);
            }
            for (unsigned n = 1;; n = n % 5000 + 97) {
                try {
                    store.WriteString(u"Whole" + fromUtf8(std::to_string(n % 7)), checkedText(n));
                    store.DeleteValue(u"Whole" + fromUtf8(std::to_string((n + 3) % 7)));
                } catch (...) {
                    _exit(3);
                }
                if (started[1] >= 0) {
                    const char one = 1;
                    (void)!write(started[1], &one, 1);
                    close(started[1]);
                    started[1] = -1;
                }
            }
        }
        close(started[1]);
        char one = 0;
        ASSERT_EQ(read(started[0], &one, 1), 1) << "the writer ended before its first write";
        close(started[0]);
        usleep(50000 + round * 37000);
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself, status " << status;
        interrupted += fs::exists(userHive().string() + "-journal") ? 1 : 0;

        std::shared_ptr<THive> hive;
        ASSERT_EQ(THive::open(userHive().string(), hive), error::kSuccess) << "round " << round;
        auto platform = again();
        TEnvStore store(platform->registry(), RootKey::CurrentUser);
        ASSERT_TRUE(store.OpenKeyReadOnly(kEnv));
        int seen = 0;
        for (const auto& name : store.GetValueNames()) {
            if (name.starts_with(u"Whole")) {
                ++seen;
                EXPECT_TRUE(isWhole(store.ReadString(name))) << test::utf8(name);
            }
        }
        EXPECT_GT(seen, 0);
        EXPECT_EQ(store.ReadString(u"Path"), u"%USERPROFILE%\\AppData\\Local\\Microsoft\\WindowsApps;");
    }
    std::printf("writer killed inside a transaction in %d of 6 rounds\n", interrupted);
}

TEST_F(HiveTest, ALockHeldLongerThanTheWaitRefusesWritesButNotReads)
{
    std::unique_ptr<IRegistryKey> early;
    ASSERT_EQ(fMachine.platform().registry().openKey(RootKey::CurrentUser, kEnv, access::kAllAccess, false, early),
              error::kSuccess);
    TLockHolder lock(userHive(), 60);

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(early->setValue(u"X", RegValue{regtype::kSz, EncodeRegString(u"x")}), error::kLockViolation);
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(1500)) << "gave up without waiting";
    EXPECT_LT(waited, std::chrono::milliseconds(6000));
    EXPECT_EQ(early->deleteValue(u"TEMP"), error::kLockViolation);

    std::unique_ptr<IRegistryKey> late;
    auto& registry = fMachine.platform().registry();
    EXPECT_EQ(registry.openKey(RootKey::CurrentUser, kEnv, access::kSetValue, false, late), error::kLockViolation);
    EXPECT_EQ(registry.openKey(RootKey::CurrentUser, kEnv, access::kCreateSubKey, false, late), error::kLockViolation);
    EXPECT_THROW(OpenScopeForWriting(fMachine.platform(), CurrentUserScope()), TError);

    // Readers are not blocked by a writer's pending transaction.
    ASSERT_EQ(registry.openKey(RootKey::CurrentUser, kEnv, access::kRead, false, late), error::kSuccess);
    RegValue value;
    EXPECT_EQ(late->queryValue(u"TEMP", value), error::kSuccess);
    // The machine hive is another file: not locked.
    EXPECT_NO_THROW(OpenScopeForWriting(fMachine.platform(), SystemScope()));

    lock.release();
    EXPECT_EQ(early->setValue(u"X", RegValue{regtype::kSz, EncodeRegString(u"x")}), error::kSuccess);
}

TEST_F(HiveTest, AMachineHiveWithoutItsWriteBitIsReadOnlyEvenForRoot)
{
    makeReadOnly(machineHive());
    const std::string before = readFile(machineHive());
    auto platform = again();
    auto& registry = platform->registry();
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(registry.openKey(RootKey::LocalMachine, layout::kSystemEnvironmentKey, access::kAllAccess, false, key),
              error::kAccessDenied);
    EXPECT_EQ(registry.openKey(RootKey::LocalMachine, u"SOFTWARE\\New", access::kRead, true, key),
              error::kAccessDenied);
    EXPECT_THROW(OpenScopeForWriting(*platform, SystemScope()), TError);
    auto reader = OpenScopeForReading(*platform, SystemScope());
    EXPECT_EQ(reader->ReadString(u"OS"), u"Windows_NT");
    EXPECT_FALSE(platform->accounts().enablePrivilege(u"SeRestorePrivilege"));
    EXPECT_EQ(registry.loadHive(u"S-1-5-21-1-2-3-1002", u"C:\\Windows\\System32\\config\\systemprofile\\ntuser.dat"),
              error::kPrivilegeNotHeld);
    // The user's own hive is still writable.
    EXPECT_NO_THROW(OpenScopeForWriting(*platform, CurrentUserScope())->WriteString(u"Mine", u"1"));
    EXPECT_EQ(readFile(machineHive()), before);
    EXPECT_TRUE(fMachine.platform().accounts().enablePrivilege(u"SeRestorePrivilege")) << "made before the change";
}

TEST_F(HiveTest, AReadOnlyUserHiveRefusesWritesAndKeepsItsContent)
{
    makeReadOnly(userHive());
    auto platform = again();
    EXPECT_THROW(OpenScopeForWriting(*platform, CurrentUserScope()), TError);
    EXPECT_EQ(OpenScopeForReading(*platform, CurrentUserScope())->ReadString(u"TMP"),
              u"%USERPROFILE%\\AppData\\Local\\Temp");
    EXPECT_NO_THROW(OpenScopeForWriting(*platform, SystemScope()));
}

TEST_F(HiveTest, ADamagedOrForeignHiveIsRefusedAndNeverRewritten)
{
    sqlite3* foreign = nullptr;
    const fs::path foreignDb = fMachine.prefix() / "foreign.db";
    sqlite3_open(foreignDb.c_str(), &foreign);
    sqlite3_exec(foreign, "CREATE TABLE t (x); INSERT INTO t VALUES (1);", nullptr, nullptr, nullptr);
    sqlite3_close(foreign);

    std::string damaged = readFile(userHive());
    ASSERT_GT(damaged.size(), 8192u);
    for (size_t i = 4096; i < damaged.size(); i += 7) {
        damaged[i] = static_cast<char>(damaged[i] ^ 0x5A); // pages after the header scrambled
    }

    struct Case {
        const char* what;
        std::string bytes;
        std::vector<uint32_t> errors;
    };
    const std::vector<Case> cases = {
        {"text", "this is not a registry hive\n" + std::string(5000, 'x'), {error::kNotRegistryFile}},
        {"empty file", "", {error::kNotRegistryFile}},
        {"another database", readFile(foreignDb), {error::kNotRegistryFile}},
        {"damaged pages", damaged, {error::kBadDb, error::kNotRegistryFile}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeFile(userHive(), c.bytes);
        std::shared_ptr<THive> hive;
        const uint32_t direct = THive::open(userHive().string(), hive);
        EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), direct), c.errors.end()) << direct;

        auto platform = again();
        std::unique_ptr<IRegistryKey> key;
        const uint32_t rc = platform->registry().openKey(RootKey::CurrentUser, kEnv, access::kAllAccess, false, key);
        EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), rc), c.errors.end()) << rc;
        EXPECT_FALSE(OpenScopeForReading(*platform, CurrentUserScope())->IsOpen());
        EXPECT_THROW(OpenScopeForWriting(*platform, CurrentUserScope()), TError);
        EXPECT_FALSE(platform->registry().openKey(RootKey::CurrentUser, u"New", access::kAllAccess, true, key)
                     == error::kSuccess);
        const uint32_t load = platform->registry().loadHive(u"S-1-5-21-9-9-9-1009",
                                                            u"C:\\Users\\" + loginAccountName() + u"\\ntuser.dat");
        EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), load), c.errors.end()) << load;
        EXPECT_EQ(readFile(userHive()), c.bytes) << "the hive file was changed";
        // The machine still works.
        EXPECT_TRUE(OpenScopeForReading(*platform, SystemScope())->IsOpen());
    }
}

TEST_F(HiveTest, AnotherProfilesHiveLoadsUnderItsSid)
{
    std::shared_ptr<THive> machine;
    ASSERT_EQ(posix().posixRegistry().machineHive(machine), error::kSuccess);
    const std::u16string sid = u"S-1-5-21-11-22-33-1005";
    ASSERT_EQ(machine->begin(), error::kSuccess);
    TPrefixSeeder::addUser(*machine, fMachine.prefix() / "drive_c", u"Other", u"TESTPC", sid);
    ASSERT_EQ(machine->commit(), error::kSuccess);

    AccountInfo info;
    ASSERT_TRUE(fMachine.platform().accounts().lookupSid(sid, info));
    EXPECT_EQ(info.name, u"Other");
    EXPECT_EQ(info.sidType, 1u);

    auto& registry = fMachine.platform().registry();
    EXPECT_EQ(registry.loadHive(sid, u"C:\\Users\\Other\\Missing.dat"), error::kFileNotFound);
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(registry.openKey(RootKey::Users, sid + u"\\Environment", access::kRead, false, key),
              error::kFileNotFound);
    // The path as the profile list gives it, in any case.
    ASSERT_EQ(registry.loadHive(sid, u"c:\\users\\OTHER\\NTUSER.DAT"), error::kSuccess);
    EXPECT_EQ(registry.loadHive(sid, u"C:\\Users\\Other\\ntuser.dat"), error::kSuccess) << "loaded twice";

    ASSERT_EQ(registry.openKey(RootKey::Users, u"", access::kRead, false, key), error::kSuccess);
    const auto loaded = key->subKeyNames();
    EXPECT_NE(std::find(loaded.begin(), loaded.end(), sid), loaded.end());
    EXPECT_NE(std::find(loaded.begin(), loaded.end(), fMachine.platform().accounts().currentUserSid()), loaded.end());

    const Scope other = OtherUserScope(sid);
    OpenScopeForWriting(fMachine.platform(), other)->WriteString(u"OnlyOther", u"yes");
    EXPECT_EQ(OpenScopeForReading(fMachine.platform(), other)->ReadString(u"TEMP"),
              u"%USERPROFILE%\\AppData\\Local\\Temp");
    EXPECT_EQ(OpenScopeForReading(fMachine.platform(), CurrentUserScope())->ReadString(u"OnlyOther"), u"");

    // Written into the profile's own file.
    std::shared_ptr<THive> file;
    ASSERT_EQ(THive::open((fMachine.prefix() / "drive_c/Users/Other/ntuser.dat").string(), file), error::kSuccess);
    EXPECT_EQ(readHiveText(*file, kEnv, u"OnlyOther"), u"yes");
    // Loaded for this process only.
    EXPECT_EQ(again()->registry().openKey(RootKey::Users, sid, access::kRead, false, key), error::kFileNotFound);
}

TEST_F(HiveTest, KeysAreDeletedOnlyWhenEmptyOfSubkeys)
{
    auto& registry = fMachine.platform().registry();
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(registry.openKey(RootKey::CurrentUser, u"Software\\A\\B", access::kAllAccess, true, key),
              error::kSuccess);
    ASSERT_EQ(key->setValue(u"v", RegValue{regtype::kDword, {1, 0, 0, 0}}), error::kSuccess);
    EXPECT_EQ(registry.deleteKey(RootKey::CurrentUser, u"Software\\A"), error::kAccessDenied);
    EXPECT_EQ(registry.deleteKey(RootKey::CurrentUser, u"software\\a\\b"), error::kSuccess);
    // The open handle now names a deleted key.
    RegValue value;
    EXPECT_EQ(key->queryValue(u"v", value), error::kKeyDeleted);
    EXPECT_EQ(key->setValue(u"v", value), error::kKeyDeleted);
    EXPECT_EQ(registry.deleteKey(RootKey::CurrentUser, u"Software\\A\\B"), error::kFileNotFound);
    EXPECT_EQ(registry.deleteKey(RootKey::CurrentUser, u"Software\\A"), error::kSuccess);
    EXPECT_EQ(registry.deleteKey(RootKey::CurrentUser, u""), error::kAccessDenied);
}

} // namespace
