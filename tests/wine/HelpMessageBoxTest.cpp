// The build without the window shows its texts in the system's message box:
// talvoren.exe is started, its box is read and closed like a user would.

#include "cli/CommandLine.h"
#include "platform/Utf.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>
#include <string>
#include <windows.h>

using namespace talvoren;

namespace {

// Wine without a display has no window driver: no window can be created.
bool windowsCanBeShown()
{
    HWND probe = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (!probe) {
        return false;
    }
    DestroyWindow(probe);
    return true;
}

struct TFind {
    DWORD processId;
    HWND found = nullptr;
};

BOOL CALLBACK findDialog(HWND window, LPARAM param)
{
    auto* find = reinterpret_cast<TFind*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (owner == find->processId && IsWindowVisible(window) && std::wstring(className) == L"#32770") {
        find->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK collectStaticText(HWND window, LPARAM param)
{
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (std::wstring(className) == L"Static") {
        wchar_t text[8192] = {};
        GetWindowTextW(window, text, 8192);
        auto* longest = reinterpret_cast<std::wstring*>(param);
        if (wcslen(text) > longest->size()) {
            *longest = text;
        }
    }
    return TRUE;
}

// What the box of `talvoren.exe arguments` said: its title and its text.
// The box is closed with OK; `exitCode` receives the program's exit code.
struct TBox {
    std::u16string title;
    std::u16string text;
    DWORD exitCode = 0xFFFFFFFF;
};

TBox runAndReadBox(const std::wstring& arguments)
{
    TBox box;
    const std::u16string exe = test::windowsPath(TALVOREN_EXE);
    std::wstring commandLine = L"\"" + std::wstring(test::wide(exe)) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "talvoren.exe did not start";
        return box;
    }
    TFind find{process.dwProcessId};
    for (int i = 0; i < 300 && !find.found; ++i) {
        EnumWindows(findDialog, reinterpret_cast<LPARAM>(&find));
        if (!find.found) {
            Sleep(100);
        }
    }
    if (find.found) {
        wchar_t title[256] = {};
        GetWindowTextW(find.found, title, 256);
        std::wstring text;
        EnumChildWindows(find.found, collectStaticText, reinterpret_cast<LPARAM>(&text));
        box.title = reinterpret_cast<const char16_t*>(title);
        box.text = reinterpret_cast<const char16_t*>(text.c_str());
        PostMessageW(find.found, WM_COMMAND, IDOK, 0);
    } else {
        ADD_FAILURE() << "no message box appeared";
        TerminateProcess(process.hProcess, 99);
    }
    if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0) {
        GetExitCodeProcess(process.hProcess, &box.exitCode);
    } else {
        ADD_FAILURE() << "talvoren.exe did not end after OK";
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return box;
}

// Every piece appears in `text`, each after the one before.
void expectInOrder(const std::u16string& text, const std::vector<std::u16string>& pieces)
{
    size_t at = 0;
    for (const auto& piece : pieces) {
        const size_t found = text.find(piece, at);
        ASSERT_NE(found, std::u16string::npos) << "missing or out of order: " << platform::toUtf8(piece) << "\nin:\n"
                                               << platform::toUtf8(text);
        at = found + piece.size();
    }
}

class HelpMessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!windowsCanBeShown()) {
            GTEST_SKIP() << "no display for Wine (run under xvfb-run)";
        }
    }
};

} // namespace

TEST_F(HelpMessageBoxTest, HelpHoldsEveryLineAndExitsWithZero)
{
    for (const wchar_t* option : {L"-?", L"/?"}) {
        const TBox box = runAndReadBox(option);
        EXPECT_EQ(box.exitCode, 0u);
        EXPECT_EQ(platform::toUtf8(box.title), "Talvoren");
        std::vector<std::u16string> pieces{u"Command line parameters", CommandHelpUrl()};
        for (const auto& line : CommandHelpLines()) {
            pieces.push_back(platform::fromUtf8(line.option));
            if (*line.description != '\0') {
                pieces.push_back(platform::fromUtf8(line.description));
            }
        }
        expectInOrder(box.text, pieces);
    }
}

TEST_F(HelpMessageBoxTest, StartWithoutArgumentsSaysThereIsNoWindow)
{
    const TBox box = runAndReadBox(L"");
    EXPECT_EQ(box.exitCode, 0u);
    EXPECT_NE(box.text.find(u"has no window"), std::u16string::npos) << platform::toUtf8(box.text);
}
