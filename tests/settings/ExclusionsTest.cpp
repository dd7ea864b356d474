#include "settings/Exclusions.h"

#include "base/Error.h"
#include "tests/support/TestSupport.h"

#include <cstring>
#include <gtest/gtest.h>

namespace talvoren {
namespace {

TEST(ExclusionsHash, MatchesPublishedLookup3Values)
{
    // The values printed by lookup3.c's own self-test (driver5).
    const char* text = "Four score and seven years ago";
    EXPECT_EQ(hashlittle(text, std::strlen(text), 0), 0x17770551u);
    EXPECT_EQ(hashlittle(text, std::strlen(text), 1), 0xcd628161u);
    EXPECT_EQ(hashlittle("", 0, 0), 0xdeadbeefu);
    EXPECT_EQ(hashlittle("", 0, 0xdeadbeef), 0xbd5b7ddeu);
}

TEST(ExclusionsHash, EqualNamesHashAlikeOnlyAsciiFolded)
{
    EXPECT_TRUE(TExclusionsComparer::Equals(u"Path", u"PATH"));
    EXPECT_EQ(TExclusionsComparer::GetHashCode(u"Path"), TExclusionsComparer::GetHashCode(u"pATH"));
    EXPECT_TRUE(TExclusionsComparer::Equals(u"", u""));
    EXPECT_FALSE(TExclusionsComparer::Equals(u"", u"A"));
    EXPECT_FALSE(TExclusionsComparer::Equals(u"\u00C4", u"\u00E4"));
    // Hash of the upper-cased UTF-16LE bytes: "AB" is 41 00 42 00.
    const unsigned char bytes[] = {0x41, 0, 0x42, 0};
    EXPECT_EQ(TExclusionsComparer::GetHashCode(u"ab"), hashlittle(bytes, sizeof bytes, 0));
}

TEST(Exclusions, LookupDefaultsAndDuplicates)
{
    TExclusions list;
    EXPECT_TRUE(list.isSplit(u"PATH"));
    EXPECT_TRUE(list.isCheck(u"PATH"));
    EXPECT_FALSE(list.ContainsKey(u"PATH"));

    list.Add(u"PATH", false, true);
    int calls = 0;
    list.AddOnChange([&] { ++calls; });
    EXPECT_THROW(list.Add(u"path", true, false), TError);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(list.Count(), 1u);
    EXPECT_TRUE(list.ContainsKey(u"Path"));
    EXPECT_FALSE(list.isSplit(u"pAtH"));
    EXPECT_TRUE(list.isCheck(u"path"));

    list.Add(u"\u00C4", true, false);
    EXPECT_FALSE(list.ContainsKey(u"\u00E4"));
}

TEST(Exclusions, IndexOrderFollowsFoldedNames)
{
    TExclusions list;
    list.Add(u"b", true, true);
    list.Add(u"A", false, true);
    list.Add(u"a_x", true, false);
    ASSERT_EQ(list.Count(), 3u);
    EXPECT_EQ(list.GetKey(0), u"A");
    EXPECT_EQ(list.GetKey(1), u"a_x");
    EXPECT_EQ(list.GetKey(2), u"b");
    EXPECT_FALSE(list.GetValue(0).isSplit());
    EXPECT_FALSE(list.GetValue(1).isCheck());
    EXPECT_THROW(list.GetKey(3), TError);
    list.Remove(u"A");
    EXPECT_EQ(list.GetKey(0), u"a_x");
}

TEST(Exclusions, HandlersRunAfterEachChangeInOrder)
{
    TExclusions list;
    std::vector<std::string> log;
    list.AddOnChange([&] { log.push_back("first:" + std::to_string(list.Count())); });
    list.AddOnChange([&] { log.push_back("second"); });

    list.Add(u"X", true, true);
    list.Remove(u"nothere");
    EXPECT_EQ(log, (std::vector<std::string>{"first:1", "second"}));

    list.Add(u"Y", true, true);
    list.Add(u"Z", true, true);
    log.clear();
    list.Clear();
    // Once per removed entry, after the list is already empty.
    EXPECT_EQ(log, (std::vector<std::string>{"first:0", "second", "first:0", "second", "first:0", "second"}));

    TExclusions copy;
    int copies = 0;
    copy.AddOnChange([&] { ++copies; });
    list.Add(u"P", false, false);
    list.Add(u"Q", true, false);
    copy.AddAll(list);
    EXPECT_EQ(copies, 2);
    EXPECT_FALSE(copy.isSplit(u"p"));
    EXPECT_FALSE(copy.isCheck(u"q"));
}

TEST(Exclusions, HandlerOfAGoneOwnerIsSkipped)
{
    TExclusions list;
    int calls = 0;
    {
        auto owner = std::make_shared<int>(0);
        list.AddOnChange([&] { ++calls; }, owner);
        list.Add(u"A", true, true);
    }
    list.Add(u"B", true, true);
    EXPECT_EQ(calls, 1);
}

} // namespace
} // namespace talvoren
