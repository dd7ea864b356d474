// talvoren.exe with the window, started as a user would under Wine: the help
// dialog for "-?", the main window without arguments, the hand-over of a
// second start, and the options it leaves under HKCU\Software\Talvoren.

#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace talvoren;

namespace {

struct TFind {
    DWORD processId;
    std::wstring title;
    HWND found = nullptr;
};

BOOL CALLBACK findWindow(HWND window, LPARAM param)
{
    auto* find = reinterpret_cast<TFind*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t title[256] = {};
    GetWindowTextW(window, title, 256);
    if (owner == find->processId && IsWindowVisible(window) && find->title == title) {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

class TProcess {
public:
    explicit TProcess(const std::wstring& arguments,
                      const std::wstring& exe = test::wide(test::windowsPath(TALVOREN_EXE)))
    {
        std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
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

    // The visible top-level window of this process with `title`, waited for.
    HWND waitForWindow(const std::wstring& title, int timeoutMs = 30000)
    {
        TFind find{fInfo.dwProcessId, title};
        for (int waited = 0; waited < timeoutMs && !find.found; waited += 100) {
            EnumWindows(findWindow, reinterpret_cast<LPARAM>(&find));
            if (!find.found) {
                if (WaitForSingleObject(fInfo.hProcess, 100) == WAIT_OBJECT_0) {
                    break;
                }
            }
        }
        return find.found;
    }

    // The exit code, or -1 when the process does not end in time.
    long waitForExit(int timeoutMs = 30000)
    {
        DWORD code = 0;
        if (WaitForSingleObject(fInfo.hProcess, timeoutMs) != WAIT_OBJECT_0
            || !GetExitCodeProcess(fInfo.hProcess, &code)) {
            return -1;
        }
        return static_cast<long>(code);
    }

private:
    bool fStarted = false;
    PROCESS_INFORMATION fInfo{};
};

bool windowsCanBeShown()
{
    HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) {
        return false;
    }
    DestroyWindow(probe);
    return true;
}

std::wstring mainWindowTitle()
{
    return L"Talvoren " + std::to_wstring(TALVOREN_VERSION_MAJOR) + L"." + std::to_wstring(TALVOREN_VERSION_MINOR)
        + L" build " + std::to_wstring(TALVOREN_VERSION_TWEAK);
}

std::string readFile(const std::wstring& path)
{
    std::string bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return bytes;
    }
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
    }
    CloseHandle(file);
    return bytes;
}

void writeFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// The window checks for updates at start; a test never asks the real server.
void switchOffTheUpdateCheck()
{
    HKEY key = nullptr;
    ASSERT_EQ(
        RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Talvoren", 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
        ERROR_SUCCESS);
    const DWORD off = 0;
    RegSetValueExW(key, L"checkForUpdates", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off), sizeof(off));
    RegCloseKey(key);
}

class WindowStartTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!windowsCanBeShown()) {
            GTEST_SKIP() << "no display for Wine (run under xvfb-run)";
        }
    }
};

} // namespace

TEST_F(WindowStartTest, HelpDialogHasItsSizeStandsCentredAndEndsWithZero)
{
    for (const wchar_t* option : {L"-?", L"/?"}) {
        TProcess process(option);
        ASSERT_TRUE(process.started());
        HWND dialog = process.waitForWindow(L"Command line parameters");
        ASSERT_NE(dialog, nullptr) << "no help dialog for " << option;
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right - client.left, 586);
        EXPECT_EQ(client.bottom - client.top, 360);
        RECT frame{};
        GetWindowRect(dialog, &frame);
        EXPECT_EQ(frame.right - frame.left, 586) << "the dialog has no border";
        HMONITOR monitor = MonitorFromWindow(dialog, MONITOR_DEFAULTTONEAREST);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(monitor, &info);
        EXPECT_NEAR((frame.left + frame.right) / 2, (info.rcWork.left + info.rcWork.right) / 2, 1);
        EXPECT_NEAR((frame.top + frame.bottom) / 2, (info.rcWork.top + info.rcWork.bottom) / 2, 1);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.waitForExit(), 0);
    }
}

TEST_F(WindowStartTest, MainWindowOpensHandsOverToASecondStartAndKeepsItsOptions)
{
    const std::u16string options = u"Software\\Talvoren";
    RegDeleteTreeW(HKEY_CURRENT_USER, test::wide(options));
    switchOffTheUpdateCheck();
    const std::wstring title = mainWindowTitle();

    TProcess first(L"");
    ASSERT_TRUE(first.started());
    HWND window = first.waitForWindow(title);
    ASSERT_NE(window, nullptr) << "the main window did not open";

    TProcess second(L"");
    ASSERT_TRUE(second.started());
    EXPECT_EQ(second.waitForExit(), 0) << "a second start hands over and ends instead of opening a window";

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.waitForExit(), 0);
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test::wide(options), 0, KEY_QUERY_VALUE, &key), ERROR_SUCCESS)
        << "closing saves the options under HKCU\\Software\\Talvoren";
    DWORD width = 0;
    DWORD size = sizeof(width);
    EXPECT_EQ(RegQueryValueExW(key, L"width", nullptr, nullptr, reinterpret_cast<BYTE*>(&width), &size), ERROR_SUCCESS);
    EXPECT_GT(width, 0u);
    RegCloseKey(key);
    RegDeleteTreeW(HKEY_CURRENT_USER, test::wide(options));
}

TEST_F(WindowStartTest, BesideAnIniFileTheOptionsStayInItAndAReadOnlyOneIsLeftAlone)
{
    const std::u16string options = u"Software\\Talvoren";
    RegDeleteTreeW(HKEY_CURRENT_USER, test::wide(options));
    // A copy of the program in a folder of its own, as carried on a stick.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"talvoren-portable-" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring exe = folder + L"\\talvoren.exe";
    const std::wstring ini = folder + L"\\talvoren.ini";
    ASSERT_TRUE(CopyFileW(test::wide(test::windowsPath(TALVOREN_EXE)), exe.c_str(), FALSE));

    const std::string seeded = "[Talvoren]\r\nonDeleteConfirmation=1\r\ncheckForUpdates=0\r\n";
    for (const bool readOnly : {false, true}) {
        SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
        writeFile(ini, seeded);
        if (readOnly) {
            SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_READONLY);
        }
        TProcess process(L"", exe);
        ASSERT_TRUE(process.started());
        HWND window = process.waitForWindow(mainWindowTitle());
        ASSERT_NE(window, nullptr) << "the main window did not open beside " << (readOnly ? "a read-only" : "an")
                                   << " INI";
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(process.waitForExit(), 0);

        const std::string stored = readFile(ini);
        if (readOnly) {
            EXPECT_EQ(stored, seeded) << "a read-only INI is never written";
        } else {
            EXPECT_NE(stored.find("width="), std::string::npos) << "closing stores the window in the INI:\n" << stored;
            EXPECT_NE(stored.find("onDeleteConfirmation=1"), std::string::npos) << stored;
        }
        EXPECT_FALSE(test::keyExists(HKEY_CURRENT_USER, options, 0)) << "nothing goes to the registry beside an INI";
    }
    SetFileAttributesW(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(ini.c_str());
    DeleteFileW(exe.c_str());
    RemoveDirectoryW(folder.c_str());
}

namespace {

bool gEnvironmentAnnounced = false;

LRESULT CALLBACK listenForSettingChange(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTINGCHANGE && lParam
        && lstrcmpW(reinterpret_cast<const wchar_t*>(lParam), L"Environment") == 0) {
        gEnvironmentAnnounced = true;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace

TEST_F(WindowStartTest, AChangeFromTheCommandLineIsAnnouncedToTheOtherPrograms)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = listenForSettingChange;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"TalvorenTestListener";
    RegisterClassW(&windowClass);
    HWND listener = CreateWindowExW(0, windowClass.lpszClassName, L"listener", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    ASSERT_NE(listener, nullptr);
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"TalvorenAnnounce");

    gEnvironmentAnnounced = false;
    TProcess process(L"-S TalvorenAnnounce heard");
    ASSERT_TRUE(process.started());
    // The broadcast is sent, not posted: this thread answers it while it waits.
    long code = -1;
    for (int waited = 0; waited < 30000 && code == -1; waited += 50) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
        }
        code = process.waitForExit(50);
    }
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(gEnvironmentAnnounced) << "no WM_SETTINGCHANGE \"Environment\" reached a listening window";
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", L"TalvorenAnnounce");
    DestroyWindow(listener);
}
