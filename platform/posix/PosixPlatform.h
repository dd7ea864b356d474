#pragma once

// The emulated Windows machine as a whole: a prefix folder with its drive
// map, registry hives, accounts and the environment of a logged-on process,
// all fixed when the platform is made.

#include "platform/Platform.h"
#include "platform/posix/DriveMap.h"
#include "platform/posix/PosixAccounts.h"
#include "platform/posix/PosixEnvironment.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/PosixLocale.h"
#include "platform/posix/PosixRegistry.h"
#include "platform/posix/PosixShell.h"
#include "platform/posix/PosixSystem.h"
#include "platform/posix/Prefix.h"

#include <memory>

namespace talvoren::platform::posix {

class TPosixPlatform : public IPlatform {
public:
    // Seeds the prefix at `prefix` when needed. Throws std::runtime_error
    // when the machine cannot be reached.
    explicit TPosixPlatform(const std::filesystem::path& prefix);

    IRegistry& registry() override { return fRegistry; }
    ISystem& system() override { return fSystem; }
    IFileSystem& fileSystem() override { return *fFileSystem; }
    IProcessEnvironment& environment() override { return fEnvironment; }
    ILocale& locale() override { return fLocale; }
    IAccounts& accounts() override { return *fAccounts; }
    IShell& shell() override { return fShell; }

    const TPrefix& prefix() const { return fPrefix; }
    const TDriveMap& drives() const { return fDrives; }
    TPosixRegistry& posixRegistry() { return fRegistry; }

private:
    TPrefix fPrefix;
    TDriveMap fDrives;
    TPosixRegistry fRegistry;
    TPosixSystem fSystem;
    TPosixEnvironment fEnvironment;
    TPosixLocale fLocale;
    TPosixShell fShell;
    std::unique_ptr<TPosixFileSystem> fFileSystem;
    std::unique_ptr<TPosixAccounts> fAccounts;
};

} // namespace talvoren::platform::posix
