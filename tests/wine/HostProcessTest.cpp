// The host-process services on Windows: cmd.exe commands and the process's
// own environment block, which child processes inherit.

#include "tests/support/HostProcess.h"

#include "platform/HostEnvironment.h"

#include <gtest/gtest.h>

using namespace talvoren::platform;
using namespace talvoren::test;

TEST(HostProcessTest, CommandOutputAndExitCode)
{
    const auto echo = runProcess("echo talvoren& echo second");
    EXPECT_EQ(echo.exitCode, 0);
    EXPECT_EQ(echo.output, "talvoren\nsecond\n");
    EXPECT_EQ(runProcess("exit 3").exitCode, 3);
}

TEST(HostProcessTest, VariablesRoundTripInUtf8AndReachChildren)
{
    const std::string name = "TALVOREN_HOST_TEST";
    setHostVariable(name, std::string("gr\xC3\xBC\xC3\x9F \xE2\x82\xAC"));
    EXPECT_EQ(hostVariable(name).value_or("<unset>"), "gr\xC3\xBC\xC3\x9F \xE2\x82\xAC");
    // cmd's echo writes the ANSI code page, reg.exe the OEM one: only ASCII
    // comes back the same from both.
    setHostVariable(name, std::string("child sees it"));
    EXPECT_EQ(runProcess("echo %" + name + "%").output, "child sees it\n");

    setHostVariable(name, std::nullopt);
    EXPECT_FALSE(hostVariable(name));
    EXPECT_EQ(runProcess("echo %" + name + "%").output, "%" + name + "%\n");
}

TEST(HostProcessTest, RegOutputArrivesAsUtf8)
{
    const std::string key = "HKCU\\Software\\TalvorenTest\\HostProcess";
    ASSERT_EQ(runProcess("reg add " + key + " /v V /t REG_SZ /d \"gr\xC3\xBC\xC3\x9F\" /f").exitCode, 0);
    const auto query = runProcess("reg query " + key + " /v V");
    runProcess("reg delete " + key + " /f");
    EXPECT_EQ(query.exitCode, 0);
    EXPECT_NE(query.output.find("REG_SZ    gr\xC3\xBC\xC3\x9F\n"), std::string::npos) << query.output;
}
