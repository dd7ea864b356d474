#include "model/NodeInfo.h"

#include "base/EnvStore.h"
#include "base/Error.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>

using namespace talvoren;

namespace {
std::vector<std::u16string> split(const std::u16string& v)
{
    return SplitValue(v);
}
} // namespace

TEST(SplitValueTest, SplitsAtSemicolonsKeepingEmptyElements)
{
    EXPECT_EQ(split(u"a;b"), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(split(u"a;;b"), (std::vector<std::u16string>{u"a", u"", u"b"}));
    EXPECT_EQ(split(u";a"), (std::vector<std::u16string>{u"", u"a"}));
    EXPECT_EQ(split(u"a;"), (std::vector<std::u16string>{u"a", u""}));
    EXPECT_EQ(split(u""), (std::vector<std::u16string>{u""}));
    EXPECT_EQ(split(u";"), (std::vector<std::u16string>{u"", u""}));
    EXPECT_EQ(split(u";;"), (std::vector<std::u16string>{u"", u"", u""}));
}

TEST(SplitValueTest, QuotedElementsKeepTheirSemicolonsAndQuotes)
{
    EXPECT_EQ(split(u"\"x;y\";z"), (std::vector<std::u16string>{u"\"x;y\"", u"z"}));
    // No closing quote: the rest of the value is one element.
    EXPECT_EQ(split(u"\"abc;d"), (std::vector<std::u16string>{u"\"abc;d"}));
    // Only a quote at the start of an element opens a quoted run.
    EXPECT_EQ(split(u"a\"b;c\""), (std::vector<std::u16string>{u"a\"b", u"c\""}));
    EXPECT_EQ(split(u"\"x;y\";"), (std::vector<std::u16string>{u"\"x;y\"", u""}));
}

TEST(SplitValueTest, TextAfterAClosingQuoteStaysInTheElement)
{
    EXPECT_EQ(split(u"\"C:\\Program Files\"\\bin;D:\\"),
              (std::vector<std::u16string>{u"\"C:\\Program Files\"\\bin", u"D:\\"}));
    // A further quote after the closing one opens another quoted stretch.
    EXPECT_EQ(split(u"\"a;b\"c\"d;e\";f"), (std::vector<std::u16string>{u"\"a;b\"c\"d;e\"", u"f"}));
}

TEST(SplitValueTest, JoiningTheElementsGivesBackAnyValue)
{
    // Values over the alphabet that makes the splitter's decisions.
    const std::u16string alphabet = u";\"ab ";
    std::mt19937 random(20261208);
    for (int round = 0; round < 20000; ++round) {
        std::u16string value;
        const size_t length = random() % 14;
        for (size_t i = 0; i < length; ++i) {
            value += alphabet[random() % alphabet.size()];
        }
        const auto elements = split(value);
        ASSERT_FALSE(elements.empty());
        ASSERT_EQ(JoinValue(elements), value) << "value: " << test::utf8(value);
    }
}

TEST(NodeStreamTest, RecordsRoundTripWithTheirFlags)
{
    TVarData var(u"Päth", kDataTypeExpandString, true);
    var.SetWrongPath(true);
    TElemData elem(u"C:\\x;\"y\"");
    TNodeStreamWriter writer;
    writer.WriteVariable(var);
    writer.WriteElement(elem);

    TNodeStreamReader reader(writer.bytes());
    TVarData v = reader.ReadVariable();
    TElemData e = reader.ReadElement();
    EXPECT_TRUE(reader.AtEnd());
    EXPECT_EQ(v.GetVariableName(), u"Päth");
    EXPECT_EQ(v.GetDataType(), kDataTypeExpandString);
    EXPECT_TRUE(v.GetReadOnly());
    EXPECT_TRUE(v.GetWrongPath());
    EXPECT_EQ(e.GetElement(), u"C:\\x;\"y\"");
    EXPECT_FALSE(e.GetWrongPath());
}

TEST(NodeStreamTest, ByteLayoutIsLittleEndianCountedUtf16)
{
    TNodeStreamWriter writer;
    writer.WriteVariable(TVarData(u"AB", kDataTypeString, false));
    const std::vector<uint8_t> expected = {1, 2, 0, 0, 0, 'A', 0, 'B', 0, 0, 0};
    EXPECT_EQ(writer.bytes(), expected);
}

TEST(NodeStreamTest, DamagedRecordsRaiseInsteadOfReadingPastTheEnd)
{
    TNodeStreamWriter writer;
    writer.WriteVariable(TVarData(u"Name", kDataTypeString, false));
    std::vector<uint8_t> bytes = writer.take();
    for (size_t cut = 0; cut < bytes.size(); ++cut) {
        TNodeStreamReader reader(bytes.data(), cut);
        EXPECT_THROW(reader.ReadVariable(), TError) << "cut at " << cut;
    }
    // A forged count far beyond the data.
    std::vector<uint8_t> forged = {1, 0xFF, 0xFF, 0xFF, 0x7F, 'A', 0};
    TNodeStreamReader reader(forged);
    EXPECT_THROW(reader.ReadVariable(), TError);
    // A type code that no variable can have.
    std::vector<uint8_t> badType = {4, 0, 0, 0, 0, 0, 0};
    TNodeStreamReader typeReader(badType);
    EXPECT_THROW(typeReader.ReadVariable(), TError);
}

class ValueHelpersTest : public ::testing::Test {
protected:
    test::TestMachine machine;
    platform::ILocale& locale() { return machine.platform().locale(); }
};

TEST_F(ValueHelpersTest, CleanupDropsEmptyAndLaterDuplicateElements)
{
    EXPECT_EQ(CleanupValue(u"C:\\A;c:\\a;;D:\\;C:\\A\\", locale()), u"C:\\A;D:\\;C:\\A\\");
    EXPECT_EQ(CleanupValue(u";;", locale()), u"");
    EXPECT_EQ(CleanupValue(u"", locale()), u"");
    // A blank is not empty, and nothing is trimmed.
    EXPECT_EQ(CleanupValue(u" ;a; ;a ", locale()), u" ;a;a ");
    EXPECT_EQ(CleanupValue(u";x;y;X", locale()), u"x;y");
}

TEST_F(ValueHelpersTest, CleanupFoldsCaseBeyondAscii)
{
    EXPECT_EQ(CleanupValue(u"C:\\Été;c:\\éTÉ", locale()), u"C:\\Été");
}

TEST_F(ValueHelpersTest, CleanupKeepsQuotedElementsWhole)
{
    EXPECT_EQ(CleanupValue(u"\"a;b\";\"A;B\";c", locale()), u"\"a;b\";c");
}

TEST(RemoveValueElementTest, RemovesEveryAsciiCaseInsensitiveMatch)
{
    EXPECT_EQ(RemoveValueElement(u"a;B;b;c", u"b"), u"a;c");
    EXPECT_EQ(RemoveValueElement(u"a;B;b;c", u"x"), u"a;B;b;c");
    EXPECT_EQ(RemoveValueElement(u";x;y", u"y"), u"x");
    EXPECT_EQ(RemoveValueElement(u";a;;b", u"b"), u"a;");
    EXPECT_EQ(RemoveValueElement(u"C:\\a;C:\\b;C:\\A", u"c:\\A"), u"C:\\b");
    // Only a-z are folded: É and é are different elements.
    EXPECT_EQ(RemoveValueElement(u"É;é", u"É"), u"é");
    // Nothing is trimmed.
    EXPECT_EQ(RemoveValueElement(u"a ;a", u"a"), u"a ");
}

class PathFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(machine.scratchHostPath() / "MixedCase" / "Inner Folder");
        std::ofstream(machine.scratchHostPath() / "MixedCase" / "Inner Folder" / "File.TXT") << "x";
        // The scratch folder in lower case, as a user might type it; the
        // drive part is kept as given.
        base = machine.scratchPath();
        for (auto& c : base) {
            c = (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 32) : c;
        }
        stored = ToLongPath(base, fs());
    }
    platform::IFileSystem& fs() { return machine.platform().fileSystem(); }
    test::TestMachine machine;
    std::u16string base; // lower-cased scratch folder
    std::u16string stored; // its long form
};

TEST_F(PathFormTest, LongPathReportsTheStoredCaseOfEachComponent)
{
    EXPECT_EQ(stored.substr(0, 2), base.substr(0, 2)) << "the drive part stays as given";
    EXPECT_EQ(ToLongPath(base + u"\\mixedcase\\INNER FOLDER\\file.txt", fs()),
              stored + u"\\MixedCase\\Inner Folder\\File.TXT");
    // The trailing backslash of the input is kept.
    EXPECT_EQ(ToLongPath(base + u"\\mixedcase\\", fs()), stored + u"\\MixedCase\\");
}

TEST_F(PathFormTest, LongPathKeepsTheRestFromTheFirstMissingComponent)
{
    EXPECT_EQ(ToLongPath(base + u"\\mixedcase\\inner folder\\nothere\\MORE\\x", fs()),
              stored + u"\\MixedCase\\Inner Folder\\nothere\\MORE\\x");
    EXPECT_EQ(ToLongPath(base + u"\\mixedcase\\in*\\x", fs()), stored + u"\\MixedCase\\in*\\x");
}

TEST_F(PathFormTest, LongPathLeavesBareDrivesAndNetworkRootsAlone)
{
    EXPECT_EQ(ToLongPath(u"c:", fs()), u"c:");
    EXPECT_EQ(ToLongPath(u"\\\\server\\share", fs()), u"\\\\server\\share");
    EXPECT_EQ(ToLongPath(u"\\\\server\\share\\dir", fs()), u"\\\\server\\share\\dir");
}

TEST_F(PathFormTest, ShortPathOfAMissingPathIsThePathItself)
{
    EXPECT_EQ(ToShortPath(u"C:\\does\\not\\exist", fs()), u"C:\\does\\not\\exist");
}

TEST(RegStringTest, DecodingStopsAtTheFirstNull)
{
    const std::vector<uint8_t> data = {'a', 0, 'b', 0, 0, 0, 'c', 0, 0, 0};
    EXPECT_EQ(DecodeRegString(data), u"ab");
    EXPECT_EQ(DecodeRegString({'a', 0, 'b'}), u"a"); // odd trailing byte
    EXPECT_EQ(EncodeRegString(u"ab"), (std::vector<uint8_t>{'a', 0, 'b', 0, 0, 0}));
}
