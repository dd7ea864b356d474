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
