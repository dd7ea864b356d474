// Talvoren_setup.exe and talvoren-portable.zip as a Windows user meets them:
// the silent install, the installed program's window and command line, the
// uninstall entry, an install over a running copy, and the silent uninstall
// that leaves nothing of its own behind but the person's settings; and the
// unpacked zip starting in portable mode.

#include "platform/Utf.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <string>
#include <windows.h>

using namespace talvoren;

namespace {

const std::u16string kUninstallKey = u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvoren";
const std::u16string kSettingsKey = u"Software\\Talvoren";

std::wstring versionText()
{
    return std::to_wstring(TALVOREN_VERSION_MAJOR) + L"." + std::to_wstring(TALVOREN_VERSION_MINOR) + L"."
        + std::to_wstring(TALVOREN_VERSION_PATCH) + L"." + std::to_wstring(TALVOREN_VERSION_TWEAK);
}

// The fixed file version of a PE file as "major.minor.release.build".
std::wstring fileVersion(const std::wstring& path)
{
    DWORD ignored = 0;
    std::string block(GetFileVersionInfoSizeW(path.c_str(), &ignored), '\0');
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, DWORD(block.size()), block.data())
        || !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info) {
        return L"<none>";
    }
    return std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"."
        + std::to_wstring(HIWORD(info->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(info->dwFileVersionLS));
}

std::wstring mainWindowTitle()
{
    return L"Talvoren " + std::to_wstring(TALVOREN_VERSION_MAJOR) + L"." + std::to_wstring(TALVOREN_VERSION_MINOR)
        + L" build " + std::to_wstring(TALVOREN_VERSION_TWEAK);
}

struct TFind {
    DWORD processId;
    const std::wstring& title;
    HWND found = nullptr;
};

BOOL CALLBACK findWindow(HWND window, LPARAM param)
{
    auto* find = reinterpret_cast<TFind*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t text[256] = {};
    GetWindowTextW(window, text, 256);
    if (owner == find->processId && IsWindowVisible(window) && find->title == text) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

class TProcess {
public:
    explicit TProcess(std::wstring commandLine)
    {
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        fStarted = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &fInfo);
    }
    ~TProcess()
    {
        if (fStarted) {
            if (WaitForSingleObject(fInfo.hProcess, 0) != WAIT_OBJECT_0) {
                TerminateProcess(fInfo.hProcess, 99);
            }
            CloseHandle(fInfo.hThread);
            CloseHandle(fInfo.hProcess);
        }
    }
    bool started() const { return fStarted; }

    // The exit code, or -1 when it does not start or end in time.
    long waitForExit(int timeoutMs = 120000)
    {
        DWORD code = 0;
        if (!fStarted || WaitForSingleObject(fInfo.hProcess, timeoutMs) != WAIT_OBJECT_0
            || !GetExitCodeProcess(fInfo.hProcess, &code)) {
            return -1;
        }
        return static_cast<long>(code);
    }

    // This process's visible top-level window titled `title`, waited for.
    HWND waitForWindow(const std::wstring& title, int timeoutMs = 30000)
    {
        TFind find{fInfo.dwProcessId, title};
        for (int waited = 0; fStarted && waited < timeoutMs && !find.found; waited += 100) {
            EnumWindows(findWindow, reinterpret_cast<LPARAM>(&find));
            if (!find.found && WaitForSingleObject(fInfo.hProcess, 100) == WAIT_OBJECT_0) {
                break;
            }
        }
        return find.found;
    }

private:
    bool fStarted = false;
    PROCESS_INFORMATION fInfo{};
};

long run(const std::wstring& commandLine)
{
    return TProcess(commandLine).waitForExit();
}

bool exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A value of the uninstall entry, in the 32-bit view that this test and the
// setup share.
std::wstring entryText(const wchar_t* name)
{
    wchar_t text[1024] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, test::wide(kUninstallKey), name, RRF_RT_REG_SZ, nullptr, text, &bytes)
        != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return text;
}

DWORD entryNumber(const wchar_t* name)
{
    DWORD number = 0;
    DWORD bytes = sizeof(number);
    RegGetValueW(HKEY_LOCAL_MACHINE, test::wide(kUninstallKey), name, RRF_RT_REG_DWORD, nullptr, &number, &bytes);
    return number;
}

void setSetting(const wchar_t* name, DWORD value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, test::wide(kSettingsKey), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
}

bool settingExists(const wchar_t* name)
{
    return RegGetValueW(HKEY_CURRENT_USER, test::wide(kSettingsKey), name, RRF_RT_ANY, nullptr, nullptr, nullptr)
        == ERROR_SUCCESS;
}

std::wstring environmentValue(const wchar_t* name)
{
    wchar_t text[256] = {};
    DWORD bytes = sizeof(text) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Environment", name, RRF_RT_REG_SZ, nullptr, text, &bytes) != ERROR_SUCCESS) {
        return L"<missing>";
    }
    return text;
}

// The uninstaller copies itself away and returns at once; what it removes
// goes in the copy's own time.
bool waitUntilGone(const std::wstring& path, int timeoutMs = 60000)
{
    for (int waited = 0; waited < timeoutMs; waited += 250) {
        if (!exists(path) && !test::keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY)) {
            return true;
        }
        Sleep(250);
    }
    return false;
}

std::wstring knownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegDeleteTreeW(HKEY_CURRENT_USER, test::wide(kSettingsKey));
        // The window checks for updates at start; a test never asks the real server.
        setSetting(L"checkForUpdates", 0);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, test::wide(kSettingsKey)); }

    const std::wstring setup = L"\"" + std::wstring(test::wide(test::windowsPath(TALVOREN_SETUP))) + L"\"";
    const std::wstring folder = knownFolder(CSIDL_PROGRAM_FILES) + L"\\Talvoren";
    const std::wstring shortcut = knownFolder(CSIDL_COMMON_PROGRAMS) + L"\\Talvoren.lnk";
};

} // namespace

TEST_F(SetupTest, SilentSetupInstallsUpgradesARunningCopyAndTheSilentUninstallLeavesOnlyTheSettings)
{
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) {
        EXPECT_NE(folder.find(L"Program Files (x86)"), std::wstring::npos) << folder;
    }
    // One version: the setup's, the installed program's and the entry's.
    EXPECT_EQ(fileVersion(test::wide(test::windowsPath(TALVOREN_SETUP))), versionText());
    ASSERT_EQ(run(setup + L" /S"), 0);

    const std::wstring exe = folder + L"\\talvoren.exe";
    for (const wchar_t* file : {L"\\talvoren.exe", L"\\uninstall.exe", L"\\LICENSE", L"\\THIRD-PARTY-NOTICES.txt",
                                L"\\LICENSE.LGPL-2.1", L"\\locale\\de\\LC_MESSAGES\\default.mo",
                                L"\\locale\\ja\\LC_MESSAGES\\default.mo", L"\\translations\\qtbase_de.qm"}) {
        EXPECT_TRUE(exists(folder + file))
            << "not installed: " << platform::toUtf8(platform::win32::fromWide((folder + file).c_str()));
    }
    EXPECT_TRUE(exists(shortcut)) << "no Start-menu shortcut";
    EXPECT_EQ(entryText(L"DisplayName"), L"Talvoren");
    EXPECT_EQ(entryText(L"DisplayVersion"), versionText());
    EXPECT_EQ(fileVersion(exe), versionText());
    EXPECT_NE(entryText(L"Publisher"), L"<missing>");
    EXPECT_EQ(entryText(L"DisplayIcon"), exe + L",0");
    EXPECT_EQ(entryText(L"InstallLocation"), folder);
    EXPECT_EQ(entryText(L"UninstallString"), L"\"" + folder + L"\\uninstall.exe\"");
    const std::wstring quietUninstall = entryText(L"QuietUninstallString");
    EXPECT_EQ(quietUninstall, L"\"" + folder + L"\\uninstall.exe\" /S");
    // In KB: the executable alone is several megabytes.
    EXPECT_GT(entryNumber(L"EstimatedSize"), 4000u);

    // The installed program: its command line, then its window.
    EXPECT_EQ(run(L"\"" + exe + L"\" -S TalvorenSetupTest installed"), 0);
    EXPECT_EQ(environmentValue(L"TalvorenSetupTest"), L"installed");
    EXPECT_EQ(run(L"\"" + exe + L"\" -D TalvorenSetupTest"), 0);
    EXPECT_EQ(environmentValue(L"TalvorenSetupTest"), L"<missing>");
    setSetting(L"keptBySetupTest", 1);
    {
        TProcess running(L"\"" + exe + L"\"");
        ASSERT_NE(running.waitForWindow(mainWindowTitle()), nullptr) << "the installed program opened no window";
        // Installing again asks the running copy to close, then replaces it.
        EXPECT_EQ(run(setup + L" /S"), 0);
        EXPECT_EQ(running.waitForExit(5000), 0) << "the setup did not close the running program";
    }
    EXPECT_TRUE(exists(exe));
    EXPECT_TRUE(exists(shortcut));
    EXPECT_EQ(entryText(L"DisplayVersion"), versionText());
    EXPECT_TRUE(settingExists(L"keptBySetupTest")) << "an install over an older one keeps the settings";

    ASSERT_NE(quietUninstall, L"<missing>");
    EXPECT_EQ(run(quietUninstall), 0);
    EXPECT_TRUE(waitUntilGone(folder)) << "the uninstaller left the folder or its entry";
    EXPECT_FALSE(exists(shortcut));
    EXPECT_FALSE(test::keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_64KEY));
    EXPECT_TRUE(settingExists(L"keptBySetupTest")) << "the settings stay unless the person asks";

    // Ticked "Remove my settings" (/REMOVESETTINGS in a silent run) removes them.
    ASSERT_EQ(run(setup + L" /S"), 0);
    EXPECT_EQ(run(quietUninstall + L" /REMOVESETTINGS"), 0);
    EXPECT_TRUE(waitUntilGone(folder));
    for (int waited = 0; waited < 10000 && test::keyExists(HKEY_CURRENT_USER, kSettingsKey, 0); waited += 250) {
        Sleep(250);
    }
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, kSettingsKey, 0));
}

TEST_F(SetupTest, TheUnpackedPortableZipKeepsItsSettingsInItsIniFile)
{
    RegDeleteTreeW(HKEY_CURRENT_USER, test::wide(kSettingsKey));
    const std::wstring dir = test::wide(test::windowsPath(TALVOREN_PORTABLE_DIR));
    const std::wstring ini = dir + L"\\talvoren.ini";
    ASSERT_TRUE(exists(ini)) << "the zip carries talvoren.ini";
    ASSERT_TRUE(exists(dir + L"\\locale\\fr\\LC_MESSAGES\\default.mo"));
    // Switch off the update check in the ini, the way a portable copy keeps it.
    HANDLE file = CreateFileW(ini.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    const char seeded[] = "[Talvoren]\r\ncheckForUpdates=0\r\n";
    DWORD written = 0;
    WriteFile(file, seeded, sizeof(seeded) - 1, &written, nullptr);
    CloseHandle(file);

    TProcess program(L"\"" + dir + L"\\talvoren.exe\"");
    HWND window = program.waitForWindow(mainWindowTitle());
    ASSERT_NE(window, nullptr) << "the portable program opened no window";
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.waitForExit(30000), 0);
    EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, kSettingsKey, 0)) << "a portable copy writes no registry settings";
    char stored[4096] = {};
    DWORD read = 0;
    file = CreateFileW(ini.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ReadFile(file, stored, sizeof(stored) - 1, &read, nullptr);
    CloseHandle(file);
    EXPECT_NE(std::string(stored).find("width="), std::string::npos) << "closing stores the window in the ini";
}
