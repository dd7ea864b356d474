#include "settings/IniFile.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <string>

namespace talvoren {
namespace {

std::vector<uint8_t> bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string text(const std::vector<uint8_t>& data)
{
    return {data.begin(), data.end()};
}

TEST(IniFileTest, ReadsValuesWithNamesAsTheyStand)
{
    const TIniFile ini = TIniFile::Parse(bytes("; comment\r\n"
                                               "[Talvoren]\r\n"
                                               "skin = Dark Blue \r\n"
                                               "\r\n"
                                               "[Exclusions]\n"
                                               "My Var=1\n"
                                               "CommonProgramFiles(x86)=3\n"
                                               "[abc]=2\n"
                                               "[Toolbars_[x] y]\n"
                                               "Visible=0\n"));
    EXPECT_EQ(ini.ReadString(u"Talvoren", u"skin", u"Default"), u"Dark Blue");
    EXPECT_EQ(ini.ReadSection(u"Exclusions"),
              (std::vector<std::u16string>{u"My Var", u"CommonProgramFiles(x86)", u"[abc]"}));
    EXPECT_EQ(ini.ReadInteger(u"Exclusions", u"[abc]", 0), 2);
    EXPECT_EQ(ini.Sections(), (std::vector<std::u16string>{u"Talvoren", u"Exclusions", u"Toolbars_[x] y"}));
    EXPECT_EQ(ini.ReadInteger(u"Toolbars_[x] y", u"Visible", 1), 0);
}

TEST(IniFileTest, MatchesNamesWithoutCaseButKeepsTheirSpelling)
{
    TIniFile ini = TIniFile::Parse(bytes("[TALVOREN]\nShowReadOnly=0\n"));
    EXPECT_FALSE(ini.ReadBool(u"Talvoren", u"showReadOnly", true));
    ini.WriteBool(u"talvoren", u"showreadonly", true);
    ini.WriteString(u"Talvoren", u"skin", u"Default");
    EXPECT_EQ(text(ini.Serialize()), "[TALVOREN]\r\nShowReadOnly=1\r\nskin=Default\r\n");
}

TEST(IniFileTest, EmptyValueIsNotAMissingValue)
{
    const TIniFile ini = TIniFile::Parse(bytes("[Talvoren]\nskin=\n"));
    EXPECT_TRUE(ini.ValueExists(u"Talvoren", u"skin"));
    EXPECT_EQ(ini.ReadString(u"Talvoren", u"skin", u"Default"), u"");
    EXPECT_EQ(ini.ReadString(u"Talvoren", u"language", u"English"), u"English");
    EXPECT_EQ(ini.ReadString(u"Other", u"skin", u"Default"), u"Default");
}

TEST(IniFileTest, IntegersAreDecimalOrHexAndAnythingElseIsTheDefault)
{
    const TIniFile ini = TIniFile::Parse(bytes("[s]\n"
                                               "a=42\nb=-7\nc=0x1F\nd=0xFFFFFFFF\ne=12abc\nf=\ng=99999999999\n"
                                               "h=0x\ni=0x123456789\nj=+5\nk=-2147483648\n"));
    EXPECT_EQ(ini.ReadInteger(u"s", u"a", -1), 42);
    EXPECT_EQ(ini.ReadInteger(u"s", u"b", -1), -7);
    EXPECT_EQ(ini.ReadInteger(u"s", u"c", -1), 31);
    EXPECT_EQ(ini.ReadInteger(u"s", u"d", 0), -1);
    EXPECT_EQ(ini.ReadInteger(u"s", u"e", -1), -1);
    EXPECT_EQ(ini.ReadInteger(u"s", u"f", -1), -1);
    EXPECT_EQ(ini.ReadInteger(u"s", u"g", -1), -1);
    EXPECT_EQ(ini.ReadInteger(u"s", u"h", -1), -1);
    EXPECT_EQ(ini.ReadInteger(u"s", u"i", -1), -1);
    EXPECT_EQ(ini.ReadInteger(u"s", u"j", -1), 5);
    EXPECT_EQ(ini.ReadInteger(u"s", u"k", 0), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger(u"s", u"missing", 9), 9);
    EXPECT_TRUE(ini.ReadBool(u"s", u"c", false));
    EXPECT_TRUE(ini.ReadBool(u"s", u"e", true)); // not a number: the default
}

TEST(IniFileTest, RewriteKeepsWhatItDoesNotTouch)
{
    const std::string original = "; written by hand\r\n"
                                 "[Other]\r\n"
                                 "x=1\r\n"
                                 "\r\n"
                                 "[Talvoren]\r\n"
                                 "; keep me\r\n"
                                 "skin=Old\r\n"
                                 "\r\n"
                                 "[Tail]\r\n"
                                 "y=2\r\n";
    TIniFile ini = TIniFile::Parse(bytes(original));
    EXPECT_EQ(text(ini.Serialize()), original);

    ini.WriteString(u"Talvoren", u"skin", u"New");
    ini.WriteString(u"Talvoren", u"language", u"English");
    ini.WriteInteger(u"Fresh", u"id", 5);
    EXPECT_EQ(text(ini.Serialize()),
              "; written by hand\r\n"
              "[Other]\r\n"
              "x=1\r\n"
              "\r\n"
              "[Talvoren]\r\n"
              "; keep me\r\n"
              "skin=New\r\n"
              "language=English\r\n"
              "\r\n"
              "[Tail]\r\n"
              "y=2\r\n"
              "[Fresh]\r\n"
              "id=5\r\n");
}

TEST(IniFileTest, EraseSectionRemovesEveryPartOfIt)
{
    TIniFile ini = TIniFile::Parse(bytes("[Exclusions]\nA=1\n[Talvoren]\nid=1\n[exclusions]\nB=2\n"));
    EXPECT_EQ(ini.ReadSection(u"Exclusions"), (std::vector<std::u16string>{u"A", u"B"}));
    ini.EraseSection(u"Exclusions");
    EXPECT_FALSE(ini.SectionExists(u"Exclusions"));
    EXPECT_EQ(text(ini.Serialize()), "[Talvoren]\r\nid=1\r\n");
}

TEST(IniFileTest, KeepsTheFileEncoding)
{
    // UTF-16LE with byte-order mark, as Windows writes Unicode INI files.
    std::vector<uint8_t> utf16 = {0xFF, 0xFE};
    for (char16_t c : std::u16string(u"[Exclusions]\r\n\u00C4rger=1\r\n")) {
        utf16.push_back(static_cast<uint8_t>(c & 0xFF));
        utf16.push_back(static_cast<uint8_t>(c >> 8));
    }
    TIniFile wide = TIniFile::Parse(utf16);
    EXPECT_EQ(wide.encoding(), TIniFile::Encoding::Utf16LeBom);
    EXPECT_EQ(wide.ReadSection(u"Exclusions"), (std::vector<std::u16string>{u"\u00C4rger"}));
    EXPECT_EQ(wide.Serialize(), utf16);

    const std::vector<uint8_t> utf8Bom = bytes("\xEF\xBB\xBF[s]\r\nk=\xC3\xA9\r\n");
    TIniFile bom = TIniFile::Parse(utf8Bom);
    EXPECT_EQ(bom.ReadString(u"s", u"k", u""), u"\u00E9");
    EXPECT_EQ(bom.Serialize(), utf8Bom);
}

TEST(IniFileTest, SingleByteTextIsReadWithoutLosingCharacters)
{
    // "Ärger" in a Western code page is not valid UTF-8.
    const TIniFile ini = TIniFile::Parse(bytes("[Exclusions]\n\xC4rger=2\n"));
    EXPECT_EQ(ini.ReadSection(u"Exclusions"), (std::vector<std::u16string>{u"\u00C4rger"}));
    // Written back, the name survives as UTF-8.
    const TIniFile again = TIniFile::Parse(ini.Serialize());
    EXPECT_EQ(again.ReadInteger(u"Exclusions", u"\u00C4rger", 0), 2);
    // Overlong forms and encoded surrogates are no UTF-8 either: each byte
    // stays one character.
    const TIniFile strict = TIniFile::Parse(bytes("[s]\nk=\xC0\xAF\xED\xA0\x80\n"));
    EXPECT_EQ(strict.ReadString(u"s", u"k", u""), u"\u00C0\u00AF\u00ED\u00A0\u0080");
}

TEST(IniFileTest, GarbageNeverStopsParsing)
{
    static const char raw[] = "\x00\x01[\n=novalue\n[]\nplain words\n[s\nk=v\n\xFF\xFE\xFD";
    const TIniFile ini = TIniFile::Parse(bytes(std::string(raw, sizeof(raw) - 1)));
    EXPECT_TRUE(ini.SectionExists(u""));
    EXPECT_FALSE(ini.ValueExists(u"s", u"k"));
    EXPECT_TRUE(TIniFile::Parse({}).Sections().empty());
}

} // namespace
} // namespace talvoren
