#include "cli/CommandLine.h"

#include "base/EnvStore.h"
#include "platform/CommandLineSplitter.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace talvoren;

TEST(CommandLineParseTest, OptionsAreCaseInsensitiveWithDashOrSlash)
{
    auto r = ParseCommandLine({u"/s", u"-i", u"/A", u"-r", u"/c", u"-E", u"/d", u"-m"});
    EXPECT_TRUE(r.set && r.insert && r.append && r.remove && r.cleanup && r.expand && r.del && r.machine);
    EXPECT_TRUE(r.name.empty());
    EXPECT_TRUE(r.value.empty());
}

TEST(CommandLineParseTest, TheLastScopeOptionWins)
{
    EXPECT_FALSE(ParseCommandLine({u"-M", u"-U", u"X"}).machine);
    EXPECT_TRUE(ParseCommandLine({u"-U", u"/m", u"X"}).machine);
    EXPECT_FALSE(ParseCommandLine({u"X"}).machine);
}

TEST(CommandLineParseTest, FirstOperandIsTheNameAndTheLastOneTheValue)
{
    auto r = ParseCommandLine({u"N", u"-S", u"a", u"b"});
    EXPECT_EQ(r.name, u"N");
    EXPECT_EQ(r.value, u"b");
    // Anything that is not exactly a known option is an operand.
    r = ParseCommandLine({u"-S", u"-?", u"-X", u"--S"});
    EXPECT_EQ(r.name, u"-?");
    EXPECT_EQ(r.value, u"--S");
}

TEST(CommandLineParseTest, AnEmptyOperandLeavesTheNameToBeTaken)
{
    // An empty first operand is "still empty", so the next operand becomes
    // the name.
    auto r = ParseCommandLine({u"", u"Name", u"v"});
    EXPECT_EQ(r.name, u"Name");
    EXPECT_EQ(r.value, u"v");
    EXPECT_TRUE(r.emptyNameOperand); // which a change refuses
    EXPECT_FALSE(ParseCommandLine({u"Name", u""}).emptyNameOperand);
}

TEST(CommandLineSplitTest, FollowsTheWindowsRuntimeRules)
{
    using V = std::vector<std::u16string>;
    EXPECT_EQ(platform::splitCommandLine(u"prog -s path C:\\bin"), (V{u"prog", u"-s", u"path", u"C:\\bin"}));
    // Quotes group blanks and are removed; there is no escape character.
    EXPECT_EQ(platform::splitCommandLine(u"prog \"C:\\Program Files\\x\" a\"b c\"d"),
              (V{u"prog", u"C:\\Program Files\\x", u"ab cd"}));
    EXPECT_EQ(platform::splitCommandLine(u"prog a\\\"b"), (V{u"prog", u"a\\b"}));
    // A pair of quotes at the start of an argument is skipped; alone, it is
    // an empty argument.
    EXPECT_EQ(platform::splitCommandLine(u"prog \"\"x \"\" y \"\""), (V{u"prog", u"x", u"", u"y", u""}));
    // Control characters separate like blanks.
    EXPECT_EQ(platform::splitCommandLine(u"prog\ta\x01"
                                         u"b   "),
              (V{u"prog", u"a", u"b"}));
    EXPECT_EQ(platform::splitCommandLine(u""), V{});
    // An unclosed quote runs to the end.
    EXPECT_EQ(platform::splitCommandLine(u"prog \"a b"), (V{u"prog", u"a b"}));
}

namespace {
class RecordingHelp : public ICommandHelp {
public:
    void Show() override { ++shown; }
    int shown = 0;
};
} // namespace

class RunCommandLineTest : public ::testing::Test {
protected:
    test::TestMachine machine;
    RecordingHelp help;

    std::u16string userValue(const std::u16string& name)
    {
        TEnvStore store(machine.platform().registry(), platform::RootKey::CurrentUser);
        store.OpenKeyReadOnly(kUserEnvironmentKey);
        return store.ReadString(name);
    }
};

TEST_F(RunCommandLineTest, NoArgumentsLetTheWindowStart)
{
    EXPECT_FALSE(RunCommandLine({}, machine.platform(), help).has_value());
    EXPECT_EQ(help.shown, 0);
}

TEST_F(RunCommandLineTest, HelpOnlyAsTheFirstArgument)
{
    EXPECT_EQ(RunCommandLine({u"-?"}, machine.platform(), help), 0);
    EXPECT_EQ(RunCommandLine({u"/?", u"-S", u"X", u"y"}, machine.platform(), help), 0);
    EXPECT_EQ(help.shown, 2);
    EXPECT_EQ(userValue(u"X"), u""); // nothing else was done

    // "-?" later is the variable name.
    EXPECT_EQ(RunCommandLine({u"-S", u"-?", u"v"}, machine.platform(), help), 0);
    EXPECT_EQ(help.shown, 2);
    EXPECT_EQ(userValue(u"-?"), u"v");
}

TEST_F(RunCommandLineTest, OptionsCombineInTheirFixedOrder)
{
    ASSERT_EQ(RunCommandLine({u"-S", u"V", u"x"}, machine.platform(), help), 0);
    ASSERT_EQ(RunCommandLine({u"-A", u"-I", u"V", u"y"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"V"), u"x;y;x");

    ASSERT_EQ(RunCommandLine({u"-S", u"W", u"x;y"}, machine.platform(), help), 0);
    // -R after -I overwrites the insert: the current value minus the value
    // built so far ("q;x;y", which is no element of it).
    ASSERT_EQ(RunCommandLine({u"-I", u"-R", u"W", u"q"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"W"), u"x;y");
    ASSERT_EQ(RunCommandLine({u"-R", u"W", u"X"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"W"), u"y");

    ASSERT_EQ(RunCommandLine({u"-C", u"-I", u"W", u"a;;y"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"W"), u"a;y");
}
