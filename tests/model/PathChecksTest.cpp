#include "model/PathChecks.h"

#include "tests/model/FakePlatform.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace talvoren {
namespace {

TEST(IsPath, LocalFormsOnly)
{
    struct Case {
        const char16_t* text;
        bool path;
    };
    const Case cases[] = {
        {u"C:\\Windows", true},
        {u"z:\\", true},
        {u"C:", true},
        {u"\\Windows", true},
        {u"\\x", true},
        {u" \tC:\\Windows ", true},
        {u"\\\\server\\share", false},
        {u"C:Windows", false},
        {u"C:\\\\", true},
        {u"1:\\x", false},
        {u"\u00C4:\\x", false},
        {u"relative\\x", false},
        {u"http://x", false},
        {u"word", false},
        {u"\\", false},
        {u"", false},
        {u"  ", false},
        {u"C:x", false},
        {u"%X%\\bin", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsPath(c.text), c.path) << test::utf8(c.text);
    }
}

TEST(PathExistence, FolderTestAndSearchDoNotTrim)
{
    test::TFakePlatform machine;
    machine.AddFile(u"C:\\Windows\\notepad.exe");
    auto& fs = machine.fileSystem();
    EXPECT_TRUE(FolderExists(u"C:\\Windows", fs));
    EXPECT_TRUE(FolderExists(u"c:\\windows\\", fs));
    EXPECT_FALSE(FolderExists(u"C:\\Windows\\notepad.exe", fs));
    EXPECT_FALSE(FolderExists(u" C:\\Windows", fs));
    EXPECT_TRUE(PathExists(u"C:\\Windows\\notepad.exe", fs));
    EXPECT_TRUE(PathExists(u"C:\\Windows\\note*", fs));
    EXPECT_FALSE(PathExists(u"C:\\Windows\\notepad.exe ", fs));
}

} // namespace
} // namespace talvoren
