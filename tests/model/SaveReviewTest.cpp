// The review of a save against the throwaway machine's user scope: what it
// lists must be what the save then writes, and another program's change
// must be marked and answered there.

#include "model/SaveReview.h"

#include "base/EnvStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

using namespace platform;
using U = std::vector<std::u16string>;

void Put(IPlatform& machine, const std::u16string& name, const std::u16string& value)
{
    auto store = OpenScopeForWriting(machine, CurrentUserScope());
    store->WriteString(name, value);
}

TEST(SaveReview, ListsEachChangeAtElementLevelAndMarksOutsideChanges)
{
    test::TestMachine machine;
    IPlatform& p = machine.platform();
    {
        auto store = OpenScopeForWriting(p, CurrentUserScope());
        for (const auto& name : store->GetValueNames()) {
            store->DeleteValue(name);
        }
    }
    Put(p, u"P", u"a;b;c;d");
    Put(p, u"T", u"t");
    Put(p, u"D", u"gone");
    Put(p, u"O", u"o");
    Put(p, u"Same", u"s");
    TETree tree(p);
    tree.LoadFromRegistry(CurrentUserScope());
    tree.SetVariableValue(tree.FindVariable(u"P"), u"d;a;c;e");
    tree.SetVariableType(tree.FindVariable(u"T"), kDataTypeExpandString);
    tree.DeleteNode(tree.FindVariable(u"D"));
    tree.AddVariable(u"New", u"n", kDataTypeString, false);
    tree.AddVariable(u"RO", u"never", kDataTypeString, true);
    tree.SetVariableValue(tree.FindVariable(u"O"), u"mine");
    Put(p, u"O", u"theirs");
    Put(p, u"Same", u"changed outside, not edited");

    TSaveReview review = ReviewSave(tree);
    U names;
    for (const auto& e : review.entries) {
        names.push_back(e.name);
    }
    ASSERT_EQ(names, (U{u"New", u"O", u"P", u"T", u"D"}));
    const TReviewEntry& added = review.entries[0];
    const TReviewEntry& other = review.entries[1];
    const TReviewEntry& list = review.entries[2];
    const TReviewEntry& retyped = review.entries[3];
    const TReviewEntry& deleted = review.entries[4];
    EXPECT_EQ(added.kind, TReviewKind::Added);
    EXPECT_FALSE(added.conflict);
    EXPECT_TRUE(list.split && list.valueChanged && !list.retyped);
    EXPECT_EQ(list.elementsAdded, U{u"e"});
    EXPECT_EQ(list.elementsRemoved, U{u"b"});
    EXPECT_EQ(list.elementsMoved, U{u"d"});
    EXPECT_EQ(list.oldValue, u"a;b;c;d");
    EXPECT_EQ(list.newValue, u"d;a;c;e");
    EXPECT_TRUE(retyped.retyped && !retyped.valueChanged);
    EXPECT_EQ(retyped.oldType, kDataTypeString);
    EXPECT_EQ(retyped.newType, kDataTypeExpandString);
    EXPECT_EQ(deleted.kind, TReviewKind::Deleted);
    EXPECT_EQ(deleted.oldValue, u"gone");
    EXPECT_EQ(review.ConflictCount(), 1u);
    EXPECT_TRUE(other.conflict && other.storedExists);
    EXPECT_EQ(other.stored, u"theirs");
    EXPECT_EQ(other.oldValue, u"o");

    // The save's own conflict takes the review's answer, once one is given,
    // and only while the stored value is the one the review showed.
    auto answerOf = [&] {
        std::optional<TETree::TSaveAnswer> seen;
        tree.PrepareSave([&](const TETree::TSaveConflict& conflict) {
            seen = review.AnswerFor(conflict);
            return TETree::TSaveAnswer::Cancel;
        });
        return seen;
    };
    EXPECT_EQ(answerOf(), std::nullopt);
    review.entries[1].answer = TReviewAnswer::Keep;
    EXPECT_EQ(review.UnansweredCount(), 0u);
    EXPECT_EQ(answerOf(), TETree::TSaveAnswer::Keep);
    review.entries[1].answer = TReviewAnswer::Write;
    EXPECT_EQ(answerOf(), TETree::TSaveAnswer::Overwrite);
    Put(p, u"O", u"theirs again");
    EXPECT_EQ(answerOf(), std::nullopt);

    // What the review listed is all the save changes: after it, nothing is left.
    ASSERT_TRUE(tree.SaveToRegistry());
    EXPECT_TRUE(ReviewSave(tree).entries.empty());
    auto store = OpenScopeForReading(p, CurrentUserScope());
    EXPECT_EQ(store->ReadString(u"O"), u"mine");
    EXPECT_EQ(store->ReadString(u"Same"), u"changed outside, not edited");
    EXPECT_FALSE(store->ValueExists(u"D"));
    EXPECT_FALSE(store->ValueExists(u"RO"));
}

TEST(SaveReview, ElementDiffCountsRepeatsAndSurvivesLongLists)
{
    U added, removed, moved;
    DiffElements({u"x", u"y", u"x"}, {u"y", u"x", u"x"}, added, removed, moved);
    EXPECT_TRUE(added.empty());
    EXPECT_TRUE(removed.empty());
    EXPECT_EQ(moved.size(), 1u);

    added.clear(), removed.clear(), moved.clear();
    DiffElements({u"a", u"a"}, {u"a"}, added, removed, moved);
    EXPECT_EQ(removed, U{u"a"});
    EXPECT_TRUE(added.empty() && moved.empty());

    // Too long to search the order: still every element accounted for.
    U before, after;
    for (int i = 0; i < 3000; ++i) {
        before.push_back(u"e" + std::u16string(1, char16_t(u'0' + i % 10)) + std::u16string(i / 10 + 1, u'x'));
    }
    after.assign(before.rbegin(), before.rend());
    after.push_back(u"new");
    before.push_back(u"old");
    added.clear(), removed.clear(), moved.clear();
    DiffElements(before, after, added, removed, moved);
    EXPECT_EQ(added, U{u"new"});
    EXPECT_EQ(removed, U{u"old"});
    EXPECT_EQ(moved.size(), 3000u);
}

} // namespace
} // namespace talvoren
