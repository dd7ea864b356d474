#include "platform/win32/Win32Accounts.h"

#include "platform/win32/WideText.h"

#include <vector>
#include <windows.h>
// sddl.h needs the types of windows.h first.
#include <sddl.h>

namespace talvoren::platform::win32 {

namespace {

// Closes a kernel handle when it goes out of scope.
class THandle {
public:
    THandle() = default;
    ~THandle()
    {
        if (fHandle) {
            CloseHandle(fHandle);
        }
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;

    HANDLE* out() { return &fHandle; }
    HANDLE get() const { return fHandle; }

private:
    HANDLE fHandle = nullptr;
};

// The thread's own token when it impersonates, else the process token.
bool openQueryToken(THandle& token)
{
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.out())) {
        return true;
    }
    if (GetLastError() != ERROR_NO_TOKEN) {
        return false;
    }
    return OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out()) != FALSE;
}

std::u16string sidToString(PSID sid)
{
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text)) {
        return {};
    }
    std::u16string result = fromWide(text);
    LocalFree(text);
    return result;
}

} // namespace

bool TWin32Accounts::lookupSid(const std::u16string& sidText, AccountInfo& out)
{
    PSID sid = nullptr;
    if (sidText.empty() || !ConvertStringSidToSidW(wide(sidText), &sid)) {
        return false;
    }
    DWORD nameLength = 0;
    DWORD domainLength = 0;
    SID_NAME_USE use = SidTypeUnknown;
    // First call for the sizes; it fails with ERROR_INSUFFICIENT_BUFFER.
    LookupAccountSidW(nullptr, sid, nullptr, &nameLength, nullptr, &domainLength, &use);
    bool found = false;
    if (GetLastError() == ERROR_INSUFFICIENT_BUFFER) {
        std::vector<wchar_t> name(nameLength + 1);
        std::vector<wchar_t> domain(domainLength + 1);
        nameLength = static_cast<DWORD>(name.size());
        domainLength = static_cast<DWORD>(domain.size());
        if (LookupAccountSidW(nullptr, sid, name.data(), &nameLength, domain.data(), &domainLength, &use)) {
            out.name = fromWideBuffer(name.data(), name.size());
            out.domain = fromWideBuffer(domain.data(), domain.size());
            out.sidType = static_cast<uint32_t>(use);
            found = true;
        }
    }
    LocalFree(sid);
    return found;
}

std::u16string TWin32Accounts::currentUserSid()
{
    THandle token;
    if (!openQueryToken(token)) {
        return {};
    }
    DWORD size = 0;
    if (GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size) || GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return {};
    }
    std::vector<uint8_t> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) {
        return {};
    }
    return sidToString(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

bool TWin32Accounts::enablePrivilege(const std::u16string& name)
{
    THandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.out())) {
        return false;
    }
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, wide(name), &privileges.Privileges[0].Luid)) {
        return false;
    }
    if (!AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr)) {
        return false;
    }
    // The call succeeds also when the token does not hold the privilege at
    // all; then nothing was enabled.
    return GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

} // namespace talvoren::platform::win32
