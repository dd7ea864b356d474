// The rules of the update answer and of the setup download at their edges,
// where the window tests would need huge files or odd servers.

#include "update/UpdateProtocol.h"

#include <gtest/gtest.h>

using namespace talvoren;

TEST(UpdateProtocolTest, SizeIsADecimal32BitNumber)
{
    EXPECT_EQ(ParseSetupSize(u"4096"), 4096);
    EXPECT_EQ(ParseSetupSize(u" \n 12\t"), 12);
    EXPECT_EQ(ParseSetupSize(u"-7"), -7);
    EXPECT_EQ(ParseSetupSize(u"2147483647"), 2147483647);
    EXPECT_EQ(ParseSetupSize(u"-2147483648"), INT32_MIN);
    for (const char16_t* bad :
         {u"", u"  ", u"-", u"12 kB", u"1e3", u"0x10", u"2147483648", u"99999999999999999999", u"1 2", u"\uFF11"}) {
        EXPECT_FALSE(ParseSetupSize(bad).has_value()) << std::u16string(bad).size();
    }
}

TEST(UpdateProtocolTest, DownloadAndSetupChecks)
{
    EXPECT_TRUE(IsAcceptableDownload(kMaxSetupSize, u"https://www.example.org/setup.exe"));
    EXPECT_TRUE(IsAcceptableDownload(1, u"HTTP://127.0.0.1:8080/x"));
    EXPECT_FALSE(IsAcceptableDownload(kMaxSetupSize + 1, u"https://www.example.org/setup.exe"));
    EXPECT_FALSE(IsAcceptableDownload(0, u"https://www.example.org/setup.exe"));
    for (const char16_t* address : {u"ftp://example.org/x", u"file:///tmp/x", u"http://", u"example.org/x", u""}) {
        EXPECT_FALSE(IsAcceptableDownload(100, address));
    }

    EXPECT_TRUE(IsCompleteSetup(3, "MZ\x90", 3));
    EXPECT_FALSE(IsCompleteSetup(3, "MZ\x90", 4));
    EXPECT_FALSE(IsCompleteSetup(3, "ZM\x90", 3));
    EXPECT_FALSE(IsCompleteSetup(1, "M", 1));

    EXPECT_EQ(FullVersionText({2, 5}), u"2.5.0.0");
    EXPECT_EQ(UpdateRequestPath({2, 5, 1, 731}, -3), u"/en/updates?build=731&id=-3");
}
