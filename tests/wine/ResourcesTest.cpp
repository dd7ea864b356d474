// The resources linked into talvoren.exe: the manifest asks for no
// elevation, and the file version is the project's.

#include "platform/win32/Win32System.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace talvoren;

namespace {

std::string manifestOf(const std::u16string& exe)
{
    HMODULE module = LoadLibraryExW(test::wide(exe), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module) {
        return {};
    }
    std::string text;
    if (HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
        if (HGLOBAL data = LoadResource(module, res)) {
            text.assign(static_cast<const char*>(LockResource(data)), SizeofResource(module, res));
        }
    }
    FreeLibrary(module);
    return text;
}

} // namespace

TEST(ResourcesTest, ManifestRunsAsInvoker)
{
    const std::string manifest = manifestOf(test::windowsPath(TALVOREN_EXE));
    ASSERT_FALSE(manifest.empty()) << "talvoren.exe has no manifest";
    EXPECT_NE(manifest.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("processorArchitecture=\"x86\""), std::string::npos);
}

TEST(ResourcesTest, TalvorenExeCarriesTheProjectVersion)
{
    const std::vector<uint16_t> expected{TALVOREN_VERSION_MAJOR, TALVOREN_VERSION_MINOR, TALVOREN_VERSION_PATCH,
                                         TALVOREN_VERSION_TWEAK};
    EXPECT_EQ(platform::win32::fileVersion(test::windowsPath(TALVOREN_EXE)), expected);
}
