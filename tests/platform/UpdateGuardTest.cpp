// The registry update step on the emulated machine: one write transaction on
// the hive, seen from a second connection as another Talvoren process would.

#include "base/EnvStore.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "platform/posix/MachineLayout.h"
#include "platform/posix/PrefixSeeder.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace talvoren;
using namespace talvoren::platform;

namespace {

std::u16string read(IPlatform& platform, const std::u16string& name)
{
    TEnvStore store(platform.registry(), RootKey::CurrentUser);
    store.OpenKeyReadOnly(kUserEnvironmentKey);
    return store.ReadString(name);
}

void write(IPlatform& platform, const std::u16string& name, const std::u16string& text)
{
    TEnvStore store(platform.registry(), RootKey::CurrentUser);
    ASSERT_TRUE(store.OpenKey(kUserEnvironmentKey, false));
    store.WriteString(name, text);
}

std::unique_ptr<IRegistryUpdate> begin(IPlatform& platform, uint32_t expected = error::kSuccess)
{
    std::unique_ptr<IRegistryUpdate> update;
    EXPECT_EQ(platform.registry().beginUpdate(RootKey::CurrentUser, kUserEnvironmentKey, update), expected);
    EXPECT_EQ(update != nullptr, expected == error::kSuccess);
    return update;
}

} // namespace

TEST(UpdateGuardTest, AStepIsOneTransactionThatOthersWaitFor)
{
    test::TestMachine machine;
    IPlatform& self = machine.platform();
    const auto other = createPlatform(); // a connection of its own, as another process has
    write(self, u"V", u"old");

    {
        auto update = begin(self);
        ASSERT_TRUE(update);
        {
            // A nested step joins the open one: its end does not end the step.
            auto inner = begin(self);
            ASSERT_TRUE(inner);
            EXPECT_EQ(inner->commit(), error::kSuccess);
        }
        write(self, u"V", u"new");
        EXPECT_EQ(read(self, u"V"), u"new");
        EXPECT_EQ(read(*other, u"V"), u"old") << "uncommitted changes are not seen";
        begin(*other, error::kLockViolation);
        // Let go without commit: the step is undone.
    }
    EXPECT_EQ(read(self, u"V"), u"old");

    {
        auto update = begin(self);
        ASSERT_TRUE(update);
        write(self, u"V", u"new");
        EXPECT_EQ(update->commit(), error::kSuccess);
    }
    EXPECT_EQ(read(*other, u"V"), u"new");
    EXPECT_TRUE(begin(*other)) << "the hive is free again";
}

TEST(UpdateGuardTest, AHiveLockedThroughAWholeWaitIsNotWaitedForAgainAtOnce)
{
    test::TestMachine machine;
    write(machine.platform(), u"V", u"old");
    const auto hive = machine.prefix() / "drive_c" / "Users" / toUtf8(posix::loginAccountName())
        / toUtf8(posix::layout::kUserHiveFile);
    // Another process in the middle of writing its change out: not even
    // readers get in.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(hive.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN EXCLUSIVE; DELETE FROM key_values WHERE 0", nullptr, nullptr, nullptr),
              SQLITE_OK);

    using namespace std::chrono;
    const auto start = steady_clock::now();
    const auto later = createPlatform(); // a process started now reads the hive for its environment
    std::unique_ptr<IRegistryUpdate> update;
    EXPECT_EQ(later->registry().beginUpdate(RootKey::CurrentUser, kUserEnvironmentKey, update), error::kLockViolation);
    std::unique_ptr<IRegistryKey> key;
    EXPECT_EQ(later->registry().openKey(RootKey::CurrentUser, kUserEnvironmentKey, access::kAllAccess, false, key),
              error::kLockViolation);
    const auto waited = steady_clock::now() - start;
    EXPECT_GE(waited, milliseconds(kRegistryLockWaitMs));
    EXPECT_LT(waited, milliseconds(kRegistryLockWaitMs + 1000)) << "one wait for the run, not one per step";

    // A free hive is taken at once, without waiting out the last wait.
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_EQ(read(*later, u"V"), u"old");
    EXPECT_TRUE(begin(*later));
}
