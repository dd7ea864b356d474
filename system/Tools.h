#pragma once

// Write access to the system scope and the restart with elevated rights.
// The program starts without elevated rights; whether it may write the
// system variables is found out by an access probe at the start (and again
// on Refresh). Also what the shell is handed to show a path in explorer.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace talvoren {

namespace platform {
enum class RootKey : uint32_t;
class IFileSystem;
class ILocale;
class IPlatform;
class IRegistry;
class IShell;
} // namespace platform

// Whether the parent of the system environment key opens for setting
// values. Writes nothing (it removes a probe value an earlier version left).
bool ProbeAdminAccess(platform::IRegistry& registry);

// ProbeAdminAccess, run once and then answered from the cache until
// ResetAdminAccessProbe.
bool CheckForAdminAccess(platform::IPlatform& platform);

// Forgets the cached answer, so the next CheckForAdminAccess probes again:
// Refresh does, so that a machine hive that was locked at the start does not
// keep the system scope read-only until a restart.
void ResetAdminAccessProbe();

// Asks the shell to start `executable` elevated ("runas", no parameters,
// normal window), owned by `ownerWindow`. True when the start was handed
// over; the caller ends the running instance either way.
bool RunAsAdmin(platform::IShell& shell, const std::u16string& executable, uintptr_t ownerWindow);

// What "Open folder" gives explorer.exe for a path: the folder itself, a
// file shown selected in its folder, or else the folder part of the text.
std::u16string ExplorerParameters(const std::u16string& path, platform::IFileSystem& fs);

// --- registry backup ("REGEDIT4" scripts) ----------------------------------
//
// Files are in the ANSI code page with CR LF line ends. REGEDIT4 reads every
// string it imports (quoted or hex(1)/hex(2)) through that code page, so a
// value whose name or data holds a character the code page lacks cannot be
// imported back exactly in any form. Such a value is written as two comment
// lines instead: a note, then its name and data as UTF-16LE bytes
// ("; name=hex:..." and "hex(1):" or "hex(2):" data, the encoding of the
// Unicode registry script), so an import leaves the value alone rather than
// storing a mangled copy, and the exact text is still in the file. Its name is
// added to `inexact` so the caller can tell the user. Expandable strings are
// written as hex(2) with the ANSI bytes of the text, which import exactly.

// The text with every backslash doubled.
std::u16string EscapeBackslashes(const std::u16string& text);

// The value lines of the key `keyPath` below `root`: strings and expandable
// strings only, in enumeration order. A key that cannot be opened gives none.
void ExportRegistryValues(platform::IRegistry& registry, platform::ILocale& locale, platform::RootKey root,
                          const std::u16string& keyPath, std::ostream& out, std::vector<std::u16string>* inexact);

// One section: an empty line, `header` (its lines joined by "\r\n"), the
// value lines. Without `append` the file (a path of the file dialogs) is made
// anew and starts with "REGEDIT4". One leading and one trailing backslash of
// the key path are ignored. A file that cannot be written raises TError.
void ExportRegistryKey(platform::IPlatform& platform, platform::RootKey root, std::u16string keyPath,
                       const std::u16string& header, bool append, const std::u16string& fileName,
                       std::vector<std::u16string>* inexact = nullptr);

struct UserInfo;
struct TRegFileValue;

// Whether a REGEDIT4 import gives back exactly the value's bytes: a string
// ending in its one null, without a line break or another null, whose name
// and data the ANSI code page holds.
bool HeldExactlyByRegedit4(platform::ILocale& locale, const TRegFileValue& value);

// The backup: the account's variables (from its loaded hive with write
// access to the system scope, else from HKEY_CURRENT_USER), headed as the
// importing account's, then the system variables. REGEDIT4 while it holds
// every value exactly; else the whole file is the Unicode script (Version
// 5.00), which holds every value, and `inexact` names the values REGEDIT4
// could not hold. No value is left out. False, with nothing written, when
// the account's hive cannot be loaded.
bool BackupEnvironment(platform::IPlatform& platform, bool adminAccess, const UserInfo& user,
                       const std::u16string& fileName, std::vector<std::u16string>* inexact = nullptr);

// "backup_yymmdd_hhnnss.reg" for the given local time.
std::u16string DefaultBackupFileName(int year, int month, int day, int hour, int minute, int second);

extern const char16_t kAdminProbeKey[]; // under HKEY_LOCAL_MACHINE
extern const char16_t kAdminProbeValue[]; // "check_for_admin_access"

} // namespace talvoren
