// The registry update step on the emulated machine: one write transaction on
// the hive, seen from a second connection as another Talvoren process would.

#include "base/EnvStore.h"
#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

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
