// The resources linked into talvoren.exe: the manifest asks for no
// elevation, the version texts match the fixed version.

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

TEST(ResourcesTest, VersionTextsMatchTheFixedVersion)
{
    const std::u16string exe = test::windowsPath(TALVOREN_EXE);
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(test::wide(exe), &handle);
    ASSERT_NE(size, 0u);
    std::vector<char> block(size);
    ASSERT_TRUE(GetFileVersionInfoW(test::wide(exe), 0, size, block.data()));
    wchar_t* text = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(block.data(), L"\\StringFileInfo\\040904B0\\FileVersion",
                               reinterpret_cast<void**>(&text), &length));
    const std::wstring expected = std::to_wstring(TALVOREN_VERSION_MAJOR) + L"."
        + std::to_wstring(TALVOREN_VERSION_MINOR) + L"." + std::to_wstring(TALVOREN_VERSION_PATCH) + L"."
        + std::to_wstring(TALVOREN_VERSION_TWEAK);
    EXPECT_TRUE(std::wstring(text) == expected);
    const auto fixed = platform::win32::fileVersion(exe);
    ASSERT_EQ(fixed.size(), 4u);
    EXPECT_EQ(fixed[0], TALVOREN_VERSION_MAJOR);
    EXPECT_EQ(fixed[3], TALVOREN_VERSION_TWEAK);
}
