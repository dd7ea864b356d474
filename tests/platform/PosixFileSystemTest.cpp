// Windows paths on the emulated machine: drive letters, case rules, the
// Win32 name clean-up, attributes and wildcard searches.

#include "platform/posix/PosixFileSystem.h"

#include "platform/Utf.h"
#include "platform/posix/CaseFold.h"
#include "platform/posix/DriveMap.h"
#include "platform/posix/FolderNames.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using namespace talvoren;
using namespace talvoren::platform;
using namespace talvoren::platform::posix;
namespace fs = std::filesystem;

namespace {

class PosixFileSystemTest : public ::testing::Test {
protected:
    IFileSystem& files() { return fMachine.platform().fileSystem(); }
    fs::path driveC() { return fMachine.prefix() / "drive_c"; }
    std::vector<std::u16string> names(const std::u16string& pattern, size_t max = SIZE_MAX)
    {
        std::vector<std::u16string> out;
        for (const auto& entry : files().find(pattern, max)) {
            out.push_back(entry.name);
        }
        return out;
    }

    test::TestMachine fMachine;
};

TEST_F(PosixFileSystemTest, PathsIgnoreCaseAndSeparatorStyle)
{
    EXPECT_EQ(files().attributes(u"C:\\Windows\\System32"), attr::kDirectory);
    EXPECT_EQ(files().attributes(u"c:\\WINDOWS\\system32"), attr::kDirectory);
    EXPECT_EQ(files().attributes(u"c:/windows/SYSTEM32/CMD.EXE"), attr::kArchive);
    EXPECT_EQ(files().attributes(u"\\Windows\\Temp"), attr::kDirectory) << "rooted paths are on C:";
    EXPECT_EQ(files().attributes(u"C:\\"), attr::kDirectory);
    EXPECT_EQ(files().attributes(u"C:"), attr::kDirectory);
    EXPECT_EQ(files().attributes(u"C:\\Windows\\.\\Temp\\..\\System32\\"), attr::kDirectory);
    EXPECT_EQ(files().attributes(u"\\\\?\\C:\\Windows"), attr::kDirectory);
    // Win32 drops trailing dots and blanks of names.
    EXPECT_EQ(files().attributes(u"C:\\Windows. \\System32."), attr::kDirectory);
}

TEST_F(PosixFileSystemTest, WhatDoesNotNameAnExistingLocalPathIsNotFound)
{
    for (const char16_t* path :
         {u"C:\\Nope", u"C:\\Windows\\System32\\cmd.exe\\", u" C:\\Windows", u"\\\\server\\share",
          u"\\\\?\\UNC\\server\\share", u"C:\\Win*", u"C:\\Windows\\Sys?em32", u"Q:\\", u"C:\\Windows\\a|b", u""}) {
        EXPECT_EQ(files().attributes(path), kInvalidFileAttributes) << test::utf8(path);
        if (std::u16string(path).find_first_of(u"*?") == std::u16string::npos) {
            EXPECT_TRUE(files().find(path).empty()) << test::utf8(path);
        }
    }
    EXPECT_EQ(names(u"C:\\Win*"), (std::vector<std::u16string>{u"Windows"})) << "a wildcard is a search, not a name";
    EXPECT_FALSE(files().shortPathName(u"C:\\Program Files").has_value());
}

TEST_F(PosixFileSystemTest, AttributesFollowTheHostFile)
{
    std::ofstream(driveC() / "locked.txt") << "x";
    fs::permissions(driveC() / "locked.txt", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    std::ofstream(driveC() / ".hidden") << "x";
    fs::create_directory(driveC() / ".config");
    fs::create_directory_symlink(driveC() / "Windows", driveC() / "WinLink");
    EXPECT_EQ(files().attributes(u"C:\\LOCKED.TXT"), attr::kArchive | attr::kReadOnly);
    EXPECT_EQ(files().attributes(u"C:\\.hidden"), attr::kArchive | attr::kHidden);
    EXPECT_EQ(files().attributes(u"C:\\.Config"), attr::kDirectory | attr::kHidden);
    EXPECT_EQ(files().attributes(u"C:\\winlink\\system32"), attr::kDirectory) << "links are followed";
}

TEST_F(PosixFileSystemTest, DriveZIsTheHostAndFurtherLettersAreLinks)
{
    test::TempDir host;
    std::ofstream(host.path() / "Data.ini") << "[s]";
    std::u16string hostPath = u"Z:" + std::u16string(host.path().u16string());
    std::replace(hostPath.begin(), hostPath.end(), u'/', u'\\');
    EXPECT_EQ(files().attributes(hostPath + u"\\data.INI"), attr::kArchive);

    EXPECT_EQ(files().attributes(u"D:\\Data.ini"), kInvalidFileAttributes);
    fs::create_directory_symlink(host.path(), fMachine.prefix() / "dosdevices" / "d:");
    EXPECT_EQ(files().attributes(u"d:\\data.ini"), attr::kArchive);
    EXPECT_EQ(names(u"D:\\*.INI"), (std::vector<std::u16string>{u"Data.ini"}));

    TDriveMap drives(fMachine.prefix());
    EXPECT_EQ(drives.toWindows(host.path() / "Data.ini"), hostPath + u"\\Data.ini");
    EXPECT_EQ(drives.toWindows(driveC() / "Windows"), u"C:\\Windows");
    const auto resolved = drives.resolve(u"c:\\WINDOWS\\system32\\Cmd.Exe");
    ASSERT_TRUE(resolved.has_value());
    EXPECT_EQ(resolved->windows, u"C:\\Windows\\System32\\cmd.exe") << "the stored case";
}

TEST_F(PosixFileSystemTest, FindMatchesWildcardsWithoutCaseAndReportsStoredNames)
{
    EXPECT_EQ(names(u"C:\\WINDOWS\\SYSTEM32\\*.EXE"),
              (std::vector<std::u16string>{u"cmd.exe", u"notepad.exe", u"reg.exe"}));
    EXPECT_EQ(names(u"c:\\windows\\system32\\C?D.exe"), (std::vector<std::u16string>{u"cmd.exe"}));
    EXPECT_EQ(names(u"C:\\windows\\SYSTEM32"), (std::vector<std::u16string>{u"System32"}));
    EXPECT_EQ(names(u"C:\\Windows\\System32\\*.exe", 2).size(), 2u);

    const auto all = files().find(u"C:\\Users\\*");
    std::vector<std::u16string> users;
    for (const auto& entry : all) {
        EXPECT_NE(entry.name, u".");
        EXPECT_NE(entry.name, u"..");
        EXPECT_EQ(entry.attributes & attr::kDirectory, attr::kDirectory);
        users.push_back(entry.name);
    }
    EXPECT_NE(std::find(users.begin(), users.end(), u"Public"), users.end());

    std::ofstream(driveC() / "Makefile") << "x";
    std::ofstream(driveC() / "read.me") << "x";
    const auto dotted = names(u"C:\\*.*");
    EXPECT_NE(std::find(dotted.begin(), dotted.end(), u"Makefile"), dotted.end()) << "*.* matches every name";
    EXPECT_EQ(names(u"C:\\*.me"), (std::vector<std::u16string>{u"read.me"}));
    EXPECT_TRUE(names(u"C:\\Users\\*\\ntuser.dat").empty()) << "wildcards only in the last component";
    EXPECT_TRUE(names(u"C:\\Nope\\*").empty());
}

TEST_F(PosixFileSystemTest, NamesThatDifferOnlyInCaseOnTheHost)
{
    fs::create_directory(driveC() / "Tools");
    fs::create_directory(driveC() / "tools");
    std::ofstream(driveC() / "tools" / "only-lower") << "x";
    EXPECT_EQ(files().attributes(u"C:\\tools\\only-lower"), attr::kArchive) << "the exact spelling wins";
    EXPECT_EQ(files().attributes(u"C:\\TOOLS"), attr::kDirectory);
    EXPECT_EQ(names(u"C:\\TOOLS").size(), 1u);
}

TEST(WildcardTest, WindowsMatchingRules)
{
    EXPECT_TRUE(matchesWildcard(u"*", u"anything.txt"));
    EXPECT_TRUE(matchesWildcard(u"*.TXT", u"notes.txt"));
    EXPECT_TRUE(matchesWildcard(u"a*b*c", u"aXXbYYc"));
    EXPECT_FALSE(matchesWildcard(u"a*b*c", u"aXXbYY"));
    EXPECT_TRUE(matchesWildcard(u"?", u"\u00E9"));
    EXPECT_TRUE(matchesWildcard(u"\u00C9*", u"\u00E9t\u00E9"));
    EXPECT_FALSE(matchesWildcard(u"??", u"abc"));
    EXPECT_TRUE(matchesWildcard(u"name.*", u"name"));
    EXPECT_FALSE(matchesWildcard(u"name.*", u"names"));
}

TEST(WindowsPathTest, ParsingTakesDrivesAndDotsApart)
{
    const auto p = parseWindowsPath(u"d:\\a\\..\\b\\.\\c\\");
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->drive, u'D');
    EXPECT_EQ(p->components, (std::vector<std::u16string>{u"b", u"c"}));
    EXPECT_TRUE(p->trailingSeparator);
    EXPECT_EQ(parseWindowsPath(u"C:\\..\\..\\x")->components, (std::vector<std::u16string>{u"x"}));
    EXPECT_FALSE(parseWindowsPath(u"\\\\host\\share\\x").has_value());
    EXPECT_FALSE(parseWindowsPath(u"//host/share").has_value());
    EXPECT_EQ(parseWindowsPath(u"relative")->drive, u'Z');
}

} // namespace

namespace {

// The folder listings kept between case-insensitive look-ups.
class FolderNamesTest : public ::testing::Test {
protected:
    void Make(const std::string& name) { fs::create_directories(fFolder / name); }
    // Puts the folder's modification time an hour back, as if it had been
    // left alone since; its change time stays with the kernel.
    void AgeFolder()
    {
        const timespec times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, fFolder.c_str(), times, 0), 0);
    }
    std::optional<std::u16string> Find(TFolderNames& names, const std::u16string& folded)
    {
        return names.find(fFolder.string(), folded);
    }

    test::TempDir fDir;
    fs::path fFolder = fDir.path() / "folder";
};

TEST_F(FolderNamesTest, ASettledListingStillSeesEveryLaterChange)
{
    // A clock far ahead: every listing counts as settled and is kept.
    TFolderNames names([] { return time(nullptr) + 3600; });
    Make("Alpha");
    Make("alpha");
    AgeFolder();
    EXPECT_EQ(Find(names, u"ALPHA"), u"Alpha") << "the smallest spelling of names equal but for case";
    EXPECT_EQ(Find(names, u"BETA"), std::nullopt);

    // Each change stamps the folder anew, so the kept listing is read again.
    AgeFolder();
    Make("Beta");
    EXPECT_EQ(Find(names, u"BETA"), u"Beta");
    AgeFolder();
    fs::remove(fFolder / "Alpha");
    EXPECT_EQ(Find(names, u"ALPHA"), u"alpha");

    // A folder put in the place of another is a folder of its own.
    fs::rename(fFolder, fDir.path() / "old");
    Make("Gamma");
    AgeFolder();
    EXPECT_EQ(Find(names, u"BETA"), std::nullopt);
    EXPECT_EQ(Find(names, u"GAMMA"), u"Gamma");
}

TEST_F(FolderNamesTest, AFolderChangedMomentsAgoIsReadEveryTime)
{
    // Two changes within one tick of the file system's clock leave the
    // folder's times as they were: only a listing older than the slack is kept.
    TFolderNames names;
    Make("Alpha");
    for (int i = 0; i < 50; ++i) {
        const std::string name = "Item" + std::to_string(i);
        EXPECT_EQ(Find(names, foldUpper(fromUtf8(name))), std::nullopt);
        Make(name);
        EXPECT_EQ(Find(names, foldUpper(fromUtf8(name))), fromUtf8(name)) << "added right after a look-up";
    }
}

TEST_F(FolderNamesTest, WhatIsNoFolderHoldsNoNames)
{
    TFolderNames names([] { return time(nullptr) + 3600; });
    EXPECT_EQ(Find(names, u"ANY"), std::nullopt);
    fs::create_directories(fDir.path());
    std::ofstream(fFolder) << "a file";
    EXPECT_EQ(Find(names, u"ANY"), std::nullopt);
}

} // namespace

namespace {

TEST(DialogPathTest, HostPathsFromDialogsLandOnTheMachinesDrives)
{
    test::TestMachine machine;
    IFileSystem& files = machine.platform().fileSystem();
    const fs::path inside = machine.prefix() / "drive_c" / "Program Files";
    EXPECT_EQ(files.windowsPathOf(fromUtf8(inside.string())), u"C:\\Program Files");
    EXPECT_EQ(files.windowsPathOf(u"/usr/share"), u"Z:\\usr\\share");
}

// The host's file manager stands in for explorer.exe: a stand-in xdg-open on
// PATH writes down the folder it was given.
TEST(ExplorerTest, OpensTheFolderOrTheFoldersOfASelectedFile)
{
    test::TestMachine machine;
    test::TempDir bin;
    const fs::path log = bin.path() / "opened.txt";
    {
        std::ofstream script(bin.path() / "xdg-open");
        script << "#!/bin/sh\necho \"$1\" >> '" << log.string() << "'\n";
    }
    fs::permissions(bin.path() / "xdg-open", fs::perms::owner_all);
    const std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";
    setenv("PATH", (bin.path().string() + ":" + oldPath).c_str(), 1);

    fs::create_directories(machine.scratchHostPath() / "Tools");
    std::ofstream(machine.scratchHostPath() / "Tools" / "run.exe") << "x";
    IShell& shell = machine.platform().shell();
    const std::u16string tools = machine.scratchPath() + u"\\Tools";
    EXPECT_TRUE(shell.execute(u"open", u"explorer.exe", tools, 0));
    EXPECT_TRUE(shell.execute(u"open", u"C:\\Windows\\explorer.exe", u"/select, \"" + tools + u"\\run.exe\"", 0));
    EXPECT_FALSE(shell.execute(u"open", u"explorer.exe", tools + u"\\gone", 0)) << "nothing to show";
    setenv("PATH", oldPath.c_str(), 1);

    // The openers run detached: wait for both lines.
    const std::string host = (machine.scratchHostPath() / "Tools").string();
    std::string text;
    for (int i = 0; i < 100 && std::count(text.begin(), text.end(), '\n') < 2; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        std::ifstream in(log);
        text.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::istringstream lines(text);
    std::vector<fs::path> opened;
    for (std::string line; std::getline(lines, line);) {
        opened.push_back(fs::canonical(line));
    }
    // The drive's link is not resolved on the way; the folder is the same.
    EXPECT_EQ(opened, (std::vector<fs::path>{fs::canonical(host), fs::canonical(host)}));
}

} // namespace
