#pragma once

// Write access to the system scope and the restart with elevated rights.
// The program starts without elevated rights; whether it may write the
// system variables is found out once per process by a write probe. Also
// what the shell is handed to show a path in explorer.

#include <cstdint>
#include <string>

namespace talvoren {

namespace platform {
class IFileSystem;
class IPlatform;
class IRegistry;
class IShell;
} // namespace platform

// Writes and at once deletes a DWORD value under the parent of the system
// environment key. Any failure of that write means no write access.
bool ProbeAdminAccess(platform::IRegistry& registry);

// ProbeAdminAccess, run at most once per process; later calls return the
// cached answer (write access cannot change while the process runs).
bool CheckForAdminAccess(platform::IPlatform& platform);

// Forgets the cached answer. Only tests use it, each on its own machine.
void ResetAdminAccessProbe();

// Asks the shell to start `executable` elevated ("runas", no parameters,
// normal window), owned by `ownerWindow`. True when the start was handed
// over; the caller ends the running instance either way.
bool RunAsAdmin(platform::IShell& shell, const std::u16string& executable, uintptr_t ownerWindow);

// What "Open folder" gives explorer.exe for a path: the folder itself, a
// file shown selected in its folder, or else the folder part of the text.
std::u16string ExplorerParameters(const std::u16string& path, platform::IFileSystem& fs);

extern const char16_t kAdminProbeKey[]; // under HKEY_LOCAL_MACHINE
extern const char16_t kAdminProbeValue[]; // "check_for_admin_access"

} // namespace talvoren
