#include "tests/support/TestSupport.h"

#include "model/ENode.h"
#include "platform/HostEnvironment.h"
#include "platform/Utf.h"
#include "tests/support/HostProcess.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>

namespace talvoren {

void PrintTo(const TENode* node, std::ostream* os)
{
    if (!node) {
        *os << "(no node)";
    } else if (const TVarData* variable = node->VarData()) {
        *os << test::utf8(variable->GetVariableName());
    } else if (const TElemData* element = node->ElemData(); element && node->Parent()) {
        PrintTo(node->Parent(), os);
        *os << '[' << node->Row() << "] \"" << test::utf8(element->GetElement()) << '"';
    } else {
        *os << "(the tree's root)";
    }
}

} // namespace talvoren

namespace talvoren::test {

std::string utf8(const std::u16string& text)
{
    return platform::toUtf8(text);
}

namespace {
std::filesystem::path uniqueTempPath(const char* stem)
{
    static std::atomic<unsigned> counter{0};
    std::random_device rd;
    const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
    return std::filesystem::temp_directory_path()
        / (std::string(stem) + std::to_string(rd()) + "-" + std::to_string(tick % 1000000) + "-"
           + std::to_string(counter++));
}
} // namespace

std::string shellQuote(const std::string& argument)
{
    if (platform::kEmulatedMachine) {
        std::string quoted = "'";
        for (char c : argument) {
            if (c == '\'') {
                quoted += "'\\''";
            } else {
                quoted += c;
            }
        }
        return quoted + "'";
    }
    // cmd.exe and the program's own splitter both drop the quotes; a quote
    // inside an argument cannot be passed this way.
    return "\"" + argument + "\"";
}

std::string commandLine(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string line = shellQuote(program);
    for (const auto& argument : arguments) {
        line += " " + shellQuote(argument);
    }
    // cmd /c drops the first and the last quote of a line that starts with
    // one; an outer pair keeps the inner quoting intact.
    return platform::kEmulatedMachine ? line : "\"" + line + "\"";
}

TempDir::TempDir()
    : fPath(uniqueTempPath("talvoren-test-"))
{
    std::filesystem::create_directories(fPath);
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(fPath, ec);
}

TestMachine::TestMachine()
{
    if (platform::kEmulatedMachine) {
        fPrefix = uniqueTempPath("talvoren-prefix-");
        fOldPrefix = platform::hostVariable("TALVOREN_PREFIX");
        setHostVariable("TALVOREN_PREFIX", fPrefix.string());
    }
    fPlatform = platform::createPlatform();
    if (platform::kEmulatedMachine) {
        fScratchHost = fPrefix / "drive_c" / "talvoren-scratch";
        fScratch = u"C:\\talvoren-scratch";
    } else {
        fScratchHost = uniqueTempPath("talvoren-scratch-");
        fScratch = fScratchHost.u16string();
    }
    std::filesystem::create_directories(fScratchHost);
}

TestMachine::~TestMachine()
{
    fPlatform.reset();
    std::error_code scratchError;
    std::filesystem::remove_all(fScratchHost, scratchError);
    if (platform::kEmulatedMachine) {
        setHostVariable("TALVOREN_PREFIX", fOldPrefix);
        std::error_code ec;
        // A test may have made the hive read-only; give the owner rights back
        // so the folder can go.
        for (auto& entry : std::filesystem::recursive_directory_iterator(fPrefix, ec)) {
            std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                         std::filesystem::perm_options::add, ec);
        }
        std::filesystem::remove_all(fPrefix, ec);
    }
}

} // namespace talvoren::test
