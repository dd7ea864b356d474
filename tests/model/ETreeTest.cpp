#include "model/ETree.h"

#include "base/Error.h"
#include "settings/Exclusions.h"
#include "tests/model/ETreeTestSupport.h"
#include "tests/model/FakePlatform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

using test::Elements;
using test::Names;
using test::TRecorder;
using U = std::vector<std::u16string>;

class ETreeTest : public ::testing::Test {
protected:
    ETreeTest() { tree.SetExclusions(&exclusions); }

    test::TFakePlatform machine;
    TExclusions exclusions;
    TETree tree{machine};
};

TEST_F(ETreeTest, VariablesStayInFoldedNameOrder)
{
    tree.AddVariable(u"a_b", u"", kDataTypeString, false);
    tree.AddVariable(u"AB", u"", kDataTypeString, false);
    tree.AddVariable(u"A", u"", kDataTypeString, false);
    tree.AddVariable(u"path", u"1", kDataTypeString, false);
    tree.AddVariable(u"Path", u"2", kDataTypeString, false);
    // The underscore sorts above the letters; a prefix first; equal names
    // keep the order in which they came.
    EXPECT_EQ(Names(tree), (U{u"A", u"AB", u"a_b", u"path", u"Path"}));
    for (size_t i = 0; i < tree.VariableCount(); ++i) {
        EXPECT_EQ(tree.Variable(i)->Row(), i);
    }
    // Rename re-sorts and keeps the look-up index right.
    tree.SetVariableName(tree.FindVariable(u"A"), u"Z");
    EXPECT_EQ(Names(tree), (U{u"AB", u"a_b", u"path", u"Path", u"Z"}));
    EXPECT_FALSE(tree.IsExist(u"a"));
    EXPECT_EQ(tree.FindVariable(u"z")->Row(), 4u);
    // Of two equal names the first in tree order is found.
    EXPECT_EQ(tree.GetValueByName(u"PATH"), u"1");
}

TEST_F(ETreeTest, AddVariableSplitsFocusesAndReads)
{
    exclusions.Add(u"NOSPLIT", false, true);
    TENode* path = tree.AddVariable(u"Path", u"C:\\a;;\"x;y\";", kDataTypeExpandString, false);
    EXPECT_EQ(Elements(tree, u"PATH"), (U{u"C:\\a", u"", u"\"x;y\"", u""}));
    EXPECT_EQ(tree.GetVariableValue(path->Child(2)), u"C:\\a;;\"x;y\";");
    EXPECT_EQ(tree.GetFocusedNode(), path);
    EXPECT_EQ(tree.GetSelectedNodes(), std::vector<TENode*>{path});

    TENode* whole = tree.AddVariable(u"nosplit", u"a;b", kDataTypeString, false);
    EXPECT_EQ(Elements(tree, u"nosplit"), U{u"a;b"});
    TENode* empty = tree.AddVariable(u"E", u"", kDataTypeString, true);
    EXPECT_EQ(Elements(tree, u"E"), U{u""});
    EXPECT_EQ(tree.GetSelectedNodes(), std::vector<TENode*>{empty});

    EXPECT_EQ(tree.GetNodeAsText(path), u"Path=C:\\a;;\"x;y\";");
    EXPECT_EQ(tree.GetNodeAsText(path->Child(0)), u"C:\\a");
    tree.SetStartEditing(true);
    EXPECT_EQ(tree.GetNodeAsText(path), u"Path");
    tree.SetStartEditing(false);
    EXPECT_EQ(tree.GetImage(path->Child(0)), kImageExpandable);
    EXPECT_EQ(tree.GetImage(whole), kImageString);
    EXPECT_EQ(tree.GetImage(empty), kImageReadOnly);
    EXPECT_FALSE(tree.IsWritable(empty->Child(0)));
    EXPECT_TRUE(tree.IsWritable(whole));
    tree.SetEditable(false);
    EXPECT_FALSE(tree.IsWritable(whole));
}

TEST_F(ETreeTest, LookupsUseTheLocaleAndCompletionTheAsciiFold)
{
    tree.AddVariable(u"\u00E9t\u00E9", u"x", kDataTypeString, false);
    tree.AddVariable(u"TEMP", u"t", kDataTypeString, false);
    tree.AddVariable(u"TMP", u"t", kDataTypeString, false);
    EXPECT_TRUE(tree.IsExist(u"\u00C9T\u00C9")); // the locale folds beyond ASCII
    EXPECT_EQ(tree.GetValueByName(u"nothere"), u"");
    EXPECT_EQ(tree.GetVariablesStartedWith(u"%t"), (U{u"%TEMP%", u"%TMP%"}));
    EXPECT_EQ(tree.GetVariablesStartedWith(u"%\u00C9").size(), 0u);
    EXPECT_EQ(tree.GetVariablesStartedWith(u"").size(), 3u);
    EXPECT_TRUE(tree.MatchesIncrementalSearch(tree.FindVariable(u"temp"), u"te"));
    EXPECT_FALSE(tree.MatchesIncrementalSearch(tree.FindVariable(u"temp"), u"tm"));
}

TEST_F(ETreeTest, NextNodeWalksBothLevelsInOrder)
{
    tree.AddVariable(u"A", u"1;2", kDataTypeString, false);
    tree.AddVariable(u"B", u"3", kDataTypeString, false);
    std::vector<std::u16string> walk;
    for (TENode* n = tree.GetFirstNode(); n; n = tree.GetNextNode(n)) {
        walk.push_back(tree.GetNodeAsText(n));
    }
    EXPECT_EQ(walk, (U{u"A=1;2", u"1", u"2", u"B=3", u"3"}));

    tree.ActivateNode(tree.FindVariable(u"B")->Child(0));
    EXPECT_EQ(tree.GetFocusPosition(), 4u);
    tree.ActivateNodeAtPosition(2);
    EXPECT_EQ(tree.GetNodeAsText(tree.GetFocusedNode()), u"2");
    tree.ActivateNodeAtPosition(3);
    EXPECT_EQ(tree.GetFocusedNode(), tree.FindVariable(u"B"));
}

TEST_F(ETreeTest, ReadOnlyVariablesComeFromTheProcessAndHide)
{
    machine.SetEnvironment(u"SystemRoot", u"C:\\Windows");
    machine.SetEnvironment(u"COMPUTERNAME", u"BOX");
    machine.SetEnvironment(u"USERPROFILE", u"C:\\Users\\me");
    tree.LoadFromRegistry(SystemScope());
    tree.AddVariable(u"ZZ", u"z", kDataTypeString, false);
    tree.AddReadOnlyVariables();
    // Only set names, and only the system list; even a name the scope holds.
    EXPECT_EQ(Names(tree), (U{u"COMPUTERNAME", u"SystemRoot", u"ZZ"}));
    EXPECT_TRUE(tree.GetVariableReadOnly(tree.FindVariable(u"systemroot")));

    TETree user(machine);
    user.LoadFromRegistry(CurrentUserScope());
    user.AddReadOnlyVariables();
    EXPECT_EQ(Names(user), U{u"USERPROFILE"});

    tree.ActivateNode(tree.FindVariable(u"SystemRoot")->Child(0));
    TRecorder recorder(tree);
    tree.ShowReadOnly(false);
    EXPECT_TRUE(tree.FindVariable(u"COMPUTERNAME")->IsHidden());
    EXPECT_FALSE(tree.FindVariable(u"ZZ")->IsHidden());
    // The focus was inside a hidden variable: it goes to the first visible.
    EXPECT_EQ(tree.GetFocusedNode(), tree.FindVariable(u"ZZ"));
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"hidden COMPUTERNAME", "hidden SystemRoot", "focus ZZ", "selection"}));
    recorder.log.clear();
    tree.ShowReadOnly(false);
    EXPECT_TRUE(recorder.log.empty());
    tree.AddVariable(u"SystemDrive", u"C:", kDataTypeString, true);
    EXPECT_TRUE(tree.FindVariable(u"SystemDrive")->IsHidden());
    EXPECT_EQ(tree.GetFirstVisible(), tree.FindVariable(u"ZZ"));
}

TEST_F(ETreeTest, ExclusionChangesResplitKeepingExpandedState)
{
    exclusions.Add(u"LIST", false, true);
    TENode* list = tree.AddVariable(u"List", u"a;b", kDataTypeString, false);
    tree.AddVariable(u"Other", u"c;d", kDataTypeString, false);
    EXPECT_EQ(Elements(tree, u"List"), U{u"a;b"});
    tree.SetExpanded(list, true);
    tree.ActivateNode(list->Child(0));

    TRecorder recorder(tree);
    exclusions.Remove(u"list");
    EXPECT_EQ(Elements(tree, u"List"), (U{u"a", u"b"}));
    EXPECT_TRUE(list->IsExpanded());
    EXPECT_EQ(tree.GetFocusedNode(), list); // its focused element is gone
    // Only the variable that changed is touched; the view re-expands it.
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"before remove 0..0 in List", "remove 0..0 in List",
                                        "before insert 0..1 in List", "insert 0..1 in List", "changed List",
                                        "focus none", "selection", "focus List", "selection", "expanded List"}));
    recorder.log.clear();
    exclusions.Add(u"unrelated", false, false);
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(ETreeTest, EditsNotifyLikeAnItemModel)
{
    TENode* a = tree.AddVariable(u"A", u"1;2;3", kDataTypeString, false);
    tree.AddVariable(u"M", u"", kDataTypeString, false);
    TENode* z = tree.AddVariable(u"Z", u"", kDataTypeString, false);
    TRecorder recorder(tree);

    tree.SetVariableName(z, u"B"); // from row 2 in front of row 1
    tree.SetVariableName(tree.FindVariable(u"A"), u"N"); // row 0 to the end: Qt counts before the move
    tree.MoveElement(a->Child(0), a, 2);
    tree.DeleteNode(a->Child(1));
    EXPECT_EQ(Elements(tree, u"N"), (U{u"2", u"1"}));
    EXPECT_EQ(recorder.log,
              (std::vector<std::string>{"move top:2 to top:1", "changed B", "move top:0 to top:3", "changed N",
                                        "move N:0 to N:3", "changed N", "before remove 1..1 in N", "remove 1..1 in N",
                                        "changed N"}));
    recorder.log.clear();
    tree.SetVariableValue(a, u"2;1"); // same elements: nothing happens
    tree.SetVariableType(a, kDataTypeString);
    EXPECT_TRUE(recorder.log.empty());

    TENode* added = tree.AddVariable(u"C", u"", kDataTypeString, false);
    EXPECT_EQ(added->Row(), 1u);
    EXPECT_EQ(recorder.log.front(), "before insert 1..1 in top");
    tree.DeleteNode(added);
    EXPECT_EQ(tree.GetFocusedNode(), nullptr);
    EXPECT_TRUE(tree.GetSelectedNodes().empty());
}

TEST_F(ETreeTest, ASelectionHoldsOneGroupOfTheFocusedNode)
{
    TENode* a = tree.AddVariable(u"A", u"a1;a2;a3", kDataTypeString, false);
    TENode* b = tree.AddVariable(u"B", u"b1", kDataTypeString, false);
    TENode* hidden = tree.AddVariable(u"COMPUTERNAME", u"HOST", kDataTypeString, true);
    tree.ShowReadOnly(false);
    using N = std::vector<TENode*>;

    // Elements of the focused variable only, in tree order, hidden and
    // repeated nodes dropped.
    tree.SetFocusedNode(a->Child(2));
    tree.SetSelection({a->Child(2), b, a->Child(0), b->Child(0), hidden, a->Child(0)});
    EXPECT_EQ(tree.GetSelectedNodes(), (N{a->Child(0), a->Child(2)}));
    // Variables with a variable focused.
    tree.SetFocusedNode(b);
    tree.SetSelection({a->Child(1), a, b, hidden});
    EXPECT_EQ(tree.GetSelectedNodes(), (N{a, b}));
    // Adding one of another group starts over with it; a hidden one is refused.
    tree.SetSelected(a->Child(1), true);
    EXPECT_EQ(tree.GetSelectedNodes(), (N{a->Child(1)}));
    tree.SetSelected(hidden, true);
    EXPECT_EQ(tree.GetSelectedNodes(), (N{a->Child(1)}));
    // A deleted node leaves the selection.
    tree.SetFocusedNode(nullptr);
    tree.SetSelected(a->Child(2), true);
    tree.DeleteNode(a->Child(1));
    EXPECT_EQ(tree.GetSelectedNodes(), (N{a->Child(1)}));
    EXPECT_EQ(tree.GetElement(a->Child(1)), u"a3");
}

TEST_F(ETreeTest, NodeStreamRestoresContentAndRefusesDamage)
{
    TENode* p = tree.AddVariable(u"P", u"x;y", kDataTypeExpandString, false);
    tree.AddVariable(u"R", u"r", kDataTypeString, true);
    tree.SetExpanded(p, true);
    const auto stream = tree.SaveToStream();

    TETree other(machine);
    other.LoadFromStream(stream);
    EXPECT_EQ(Names(other), (U{u"P", u"R"}));
    EXPECT_EQ(Elements(other, u"P"), (U{u"x", u"y"}));
    EXPECT_EQ(other.GetVariableType(other.FindVariable(u"P")), kDataTypeExpandString);
    EXPECT_TRUE(other.GetVariableReadOnly(other.FindVariable(u"R")));
    EXPECT_TRUE(other.FindVariable(u"P")->IsExpanded());
    EXPECT_EQ(other.SaveToStream(), stream);

    for (size_t cut : {size_t{0}, size_t{5}, stream.size() - 1}) {
        std::vector<uint8_t> truncated(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(cut));
        EXPECT_THROW(other.LoadFromStream(truncated), TError) << cut;
    }
    auto forged = stream;
    forged[8] = 0xFF; // a variable count far beyond the data
    EXPECT_THROW(other.LoadFromStream(forged), TError);
    EXPECT_EQ(Names(other), (U{u"P", u"R"}));

    // A dragged variable cannot land where an element is expected.
    const auto node = tree.WriteNode(p);
    EXPECT_THROW(other.InsertFromStream(node, other.FindVariable(u"R"), 0), TError);
    EXPECT_EQ(Elements(other, u"R"), U{u"r"});
    TENode* element = other.InsertFromStream(tree.WriteNode(p->Child(1)), other.FindVariable(u"R"), 0);
    EXPECT_EQ(Elements(other, u"R"), (U{u"y", u"r"}));
    EXPECT_EQ(element->Row(), 0u);
}

} // namespace
} // namespace talvoren
