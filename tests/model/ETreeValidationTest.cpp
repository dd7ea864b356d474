#include "base/Text.h"
#include "model/ETree.h"
#include "settings/Exclusions.h"
#include "tests/model/ETreeTestSupport.h"
#include "tests/model/FakePlatform.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace talvoren {
namespace {

using test::TRecorder;
using U = std::vector<std::u16string>;
const std::u16string kLoop = u"Infinite loop detected";

// A system tree and a user tree that resolves against it, on the in-memory
// machine with a few folders.
class ValidationTest : public ::testing::Test {
protected:
    ValidationTest()
    {
        machine.AddFolder(u"C:\\Windows\\System32");
        machine.AddFile(u"C:\\Windows\\notepad.exe");
        machine.AddFolder(u"C:\\Users\\me");
        system.LoadFromRegistry(SystemScope());
        user.LoadFromRegistry(CurrentUserScope());
        system.SetExclusions(&exclusions);
        user.SetExclusions(&exclusions);
        user.SetResolvingTree(&system);
        system.AddVariable(u"SystemRoot", u"C:\\Windows", kDataTypeString, true);
    }

    TENode* Add(TETree& tree, const std::u16string& name, const std::u16string& value,
                uint8_t type = kDataTypeExpandString)
    {
        return tree.AddVariable(name, value, type, false);
    }

    test::TFakePlatform machine;
    TExclusions exclusions;
    TETree system{machine};
    TETree user{machine};
};

TEST_F(ValidationTest, ReferencesExpandThroughTheResolvingTree)
{
    TENode* x = Add(user, u"X", u"%systemroot%\\System32;%UNDEFINED%\\bin;50%;%%;%open");
    EXPECT_EQ(user.GetElementEx(x->Child(0)), u"C:\\Windows\\System32");
    EXPECT_EQ(user.GetElementEx(x->Child(1)), u"%UNDEFINED%\\bin");
    EXPECT_EQ(user.GetElementEx(x->Child(2)), u"50%");
    EXPECT_EQ(user.GetElementEx(x->Child(3)), u"%%");
    EXPECT_EQ(user.GetElementEx(x->Child(4)), u"%open");
    TENode* s = Add(user, u"S", u"%SystemRoot%\\System32", kDataTypeString);
    EXPECT_EQ(user.GetElementEx(s->Child(0)), u"%SystemRoot%\\System32");
    // The system tree does not look into the user tree.
    Add(user, u"OnlyUser", u"u");
    TENode* back = Add(system, u"Back", u"%OnlyUser%");
    EXPECT_EQ(system.GetElementEx(back->Child(0)), u"%OnlyUser%");
    // Text from the resolving tree is expanded with this tree first.
    Add(system, u"Chain", u"%Leaf%");
    Add(system, u"Leaf", u"system");
    Add(user, u"Leaf", u"user");
    EXPECT_EQ(user.ExpandReferences(u"%Chain%"), u"user");
}

TEST_F(ValidationTest, LoopsAndRunawayGrowthFailAsLoops)
{
    TENode* a = Add(user, u"A", u"%A%;x");
    EXPECT_EQ(user.GetElementEx(a->Child(0)), kLoop);
    EXPECT_EQ(user.GetElementEx(a->Child(1)), u"x");
    EXPECT_EQ(user.GetVariableValueEx(a), kLoop);

    Add(user, u"P", u"%Q%");
    Add(user, u"Q", u"%P%");
    EXPECT_FALSE(user.ExpandReferences(u"%P%").has_value()); // alternates for ever
    // Doubling in every pass would need 2^100 characters; it stops at the
    // environment block's size.
    Add(user, u"D", u"%D%%D%");
    EXPECT_FALSE(user.ExpandReferences(u"%D%").has_value());
    Add(user, u"Big", std::u16string(kMaxExpandedLength - 1, u'b'));
    EXPECT_EQ(user.ExpandReferences(u"%Big%!")->size(), kMaxExpandedLength);
    EXPECT_FALSE(user.ExpandReferences(u"%Big%!!").has_value());
    // Only a text too long without a reference loop is told apart.
    TExpansionFailure failure = TExpansionFailure::None;
    user.ExpandReferences(u"%Big%!!", 0, &failure);
    EXPECT_EQ(failure, TExpansionFailure::TooLong);
    user.ExpandReferences(u"%D%", 0, &failure);
    EXPECT_EQ(failure, TExpansionFailure::Loop);
    // A chain of 99 steps still resolves; a text changing in the 100th pass fails.
    for (int i = 0; i < 99; ++i) {
        Add(user, u"C" + u16(std::to_string(i)), u"%C" + u16(std::to_string(i + 1)) + u"%");
    }
    Add(user, u"C99", u"end");
    EXPECT_EQ(user.ExpandReferences(u"%C1%"), u"end");
    EXPECT_FALSE(user.ExpandReferences(u"%C0%").has_value());
}

TEST_F(ValidationTest, VerifyFlagsMissingLocalPathsOnly)
{
    TENode* v = Add(user, u"V",
                    u"C:\\Windows\\;C:\\;C:\\Windows\\notepad.exe;C:\\Windows\\*.exe;\\\\server\\share\\missing;"
                    u"%SystemRoot%\\System32;relative\\x;%UNDEFINED%\\bin");
    TENode* s = Add(user, u"S", u"%SystemRoot%\\nothere", kDataTypeString);
    TENode* bad = Add(user, u"Bad", u"C:\\Windows; C:\\Windows;C:\\nothere");
    user.Verify();
    for (size_t i = 0; i < v->ChildCount(); ++i) {
        EXPECT_TRUE(user.IsValid(v->Child(i))) << i;
    }
    EXPECT_TRUE(user.IsValid(v));
    EXPECT_TRUE(user.IsValid(s)); // unexpanded: not a path
    EXPECT_TRUE(user.IsValid(bad->Child(0)));
    EXPECT_FALSE(user.IsValid(bad->Child(1))); // a path, but the probes do not trim
    EXPECT_FALSE(user.IsValid(bad->Child(2)));
    EXPECT_FALSE(user.IsValid(bad));
    EXPECT_EQ(user.GetNodeErrors(bad->Child(2)), U{u"Invalid path or you have no access to it"});
    EXPECT_EQ(user.GetNodeErrors(bad), U{u"Variable contains invalid path or you have no access to it"});
    EXPECT_TRUE(user.HasErrorMark(bad));
    // Each variable is probed with the critical-error dialogs off.
    EXPECT_EQ(machine.UnguardedProbeCount(), 0u);
    EXPECT_EQ(machine.GuardCount(), user.VariableCount());
}

TEST_F(ValidationTest, AnExpandedListIsCheckedPieceByPiece)
{
    Add(user, u"Dirs", u"C:\\Windows;C:\\gone");
    TENode* uses = Add(user, u"Uses", u"%Dirs%");
    exclusions.Add(u"Whole", false, true);
    TENode* whole = Add(user, u"Whole", u"%Dirs%");
    user.Verify();
    EXPECT_FALSE(user.IsValid(uses->Child(0)));
    // Not split: the expanded text is one piece, "C:\Windows;C:\gone", which
    // does not exist either.
    EXPECT_FALSE(user.IsValid(whole->Child(0)));
}

TEST_F(ValidationTest, ExcludedVariablesAreNeverFlaggedButWarned)
{
    exclusions.Add(u"Skip", true, false);
    TENode* skip = Add(user, u"Skip", u"C:\\nothere");
    user.Verify();
    EXPECT_TRUE(user.IsValid(skip));
    EXPECT_TRUE(user.IsValid(skip->Child(0)));
    EXPECT_FALSE(user.HasErrorMark(skip));
    EXPECT_TRUE(user.HasExclusionMark(skip));
    EXPECT_TRUE(user.GetNodeErrors(skip).empty());
    EXPECT_EQ(user.GetNodeWarnings(skip), U{u"Variable is in the exclude list"});
    EXPECT_TRUE(user.GetNodeWarnings(skip->Child(0)).empty());
    EXPECT_EQ(user.GetNodeHint(skip), u"\r\n\r\nWarning(s):\r\n- Variable is in the exclude list");
}

TEST_F(ValidationTest, LengthLimitAndHint)
{
    TENode* ok = Add(user, u"Ok", std::u16string(2046, u'a') + u";"); // 2047 with the separator
    TENode* longer = Add(user, u"Long", std::u16string(2047, u'a') + u";");
    exclusions.Add(u"Long", true, true);
    EXPECT_FALSE(user.HasErrorMark(ok));
    EXPECT_TRUE(user.GetNodeErrors(ok).empty());
    EXPECT_TRUE(user.HasErrorMark(longer));
    EXPECT_EQ(user.GetNodeErrors(longer), U{u"Value exceeds length limit of 2047 characters"});
    EXPECT_EQ(user.GetNodeHint(longer),
              u"Error(s):\r\n- Value exceeds length limit of 2047 characters"
              u"\r\n\r\nWarning(s):\r\n- Variable is in the exclude list");
    EXPECT_EQ(user.GetNodeHint(ok), u"");
}

TEST_F(ValidationTest, HomePathIsCheckedWithTheDriveInTheUserTreeOnly)
{
    user.AddVariable(u"HOMEDRIVE", u"C:", kDataTypeString, true);
    TENode* home = user.AddVariable(u"HOMEPATH", u"\\Users\\nobody", kDataTypeString, true);
    TENode* sysHome = Add(system, u"HOMEPATH", u"\\Users\\nobody");
    user.Verify();
    system.Verify();
    EXPECT_FALSE(user.IsValid(home));
    EXPECT_TRUE(user.IsValid(home->Child(0)));
    EXPECT_FALSE(system.IsValid(sysHome->Child(0))); // the ordinary rule
    user.SetVariableValue(home, u"\\Users\\me");
    user.Verify();
    EXPECT_TRUE(user.IsValid(home));
}

TEST_F(ValidationTest, FlagsAreReportedOnlyWhenTheyChange)
{
    TENode* v = Add(user, u"V", u"C:\\a;C:\\Windows");
    TRecorder recorder(user);
    user.Verify();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"flags V/C:\\a", "flags V"}));
    recorder.log.clear();
    user.Verify();
    system.Verify();
    EXPECT_TRUE(recorder.log.empty());
    machine.AddFolder(u"C:\\a");
    user.Verify();
    EXPECT_EQ(recorder.log, (std::vector<std::string>{"flags V/C:\\a", "flags V"}));
    EXPECT_TRUE(user.IsValid(v));
}

// The same probes against the emulated machine's own file system.
TEST(ValidationOnMachine, ProbesFindWhatTheDriveHolds)
{
    test::TestMachine machine;
    const auto host = machine.scratchHostPath();
    std::filesystem::create_directories(host / "Tools" / "bin");
    std::ofstream(host / "Tools" / "bin" / "tool.exe") << "x";
    const std::u16string s = machine.scratchPath();
    TETree tree(machine.platform());
    TENode* v = tree.AddVariable(u"V",
                                 s + u"\\Tools\\;" + s.substr(0, 3) + u";" + s + u"\\tools\\BIN;" + s
                                     + u"\\Tools\\bin\\tool.exe;" + s + u"\\Tools\\bin\\*.exe;" + s
                                     + u"\\Tools\\nothere; " + s + u"\\Tools",
                                 kDataTypeString, false);
    tree.Verify();
    std::vector<bool> valid;
    for (size_t i = 0; i < v->ChildCount(); ++i) {
        valid.push_back(tree.IsValid(v->Child(i)));
    }
    EXPECT_EQ(valid, (std::vector<bool>{true, true, true, true, true, false, false}));
}

TEST_F(ValidationTest, UserPathFoldersAlsoInTheSystemPathAndSameStepReferencesWarn)
{
    Add(system, u"Path", u"%SystemRoot%\\System32;C:\\Tools");
    TENode* path = Add(user, u"Path", u"c:\\windows\\system32\\;C:\\Tools2;%SystemRoot%\\System32", kDataTypeString);
    user.Verify();
    const std::u16string also = u"Also in the system Path, which is searched first";
    EXPECT_TRUE(path->Child(0)->IsInSystemPath()); // case and a trailing backslash do not matter
    EXPECT_FALSE(path->Child(1)->IsInSystemPath());
    EXPECT_FALSE(path->Child(2)->IsInSystemPath()); // REG_SZ: the reference stays literal
    EXPECT_EQ(user.GetNodeWarnings(path->Child(0)), U{also});
    EXPECT_FALSE(system.FindVariable(u"Path")->Child(1)->IsInSystemPath());
    system.SetElementText(system.FindVariable(u"Path")->Child(0), u"C:\\Other");
    user.Verify();
    EXPECT_FALSE(path->Child(0)->IsInSystemPath());

    // Expandable values of one scope that refer to each other.
    TENode* a = Add(system, u"TV_A", u"%TV_B%\\x;%TV_LIT%;%SystemRoot%;%TV_A%");
    Add(system, u"TV_B", u"C:\\b");
    Add(system, u"TV_LIT", u"C:\\lit", kDataTypeString);
    const auto warnings = system.GetNodeWarnings(a);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(u"'TV_B'"), std::u16string::npos);
    EXPECT_EQ(system.GetNodeWarnings(a->Child(0)).size(), 1u);
    EXPECT_TRUE(system.GetNodeWarnings(a->Child(1)).empty());
}

// References no process sees expanded: a system value that names what
// Windows defines after the system scope, and a text string's references.
TEST_F(ValidationTest, ReferencesThatStayAsWrittenWarn)
{
    system.SetLaterScope(&user);
    Add(user, u"TV_MINE", u"C:\\mine", kDataTypeString);
    user.AddVariable(u"USERPROFILE", u"C:\\Users\\me", kDataTypeString, true);
    TENode* sys = Add(system, u"TV_SYS", u"%USERPROFILE%\\bin;%TV_MINE%;%SystemRoot%;%username%;%NOSUCH%");
    TENode* text = Add(user, u"TV_TEXT", u"%SystemRoot%\\x;%tv_mine%;50%;%NOSUCH%", kDataTypeString);
    TENode* fine = Add(user, u"TV_FINE", u"%USERPROFILE%\\bin;%TV_MINE%");
    system.Verify();
    user.Verify();
    const auto flagged = [](const TENode* v) {
        std::vector<bool> flags;
        for (size_t i = 0; i < v->ChildCount(); ++i) {
            flags.push_back(v->Child(i)->HasLiteralReference());
        }
        return flags;
    };
    EXPECT_EQ(flagged(sys), (std::vector<bool>{true, true, false, true, false}));
    EXPECT_TRUE(sys->HasLiteralReference());
    EXPECT_EQ(flagged(text), (std::vector<bool>{true, true, false, false}));
    EXPECT_EQ(flagged(fine), (std::vector<bool>{false, false}));
    EXPECT_FALSE(fine->HasLiteralReference());
    const auto first = system.GetNodeWarnings(sys->Child(0));
    ASSERT_EQ(first.size(), 1u);
    EXPECT_NE(first[0].find(u"'%USERPROFILE%', which Windows defines only after the system variables"),
              std::u16string::npos);
    EXPECT_EQ(system.GetNodeWarnings(sys).size(), 3u);
    const auto second = user.GetNodeWarnings(text->Child(1));
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second[0].find(u"'%tv_mine%' is not expanded in a text string"), std::u16string::npos);
    EXPECT_NE(user.GetNodeHint(text).find(u"(F6)"), std::u16string::npos);

    // A system variable of that name is there in time; a read-only variable
    // is never warned about.
    Add(system, u"TV_MINE", u"C:\\sys", kDataTypeString);
    system.Verify();
    EXPECT_EQ(flagged(sys), (std::vector<bool>{true, false, false, true, false}));
    TENode* special = user.AddVariable(u"TV_RO", u"%SystemRoot%", kDataTypeString, true);
    user.Verify();
    EXPECT_FALSE(special->HasLiteralReference());
}

} // namespace
} // namespace talvoren
