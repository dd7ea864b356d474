// The rules of the update answer and of the setup download at their edges,
// where the window tests would need huge files or odd servers.

#include "update/UpdateProtocol.h"

#include "update/HttpTransfer.h"
#include "update/UpdateCheck.h"

#include <QUrl>
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
    EXPECT_TRUE(IsAcceptableSize(kMaxSetupSize));
    EXPECT_FALSE(IsAcceptableSize(kMaxSetupSize + 1));
    EXPECT_FALSE(IsAcceptableSize(0));
}

TEST(UpdateProtocolTest, VersionsAndChecksums)
{
    EXPECT_EQ(ParseVersion(u" 2.5.0.731\n"), (std::vector<uint16_t>{2, 5, 0, 731}));
    EXPECT_EQ(ParseVersion(u"65535.0.0.0"), (std::vector<uint16_t>{65535, 0, 0, 0}));
    for (const char16_t* bad : {u"", u"2.5.0", u"2.5.0.1.1", u"2..0.1", u"65536.0.0.0", u"2.5.0.x", u"<b>9</b>.0.0.1",
                                u"-1.0.0.0", u"1.0.0.000001"}) {
        EXPECT_FALSE(ParseVersion(bad).has_value());
    }
    const std::u16string hex(u"0123456789abcdef0123456789ABCDEF0123456789abcdef0123456789ABCDEF");
    EXPECT_EQ(ParseSha256(u" " + hex + u"\n"), u"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef");
    EXPECT_FALSE(ParseSha256(hex.substr(1)).has_value());
    EXPECT_FALSE(ParseSha256(hex + u"0").has_value());
    EXPECT_FALSE(ParseSha256(u"g" + hex.substr(1)).has_value());

    // Newer by any of the four numbers, compared as numbers, not as text.
    const std::vector<uint16_t> running{2, 5, 0, 9};
    TUpdateAnswerFields fields{u"2.5.0.10", u"h", u"100", hex};
    TUpdateAnswerCheck check = CheckUpdateAnswer(fields, running);
    EXPECT_TRUE(check.valid && !check.latest);
    EXPECT_EQ(check.offer.version, u"2.5.0.10");
    EXPECT_EQ(check.offer.sha256.size(), 64u);
    for (const char16_t* notNewer : {u"2.5.0.9", u"2.4.9.99", u"1.99.99.99", u"0.0.0.0"}) {
        fields.version = notNewer;
        check = CheckUpdateAnswer(fields, running);
        EXPECT_TRUE(check.valid && check.latest);
    }
    fields = {u"3.0.0.0", u"h", u"100", u"not a hash"};
    check = CheckUpdateAnswer(fields, running);
    EXPECT_TRUE(check.valid && check.offer.sha256.empty()) << "offered, but nothing can be downloaded";

    EXPECT_EQ(UpdateRequestPath({2, 5, 1, 731}, "pt_BR"), u"/en/updates?build=731&lang=pt_BR");
    EXPECT_EQ(UpdateRequestPath({2, 5, 1, 731}, "x&id=7"), u"/en/updates?build=731&lang=xid7");
}

TEST(UpdateProtocolTest, AddressesAndRedirects)
{
    for (const char* good : {"https://update.example.org/x", "http://127.0.0.1:8080/x", "http://127.1.2.3/x",
                             "http://localhost:1/x", "http://[::1]:99/x"}) {
        EXPECT_TRUE(THttpTransfer::isPermittedAddress(QUrl(QString::fromLatin1(good)))) << good;
    }
    for (const char* bad : {"http://update.example.org/x", "http://128.0.0.1/x", "http://127.0.0.1.example.org/x",
                            "ftp://127.0.0.1/x", "file:///etc/passwd", "https://", "https://user@example.org/x"}) {
        EXPECT_FALSE(THttpTransfer::isPermittedAddress(QUrl(QString::fromLatin1(bad)))) << bad;
    }
    const QUrl from(QStringLiteral("https://update.example.org/en/updates?build=1"));
    EXPECT_TRUE(THttpTransfer::isPermittedRedirect(from, QUrl(QStringLiteral("https://UPDATE.example.org:443/b"))));
    for (const char* bad : {"https://other.example.org/en/updates", "http://update.example.org/en/updates",
                            "https://update.example.org:8443/en/updates"}) {
        EXPECT_FALSE(THttpTransfer::isPermittedRedirect(from, QUrl(QString::fromLatin1(bad)))) << bad;
    }
}

TEST(UpdateProtocolTest, AnswerIsReadWithABoundedDepth)
{
    const auto nested = [](int levels) {
        return "<update>" + QByteArray("<x>").repeated(levels) + "9" + QByteArray("</x>").repeated(levels)
            + "<version>1.0.0.1</version></update>";
    };
    EXPECT_TRUE(ReadUpdateAnswer(nested(31)).has_value());
    EXPECT_FALSE(ReadUpdateAnswer(nested(32)).has_value());
    EXPECT_FALSE(ReadUpdateAnswer(nested(100000)).has_value()); // refused, not a stack overflow

    // A child's text includes its children's; the first of each name counts.
    const auto fields = ReadUpdateAnswer("<a><history>one <b>two</b> three</history><size>5</size><size>6</size>"
                                         "<sha256> ab </sha256></a>");
    ASSERT_TRUE(fields.has_value());
    EXPECT_EQ(fields->history, u"one two three");
    EXPECT_EQ(fields->size, u"5");
    EXPECT_EQ(fields->sha256, u" ab ");
    EXPECT_FALSE(fields->version.has_value());
}
