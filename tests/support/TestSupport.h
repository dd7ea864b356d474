#pragma once

// Test support shared by every suite: readable failures for UTF-16 text and
// a throwaway machine to run against.

#include "platform/Platform.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

// GoogleTest prints std::u16string itself (u"..."); utf8() gives the text
// for messages of one's own.

namespace talvoren {

class TENode;

// A failing assertion names the node, not its address: PATH for a
// variable, PATH[2] "C:\bin" for an element.
void PrintTo(const TENode* node, std::ostream* os);
inline void PrintTo(TENode* node, std::ostream* os)
{
    PrintTo(static_cast<const TENode*>(node), os);
}

} // namespace talvoren

namespace talvoren::test {

std::string utf8(const std::u16string& text);

// A machine of its own for one test. On the emulated backend it is a fresh
// prefix in a temporary folder (TALVOREN_PREFIX points at it while the
// fixture lives); on Windows it is the machine the tests run on.
class TestMachine {
public:
    TestMachine();
    ~TestMachine();

    platform::IPlatform& platform() { return *fPlatform; }

    // Host folder of the emulated prefix (empty on Windows).
    const std::filesystem::path& prefix() const { return fPrefix; }

    // A scratch folder on the machine under test, removed with the fixture:
    // its host path (to create files with std::filesystem) and the Windows
    // path the program sees (C:\... on the emulated machine).
    const std::filesystem::path& scratchHostPath() const { return fScratchHost; }
    const std::u16string& scratchPath() const { return fScratch; }

private:
    std::filesystem::path fPrefix;
    std::optional<std::string> fOldPrefix;
    std::filesystem::path fScratchHost;
    std::u16string fScratch;
    std::unique_ptr<platform::IPlatform> fPlatform;
};

// Quotes one argument for the command interpreter that runProcess uses
// (/bin/sh on the emulated machine, cmd.exe on Windows).
std::string shellQuote(const std::string& argument);

// A command line of the program and its arguments, each quoted.
std::string commandLine(const std::string& program, const std::vector<std::string>& arguments);

// A new temporary folder, removed by its destructor.
class TempDir {
public:
    TempDir();
    ~TempDir();
    const std::filesystem::path& path() const { return fPath; }

private:
    std::filesystem::path fPath;
};

} // namespace talvoren::test
