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
    explicit TProcess(const std::wstring& arguments)
    {
        const std::u16string exe = test::windowsPath(TALVOREN_EXE);
        std::wstring commandLine = L"\"" + std::wstring(test::wide(exe)) + L"\" " + arguments;
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
    const std::wstring title = L"Talvoren " + std::to_wstring(TALVOREN_VERSION_MAJOR) + L"."
        + std::to_wstring(TALVOREN_VERSION_MINOR) + L" build " + std::to_wstring(TALVOREN_VERSION_TWEAK);

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
