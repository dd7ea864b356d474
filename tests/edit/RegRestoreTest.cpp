// Restoring a registry script into the trees: what is applied, what is
// refused or skipped, and that the whole restore is one undo step.

#include "edit/RegRestore.h"

#include "edit/UndoStack.h"
#include "model/ETree.h"
#include "model/PushInterface.h"
#include "model/RegFile.h"
#include "platform/Platform.h"
#include "platform/Utf.h"
#include "tests/model/ETreeTestSupport.h"
#include "tests/model/FakePlatform.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

using U = std::vector<std::u16string>;

TRegFileValue set(const std::u16string& name, uint32_t type, const std::u16string& text)
{
    TRegFileValue value{name, false, type, {}};
    platform::appendRegString(value.Data, text);
    return value;
}

class RegRestoreTest : public ::testing::Test, public IPushInterface {
protected:
    RegRestoreTest()
    {
        system.LoadFromRegistry(platform::RootKey::LocalMachine, kSystemKey);
        user.LoadFromRegistry(platform::RootKey::CurrentUser, u"Environment");
        system.AddVariable(u"Path", u"C:\\Windows", kDataTypeExpandString, false);
        user.AddVariable(u"Keep", u"k", kDataTypeString, false);
        user.AddVariable(u"Old", u"o", kDataTypeString, false);
        user.AddVariable(u"Same", u"s", kDataTypeString, false);
        user.AddVariable(u"USERNAME", u"me", kDataTypeString, true);
    }

    void Push(const std::u16string& = {}) override
    {
        ++pushes;
        stack.Push(system, user);
    }
    void Undo() override { stack.Undo(); }

    static constexpr char16_t kSystemKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    test::TFakePlatform machine;
    TUndoStack stack;
    TETree system{machine, this};
    TETree user{machine, this};
    int pushes = 0;
};

TEST_F(RegRestoreTest, AppliesTheTwoKeysAsOneStepAndSaysWhatItLeft)
{
    TRegFileContent content;
    content.Keys.push_back({u"HKEY_CURRENT_USER\\Environment",
                            false,
                            3,
                            {set(u"New", platform::regtype::kExpandSz, u"%Keep%;\u20ac\r\n\u65e5"),
                             {u"Old", true, 0, {}},
                             set(u"Same", platform::regtype::kSz, u"s"),
                             set(u"USERNAME", platform::regtype::kSz, u"other"),
                             {u"Bin", false, platform::regtype::kBinary, {1}},
                             set(u"Nul", platform::regtype::kSz, std::u16string(u"a\0b", 3))}});
    content.Keys.push_back(
        {u"HKLM\\" + std::u16string(kSystemKey), false, 9, {set(u"Path", platform::regtype::kSz, u"C:\\only")}});
    content.Keys.push_back({u"HKEY_CURRENT_USER\\Software\\Other", false, 12, {set(u"X", 1, u"x")}});
    content.Keys.push_back({u"HKEY_CURRENT_USER\\Environment", true, 14, {}});

    const TRestoreReport report = RestoreIntoTrees(content, user, system);
    EXPECT_EQ(report.Changed, 3u);
    EXPECT_EQ(report.Unchanged, 1u);
    EXPECT_EQ(report.Skipped, 2u); // the other key's value and the key removal
    EXPECT_EQ(report.Refused.size(), 3u); // read-only, binary, inner null
    EXPECT_EQ(pushes, 1);
    EXPECT_EQ(test::Names(user), (U{u"Keep", u"New", u"Same", u"USERNAME"}));
    EXPECT_EQ(user.GetVariableValue(user.FindVariable(u"New")), u"%Keep%;\u20ac\r\n\u65e5");
    EXPECT_EQ(user.GetVariableType(user.FindVariable(u"New")), kDataTypeExpandString);
    EXPECT_EQ(user.GetVariableValue(user.FindVariable(u"USERNAME")), u"me");
    EXPECT_EQ(system.GetVariableValue(system.FindVariable(u"Path")), u"C:\\only");
    EXPECT_EQ(system.GetVariableType(system.FindVariable(u"Path")), kDataTypeString);

    stack.Undo();
    EXPECT_EQ(test::Names(user), (U{u"Keep", u"Old", u"Same", u"USERNAME"}));
    EXPECT_EQ(system.GetVariableValue(system.FindVariable(u"Path")), u"C:\\Windows");

    // Nothing to change: no step at all; a locked scope refuses its values.
    system.SetEditable(false);
    const TRestoreReport again = RestoreIntoTrees(
        {false,
         {{u"HKEY_CURRENT_USER\\Environment", false, 1, {set(u"Same", 1, u"s")}},
          {u"HKEY_LOCAL_MACHINE\\" + std::u16string(kSystemKey), false, 2, {set(u"Path", 1, u"x")}}}},
        user, system);
    EXPECT_EQ(again.Unchanged, 1u);
    EXPECT_EQ(again.Refused.size(), 1u);
    EXPECT_EQ(pushes, 1);
}

} // namespace
} // namespace talvoren
