// The file-system backend on real folders: short and long names, searching,
// the temporary folder and the critical-error mode.

#include "platform/win32/Win32FileSystem.h"

#include "tests/wine/WineTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <windows.h>

using namespace talvoren;
using namespace talvoren::platform;

namespace {

class Win32FileSystemTest : public ::testing::Test {
protected:
    Win32FileSystemTest()
    {
        root = fs.tempFolder() + u"talvoren-fs-" + std::u16string(1, u'a' + GetCurrentProcessId() % 26);
        longFolder = root + u"\\A Folder With A Long Name";
        CreateDirectoryW(test::wide(root), nullptr);
        CreateDirectoryW(test::wide(longFolder), nullptr);
        for (const char16_t* name : {u"\\one.txt", u"\\two.txt", u"\\three.log"}) {
            HANDLE h = CreateFileW(test::wide(longFolder + name), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
            CloseHandle(h);
        }
    }
    ~Win32FileSystemTest() override
    {
        for (const char16_t* name : {u"\\one.txt", u"\\two.txt", u"\\three.log"}) {
            DeleteFileW(test::wide(longFolder + name));
        }
        RemoveDirectoryW(test::wide(longFolder));
        RemoveDirectoryW(test::wide(root));
    }

    win32::TWin32FileSystem fs;
    std::u16string root;
    std::u16string longFolder;
};

} // namespace

TEST_F(Win32FileSystemTest, ShortNameNamesTheSameFolder)
{
    ASSERT_EQ(fs.attributes(longFolder) & attr::kDirectory, attr::kDirectory);
    const auto shortName = fs.shortPathName(longFolder);
    ASSERT_TRUE(shortName);
    const std::u16string last = shortName->substr(shortName->rfind(u'\\') + 1);
    EXPECT_LE(last.size(), 12u) << "an 8.3 name";
    EXPECT_EQ(last.find(u' '), std::u16string::npos);
    EXPECT_EQ(fs.attributes(*shortName), fs.attributes(longFolder));

    // Searching the short name reports the long one, as stored.
    const auto found = fs.find(*shortName);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(found[0].name == u"A Folder With A Long Name");
    EXPECT_FALSE(fs.shortPathName(root + u"\\does not exist"));
}

TEST_F(Win32FileSystemTest, FindHonoursWildcardsAndTheLimit)
{
    auto all = fs.find(longFolder + u"\\*");
    std::vector<std::u16string> names;
    for (const auto& entry : all) {
        names.push_back(entry.name);
    }
    std::sort(names.begin(), names.end());
    EXPECT_TRUE((names == std::vector<std::u16string>{u"one.txt", u"three.log", u"two.txt"}))
        << "\".\" and \"..\" are left out";
    EXPECT_EQ(fs.find(longFolder + u"\\*.txt").size(), 2u);
    EXPECT_EQ(fs.find(longFolder + u"\\*", 1).size(), 1u);
    EXPECT_TRUE(fs.find(longFolder + u"\\*.none").empty());
}

TEST_F(Win32FileSystemTest, CriticalErrorGuardRestoresThePreviousMode)
{
    const UINT before = SetErrorMode(SEM_NOGPFAULTERRORBOX);
    {
        auto guard = fs.suppressCriticalErrors();
        const UINT inside = GetErrorMode();
        EXPECT_TRUE(inside & SEM_FAILCRITICALERRORS);
        EXPECT_TRUE(inside & SEM_NOGPFAULTERRORBOX) << "the flags that were on stay on";
    }
    EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX));
    SetErrorMode(before);
}
