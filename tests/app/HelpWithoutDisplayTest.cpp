// "-?" in a terminal without any display: the help on standard output and
// exit code 0, not an abort in the window system.

#include "cli/CommandLine.h"
#include "tests/support/HostProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace talvoren;

TEST(HelpWithoutDisplayTest, PrintsEveryLineInOrderAndExitsWithZero)
{
    test::TestMachine machine;
    for (const std::string option : {"-?", "/?"}) {
        const auto result = test::runProcess("env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "
                                             + test::commandLine(TALVOREN_EXE, {option}) + " 2>/dev/null");
        EXPECT_EQ(result.exitCode, 0) << option;
        std::vector<std::string> lines{"Command line parameters", test::utf8(CommandHelpUrl()), ""};
        for (const auto& line : CommandHelpLines()) {
            lines.push_back(*line.description ? std::string(line.option) + "\t" + line.description : line.option);
        }
        lines.emplace_back();
        lines.insert(lines.end(), CommandHelpNotes().begin(), CommandHelpNotes().end());
        std::string expected;
        for (const auto& line : lines) {
            expected += line + "\n";
        }
        EXPECT_EQ(result.output, expected) << option;
    }
}
