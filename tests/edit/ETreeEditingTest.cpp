// The undoable edit operations of the environment tree, with the window's
// part played by a stand-in: it pushes both trees, answers undo, and opens
// and commits the in-place editor when the tree asks.

#include "edit/ETreeEditing.h"

#include "edit/ETreeDrop.h"
#include "edit/InPlaceCommit.h"
#include "edit/UndoStack.h"
#include "edit/VariableClipboard.h"
#include "model/ETree.h"
#include "model/PushInterface.h"
#include "settings/Exclusions.h"
#include "tests/model/ETreeTestSupport.h"
#include "tests/model/FakePlatform.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

using test::Elements;
using test::Names;
using U = std::vector<std::u16string>;

class ETreeEditingTest : public ::testing::Test, public IPushInterface, public IETreeObserver {
protected:
    ETreeEditingTest()
    {
        for (TETree* tree : {&system, &user}) {
            tree->SetExclusions(&exclusions);
        }
        user.SetResolvingTree(&system);
        system.AddVariable(u"ProgramFiles", u"C:\\Program Files", kDataTypeString, false);
        user.AddVariable(u"A", u"C:\\x", kDataTypeString, false);
        user.AddVariable(u"M", u"one;two;three", kDataTypeExpandString, false);
        user.AddVariable(u"Z", u"z", kDataTypeString, false);
        user.AddObserver(this);
    }
    ~ETreeEditingTest() override { user.RemoveObserver(this); }

    void Push(const std::u16string& description = {}) override
    {
        ++pushes;
        stack.Push(system, user, description);
    }
    void Undo() override { stack.Undo(); }
    void FinishEditing() override { ++finishes; }
    void EditNode(TENode* node) override { edited = node; }

    TENode* Var(const std::u16string& name) { return user.FindVariable(name); }
    TENode* Elem(const std::u16string& name, size_t row) { return Var(name)->Child(row); }
    const std::u16string& Focused() { return user.GetElement(user.GetFocusedNode()); }
    // The focused node is the only selected one.
    void ExpectActive(const TENode* node)
    {
        EXPECT_EQ(user.GetFocusedNode(), node);
        EXPECT_EQ(user.GetSelectedNodes(), std::vector<TENode*>{const_cast<TENode*>(node)});
    }

    test::TFakePlatform machine;
    TExclusions exclusions;
    TUndoStack stack;
    TETree system{machine, this};
    TETree user{machine, this};
    TETreeEditing edits{user};
    int pushes = 0;
    int finishes = 0;
    TENode* edited = nullptr;
};

TEST_F(ETreeEditingTest, AddValuePlacesAnEmptyElementAndOpensTheEditor)
{
    user.ActivateNode(Var(u"M"));
    edits.UndoableAddEmptyElement();
    EXPECT_EQ(Elements(user, u"M"), (U{u"", u"one", u"two", u"three"})) << "first child of a variable";
    EXPECT_EQ(edited, Elem(u"M", 0));
    ExpectActive(Elem(u"M", 0));
    EXPECT_FALSE(user.IsOnEdited()) << "committing this edit must not push again";
    EXPECT_EQ(finishes, 1);

    user.SetOnEdited(true);
    user.ActivateNode(Elem(u"M", 2));
    edits.UndoableAddEmptyElement();
    EXPECT_EQ(Elements(user, u"M"), (U{u"", u"one", u"two", u"", u"three"})) << "right after an element";
    EXPECT_EQ(edited, Elem(u"M", 3));
    EXPECT_EQ(pushes, 2);

    // Plain text goes in whole, without splitting.
    user.ActivateNode(Elem(u"M", 4));
    edits.UndoableAddElement(u"a;b");
    EXPECT_EQ(Elements(user, u"M"), (U{u"", u"one", u"two", u"", u"three", u"a;b"}));
    ExpectActive(Elem(u"M", 5));

    // Each add is one undo step.
    stack.Undo();
    stack.Undo();
    EXPECT_EQ(Elements(user, u"M"), (U{u"", u"one", u"two", u"three"}));
}

TEST_F(ETreeEditingTest, AddValueOnAVariableHeldWholeOnlyOnceItIsEmpty)
{
    exclusions.Add(u"M", false, true);
    user.ActivateNode(Var(u"M"));
    EXPECT_FALSE(edits.CanAddEmptyElement());
    EXPECT_FALSE(edits.CanAddElement());
    EXPECT_FALSE(edits.CanCleanupPaths());
    user.ActivateNode(Elem(u"M", 0));
    edits.DeleteSelectedNodes();
    ExpectActive(Var(u"M"));
    EXPECT_TRUE(edits.CanAddEmptyElement());
    EXPECT_FALSE(edits.CanAddElement());
}

TEST_F(ETreeEditingTest, AddVariableOpensItsEmptyElementAndOneUndoRemovesIt)
{
    edits.UndoableAddEmptyVariable(u"New", kDataTypeExpandString, false);
    EXPECT_EQ(Names(user), (U{u"A", u"M", u"New", u"Z"}));
    EXPECT_EQ(Elements(user, u"New"), U{u""});
    EXPECT_EQ(user.GetVariableType(Var(u"New")), kDataTypeExpandString);
    ExpectActive(Elem(u"New", 0));
    EXPECT_EQ(edited, Elem(u"New", 0));
    EXPECT_FALSE(user.IsOnEdited());
    EXPECT_EQ(finishes, 0) << "the command finished the edit before its dialog";

    // Esc in the editor undoes the add through the push interface.
    user.undo();
    EXPECT_EQ(Names(user), (U{u"A", u"M", u"Z"}));
}

TEST_F(ETreeEditingTest, PastedVariablesAddOrReplaceKeepingTheType)
{
    edits.UndoableAddVariable(u"B", u"p;q", kDataTypeString, false);
    EXPECT_EQ(Elements(user, u"B"), (U{u"p", u"q"}));
    ExpectActive(Var(u"B"));

    edits.UndoableReplaceVariable(u"m", u"r;s");
    EXPECT_EQ(Elements(user, u"M"), (U{u"r", u"s"}));
    EXPECT_EQ(user.GetVariableType(Var(u"M")), kDataTypeExpandString);
    ExpectActive(Var(u"M"));
    EXPECT_EQ(pushes, 2);
}

TEST_F(ETreeEditingTest, AddingToAnEmptyValueGivesTheValueAlone)
{
    // A new variable whose editor closed without a value, then "Add value".
    edits.UndoableAddEmptyVariable(u"TvA", kDataTypeString, false);
    user.SetOnEdited(true);
    edits.UndoableAddEmptyElement();
    EXPECT_EQ(Elements(user, u"TvA"), U{u""}) << "no second empty element in front";
    EXPECT_EQ(edited, Elem(u"TvA", 0));
    EXPECT_EQ(CommitEditedText(user, Elem(u"TvA", 0), u"C:\\TvA"), u"");
    EXPECT_EQ(user.GetVariableValue(Var(u"TvA")), u"C:\\TvA");
    stack.Undo();
    EXPECT_EQ(Elements(user, u"TvA"), U{u""}) << "the add is one step";

    // Pasted elements take the empty element's place too.
    user.SetOnEdited(true);
    user.ActivateNode(Elem(u"TvA", 0));
    edits.UndoableAddElements({u"p", u"q"});
    EXPECT_EQ(user.GetVariableValue(Var(u"TvA")), u"p;q");
    // A value with elements keeps them all, empty ones included.
    user.ActivateNode(Elem(u"TvA", 0));
    user.SetElementText(Elem(u"TvA", 0), u"");
    edits.UndoableAddElement(u"r");
    EXPECT_EQ(Elements(user, u"TvA"), (U{u"", u"r", u"q"}));
}

TEST_F(ETreeEditingTest, PastedTextIsTrimmedOneElementPerLineOrAVariable)
{
    const auto never = [](const std::u16string&) {
        ADD_FAILURE() << "asked";
        return false;
    };
    user.ActivateNode(Elem(u"M", 0));
    const int before = pushes;
    EXPECT_EQ(edits.PasteText(u"  C:\\a\u3000\r\n\r\n\tC:\\b;c \n", never), u"");
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"C:\\a", u"C:\\b;c", u"two", u"three"}));
    EXPECT_EQ(Focused(), u"C:\\b;c");
    EXPECT_EQ(pushes, before + 1) << "one step for all lines";
    EXPECT_EQ(edits.PasteText(u" \r\n ", never), u"");
    EXPECT_EQ(pushes, before + 1) << "nothing to paste, nothing recorded";

    // Refused as a whole, with the reason.
    const std::u16string nul(u"nul\0after", 9);
    EXPECT_NE(edits.PasteText(nul, never), u"");
    EXPECT_NE(edits.PasteText(std::u16string(kMaxValueTextLength + 1, u'x'), never), u"");
    EXPECT_EQ(edits.PasteText(u" " + std::u16string(kMaxValueTextLength, u'x') + u"\n", never), u"");
    EXPECT_EQ(pushes, before + 2);

    // At a variable's level NAME=value makes the variable; a path with '='
    // and an element's level stay elements.
    user.ActivateNode(Var(u"M"));
    EXPECT_TRUE(edits.CanPasteText(true));
    EXPECT_EQ(edits.PasteText(u"LONG=%A%\\bin;x\r\n", never), u"");
    EXPECT_EQ(Elements(user, u"LONG"), (U{u"%A%\\bin", u"x"}));
    EXPECT_EQ(user.GetVariableType(Var(u"LONG")), kDataTypeExpandString) << "it refers to a variable";
    user.ActivateNode(Var(u"M"));
    edits.PasteText(u"C:\\x=1", never);
    EXPECT_EQ(Elements(user, u"M").front(), u"C:\\x=1");
    user.ActivateNode(Elem(u"A", 0));
    edits.PasteText(u"K=v", never);
    EXPECT_EQ(Elements(user, u"A"), (U{u"C:\\x", u"K=v"}));
    const TPastedText plain = ReadPastedText(u"K=v", true);
    ASSERT_TRUE(plain.variable);
    EXPECT_EQ(plain.variable->dataType, kDataTypeString);
    EXPECT_FALSE(ReadPastedText(u"K=v\nL=w", true).variable) << "two lines are two elements";
    EXPECT_FALSE(ReadPastedText(u" K =v", true).variable) << "a name with a blank inside is no copied name";

    // An existing name asks first.
    user.ActivateNode(Var(u"A"));
    std::vector<std::u16string> asked;
    edits.PasteText(u"z=new", [&](const std::u16string& name) {
        asked.push_back(name);
        return true;
    });
    EXPECT_EQ(asked, U{u"z"});
    EXPECT_EQ(Elements(user, u"Z"), U{u"new"});
}

TEST_F(ETreeEditingTest, PasteNeverReplacesAReadOnlyVariableNorTakesABadName)
{
    user.AddVariable(u"USERNAME", u"me", kDataTypeString, true);
    user.ActivateNode(Var(u"A"));
    const auto never = [](const std::u16string&) {
        ADD_FAILURE() << "asked";
        return true;
    };
    const int before = pushes;
    EXPECT_EQ(edits.PasteVariable({u"username", u"SYSTEM", kDataTypeString}, never),
              u"Variable 'USERNAME' is read-only and can't be replaced");
    EXPECT_EQ(edits.PasteText(u"USERNAME=SYSTEM", never), u"Variable 'USERNAME' is read-only and can't be replaced");
    EXPECT_EQ(edits.PasteVariable({u"A=B", u"x", kDataTypeString}, never), u"Variable name can't contain '='");
    EXPECT_EQ(Elements(user, u"USERNAME"), U{u"me"});
    EXPECT_FALSE(Var(u"A=B"));
    EXPECT_EQ(pushes, before);
}

TEST_F(ETreeEditingTest, RenamesFollowTheNameRuleAndItsTrimming)
{
    for (const std::u16string& bad : {std::u16string(u"A=B"), std::u16string(u" \u3000 "), std::u16string(u"a\tb")}) {
        EXPECT_NE(CommitEditedText(user, Var(u"A"), bad), u"") << "refused";
        EXPECT_EQ(Names(user), (U{u"A", u"M", u"Z"}));
    }
    EXPECT_EQ(CommitEditedText(user, Var(u"A"), u"  Z\u3000"), u"Variable 'Z' already exists");
    EXPECT_EQ(CommitEditedText(user, Var(u"A"), u"\u00A0B "), u"");
    EXPECT_EQ(Names(user), (U{u"B", u"M", u"Z"}));
    // An element text that no value can hold is refused as well.
    EXPECT_NE(CommitEditedText(user, Elem(u"M", 0), std::u16string(u"x\0y", 3)), u"");
    EXPECT_EQ(user.GetElement(Elem(u"M", 0)), u"one");
}

TEST_F(ETreeEditingTest, ChangeTypeTogglesAndRecordsEachStep)
{
    user.ActivateNode(Elem(u"M", 1));
    edits.UndoableChangeType();
    EXPECT_EQ(user.GetVariableType(Var(u"M")), kDataTypeString);
    edits.UndoableChangeType();
    EXPECT_EQ(user.GetVariableType(Var(u"M")), kDataTypeExpandString);
    stack.Undo();
    EXPECT_EQ(user.GetVariableType(Var(u"M")), kDataTypeString);
    EXPECT_EQ(stack.Count(), 4u);
}

TEST_F(ETreeEditingTest, CleanupDropsDuplicatesAndEmptiesButLeavesOneElement)
{
    user.AddVariable(u"P", u"C:\\A;c:\\a;;D:\\", kDataTypeString, false);
    EXPECT_TRUE(edits.CanCleanupPaths());
    edits.UndoableCleanupPaths();
    EXPECT_EQ(Elements(user, u"P"), (U{u"C:\\A", u"D:\\"}));

    user.AddVariable(u"E", u";;", kDataTypeString, false);
    edits.UndoableCleanupPaths();
    EXPECT_EQ(Elements(user, u"E"), U{u""});
    user.ActivateNode(Elem(u"E", 0));
    EXPECT_FALSE(edits.CanCleanupPaths()) << "an element is not a variable";
}

TEST_F(ETreeEditingTest, MovesKeepTheMovedElementActiveAndStopAtTheEnds)
{
    user.ActivateNode(Elem(u"M", 0));
    EXPECT_FALSE(edits.CanMoveUp());
    EXPECT_TRUE(edits.CanMoveDown());
    TENode* one = Elem(u"M", 0);
    edits.UndoableMoveDown();
    EXPECT_EQ(Elements(user, u"M"), (U{u"two", u"one", u"three"}));
    ExpectActive(one);
    edits.UndoableMoveDown();
    EXPECT_EQ(Elements(user, u"M"), (U{u"two", u"three", u"one"}));
    EXPECT_FALSE(edits.CanMoveDown());
    edits.UndoableMoveUp();
    EXPECT_EQ(Elements(user, u"M"), (U{u"two", u"one", u"three"}));
    ExpectActive(one);
    EXPECT_EQ(finishes, 3);
    user.ActivateNode(Var(u"M"));
    EXPECT_FALSE(edits.CanMoveUp());
    EXPECT_FALSE(edits.CanMoveDown());
}

TEST_F(ETreeEditingTest, PathConversionsWorkOnEveryElementAndLeaveTheRest)
{
    machine.AddFolder(u"C:\\Program Files\\Common Files");
    machine.SetShortName(u"C:\\Program Files", u"PROGRA~1");
    machine.SetShortName(u"C:\\Program Files\\Common Files", u"COMMON~1");
    user.AddVariable(u"L", u"C:\\Program Files;C:\\Program Files\\Common Files;C:\\Gone;%A%", kDataTypeString, false);
    user.ActivateNode(Var(u"L"));
    edits.UndoableLong2Short();
    EXPECT_EQ(Elements(user, u"L"), (U{u"C:\\PROGRA~1", u"C:\\PROGRA~1\\COMMON~1", u"C:\\Gone", u"%A%"}));

    // Back through the stored names; what is not found stays as it is.
    user.SetElementText(Elem(u"L", 2), u"c:\\program files\\gone\\bin");
    edits.UndoableShort2Long();
    EXPECT_EQ(Elements(user, u"L"),
              (U{u"C:\\Program Files", u"C:\\Program Files\\Common Files", u"c:\\Program Files\\gone\\bin", u"%A%"}));

    // One element alone.
    user.ActivateNode(Elem(u"L", 0));
    edits.UndoableLong2Short();
    EXPECT_EQ(Elements(user, u"L")[0], u"C:\\PROGRA~1");
    EXPECT_EQ(Elements(user, u"L")[1], u"C:\\Program Files\\Common Files");
}

TEST_F(ETreeEditingTest, InlineExpandsThroughBothTreesAndKeepsTheType)
{
    user.AddVariable(u"X", u"%A%\\bin;%ProgramFiles%\\App;%NOBODY%;%A%;lit;eral", kDataTypeExpandString, false);
    user.AddVariable(u"LOOP", u"%LOOP%x", kDataTypeExpandString, false);
    user.ActivateNode(Var(u"X"));
    edits.UndoableInline();
    EXPECT_EQ(Elements(user, u"X"),
              (U{u"C:\\x\\bin", u"C:\\Program Files\\App", u"%NOBODY%", u"C:\\x", u"lit", u"eral"}));
    EXPECT_EQ(user.GetVariableType(Var(u"X")), kDataTypeExpandString);

    // A failed expansion is refused: the element stays, nothing is pushed,
    // and the message says why (a loop, or a text too long without one).
    user.AddVariable(u"BIG", std::u16string(kMaxExpandedLength, u'b'), kDataTypeString, false);
    user.AddVariable(u"LONG", u"ok;%BIG%!", kDataTypeExpandString, false);
    const std::pair<TENode*, const char16_t*> refused[] = {
        {Elem(u"LOOP", 0), u"Infinite loop detected"},
        {Var(u"LONG"), u"Expanded value is longer than 32767 characters"},
    };
    for (const auto& [node, message] : refused) {
        user.ActivateNode(node);
        const std::u16string before = user.GetVariableValue(node);
        const int pushed = pushes;
        EXPECT_EQ(edits.UndoableInline(), message);
        EXPECT_EQ(user.GetVariableValue(node), before);
        EXPECT_EQ(pushes, pushed);
    }
    EXPECT_EQ(user.GetNodeErrors(Elem(u"LONG", 1)), U{u"Expanded value is longer than 32767 characters"});
    EXPECT_TRUE(user.GetNodeErrors(Elem(u"LOOP", 0)).empty()) << "a loop is shown in the text, not as an error";

    // A string variable shows its text as it is: nothing changes, but the
    // step is still one undo step.
    user.AddVariable(u"S", u"%A%", kDataTypeString, false);
    const size_t before = stack.Count();
    EXPECT_EQ(edits.UndoableInline(), u"");
    EXPECT_EQ(Elements(user, u"S"), U{u"%A%"});
    EXPECT_EQ(stack.Count(), before + 2);
}

TEST_F(ETreeEditingTest, AResultHoldingASeparatorStaysOneElement)
{
    user.ActivateNode(Elem(u"M", 1));
    edits.UndoableRewriteElements([](const TENode*) { return std::u16string(u"p;q"); });
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"p;q", u"three"}));
    edits.SetElement(u"C:\\Chosen\\Folder");
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"C:\\Chosen\\Folder", u"three"}));
    EXPECT_EQ(finishes, 1) << "an open edit is committed before the chosen path replaces it";
    stack.Undo();
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"p;q", u"three"}));
}

TEST_F(ETreeEditingTest, DeleteFocusesANeighbourOrTheVariable)
{
    // An element between two others: the next one.
    user.ActivateNode(Elem(u"M", 1));
    edits.DeleteSelectedNodes();
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"three"}));
    ExpectActive(Elem(u"M", 1));
    // The last element: the previous one.
    edits.DeleteSelectedNodes();
    ExpectActive(Elem(u"M", 0));
    // The only element: its variable.
    edits.DeleteSelectedNodes();
    EXPECT_EQ(Var(u"M")->ChildCount(), 0u);
    ExpectActive(Var(u"M"));

    // A variable between two others: the next one.
    edits.DeleteSelectedNodes();
    EXPECT_EQ(Names(user), (U{u"A", u"Z"}));
    ExpectActive(Var(u"Z"));
    edits.DeleteSelectedNodes();
    ExpectActive(Var(u"A"));
    edits.DeleteSelectedNodes();
    EXPECT_EQ(user.VariableCount(), 0u);
    EXPECT_EQ(user.GetFocusedNode(), nullptr);
    EXPECT_TRUE(user.GetSelectedNodes().empty());
    EXPECT_EQ(pushes, 6);

    for (int i = 0; i < 6; ++i) {
        stack.Undo();
    }
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"two", u"three"}));
}

TEST_F(ETreeEditingTest, DeleteSkipsHiddenVariables)
{
    user.AddVariable(u"N", u"n", kDataTypeString, true);
    user.ShowReadOnly(false);
    user.ActivateNode(Var(u"M"));
    edits.DeleteSelectedNodes();
    // The hidden read-only N is passed over.
    ExpectActive(Var(u"Z"));
    edits.DeleteSelectedNodes();
    ExpectActive(Var(u"A"));
}

TEST_F(ETreeEditingTest, SeveralSelectedNodesChangeTogetherInOneNamedStep)
{
    auto undoName = [&] {
        return stack.UndoDescription();
    };
    user.ActivateNode(Elem(u"M", 1));
    user.SetSelection({Elem(u"M", 0), Elem(u"M", 1)});
    // Not both up: the first has no place above it.
    EXPECT_FALSE(edits.CanMoveUp());
    edits.UndoableMoveDown();
    EXPECT_EQ(Elements(user, u"M"), (U{u"three", u"one", u"two"}));
    EXPECT_EQ(user.GetSelectedNodes(), (std::vector<TENode*>{Elem(u"M", 1), Elem(u"M", 2)}));
    EXPECT_EQ(user.GetElement(user.GetFocusedNode()), u"two");
    EXPECT_EQ(undoName(), u"Move 2 elements of 'M'");
    EXPECT_FALSE(edits.CanMoveDown());
    edits.UndoableMoveUp();
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"two", u"three"}));

    // Delete takes exactly the selection; the focus goes to the one after.
    user.AddVariable(u"P", u"x;;x", kDataTypeString, false);
    user.AddVariable(u"Q", u"y;y", kDataTypeString, false);
    user.ActivateNode(Var(u"P"));
    user.SetSelection({Var(u"P"), Var(u"Q")});
    edits.UndoableCleanupPaths();
    EXPECT_EQ(Elements(user, u"P"), U{u"x"});
    EXPECT_EQ(Elements(user, u"Q"), U{u"y"});
    EXPECT_EQ(undoName(), u"Clean up 2 variables");
    user.SetSelection({Var(u"A"), Var(u"P")});
    edits.DeleteSelectedNodes();
    EXPECT_EQ(Names(user), (U{u"M", u"Q", u"Z"}));
    ExpectActive(Var(u"Q"));
    EXPECT_EQ(undoName(), u"Delete 2 variables");

    // One read-only node in the selection: none of them is touched.
    user.AddVariable(u"R", u"r", kDataTypeString, true);
    user.ActivateNode(Var(u"Q"));
    user.SetSelection({Var(u"Q"), Var(u"R")});
    const int before = pushes;
    EXPECT_FALSE(edits.CanDeleteSelected());
    edits.CutSelectedNodes();
    EXPECT_EQ(pushes, before);
    EXPECT_TRUE(Var(u"Q") && Var(u"R"));

    // Each step is one Undo, and keeps its name through Redo.
    stack.Undo();
    EXPECT_EQ(Names(user), (U{u"A", u"M", u"P", u"Q", u"Z"}));
    EXPECT_EQ(stack.RedoDescription(), u"Delete 2 variables");
    EXPECT_EQ(undoName(), u"Clean up 2 variables");
    stack.Redo();
    stack.Redo();
    EXPECT_EQ(undoName(), u"Delete 2 variables");
    EXPECT_EQ(Names(user), (U{u"M", u"Q", u"R", u"Z"}));
}

TEST_F(ETreeEditingTest, SeveralPastedOrDroppedNodesArriveTogether)
{
    // Copy of several variables leaves NAME=value lines; they paste back as
    // variables, one step, a No leaving that one as it was.
    user.ActivateNode(Var(u"A"));
    std::vector<std::u16string> asked;
    auto no = [&](const std::u16string& name) {
        asked.push_back(name);
        return false;
    };
    const int before = pushes;
    EXPECT_EQ(edits.PasteText(u"NEW1=1\r\nZ=replaced\r\nNEW2=%A%;2", no), u"");
    EXPECT_EQ(pushes, before + 1);
    EXPECT_EQ(asked, U{u"Z"});
    EXPECT_EQ(Elements(user, u"Z"), U{u"z"});
    EXPECT_EQ(Elements(user, u"NEW2"), (U{u"%A%", u"2"}));
    EXPECT_EQ(user.GetVariableType(Var(u"NEW2")), kDataTypeExpandString);
    EXPECT_EQ(user.GetSelectedNodes(), (std::vector<TENode*>{Var(u"NEW1"), Var(u"NEW2")}));
    EXPECT_EQ(stack.UndoDescription(), u"Paste 2 variables");

    // Two elements dragged into the system tree land one after the other.
    system.AddVariable(u"Path", u"s1;s2", kDataTypeExpandString, false);
    TENode* path = system.FindVariable(u"Path");
    const std::vector<TENode*> dragged{Elem(u"M", 0), Elem(u"M", 2)};
    ASSERT_TRUE(CanDropAll(user, dragged, system, path->Child(0)));
    EXPECT_FALSE(CanDropAll(user, dragged, user, Elem(u"M", 2)));
    TENode* moved = DropNodes(user, dragged, system, path->Child(0), TDropPosition::Below, {});
    EXPECT_EQ(Elements(system, u"Path"), (U{u"s1", u"one", u"three", u"s2"}));
    EXPECT_EQ(Elements(user, u"M"), U{u"two"});
    EXPECT_EQ(moved, path->Child(1));
    EXPECT_EQ(system.GetSelectedNodes(), (std::vector<TENode*>{path->Child(1), path->Child(2)}));
    stack.Undo();
    EXPECT_EQ(Elements(user, u"M"), (U{u"one", u"two", u"three"}));
    EXPECT_EQ(Elements(system, u"Path"), (U{u"s1", u"s2"}));
}

TEST_F(ETreeEditingTest, ReadOnlyVariablesAndALockedTreeOfferNothing)
{
    user.AddVariable(u"R", u"r1;r2", kDataTypeString, true);
    user.ActivateNode(Elem(u"R", 1));
    EXPECT_FALSE(edits.CanChangeFocusedNode());
    EXPECT_FALSE(edits.CanAddEmptyElement());
    EXPECT_FALSE(edits.CanMoveUp());
    EXPECT_FALSE(edits.CanSetElement());

    user.ActivateNode(Elem(u"M", 1));
    EXPECT_TRUE(edits.CanChangeFocusedNode());
    EXPECT_TRUE(edits.CanSetElement());
    user.SetEditable(false);
    EXPECT_FALSE(edits.CanChangeFocusedNode());
    EXPECT_FALSE(edits.CanMoveUp());
    EXPECT_FALSE(edits.CanAddElement());

    user.SetEditable(true);
    user.SetFocusedNode(nullptr);
    EXPECT_FALSE(edits.CanChangeFocusedNode());
    EXPECT_FALSE(edits.CanAddEmptyElement());
}

TEST_F(ETreeEditingTest, RemoveMissingPathsTakesOnlyWhatNamesNothingAndWasListed)
{
    machine.AddFolder(u"C:\\Tools");
    machine.AddFile(u"C:\\Tools\\run.exe");
    system.AddVariable(u"SYSLIST", u"C:\\Tools;C:\\Gone3", kDataTypeString, false);
    user.AddVariable(u"ALLGONE", u"C:\\Gone4;C:\\Gone5", kDataTypeString, false);
    // An existing folder and file, two missing ones, a list through a
    // reference that is only half missing, an undefined reference, and a
    // text that is no local path.
    user.AddVariable(u"P",
                     u"C:\\Tools;C:\\Gone1;C:\\Tools\\run.exe;%SYSLIST%;%ALLGONE%;C:\\%NOSUCH%\\bin;C:\\Gone2\\x.exe;"
                     u"relative",
                     kDataTypeExpandString, false);
    user.Verify();
    user.ActivateNode(Elem(u"P", 3));
    const auto missing = edits.MissingPathElements();
    U texts;
    for (const auto& element : missing) {
        texts.push_back(element.text);
    }
    EXPECT_EQ(texts, (U{u"C:\\Gone1", u"%ALLGONE%", u"C:\\Gone2\\x.exe"}));

    // What was not listed stays, even when it is missing by now; a listed
    // element found since then stays too.
    user.InsertElement(Var(u"P"), 0, u"C:\\Gone6");
    machine.AddFolder(u"C:\\Gone1");
    user.Verify();
    const int before = pushes;
    EXPECT_EQ(edits.UndoableRemoveMissingPaths(missing), 0u); // rows moved: nothing matches what was shown
    EXPECT_EQ(pushes, before);
    const auto now = edits.MissingPathElements();
    EXPECT_EQ(edits.UndoableRemoveMissingPaths({now[1], now[2]}), 2u);
    EXPECT_EQ(pushes, before + 1);
    EXPECT_EQ(Elements(user, u"P"),
              (U{u"C:\\Gone6", u"C:\\Tools", u"C:\\Gone1", u"C:\\Tools\\run.exe", u"%SYSLIST%", u"C:\\%NOSUCH%\\bin",
                 u"relative"}));
    ExpectActive(Var(u"P"));
    stack.Undo();
    EXPECT_EQ(Elements(user, u"P").size(), 9u);

    // A read-only variable offers nothing.
    user.AddVariable(u"RO", u"C:\\Gone7", kDataTypeString, true);
    user.Verify();
    user.ActivateNode(Var(u"RO"));
    EXPECT_FALSE(edits.CanRemoveMissingPaths());
    EXPECT_TRUE(edits.MissingPathElements().empty());
}

} // namespace
} // namespace talvoren
