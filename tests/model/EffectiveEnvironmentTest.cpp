#include "model/EffectiveEnvironment.h"

#include "base/Text.h"
#include "model/ETree.h"
#include "tests/model/FakePlatform.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace talvoren {
namespace {

// The two trees of one account, with the logon's own variables as the
// window holds them: read-only variables of each tree.
class EffectiveEnvironmentTest : public ::testing::Test {
protected:
    EffectiveEnvironmentTest()
    {
        system.LoadFromRegistry(SystemScope());
        user.LoadFromRegistry(CurrentUserScope());
        user.SetResolvingTree(&system);
        system.AddVariable(u"SystemRoot", u"C:\\Windows", kDataTypeString, true);
        user.AddVariable(u"USERPROFILE", u"C:\\Users\\me", kDataTypeString, true);
        user.AddVariable(u"USERNAME", u"me", kDataTypeString, true);
    }

    void Add(TETree& tree, const std::u16string& name, const std::u16string& value,
             uint8_t type = kDataTypeExpandString)
    {
        tree.AddVariable(name, value, type, false);
    }

    std::u16string Value(const TEffectiveEnvironment& environment, const std::u16string& name)
    {
        const TEffectiveVariable* variable = environment.Find(name);
        return variable ? variable->value : u"<absent>";
    }

    test::TFakePlatform machine;
    TETree system{machine};
    TETree user{machine};
};

TEST_F(EffectiveEnvironmentTest, EachStepSeesOnlyWhatEarlierStepsDefined)
{
    Add(system, u"SysLiteral", u"%SystemRoot%\\x", kDataTypeString);
    Add(system, u"SysExpand", u"%SystemRoot%\\x");
    Add(system, u"SysProfile", u"%USERPROFILE%\\x"); // per-user comes later: stays literal
    Add(system, u"SysToUser", u"%OnlyUser%");
    Add(user, u"OnlyUser", u"u", kDataTypeString);
    Add(user, u"UserProfile2", u"%USERPROFILE%\\y");
    Add(user, u"UserToSystem", u"%SysExpand%\\z");
    Add(system, u"Shared", u"from system", kDataTypeString);
    Add(user, u"shared", u"from user", kDataTypeString);
    Add(system, u"Path", u"C:\\Sys;%SystemRoot%\\System32");
    Add(user, u"PATH", u"%USERPROFILE%\\bin", kDataTypeString); // REG_SZ: not expanded
    Add(system, u"LibPath", u"C:\\L1;", kDataTypeString);
    Add(user, u"LibPath", u"C:\\L2", kDataTypeString);
    Add(user, u"USERNAME", u"overridden", kDataTypeString); // the account step comes last

    const TEffectiveEnvironment environment(system, user);
    EXPECT_EQ(Value(environment, u"SysLiteral"), u"%SystemRoot%\\x");
    EXPECT_EQ(Value(environment, u"sysexpand"), u"C:\\Windows\\x");
    EXPECT_EQ(Value(environment, u"SysProfile"), u"%USERPROFILE%\\x");
    EXPECT_EQ(Value(environment, u"SysToUser"), u"%OnlyUser%");
    EXPECT_EQ(Value(environment, u"UserProfile2"), u"C:\\Users\\me\\y");
    EXPECT_EQ(Value(environment, u"UserToSystem"), u"C:\\Windows\\x\\z");
    EXPECT_EQ(Value(environment, u"Shared"), u"from user");
    EXPECT_EQ(environment.Find(u"Shared")->origin, TEnvOrigin::User);
    EXPECT_EQ(environment.Find(u"Shared")->systemNode, nullptr);
    EXPECT_EQ(Value(environment, u"Path"), u"C:\\Sys;C:\\Windows\\System32;%USERPROFILE%\\bin");
    EXPECT_EQ(environment.Find(u"Path")->origin, TEnvOrigin::SystemAndUser);
    EXPECT_EQ(Value(environment, u"LibPath"), u"C:\\L1;C:\\L2");
    EXPECT_EQ(Value(environment, u"USERNAME"), u"me");
    EXPECT_EQ(environment.Find(u"SystemRoot")->origin, TEnvOrigin::Machine);

    // Listed as "set" lists them, one NAME=value line each.
    std::vector<std::u16string> names;
    for (const auto& variable : environment.Variables()) {
        names.push_back(variable.name);
    }
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end(),
                               [](const auto& a, const auto& b) { return compareAsciiNoCase(a, b) < 0; }));
    EXPECT_NE(environment.ToText().find(u"\nSysExpand=C:\\Windows\\x\n"), std::u16string::npos);

    // The folders in search order, each with its scope.
    const auto& path = environment.PathElements();
    ASSERT_EQ(path.size(), 3u);
    EXPECT_EQ(path[1].folder, u"C:\\Windows\\System32");
    EXPECT_FALSE(path[1].fromUser);
    EXPECT_EQ(path[2].folder, u"%USERPROFILE%\\bin");
    EXPECT_TRUE(path[2].fromUser);
    EXPECT_EQ(path[2].node, user.FindVariable(u"PATH")->Child(0));
}

TEST_F(EffectiveEnvironmentTest, ReferencesWithinOneStepAreReported)
{
    Add(system, u"A", u"%B%\\a");
    Add(system, u"B", u"C:\\b");
    Add(system, u"C", u"%Literal%");
    Add(system, u"Literal", u"C:\\lit", kDataTypeString);
    Add(user, u"Path", u"%Path%;C:\\self"); // its own earlier value: not another value of the step
    const TEffectiveEnvironment environment(system, user);
    ASSERT_EQ(environment.SameStepReferences().size(), 1u);
    EXPECT_EQ(environment.SameStepReferences()[0].variable, system.FindVariable(u"A"));
    EXPECT_EQ(environment.SameStepReferences()[0].referenced, u"B");
    EXPECT_EQ(Value(environment, u"C"), u"C:\\lit");
    EXPECT_EQ(Value(environment, u"Path"), u"%Path%;C:\\self"); // no system Path to refer to
}

TEST_F(EffectiveEnvironmentTest, ProgramsAreFoundFolderByFolderThenByExtension)
{
    machine.AddFolder(u"C:\\A");
    machine.AddFolder(u"C:\\B");
    machine.AddFile(u"C:\\A\\tool.exe");
    machine.AddFile(u"C:\\B\\tool.cmd");
    machine.AddFile(u"C:\\B\\tool.exe");
    machine.AddFolder(u"C:\\B\\dir.exe");
    Add(system, u"Path", u"C:\\A\\;;C:\\Missing");
    Add(system, u"PATHEXT", u".COM;.EXE;.CMD", kDataTypeString);
    Add(user, u"Path", u"C:\\B");
    const TEffectiveEnvironment environment(system, user);
    auto files = [&](const std::u16string& command) {
        std::vector<std::u16string> list;
        for (const auto& hit : FindPrograms(environment, command, machine.fileSystem())) {
            list.push_back(hit.file);
        }
        return list;
    };
    EXPECT_EQ(files(u"tool"),
              (std::vector<std::u16string>{u"C:\\A\\tool.exe", u"C:\\B\\tool.exe", u"C:\\B\\tool.cmd"}));
    EXPECT_EQ(files(u"TOOL.CMD"), (std::vector<std::u16string>{u"C:\\B\\tool.cmd"}));
    EXPECT_TRUE(files(u"dir").empty());
    EXPECT_TRUE(files(u"none").empty());
    EXPECT_TRUE(files(u"..\\tool").empty());
    const auto hits = FindPrograms(environment, u"tool", machine.fileSystem());
    ASSERT_FALSE(hits.empty());
    EXPECT_FALSE(hits[0].folder->fromUser);
    EXPECT_TRUE(hits[1].folder->fromUser);
}

} // namespace
} // namespace talvoren
