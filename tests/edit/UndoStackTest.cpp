#include "edit/UndoStack.h"

#include "model/ETree.h"
#include "model/PushInterface.h"
#include "tests/model/ETreeTestSupport.h"
#include "tests/model/FakePlatform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

using test::Elements;
using test::Names;
using U = std::vector<std::u16string>;

// What the main window does with the stack: it implements the trees' push
// interface and answers whether the trees are modified.
class TWindowStandIn : public IPushInterface {
public:
    TWindowStandIn()
    {
        system.LoadFromRegistry(SystemScope());
        user.LoadFromRegistry(CurrentUserScope());
        system.AddVariable(u"S1", u"a;b", kDataTypeString, false);
        system.AddVariable(u"S2", u"c", kDataTypeString, false);
        user.AddVariable(u"U1", u"x;y;z", kDataTypeExpandString, false);
        user.AddVariable(u"U2", u"w", kDataTypeString, false);
    }

    void Push(const std::u16string& description = {}) override { stack.Push(system, user, description); }
    void Undo() override { stack.Undo(); }
    void RedoCommand()
    {
        stack.Redo();
        stack.Redo();
    }
    bool IsModified() const { return stack.IsModified(); }

    // One edit as an edit operation makes it: push, then change.
    void Edit(TETree& tree, const std::u16string& name, const std::u16string& value)
    {
        Push();
        tree.SetVariableValue(tree.FindVariable(name), value);
        tree.ActivateNode(tree.FindVariable(name));
    }

    test::TFakePlatform machine;
    TUndoStack stack;
    TETree system{machine, this};
    TETree user{machine, this};
};

TEST(UndoStack, UndoAndRedoExchangeBothTreesWithFocus)
{
    TWindowStandIn w;
    EXPECT_FALSE(w.stack.IsUndoable());
    EXPECT_FALSE(w.stack.IsRedoable());
    EXPECT_FALSE(w.IsModified());

    w.system.ActivateNode(w.system.FindVariable(u"S2")->Child(0)); // position 4
    w.user.ActivateNode(w.user.FindVariable(u"U1")->Child(1)); // position 2
    w.Edit(w.user, u"U2", u"new;er");
    EXPECT_EQ(w.stack.GetPos(), 2);
    EXPECT_TRUE(w.IsModified());

    w.stack.Undo();
    EXPECT_EQ(Elements(w.user, u"U2"), U{u"w"});
    EXPECT_EQ(w.user.GetFocusedNode(), w.user.FindVariable(u"U1")->Child(1));
    // The system tree was reloaded too, unchanged, its focus where it was.
    EXPECT_EQ(Names(w.system), (U{u"S1", u"S2"}));
    EXPECT_EQ(w.system.GetFocusedNode(), w.system.FindVariable(u"S2")->Child(0));
    EXPECT_EQ(w.user.GetSelectedNodes(), std::vector<TENode*>{w.user.GetFocusedNode()});
    EXPECT_FALSE(w.IsModified());
    EXPECT_TRUE(w.stack.IsRedoable());

    w.RedoCommand();
    EXPECT_EQ(Elements(w.user, u"U2"), (U{u"new", u"er"}));
    // Redo focuses where the focus was just after the edit.
    EXPECT_EQ(w.user.GetFocusedNode(), w.user.FindVariable(u"U2"));
    EXPECT_TRUE(w.IsModified());
    EXPECT_FALSE(w.stack.IsRedoable());
}

TEST(UndoStack, ANewEditDiscardsTheRedoSide)
{
    TWindowStandIn w;
    w.Edit(w.user, u"U2", u"1");
    w.Edit(w.system, u"S2", u"2");
    w.stack.Undo();
    w.stack.Undo();
    EXPECT_EQ(Elements(w.system, u"S2"), U{u"c"});
    w.Edit(w.user, u"U1", u"3");
    EXPECT_FALSE(w.stack.IsRedoable());
    EXPECT_EQ(w.stack.Count(), 2u);
    w.stack.Undo();
    EXPECT_EQ(Elements(w.user, u"U1"), (U{u"x", u"y", u"z"}));
    EXPECT_EQ(Elements(w.user, u"U2"), U{u"w"});
    EXPECT_FALSE(w.stack.IsUndoable());
    w.stack.Undo(); // nothing left: nothing happens
    EXPECT_EQ(w.stack.GetPos(), 0);
}

TEST(UndoStack, SavedStateDecidesModified)
{
    TWindowStandIn w;
    w.Edit(w.user, u"U2", u"1");
    w.stack.MarkSaved();
    EXPECT_FALSE(w.IsModified());
    w.stack.Undo();
    EXPECT_TRUE(w.IsModified()); // the trees now differ from what was saved
    w.RedoCommand();
    EXPECT_FALSE(w.IsModified());

    // Undo below the save, then a new edit: the saved state can no longer be
    // reached, so the same position count must not read as unmodified.
    w.stack.Undo();
    w.Edit(w.user, u"U2", u"other");
    EXPECT_EQ(w.stack.GetPos(), 2);
    EXPECT_EQ(w.stack.GetSavedPos(), -1);
    EXPECT_TRUE(w.IsModified());
    w.stack.Undo();
    EXPECT_TRUE(w.IsModified());

    w.stack.Clear(); // a reload
    EXPECT_FALSE(w.IsModified());
    EXPECT_FALSE(w.stack.IsUndoable());
    EXPECT_FALSE(w.stack.IsRedoable());
}

TEST(UndoStack, ACancelledAddIsUndoneThroughThePushInterface)
{
    TWindowStandIn w;
    w.user.GetPushInterface()->Push();
    w.user.AddVariable(u"Added", u"", kDataTypeString, false);
    w.user.undo();
    EXPECT_FALSE(w.user.IsExist(u"Added"));
    w.RedoCommand();
    EXPECT_EQ(Elements(w.user, u"Added"), U{u""});
    EXPECT_EQ(w.user.GetFocusedNode(), w.user.FindVariable(u"Added"));
}

} // namespace
} // namespace talvoren
