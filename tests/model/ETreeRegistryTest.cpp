// Loading and saving a scope. The round trips run on the throwaway machine
// (the emulated one here, the real registry under Wine) in the real
// environment keys of that machine; failures half way through a save need
// a registry that fails on request, and run on the in-memory one.

#include "base/EnvStore.h"
#include "base/Error.h"
#include "model/ETree.h"
#include "settings/Exclusions.h"
#include "tests/model/ETreeTestSupport.h"
#include "tests/model/FakePlatform.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

namespace talvoren {
namespace {

using namespace platform;
using test::Elements;
using test::Names;
using U = std::vector<std::u16string>;

// Every value of a scope with its type code and text (non-strings by size).
std::map<std::u16string, std::pair<uint32_t, std::u16string>> ScopeValues(IPlatform& machine, const Scope& scope)
{
    std::map<std::u16string, std::pair<uint32_t, std::u16string>> values;
    auto store = OpenScopeForReading(machine, scope);
    for (const auto& name : store->GetValueNames()) {
        const uint32_t type = store->GetDataType(name);
        const bool text = type == regtype::kSz || type == regtype::kExpandSz;
        values[name] = {type, text ? store->ReadString(name) : u""};
    }
    return values;
}

void Seed(IPlatform& machine, const Scope& scope, const std::u16string& name, uint32_t type, std::vector<uint8_t> data)
{
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(machine.registry().openKey(scope.root, scope.key, access::kAllAccess, false, key), 0u);
    ASSERT_EQ(key->setValue(name, RegValue{type, std::move(data)}), 0u);
}

class ETreeRegistryTest : public ::testing::Test {
protected:
    ETreeRegistryTest()
    {
        // A known user scope: clear what the machine was seeded with.
        auto store = OpenScopeForWriting(machine.platform(), scope);
        for (const auto& name : store->GetValueNames()) {
            store->DeleteValue(name);
        }
    }

    test::TestMachine machine;
    Scope scope = CurrentUserScope();
};

TEST_F(ETreeRegistryTest, LoadShowsOnlyStringsAndSaveLeavesOtherTypes)
{
    Seed(machine.platform(), scope, u"Bin", regtype::kBinary, {1, 2, 3});
    Seed(machine.platform(), scope, u"Num", regtype::kDword, {7, 0, 0, 0});
    Seed(machine.platform(), scope, u"Multi", regtype::kMultiSz, EncodeRegString(u"a"));
    Seed(machine.platform(), scope, u"Y", regtype::kSz, EncodeRegString(u"y1;y2"));
    Seed(machine.platform(), scope, u"X", regtype::kExpandSz, EncodeRegString(u"%Y%"));

    TETree tree(machine.platform());
    tree.LoadFromRegistry(scope);
    EXPECT_EQ(Names(tree), (U{u"X", u"Y"}));
    EXPECT_EQ(Elements(tree, u"Y"), (U{u"y1", u"y2"}));
    EXPECT_EQ(tree.GetVariableType(tree.FindVariable(u"X")), kDataTypeExpandString);
    EXPECT_EQ(tree.GetFocusedNode(), nullptr);

    tree.SetVariableType(tree.FindVariable(u"X"), kDataTypeString);
    tree.SetVariableName(tree.FindVariable(u"Y"), u"Z"); // renamed: Y must go
    tree.AddVariable(u"New", u"", kDataTypeExpandString, false);
    tree.AddVariable(u"RO", u"never saved", kDataTypeString, true);
    tree.SaveToRegistry();

    const auto values = ScopeValues(machine.platform(), scope);
    std::map<std::u16string, std::pair<uint32_t, std::u16string>> expected{
        {u"Bin", {regtype::kBinary, u""}}, {u"Num", {regtype::kDword, u""}}, {u"Multi", {regtype::kMultiSz, u""}},
        {u"X", {regtype::kSz, u"%Y%"}},    {u"Z", {regtype::kSz, u"y1;y2"}}, {u"New", {regtype::kExpandSz, u""}}};
    EXPECT_EQ(values, expected);
    auto store = OpenScopeForReading(machine.platform(), scope);
    EXPECT_EQ(store->ReadInteger(u"Num"), 7);
}

TEST_F(ETreeRegistryTest, ANewSpellingOfANameIsSavedAsSpelled)
{
    Seed(machine.platform(), scope, u"Path", regtype::kExpandSz, EncodeRegString(u"a"));
    TETree tree(machine.platform());
    tree.LoadFromRegistry(scope);
    tree.SetVariableName(tree.FindVariable(u"Path"), u"PATH");
    tree.SaveToRegistry();
    const auto values = ScopeValues(machine.platform(), scope);
    ASSERT_EQ(values.size(), 1u);
    EXPECT_EQ(values.begin()->first, u"PATH");
    EXPECT_EQ(values.begin()->second.second, u"a");
}

RegValue Raw(IPlatform& machine, const Scope& scope, const std::u16string& name)
{
    RegValue value;
    std::unique_ptr<IRegistryKey> key;
    if (machine.registry().openKey(scope.root, scope.key, access::kQueryValue, false, key) == 0) {
        key->queryValue(name, value);
    }
    return value;
}

// Another program on the same machine: a platform of its own (on the
// emulated machine its own hive connections, as another process has).
bool Eventually(const std::function<bool()>& condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST_F(ETreeRegistryTest, SaveTouchesOnlyWhatTheTreeChanged)
{
    // A string the tree cannot hold exactly: an embedded null, no terminator
    // and an odd byte count.
    const std::vector<uint8_t> odd{'a', 0, 'b', 0, 0, 0, 'c', 0, 'd'};
    Seed(machine.platform(), scope, u"Odd", regtype::kSz, odd);
    Seed(machine.platform(), scope, u"Edited", regtype::kSz, EncodeRegString(u"e"));
    Seed(machine.platform(), scope, u"Gone", regtype::kSz, EncodeRegString(u"g"));
    Seed(machine.platform(), scope, u"Changed", regtype::kExpandSz, EncodeRegString(u"c0"));
    TETree tree(machine.platform());
    tree.LoadFromRegistry(scope);
    EXPECT_EQ(Elements(tree, u"Odd"), U{u"ab"});

    auto other = createPlatform();
    Seed(*other, scope, u"NewOutside", regtype::kSz, EncodeRegString(u"n"));
    Seed(*other, scope, u"Changed", regtype::kExpandSz, EncodeRegString(u"c1"));
    tree.SetVariableValue(tree.FindVariable(u"Edited"), u"e2");
    tree.DeleteNode(tree.FindVariable(u"Gone"));
    int asked = 0;
    EXPECT_TRUE(tree.SaveToRegistry([&](const TETree::TSaveConflict&) {
        ++asked;
        return TETree::TSaveAnswer::Overwrite;
    }));
    EXPECT_EQ(asked, 0) << "nothing the tree changed was changed outside";

    EXPECT_EQ(Raw(machine.platform(), scope, u"Odd").data, odd);
    const auto values = ScopeValues(machine.platform(), scope);
    std::map<std::u16string, std::pair<uint32_t, std::u16string>> expected{{u"Odd", {regtype::kSz, u"ab"}},
                                                                           {u"Edited", {regtype::kSz, u"e2"}},
                                                                           {u"Changed", {regtype::kExpandSz, u"c1"}},
                                                                           {u"NewOutside", {regtype::kSz, u"n"}}};
    EXPECT_EQ(values, expected);
}

TEST_F(ETreeRegistryTest, AChangeOutsideIsSeenAndAskedAboutBeforeItIsOverwritten)
{
    Seed(machine.platform(), scope, u"A", regtype::kSz, EncodeRegString(u"a"));
    Seed(machine.platform(), scope, u"B", regtype::kSz, EncodeRegString(u"b"));
    Seed(machine.platform(), scope, u"C", regtype::kSz, EncodeRegString(u"c"));
    TETree tree(machine.platform());
    tree.LoadFromRegistry(scope);
    EXPECT_FALSE(tree.PollRegistryChange());
    tree.SetVariableValue(tree.FindVariable(u"A"), u"mine");
    tree.DeleteNode(tree.FindVariable(u"B"));
    tree.SetVariableValue(tree.FindVariable(u"C"), u"c2");

    auto other = createPlatform();
    Seed(*other, scope, u"A", regtype::kSz, EncodeRegString(u"theirs"));
    Seed(*other, scope, u"B", regtype::kSz, EncodeRegString(u"b2"));
    EXPECT_TRUE(Eventually([&] { return tree.PollRegistryChange(); })) << "within a second";
    EXPECT_FALSE(tree.PollRegistryChange()) << "one change is told once";

    // Cancel at the first question: nothing is written, C neither.
    std::vector<std::pair<std::u16string, bool>> asked;
    EXPECT_FALSE(tree.SaveToRegistry([&](const TETree::TSaveConflict& c) {
        asked.emplace_back(c.name, c.deleting);
        return TETree::TSaveAnswer::Cancel;
    }));
    EXPECT_EQ(asked.size(), 1u);
    auto values = ScopeValues(machine.platform(), scope);
    EXPECT_EQ(values[u"A"].second, u"theirs");
    EXPECT_EQ(values[u"B"].second, u"b2");
    EXPECT_EQ(values[u"C"].second, u"c");

    // Keep the other program's A, delete B all the same. Each question
    // carries the value stored now and the one the save would write.
    std::vector<TETree::TSaveConflict> conflicts;
    EXPECT_TRUE(tree.SaveToRegistry([&](const TETree::TSaveConflict& c) {
        conflicts.push_back(c);
        return c.name == u"A" ? TETree::TSaveAnswer::Keep : TETree::TSaveAnswer::Overwrite;
    }));
    ASSERT_EQ(conflicts.size(), 2u);
    EXPECT_EQ(conflicts[0].name, u"A");
    EXPECT_FALSE(conflicts[0].deleting);
    EXPECT_TRUE(conflicts[0].storedExists && conflicts[0].storedIsText);
    EXPECT_EQ(conflicts[0].stored, u"theirs");
    EXPECT_EQ(conflicts[0].toWrite, u"mine");
    EXPECT_EQ(conflicts[1].name, u"B");
    EXPECT_TRUE(conflicts[1].deleting);
    EXPECT_EQ(conflicts[1].stored, u"b2");
    EXPECT_TRUE(tree.LastSaveMetOutsideChange());
    values = ScopeValues(machine.platform(), scope);
    EXPECT_EQ(values[u"A"].second, u"theirs");
    EXPECT_EQ(values.count(u"B"), 0u);
    EXPECT_EQ(values[u"C"].second, u"c2");
}

TEST_F(ETreeRegistryTest, AChangeBetweenTheQuestionsAndTheWritesStopsTheSaveOfThatScope)
{
    Seed(machine.platform(), scope, u"A", regtype::kSz, EncodeRegString(u"a"));
    Seed(machine.platform(), scope, u"B", regtype::kSz, EncodeRegString(u"b"));
    TETree tree(machine.platform());
    tree.LoadFromRegistry(scope);
    tree.SetVariableValue(tree.FindVariable(u"A"), u"mine");
    tree.SetVariableValue(tree.FindVariable(u"B"), u"mine too");

    auto plan = tree.PrepareSave();
    ASSERT_NE(plan, nullptr);
    // A command-line change lands while the window is between its questions
    // and its writes.
    auto other = createPlatform();
    Seed(*other, scope, u"B", regtype::kSz, EncodeRegString(u"theirs"));
    EXPECT_THROW(tree.ExecuteSave(*plan), TError);
    auto values = ScopeValues(machine.platform(), scope);
    EXPECT_EQ(values[u"A"].second, u"a") << "nothing of the scope is written";
    EXPECT_EQ(values[u"B"].second, u"theirs");

    // The next save asks about B and writes A.
    int asked = 0;
    EXPECT_TRUE(tree.SaveToRegistry([&](const TETree::TSaveConflict& c) {
        asked += c.name == u"B";
        return TETree::TSaveAnswer::Keep;
    }));
    EXPECT_EQ(asked, 1);
    values = ScopeValues(machine.platform(), scope);
    EXPECT_EQ(values[u"A"].second, u"mine");
    EXPECT_EQ(values[u"B"].second, u"theirs");
}

TEST(ETreeSave, WritesAreOneUpdateStepAndARefusedStepWritesNothing)
{
    test::TFakePlatform machine;
    const Scope scope = CurrentUserScope();
    machine.SetValue(scope.root, scope.key, u"A", regtype::kSz, u"a");
    TETree tree(machine);
    tree.LoadFromRegistry(scope);
    tree.SetVariableValue(tree.FindVariable(u"A"), u"a2");

    machine.FailUpdates(true);
    EXPECT_THROW(tree.SaveToRegistry(), TError);
    EXPECT_EQ(machine.UpdatesCommitted(), 0u);
    machine.FailUpdates(false);
    EXPECT_TRUE(tree.SaveToRegistry());
    EXPECT_EQ(machine.UpdatesCommitted(), 1u);
    TETree reread(machine);
    reread.LoadFromRegistry(scope);
    EXPECT_EQ(Elements(reread, u"A"), U{u"a2"});
}

TEST(ETreeSave, AWriteFailingHalfWayLosesNoVariable)
{
    test::TFakePlatform machine;
    const Scope scope = CurrentUserScope();
    machine.SetValue(scope.root, scope.key, u"A", regtype::kSz, u"a");
    machine.SetValue(scope.root, scope.key, u"M", regtype::kSz, u"m");
    machine.SetValue(scope.root, scope.key, u"Z", regtype::kExpandSz, u"z");
    TETree tree(machine);
    tree.LoadFromRegistry(scope);
    tree.SetVariableValue(tree.FindVariable(u"A"), u"a2");
    tree.SetVariableValue(tree.FindVariable(u"M"), u"m2");
    tree.DeleteNode(tree.FindVariable(u"Z"));
    machine.FailWritesOf(u"M");

    EXPECT_THROW(tree.SaveToRegistry(), TError);
    // A was written, M failed, and nothing was deleted: Z is still there.
    EXPECT_EQ(machine.ValueNames(scope.root, scope.key), (U{u"A", u"M", u"Z"}));
    EXPECT_EQ(machine.DeleteCount(), 0u);
    RegValue value;
    ASSERT_TRUE(machine.GetValue(scope.root, scope.key, u"A", value));
    EXPECT_EQ(DecodeRegString(value.data), u"a2");
}

TEST(ETreeSave, ACaseRenameThatCannotBeWrittenPutsTheOldValueBack)
{
    test::TFakePlatform machine;
    const Scope scope = CurrentUserScope();
    machine.SetValue(scope.root, scope.key, u"Path", regtype::kExpandSz, u"old");
    TETree tree(machine);
    tree.LoadFromRegistry(scope);
    tree.SetVariableName(tree.FindVariable(u"Path"), u"PATH");
    tree.SetVariableValue(tree.FindVariable(u"PATH"), u"new");
    machine.FailWritesOf(u"PATH"); // the new spelling fails, the old one can be written back
    EXPECT_THROW(tree.SaveToRegistry(), TError);
    RegValue value;
    ASSERT_EQ(machine.ValueNames(scope.root, scope.key), U{u"Path"});
    ASSERT_TRUE(machine.GetValue(scope.root, scope.key, u"Path", value));
    EXPECT_EQ(value.type, regtype::kExpandSz);
    EXPECT_EQ(DecodeRegString(value.data), u"old");
}

TEST(ETreeSave, AScopeThatCannotBeOpenedIsLeftAlone)
{
    test::TFakePlatform machine;
    const Scope scope = SystemScope();
    machine.SetValue(scope.root, scope.key, u"A", regtype::kSz, u"a");
    TETree tree(machine);
    tree.LoadFromRegistry(scope);
    tree.DeleteNode(tree.FindVariable(u"A"));
    machine.FailOpenForWrite(true);
    try {
        tree.SaveToRegistry();
        FAIL() << "no error";
    } catch (const TError& e) {
        EXPECT_EQ(e.message(),
                  u"Cannot write to the registry key 'HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\"
                  u"Control\\Session Manager\\Environment': access is denied");
    }
    EXPECT_EQ(machine.ValueNames(scope.root, scope.key), U{u"A"});
}

TEST(ETreeLoad, AMissingKeyGivesAnEmptyTree)
{
    test::TFakePlatform machine;
    TETree tree(machine);
    tree.AddVariable(u"Old", u"", kDataTypeString, false);
    tree.LoadFromRegistry(RootKey::Users, u"\\S-1-5-21-9\\Environment");
    EXPECT_EQ(tree.VariableCount(), 0u);
    EXPECT_TRUE(tree.IsUserTree());
    EXPECT_EQ(tree.GetKey(), u"\\S-1-5-21-9\\Environment");
}

} // namespace
} // namespace talvoren
