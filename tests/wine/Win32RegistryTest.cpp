// What the Win32 registry backend adds to the store contract: profile
// hives loaded under HKEY_USERS.

#include "platform/win32/Win32Registry.h"

#include "base/EnvStore.h"
#include "platform/win32/Win32Accounts.h"
#include "tests/wine/WineTestSupport.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <windows.h>

using namespace talvoren;
using namespace talvoren::platform;

namespace {

const std::u16string kScratch = u"Software\\TalvorenTest\\Registry";

} // namespace

TEST(Win32RegistryTest, HiveLoadsUnderUsersAndLoadingAgainSucceeds)
{
    // A hive file made by the registry itself, from a scratch key.
    test::TScratchKey source(HKEY_CURRENT_USER, kScratch + u"\\HiveSource");
    win32::TWin32Registry registry;
    {
        std::unique_ptr<IRegistryKey> key;
        ASSERT_EQ(
            registry.openKey(RootKey::CurrentUser, source.path() + u"\\Environment", access::kAllAccess, true, key),
            error::kSuccess);
        ASSERT_EQ(key->setValue(u"HiveVar", {regtype::kExpandSz, EncodeRegString(u"%SystemRoot%\\hive")}),
                  error::kSuccess);
    }
    win32::TWin32Accounts accounts;
    ASSERT_TRUE(accounts.enablePrivilege(u"SeBackupPrivilege"));
    ASSERT_TRUE(accounts.enablePrivilege(u"SeRestorePrivilege"));

    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring file = std::wstring(temp) + L"talvoren-test-hive-" + std::to_wstring(GetCurrentProcessId());
    DeleteFileW(file.c_str());
    HKEY sourceKey = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, test::wide(source.path()), 0, KEY_READ, &sourceKey), ERROR_SUCCESS);
    ASSERT_EQ(RegSaveKeyW(sourceKey, file.c_str(), nullptr), ERROR_SUCCESS);
    RegCloseKey(sourceKey);

    const std::u16string name = u"TalvorenTestHive" + std::u16string(1, u'0' + GetCurrentProcessId() % 10);
    const std::u16string hiveFile(file.begin(), file.end());
    ASSERT_EQ(registry.loadHive(name, hiveFile), error::kSuccess);
    EXPECT_EQ(registry.loadHive(name, hiveFile), error::kSuccess) << "a loaded hive loads again";

    auto platform = createPlatform();
    auto store = OpenScopeForReading(*platform, Scope{RootKey::Users, u"\\" + name + u"\\Environment"});
    EXPECT_TRUE(store->IsOpen());
    EXPECT_EQ(store->GetDataType(u"HiveVar"), regtype::kExpandSz);
    EXPECT_EQ(store->ReadString(u"HiveVar"), u"%SystemRoot%\\hive");
    store.reset();

    EXPECT_EQ(RegUnLoadKeyW(HKEY_USERS, test::wide(name)), ERROR_SUCCESS);
    DeleteFileW(file.c_str());
}

TEST(Win32RegistryTest, HiveThatIsNoHiveIsRefused)
{
    wchar_t temp[MAX_PATH + 1];
    ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
    const std::wstring file = std::wstring(temp) + L"talvoren-test-not-a-hive.dat";
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "garbage, not a registry file", 28, &written, nullptr);
    CloseHandle(h);

    win32::TWin32Accounts accounts;
    accounts.enablePrivilege(u"SeRestorePrivilege");
    win32::TWin32Registry registry;
    EXPECT_NE(registry.loadHive(u"TalvorenTestNoHive", std::u16string(file.begin(), file.end())), error::kSuccess);
    EXPECT_FALSE(test::keyExists(HKEY_USERS, u"TalvorenTestNoHive", 0));
    DeleteFileW(file.c_str());
}
