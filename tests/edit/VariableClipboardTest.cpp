// The clipboard record shared with other programs: what goes in comes back,
// a variable too long for its fields makes no record, and a block from
// another program that is short, unterminated or of a foreign type is
// refused.

#include "edit/VariableClipboard.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

std::optional<TVariableRecord> decode(const std::vector<uint8_t>& bytes)
{
    return DecodeVariableRecord(bytes.data(), bytes.size());
}

TEST(VariableClipboardTest, RecordsComeBackAsWrittenUpToTheFieldSizes)
{
    const std::u16string longestName(256, u'N');
    const std::u16string longestValue(8191, u'v');
    for (const TVariableRecord& in : {TVariableRecord{u"A", u"x;y", 1}, TVariableRecord{u"\u00c4rger", u"", 2},
                                      TVariableRecord{longestName, longestValue + u"\u20ac", 2}}) {
        const auto bytes = EncodeVariableRecord(in);
        ASSERT_TRUE(bytes);
        ASSERT_EQ(bytes->size(), 16902u);
        const auto out = decode(*bytes);
        ASSERT_TRUE(out);
        EXPECT_EQ(out->name, in.name);
        EXPECT_EQ(out->value, in.value);
        EXPECT_EQ(out->dataType, in.dataType);
    }
    // Little-endian code units at the fixed offsets, type byte at 16900.
    const auto bytes = *EncodeVariableRecord({u"A", u"\u20ac", 2});
    EXPECT_EQ(bytes[0], 'A');
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes[514], 0xAC);
    EXPECT_EQ(bytes[515], 0x20);
    EXPECT_EQ(bytes[16900], 2);
    EXPECT_EQ(bytes[16901], 0);
}

TEST(VariableClipboardTest, AVariableTooLongForTheRecordMakesNone)
{
    EXPECT_FALSE(EncodeVariableRecord({std::u16string(257, u'N'), u"v", 1}));
    EXPECT_FALSE(EncodeVariableRecord({u"A", std::u16string(8193, u'v'), 1}));
    // A 0 inside would cut the text when read back.
    EXPECT_FALSE(EncodeVariableRecord({std::u16string(u"A\0B", 3), u"v", 1}));
}

TEST(VariableClipboardTest, ForeignBlocksThatAreNotRecordsAreRefused)
{
    const std::vector<uint8_t> good = *EncodeVariableRecord({u"A", u"x", 1});
    EXPECT_FALSE(DecodeVariableRecord(nullptr, 0));
    EXPECT_FALSE(decode({}));
    EXPECT_FALSE(decode(std::vector<uint8_t>(good.begin(), good.end() - 1))) << "one byte short";

    std::vector<uint8_t> unterminatedName = good;
    std::fill(unterminatedName.begin(), unterminatedName.begin() + 514, 'N');
    EXPECT_FALSE(decode(unterminatedName));

    std::vector<uint8_t> unterminatedValue = good;
    std::fill(unterminatedValue.begin() + 514, unterminatedValue.begin() + 16900, 'v');
    EXPECT_FALSE(decode(unterminatedValue));

    for (uint8_t type : {0, 3, 7, 255}) {
        std::vector<uint8_t> foreign = good;
        foreign[16900] = type;
        EXPECT_FALSE(decode(foreign)) << int(type);
    }
    EXPECT_FALSE(decode(std::vector<uint8_t>(16902, 0))) << "an empty name";

    // The window system may hand over a larger block than was written.
    std::vector<uint8_t> padded = good;
    padded.resize(good.size() + 64, 0xFF);
    ASSERT_TRUE(decode(padded));
    EXPECT_EQ(decode(padded)->value, u"x");
}

} // namespace
} // namespace talvoren
