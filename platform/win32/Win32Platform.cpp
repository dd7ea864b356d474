// The Win32 backend: the real Windows machine the process runs on.

#include "platform/Platform.h"
#include "platform/win32/Win32Accounts.h"
#include "platform/win32/Win32Environment.h"
#include "platform/win32/Win32FileSystem.h"
#include "platform/win32/Win32Locale.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32System.h"

namespace talvoren::platform {

namespace {

class TWin32Platform : public IPlatform {
public:
    IRegistry& registry() override { return fRegistry; }
    ISystem& system() override { return fSystem; }
    IFileSystem& fileSystem() override { return fFileSystem; }
    IProcessEnvironment& environment() override { return fEnvironment; }
    ILocale& locale() override { return fLocale; }
    IAccounts& accounts() override { return fAccounts; }
    IShell& shell() override { return fShell; }

private:
    win32::TWin32Registry fRegistry;
    win32::TWin32System fSystem;
    win32::TWin32FileSystem fFileSystem;
    win32::TWin32Environment fEnvironment;
    win32::TWin32Locale fLocale;
    win32::TWin32Accounts fAccounts;
    win32::TWin32Shell fShell;
};

} // namespace

std::unique_ptr<IPlatform> createPlatform()
{
    return std::make_unique<TWin32Platform>();
}

} // namespace talvoren::platform
