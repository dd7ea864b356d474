#include "model/RegFile.h"

#include "platform/Platform.h"
#include "platform/Utf.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace talvoren;

namespace {

TRegFileValue text(const std::u16string& name, uint32_t type, const std::u16string& data)
{
    TRegFileValue value{name, false, type, {}};
    platform::appendRegString(value.Data, data);
    return value;
}

} // namespace

// Each value is written in the one form that gives its bytes back on import.
TEST(RegFileTest, EveryValueKeepsItsExactBytes)
{
    EXPECT_EQ(FormatRegFileV5Value(text(u"A\"b", platform::regtype::kSz, u"C:\\x \"q\" \u20ac\u65e5")),
              u"\"A\\\"b\"=\"C:\\\\x \\\"q\\\" \u20ac\u65e5\"");
    EXPECT_EQ(FormatRegFileV5Value(text(u"", platform::regtype::kSz, u"")), u"@=\"\"");
    EXPECT_EQ(FormatRegFileV5Value(text(u"E", platform::regtype::kExpandSz, u"%a")), u"\"E\"=hex(2):25,00,61,00,00,00");
    // A line break or an inner null cannot stand in a quoted string.
    EXPECT_EQ(FormatRegFileV5Value(text(u"N", platform::regtype::kSz, u"a\nb")),
              u"\"N\"=hex(1):61,00,0a,00,62,00,00,00");
    EXPECT_EQ(FormatRegFileV5Value(text(u"Z", platform::regtype::kSz, std::u16string(u"a\0b", 3))),
              u"\"Z\"=hex(1):61,00,00,00,62,00,00,00");
    // Data without its terminating null stays without it.
    EXPECT_EQ(FormatRegFileV5Value({u"U", false, platform::regtype::kSz, {0x61, 0x00}}), u"\"U\"=hex(1):61,00");
    EXPECT_EQ(FormatRegFileV5Value({u"D", true, 0, {}}), u"\"D\"=-");

    // Long hex data wraps as regedit wraps it; the bytes are all there.
    const std::u16string wrapped
        = FormatRegFileV5Value(text(u"Path", platform::regtype::kExpandSz, std::u16string(100, u'x')));
    size_t bytes = 0;
    for (size_t start = 0, end = 0; start < wrapped.size(); start = end + 2) {
        end = std::min(wrapped.find(u"\r\n", start), wrapped.size());
        EXPECT_LE(end - start, 80u);
        bytes += std::count(wrapped.begin() + start, wrapped.begin() + end, u',');
    }
    EXPECT_EQ(bytes, 201u); // 202 bytes, 201 commas

    const std::vector<uint8_t> file
        = EncodeRegFileV5({{{u"Before\r\nstate"}, u"HKEY_CURRENT_USER\\Environment", {{u"D", true, 0, {}}}}});
    ASSERT_GE(file.size(), 2u);
    EXPECT_EQ(file[0], 0xFF);
    EXPECT_EQ(file[1], 0xFE);
    EXPECT_EQ(platform::fromUtf16Le(file, 2, false),
              u"Windows Registry Editor Version 5.00\r\n\r\n"
              u"; Before  state\r\n"
              u"[HKEY_CURRENT_USER\\Environment]\r\n\"D\"=-\r\n");
}

namespace {

std::vector<uint8_t> ansi(const std::string& text)
{
    return {text.begin(), text.end()};
}

// The code page of the emulated machine (Windows-1252).
struct TLocale : platform::ILocale {
    int compareNoCase(const std::u16string& a, const std::u16string& b) override { return a.compare(b); }
    std::u16string foldCase(const std::u16string& text) override { return text; }
};

} // namespace

// What the writer writes, and what regedit writes, reads back exactly.
TEST(RegFileTest, ScriptsReadBackExactly)
{
    const std::vector<TRegFileValue> values = {
        text(u"Euro", platform::regtype::kSz, u"\u20ac \"q\" C:\\x"),
        text(u"Lines", platform::regtype::kSz, u"a\r\nb"),
        text(u"Cjk", platform::regtype::kExpandSz, u"%\u65e5%;" + std::u16string(60, u'\u672c')),
        text(u"Nul", platform::regtype::kSz, std::u16string(u"a\0b", 3)),
        {u"", false, platform::regtype::kBinary, {1, 2}},
        {u"Gone", true, 0, {}},
    };
    TLocale locale;
    TRegFileContent content;
    TRegFileError error;
    ASSERT_TRUE(ParseRegFile(EncodeRegFileV5({{{u"note"}, u"HKEY_CURRENT_USER\\Environment", values}}), locale, content,
                             error));
    ASSERT_EQ(content.Keys.size(), 1u);
    EXPECT_FALSE(content.Regedit4);
    EXPECT_EQ(content.Keys[0].Path, u"HKEY_CURRENT_USER\\Environment");
    EXPECT_EQ(content.Keys[0].Line, 4u);
    ASSERT_EQ(content.Keys[0].Values.size(), values.size());
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(content.Keys[0].Values[i].Name, values[i].Name);
        EXPECT_EQ(content.Keys[0].Values[i].Deleted, values[i].Deleted);
        EXPECT_EQ(content.Keys[0].Values[i].Type, values[i].Type) << i;
        EXPECT_EQ(content.Keys[0].Values[i].Data, values[i].Data) << i;
    }

    // REGEDIT4 in the ANSI code page, wrapped as regedit wraps, a removed key.
    ASSERT_TRUE(ParseRegFile(ansi("REGEDIT4\r\n\r\n; comment\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"A\"=\"\x80 \\\\\"\r\n"
                                  "\"E\"=hex(2):25,41,\\\r\n  25,00\r\n@=dword:0000001f\r\n[-HKEY_CURRENT_USER\\Y]\n"),
                             locale, content, error));
    EXPECT_TRUE(content.Regedit4);
    ASSERT_EQ(content.Keys.size(), 2u);
    ASSERT_EQ(content.Keys[0].Values.size(), 3u);
    EXPECT_EQ(content.Keys[0].Values[0].Data, text(u"", 1, u"\u20ac \\").Data);
    EXPECT_EQ(content.Keys[0].Values[1].Type, platform::regtype::kExpandSz);
    EXPECT_EQ(content.Keys[0].Values[1].Data, text(u"", 2, u"%A%").Data);
    EXPECT_EQ(content.Keys[0].Values[2].Data, (std::vector<uint8_t>{0x1f, 0, 0, 0}));
    EXPECT_TRUE(content.Keys[1].Removed);
    EXPECT_EQ(content.Keys[1].Path, u"HKEY_CURRENT_USER\\Y");
}

// A malformed script names the line it cannot read and yields nothing.
TEST(RegFileTest, MalformedScriptsNameTheirLine)
{
    TLocale locale;
    const std::pair<std::string, size_t> cases[] = {
        {"Not a script\r\n", 1},
        {"REGEDIT4\r\n\"A\"=\"x\"\r\n", 2},
        {"REGEDIT4\r\n[K]\r\n\"A\"=\"x\r\n", 3},
        {"REGEDIT4\r\n[K]\r\n\r\n\"A\"=hex:0g\r\n", 4},
        {"REGEDIT4\r\n[K]\r\n\"A\" \"x\"\r\n", 3},
        {"REGEDIT4\r\n[K\r\n", 2},
        {"REGEDIT4\r\n[K]\r\n\"A\"=dword:123456789\r\n", 3},
        {"REGEDIT4\r\n[K]\r\n\"A\"=hex(2:00\r\n", 3},
    };
    for (const auto& [script, line] : cases) {
        TRegFileContent content;
        TRegFileError error;
        EXPECT_FALSE(ParseRegFile(ansi(script), locale, content, error)) << script;
        EXPECT_EQ(error.Line, line) << script;
        EXPECT_FALSE(error.Reason.empty());
        EXPECT_TRUE(content.Keys.empty());
    }
}
