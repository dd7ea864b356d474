// The process facts of the Win32 backend: the WOW64 probe and the 64-bit
// registry view it selects for saving, the version resource read back at
// run time, and the settings-change broadcast.

#include "platform/win32/Win32System.h"

#include "base/EnvStore.h"
#include "tests/wine/WineTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace talvoren;
using namespace talvoren::platform;

namespace {

// Whether the machine is 64-bit, asked independently of IsWow64Process.
bool nativeIs64Bit()
{
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64
        || info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_ARM64;
}

} // namespace

TEST(Win32SystemTest, Wow64ProbeMatchesTheMachineAndIsStable)
{
    static_assert(sizeof(void*) == 4, "the Windows build is a 32-bit program");
    win32::TWin32System system;
    uint32_t lastError = 12345;
    const bool first = system.isWow64Process(&lastError);
    EXPECT_EQ(first, nativeIs64Bit());
    EXPECT_EQ(lastError, error::kSuccess);
    uint32_t again = 12345;
    EXPECT_EQ(system.isWow64Process(&again), first);
    EXPECT_EQ(again, error::kSuccess);
}

TEST(Win32SystemTest, MissingProbeFunctionAnswersNoWithNotSupported)
{
    uint32_t lastError = 0;
    SetLastError(0);
    EXPECT_FALSE(win32::queryWow64(L"kernel32.dll", "IsWow64ProcessThatIsNot", lastError));
    EXPECT_EQ(lastError, error::kNotSupported);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));

    lastError = 0;
    EXPECT_FALSE(win32::queryWow64(L"no-such-module.dll", "IsWow64Process", lastError));
    EXPECT_EQ(lastError, error::kNotSupported);
}

TEST(Win32SystemTest, SavingOpensTheSixtyFourBitViewExactlyUnderWow64)
{
    auto platform = createPlatform();
    auto store = OpenScopeForWriting(*platform, CurrentUserScope());
    ASSERT_TRUE(store->IsOpen());
    const uint32_t expected = nativeIs64Bit() ? access::kAllAccess | access::kWow64_64Key : access::kAllAccess;
    EXPECT_EQ(store->Access(), expected);
}

TEST(Win32SystemTest, SixtyFourBitViewFlagReachesTheRegistry)
{
    // HKLM\Software is split into two views on 64-bit Windows; a key created
    // through the 64-bit view is not in the 32-bit one.
    if (!nativeIs64Bit()) {
        GTEST_SKIP() << "a 32-bit machine has one registry view";
    }
    auto platform = createPlatform();
    test::TScratchKey scratch(HKEY_LOCAL_MACHINE, u"Software\\TalvorenTest\\View");
    std::unique_ptr<IRegistryKey> key;
    ASSERT_EQ(platform->registry().openKey(RootKey::LocalMachine, scratch.path(),
                                           access::kAllAccess | access::kWow64_64Key, true, key),
              error::kSuccess);
    ASSERT_EQ(key->setValue(u"Marker", {regtype::kSz, EncodeRegString(u"64")}), error::kSuccess);
    key.reset();

    EXPECT_TRUE(test::keyExists(HKEY_LOCAL_MACHINE, scratch.path(), KEY_WOW64_64KEY));
    EXPECT_FALSE(test::keyExists(HKEY_LOCAL_MACHINE, scratch.path(), KEY_WOW64_32KEY));
}

TEST(Win32SystemTest, VersionResourceIsReadAtRunTime)
{
    const std::vector<uint16_t> expected{TALVOREN_VERSION_MAJOR, TALVOREN_VERSION_MINOR, TALVOREN_VERSION_PATCH,
                                         TALVOREN_VERSION_TWEAK};
    win32::TWin32System system;
    // This test program carries the same resource as talvoren.exe.
    EXPECT_EQ(system.executableVersion(), expected);
    EXPECT_TRUE(win32::fileVersion(u"C:\\no\\such\\file.exe").empty());
}

TEST(Win32SystemTest, BroadcastReachesTheWindowsAndSucceeds)
{
    win32::TWin32System system;
    EXPECT_NE(BroadcastEnvironmentChange(system, kCommandLineBroadcastTimeoutMs), 0u);
}
