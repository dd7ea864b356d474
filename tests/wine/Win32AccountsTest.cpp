// Accounts and privileges of the real token.

#include "platform/win32/Win32Accounts.h"

#include "platform/Utf.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace talvoren;
using namespace talvoren::platform;

TEST(Win32AccountsTest, CurrentUserResolvesToTheLoggedOnAccount)
{
    win32::TWin32Accounts accounts;
    const std::u16string sid = accounts.currentUserSid();
    ASSERT_EQ(sid.rfind(u"S-1-5-", 0), 0u) << toUtf8(sid);

    AccountInfo info;
    ASSERT_TRUE(accounts.lookupSid(sid, info));
    EXPECT_EQ(info.sidType, 1u) << "a user account";
    wchar_t user[256];
    DWORD size = 256;
    ASSERT_TRUE(GetUserNameW(user, &size));
    EXPECT_EQ(toUtf8(info.name), toUtf8(std::u16string(reinterpret_cast<const char16_t*>(user))));
    EXPECT_FALSE(info.domain.empty());
    EXPECT_EQ(info.domain.find(u'\0'), std::u16string::npos) << "no stray null is kept";
}

TEST(Win32AccountsTest, WellKnownAndInvalidSids)
{
    win32::TWin32Accounts accounts;
    AccountInfo info;
    ASSERT_TRUE(accounts.lookupSid(u"S-1-5-18", info)); // the local system
    EXPECT_NE(info.sidType, 1u) << "not a user";
    AccountInfo untouched{u"n", u"d", 7};
    EXPECT_FALSE(accounts.lookupSid(u"not a sid", untouched));
    EXPECT_FALSE(accounts.lookupSid(u"", untouched));
    EXPECT_EQ(untouched.sidType, 7u);
}

TEST(Win32AccountsTest, EnablingAPrivilegeReportsWhetherItIsOn)
{
    win32::TWin32Accounts accounts;
    EXPECT_FALSE(accounts.enablePrivilege(u"SeNoSuchPrivilege"));
    // The administrator of a Wine prefix holds the restore privilege.
    ASSERT_TRUE(accounts.enablePrivilege(u"SeRestorePrivilege"));

    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    LUID luid{};
    ASSERT_TRUE(LookupPrivilegeValueW(nullptr, L"SeRestorePrivilege", &luid));
    PRIVILEGE_SET set{};
    set.PrivilegeCount = 1;
    set.Control = PRIVILEGE_SET_ALL_NECESSARY;
    set.Privilege[0].Luid = luid;
    BOOL enabled = FALSE;
    ASSERT_TRUE(PrivilegeCheck(token, &set, &enabled));
    EXPECT_TRUE(enabled);
    CloseHandle(token);
}
