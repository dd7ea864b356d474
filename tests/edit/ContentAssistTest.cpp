// The completion listings of the in-place editor: the mode chosen for the
// text before the caret, folder listings on a fresh machine with known
// folders, and the references offered from both trees.

#include "edit/ContentAssist.h"

#include "platform/Platform.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace talvoren {
namespace {

using Type = TContentAssistType;

TEST(ContentAssistTest, TheCaretsPlaceAmongPercentSignsChoosesTheMode)
{
    struct Case {
        std::u16string text;
        int caret;
        bool expandable, forced;
        bool open;
        Type mode;
        int position;
    };
    const Case cases[] = {
        {u"C:\\Win", 6, false, false, true, Type::Path, 1},
        {u"%sy", 3, false, false, true, Type::Path, 1}, // a string variable has no references
        {u"C:\\Win", 6, true, false, true, Type::Path, 1},
        {u"x\\%sy", 5, true, false, true, Type::Variable, 3},
        {u"%A%\\%B", 6, true, false, true, Type::Variable, 5},
        {u"%A%\\bin", 7, true, false, false, Type::Path, 1}, // a closed reference hides
        {u"%A%", 3, true, true, true, Type::Variable, 4}, // forced: a new reference at the caret
        {u"%A%x", 1, true, false, true, Type::Variable, 1}, // only signs before the caret count
    };
    for (const Case& c : cases) {
        const TCompletionStart start = CompletionStart(c.text, c.caret, c.expandable, c.forced);
        SCOPED_TRACE(test::utf8(c.text) + " caret " + std::to_string(c.caret));
        EXPECT_EQ(start.open, c.open);
        if (c.open) {
            EXPECT_EQ(start.mode, c.mode);
            EXPECT_EQ(start.position, c.position);
        }
    }
}

// The machine's file system, with one entry marked as a system file.
class TSystemEntry : public platform::IFileSystem {
public:
    explicit TSystemEntry(platform::IFileSystem& real)
        : fReal(real)
    {
    }
    uint32_t attributes(const std::u16string& p) override { return fReal.attributes(p); }
    std::vector<platform::FindEntry> find(const std::u16string& pattern, size_t max) override
    {
        auto entries = fReal.find(pattern, max);
        for (auto& e : entries) {
            if (e.name == u"pagefile.sys") {
                e.attributes |= platform::attr::kSystem;
            }
        }
        return entries;
    }
    std::optional<std::u16string> shortPathName(const std::u16string& p) override { return fReal.shortPathName(p); }
    std::u16string windowsPathOf(const std::u16string& p) override { return fReal.windowsPathOf(p); }
    std::u16string dialogPathOf(const std::u16string& p) override { return fReal.dialogPathOf(p); }
    std::u16string tempFolder() override { return fReal.tempFolder(); }
    std::unique_ptr<platform::ICriticalErrorGuard> suppressCriticalErrors() override
    {
        ++guards;
        return fReal.suppressCriticalErrors();
    }
    int guards = 0;

private:
    platform::IFileSystem& fReal;
};

TEST(ContentAssistTest, PathListingsAreFullPathsOfTheTypedFolderSorted)
{
    test::TestMachine machine;
    namespace fs = std::filesystem;
    const fs::path host = machine.scratchHostPath();
    for (const char* folder : {"Win", "windows", "WinApps", "Other", ".hidden"}) {
        fs::create_directories(host / folder);
    }
    for (const char* file : {"winver.exe", "pagefile.sys"}) {
        std::ofstream(host / file) << "x";
    }
    TSystemEntry files(machine.platform().fileSystem());
    platform::ILocale& locale = machine.platform().locale();
    const std::u16string root = machine.scratchPath() + u"\\";

    auto texts = [](const std::vector<TPathEntry>& rows) {
        std::vector<std::u16string> out;
        for (const auto& row : rows) {
            out.push_back(row.text);
        }
        return out;
    };
    const auto win = ListPathEntries(files, locale, root + u"wIN");
    EXPECT_EQ(texts(win),
              (std::vector<std::u16string>{root + u"Win", root + u"WinApps", root + u"windows", root + u"winver.exe"}));
    EXPECT_TRUE(win[0].folder);
    EXPECT_FALSE(win[3].folder);
    EXPECT_GT(files.guards, 0) << "no critical-error dialogs while listing";

    // The whole folder: hidden entries stay, system ones, "." and ".." go;
    // '/' is read as '\' and written so.
    std::u16string slashed = root;
    std::replace(slashed.begin(), slashed.end(), u'\\', u'/');
    const auto all = texts(ListPathEntries(files, locale, slashed));
    EXPECT_EQ(all.size(), 6u);
    EXPECT_EQ(all.front(), root + u".hidden");
    EXPECT_EQ(std::count(all.begin(), all.end(), root + u"pagefile.sys"), 0);

    EXPECT_TRUE(ListPathEntries(files, locale, root + u"nothing\\").empty());
}

TEST(ContentAssistTest, ReferencesOfBothTreesAreOfferedOnceSorted)
{
    test::TestMachine machine;
    const auto rows = MergeVariableEntries(machine.platform().locale(), {u"%SYB%", u"%SystemRoot%", u"%sya%"},
                                           {u"%SYSTEMROOT%", u"%SystemDrive%", u"%sya%"});
    EXPECT_EQ(rows, (std::vector<std::u16string>{u"%sya%", u"%SYB%", u"%SystemDrive%", u"%SystemRoot%"}));
}

} // namespace
} // namespace talvoren
