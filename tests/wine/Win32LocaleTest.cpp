// Case-insensitive comparison and case folding under the user's locale,
// beyond ASCII.

#include "platform/win32/Win32Locale.h"

#include <gtest/gtest.h>

using namespace talvoren::platform;

TEST(Win32LocaleTest, ComparesWithoutCaseBeyondAscii)
{
    win32::TWin32Locale locale;
    EXPECT_EQ(locale.compareNoCase(u"C:\\Ärger\\é", u"c:\\äRGER\\É"), 0);
    EXPECT_LT(locale.compareNoCase(u"a", u"B"), 0);
    EXPECT_GT(locale.compareNoCase(u"b", u"A"), 0);
    EXPECT_NE(locale.compareNoCase(u"C:\\A", u"C:\\A\\"), 0);
    EXPECT_EQ(locale.compareNoCase(u"", u""), 0);
}

TEST(Win32LocaleTest, FoldingGivesEqualTextsOneKey)
{
    win32::TWin32Locale locale;
    EXPECT_TRUE(locale.foldCase(u"path;é;ß") == locale.foldCase(u"PATH;É;ß"));
    EXPECT_TRUE(locale.foldCase(u"ärger") == u"ÄRGER");
    EXPECT_TRUE(locale.foldCase(u"").empty());
}
