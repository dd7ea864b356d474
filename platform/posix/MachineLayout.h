#pragma once

// Where the emulated machine keeps its facts: file names in the prefix and
// the registry keys that seeding writes and the backend reads back.

namespace talvoren::platform::posix::layout {

constexpr char kMachineHiveFile[] = "machine.hive";
constexpr char kMessagesLog[] = "messages.log";
constexpr char kDriveC[] = "drive_c";
constexpr char kDosDevices[] = "dosdevices";
constexpr char16_t kUserHiveFile[] = u"ntuser.dat";

// HKLM: one subkey per account, named by its SID, with Name, Domain (REG_SZ)
// and SidType (REG_DWORD); the key itself holds MachineSid (REG_SZ).
constexpr char16_t kAccountsKey[] = u"SAM\\Accounts";
constexpr char16_t kProfileListKey[] = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList";
constexpr char16_t kComputerNameKey[] = u"SYSTEM\\CurrentControlSet\\Control\\ComputerName\\ComputerName";
constexpr char16_t kSystemEnvironmentKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
constexpr char16_t kUserEnvironmentKey[] = u"Environment";

constexpr char16_t kSystemDrive[] = u"C:";
constexpr char16_t kSystemRoot[] = u"C:\\Windows";

} // namespace talvoren::platform::posix::layout
