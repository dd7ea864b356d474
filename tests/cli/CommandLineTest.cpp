#include "cli/CommandLine.h"

#include "base/EnvStore.h"
#include "model/VariableName.h"
#include "platform/CommandLineSplitter.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace talvoren;

TEST(CommandLineParseTest, OptionsAreCaseInsensitiveWithDashOrSlashAndMayStandAnywhere)
{
    auto r = ParseCommandLine({u"/s", u"-c", u"N", u"-E", u"v", u"/m"});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mode, TCommandMode::Set);
    EXPECT_TRUE(r->cleanup && r->expand && r->machine);
    EXPECT_EQ(r->name, u"N");
    EXPECT_EQ(r->value, u"v");
    r = ParseCommandLine({u"-d", u"/U", u"N", u"-D"}); // repeating an operation is no conflict
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mode, TCommandMode::Delete);
    EXPECT_FALSE(r->machine);
    // The last scope option wins.
    EXPECT_FALSE(ParseCommandLine({u"-M", u"-U", u"X", u"v"})->machine);
    EXPECT_TRUE(ParseCommandLine({u"-U", u"/m", u"X", u"v"})->machine);
}

TEST(CommandLineParseTest, CleanupAloneTakesTheNameAloneOrSetsACleanedValue)
{
    auto r = ParseCommandLine({u"-C", u"-M", u"Path"});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mode, TCommandMode::Cleanup);
    EXPECT_TRUE(r->machine);
    r = ParseCommandLine({u"-C", u"Path", u"a;;a"});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->mode, TCommandMode::Set);
    EXPECT_TRUE(r->cleanup);
    EXPECT_FALSE(ParseCommandLine({u"-S", u"-C", u"Path"})) << "a set without its value";
}

TEST(CommandLineParseTest, NamesAreTrimmedAndFollowTheVariableNameRule)
{
    auto r = ParseCommandLine({u"-S", u"\t N \u00a0", u" v "});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->name, u"N");
    EXPECT_EQ(r->value, u" v ") << "a value is taken as given";
    const std::u16string longest(kMaxVariableNameLength, u'n');
    EXPECT_TRUE(ParseCommandLine({u"-S", longest, u"v"}));
    for (const std::u16string& name :
         {longest + u"n",
          std::u16string(u"A\x01"
                         "B"),
          std::u16string(u"A\nB"), std::u16string(u"\t"), std::u16string(u"\u3000"), std::u16string(u"x=y")}) {
        EXPECT_FALSE(ParseCommandLine({u"-S", name, u"v"})) << test::utf8(name);
        EXPECT_FALSE(ParseCommandLine({u"-D", name})) << test::utf8(name);
    }
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

TEST_F(RunCommandLineTest, CleanupWorksOnTheValueTheOperationBuilt)
{
    ASSERT_EQ(RunCommandLine({u"-S", u"W", u"x;y"}, machine.platform(), help), 0);
    ASSERT_EQ(RunCommandLine({u"-C", u"-I", u"W", u"a;;y"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"W"), u"a;y;x");
    ASSERT_EQ(RunCommandLine({u"-R", u"-C", u"W", u"X"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"W"), u"a;y");
    ASSERT_EQ(RunCommandLine({u"-A", u"-C", u"W", u";A;b"}, machine.platform(), help), 0);
    EXPECT_EQ(userValue(u"W"), u"a;y;b");
}
