#pragma once

// The one seam between Talvoren and the operating system. Everything that
// touches the registry, the file system, window messages, accounts or the
// shell goes through these interfaces; each build links exactly one backend
// (platform/win32 on Windows, platform/posix for the emulated machine).
//
// Conventions shared by every operation:
// - Strings are UTF-16 (std::u16string), as Windows stores and counts them.
// - Paths are Windows paths ("C:\Windows", "\\server\share").
// - Failures are reported as Win32 error codes (0 = success) where an
//   operation can fail in more than one way, and never as exceptions.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace talvoren::platform {

// Win32 error codes that callers and the backends share.
namespace error {
constexpr uint32_t kSuccess = 0;
constexpr uint32_t kFileNotFound = 2;
constexpr uint32_t kPathNotFound = 3;
constexpr uint32_t kAccessDenied = 5;
constexpr uint32_t kInvalidHandle = 6;
constexpr uint32_t kNotEnoughMemory = 8;
constexpr uint32_t kLockViolation = 33;
constexpr uint32_t kNotSupported = 50;
constexpr uint32_t kInvalidParameter = 87;
constexpr uint32_t kInsufficientBuffer = 122;
constexpr uint32_t kBusy = 170;
constexpr uint32_t kAlreadyExists = 183;
constexpr uint32_t kMoreData = 234;
constexpr uint32_t kNoMoreItems = 259;
constexpr uint32_t kNoToken = 1008;
constexpr uint32_t kBadDb = 1009; // "The configuration registry database is corrupt."
constexpr uint32_t kRegistryCorrupt = 1015;
constexpr uint32_t kRegistryIoFailed = 1016;
constexpr uint32_t kNotRegistryFile = 1017; // a hive file that is not a hive
constexpr uint32_t kKeyDeleted = 1018;
constexpr uint32_t kPrivilegeNotHeld = 1314;
constexpr uint32_t kCancelled = 1223;
} // namespace error

// ---------------------------------------------------------------------------
// Registry

enum class RootKey : uint32_t {
    LocalMachine, // HKEY_LOCAL_MACHINE
    CurrentUser, // HKEY_CURRENT_USER
    Users, // HKEY_USERS
};

// Registry value type codes, numerically those of Windows. A value keeps the
// code it was written with, known or not, so foreign types survive untouched.
namespace regtype {
constexpr uint32_t kNone = 0;
constexpr uint32_t kSz = 1;
constexpr uint32_t kExpandSz = 2;
constexpr uint32_t kBinary = 3;
constexpr uint32_t kDword = 4;
constexpr uint32_t kDwordBigEndian = 5;
constexpr uint32_t kLink = 6;
constexpr uint32_t kMultiSz = 7;
constexpr uint32_t kResourceList = 8;
constexpr uint32_t kFullResourceDescriptor = 9;
constexpr uint32_t kResourceRequirementsList = 10;
constexpr uint32_t kQword = 11;
} // namespace regtype

// Access rights of a key handle, numerically those of Windows.
namespace access {
constexpr uint32_t kQueryValue = 0x0001;
constexpr uint32_t kSetValue = 0x0002;
constexpr uint32_t kCreateSubKey = 0x0004;
constexpr uint32_t kEnumerateSubKeys = 0x0008;
constexpr uint32_t kNotify = 0x0010;
constexpr uint32_t kCreateLink = 0x0020;
constexpr uint32_t kWow64_64Key = 0x0100;
constexpr uint32_t kWow64_32Key = 0x0200;
constexpr uint32_t kReadControl = 0x00020000;
constexpr uint32_t kRead = 0x00020019; // KEY_READ
constexpr uint32_t kReadNoNotify = 0x00020009;
constexpr uint32_t kWrite = 0x00020006; // KEY_WRITE
constexpr uint32_t kAllAccess = 0x000F003F; // KEY_ALL_ACCESS
} // namespace access

// A value as the registry holds it: its type code and its raw bytes. String
// types hold UTF-16LE text including the terminating null, exactly as written.
struct RegValue {
    uint32_t type = regtype::kNone;
    std::vector<uint8_t> data;
};

// ---------------------------------------------------------------------------
// Key-change watch: tells the window, without blocking and without threads,
// that another program changed a key (polled on the window's timer).

class IKeyWatch {
public:
    virtual ~IKeyWatch() = default;

    // True when the key's values changed since the watch was made or since
    // it last answered true; false while that cannot be told yet (the store
    // busy, say), so a later poll answers. Changes made through this process
    // count too: a caller that wrote the key polls once afterwards to drop
    // its own change.
    virtual bool changed() = 0;
};

// One open registry key. Closing is destruction.
class IRegistryKey {
public:
    virtual ~IRegistryKey() = default;

    // Names of the key's values, in the order the registry enumerates them.
    // The unnamed (default) value, when present, is the empty name.
    virtual std::vector<std::u16string> valueNames() = 0;

    // Names of the direct subkeys, in enumeration order.
    virtual std::vector<std::u16string> subKeyNames() = 0;

    // Reads one value. Returns kFileNotFound when it does not exist.
    virtual uint32_t queryValue(const std::u16string& name, RegValue& out) = 0;

    // Creates or replaces one value atomically. kAccessDenied when the handle
    // lacks kSetValue; kLockViolation when the store stayed locked by another
    // process for longer than a short wait.
    virtual uint32_t setValue(const std::u16string& name, const RegValue& value) = 0;

    // Deletes one value. kFileNotFound when there was none.
    virtual uint32_t deleteValue(const std::u16string& name) = 0;
};

// ---------------------------------------------------------------------------
// Registry update guard: one read-modify-write of a scope key as one step
// against every other Talvoren process (the command line, the window's save).
//
// IRegistry::beginUpdate(root, path, update) waits until no other Talvoren
// update of that key is under way, then sets `update`; the step lasts as long
// as the guard lives. Use it as:
//     take the guard; open the key; read; write; update->commit(); let the
//     guard go; only then broadcast the change.
// Every read and write made meanwhile through keys of this registry (opened
// before or during the step) belongs to the step.
// - Emulated machine: one write transaction on the hive that holds the key
//   (so every key of that hive takes part). The wait is the hive's lock wait. commit() makes all changes durable and
//   visible at once; a guard let go without a successful commit() undoes every change made under it. Other processes'
//   readers see the state before the step until the commit.
// - Windows: the machine-wide named mutex "Global\Talvoren.Environment"
//   (machine-wide because the system scope is shared by every session), held
//   while the guard lives, waited for kRegistryLockWaitMs. Each write lands at
//   once and cannot be undone: commit() only reports success, and a guard let
//   go without it keeps what was written. Programs other than Talvoren (the
//   system's own dialog, setx, installers, reg.exe) do not take the mutex and
//   can still change the key in the middle of a step.
// Errors of beginUpdate: kLockViolation when another update held on for
// longer than kRegistryLockWaitMs. On the emulated machine also kAccessDenied
// when the key's hive cannot be written and the hive's own errors (kFileNotFound,
// kBadDb, ...) when it cannot be reached; Windows leaves those to the key's
// open and writes. A second beginUpdate in the same process while a guard lives joins
// that step (its commit() and end do nothing). Never hold a guard across user
// interaction.
//
// kRegistryLockWaitMs is the one wait for another process's hold on the registry: the update step's
// wait on both backends and, on the emulated machine, every wait for a hive
// another process has locked. A hive that could not be opened, locked
// through a whole wait, is only tried, not waited for, until that long has
// passed, so a run of several steps gives up after one wait, not one per step.
constexpr uint32_t kRegistryLockWaitMs = 2000;

class IRegistryUpdate {
public:
    // Ends the step; see above for what happens to changes not committed.
    virtual ~IRegistryUpdate() = default;

    // Makes the step's changes durable. An error (kLockViolation, disk full as
    // kRegistryIoFailed) means nothing of the step was kept on the emulated
    // machine.
    virtual uint32_t commit() = 0;
};

class IRegistry {
public:
    virtual ~IRegistry() = default;

    // Starts an update step on the key `path` below `root` (see the update
    // guard above).
    virtual uint32_t beginUpdate(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& update)
        = 0;

    // Starts a batch of writes to the keys of one store: `path` below `root`
    // names a key of it (a settings key, say). Unlike an update step it does
    // not wait for other Talvoren processes. Use it as: take the batch; open
    // the keys; write what changed; batch->commit(); let it go.
    // - Emulated machine: one write transaction on the hive that holds the
    //   key, exactly as an update step there: all of the batch or none of it
    //   is kept, also when the process is killed in the middle.
    // - Windows: the registry has no transactions to offer; each write lands
    //   at once and commit() only reports success. A caller that writes only
    //   the values that changed loses nothing when it is stopped halfway.
    // Errors as beginUpdate's on the emulated machine. Backends that know no
    // batch (test doubles) keep this default, and the caller writes value by
    // value as on Windows.
    virtual uint32_t beginBatch(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& batch)
    {
        (void)root;
        (void)path;
        batch.reset();
        return error::kNotSupported;
    }

    // Opens (or, with create, creates) the key `path` below `root` with the
    // access mask `access` (which may carry kWow64_64Key). A leading "\" in
    // the path is ignored. Sets `key` on success.
    virtual uint32_t openKey(RootKey root, const std::u16string& path, uint32_t access, bool create,
                             std::unique_ptr<IRegistryKey>& key)
        = 0;

    // Deletes a key that has no subkeys.
    virtual uint32_t deleteKey(RootKey root, const std::u16string& path) = 0;

    // Loads the hive file `file` as the key `keyName` under HKEY_USERS.
    // Loading a hive that is already loaded under that name succeeds.
    virtual uint32_t loadHive(const std::u16string& keyName, const std::u16string& file) = 0;

    // Starts watching the existing key `path` below `root` for changes of
    // its values (not of its subkeys). Sets `watch` on success.
    virtual uint32_t watchKey(RootKey root, const std::u16string& path, std::unique_ptr<IKeyWatch>& watch) = 0;
};

// ---------------------------------------------------------------------------
// Window messages and process facts

class ISystem {
public:
    virtual ~ISystem() = default;

    // Sends WM_SETTINGCHANGE with lParam `area` (normally "Environment") to all
    // top-level windows with SendMessageTimeout(HWND_BROADCAST, ..., flags,
    // timeoutMs). Returns the call's own result (nonzero when it succeeded).
    virtual uintptr_t broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs) = 0;

    // Whether this process runs under WOW64, computed once. When the probe
    // function is missing the answer is false and `lastError` is set to
    // kNotSupported; when the call fails the answer is false.
    virtual bool isWow64Process(uint32_t* lastError = nullptr) = 0;

    // Full path of the running executable.
    virtual std::u16string executablePath() = 0;

    // Version of the running executable: major, minor, release, build.
    virtual std::vector<uint16_t> executableVersion() = 0;

    // The program's arguments (without the program name), split the way the
    // Windows runtime splits a command line. `argc`/`argv` are main()'s; the
    // win32 backend reads the process command line itself instead. Input that
    // is not valid text (bytes that are not UTF-8 on the emulated machine)
    // comes as lone surrogates, which callers can refuse.
    virtual std::vector<std::u16string> arguments(int argc, char** argv) = 0;

    // Writes `text` (lines ended by '\n') to the process's standard output:
    // the console the program was started from, or the file or pipe it was
    // redirected to. False when there is none or the write fails; test
    // doubles keep this default.
    virtual bool writeOutput(const std::u16string& text)
    {
        (void)text;
        return false;
    }
};

// ---------------------------------------------------------------------------
// File system

constexpr uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
namespace attr {
constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
constexpr uint32_t kNormal = 0x80;
} // namespace attr

struct FindEntry {
    std::u16string name; // long name as stored on disk
    uint32_t attributes = 0;
};

// Switches the critical-error dialogs off while it lives (SetErrorMode), and
// restores the previous mode afterwards.
class ICriticalErrorGuard {
public:
    virtual ~ICriticalErrorGuard() = default;
};

// A file made new by IFileSystem::createNewFile: written once, then sealed
// and read back while nobody can change it.
class INewFile {
public:
    virtual ~INewFile() = default;
    // Appends `size` bytes; false when they were not all written.
    virtual bool write(const char* data, size_t size) = 0;
    // Ends the writing. From then on the file is open for reading from its
    // start, and while this object lives no process can write, replace or
    // delete it; starting it as a program stays possible. False when the
    // file is no longer the one written.
    virtual bool seal() = 0;
    // After seal(): the next bytes; 0 at the end, -1 on an error.
    virtual int64_t read(char* data, size_t size) = 0;
};

class IFileSystem {
public:
    virtual ~IFileSystem() = default;

    // GetFileAttributes: kInvalidFileAttributes when the path cannot be read.
    virtual uint32_t attributes(const std::u16string& path) = 0;

    // FindFirstFile/FindNextFile over `pattern` (wildcards * and ? allowed in
    // the last component): every entry found, "." and ".." excluded.
    virtual std::vector<FindEntry> find(const std::u16string& pattern, size_t maxEntries = SIZE_MAX) = 0;

    // GetShortPathName: the 8.3 form, or nothing when there is none.
    virtual std::optional<std::u16string> shortPathName(const std::u16string& path) = 0;

    // The Windows path of a path the window system's file dialogs give
    // (on the emulated machine a host path, placed on its drives).
    virtual std::u16string windowsPathOf(const std::u16string& dialogPath) = 0;
    // The other way: the path the file dialogs know an existing file or
    // folder by, to open them there; empty when it does not exist.
    virtual std::u16string dialogPathOf(const std::u16string& windowsPath) = 0;

    // The folder for temporary files, with a trailing "\".
    virtual std::u16string tempFolder() = 0;

    virtual std::unique_ptr<ICriticalErrorGuard> suppressCriticalErrors() = 0;

    // The update download's own place. Without them (a file system that
    // cannot give these guarantees) nothing is downloaded.
    // CreateDirectory of a folder that must not exist yet: a folder, file or
    // link of that name makes it fail.
    virtual bool createNewFolder(const std::u16string&) { return false; }
    // CreateFile with CREATE_NEW, never through a link: nothing of that name
    // may exist. Open for writing only by this object, and no other process
    // can open, rename or delete it meanwhile. Nothing when it fails.
    virtual std::unique_ptr<INewFile> createNewFile(const std::u16string&) { return nullptr; }
    // DeleteFile (a link itself, never what it points to) and RemoveDirectory
    // of an empty folder.
    virtual bool deleteFile(const std::u16string&) { return false; }
    virtual bool removeFolder(const std::u16string&) { return false; }
    // The whole file, or nothing when it cannot be read (the save history's
    // entries are read back through it).
    virtual std::optional<std::vector<uint8_t>> readFile(const std::u16string&) { return std::nullopt; }
};

// ---------------------------------------------------------------------------
// The running process's environment

class IProcessEnvironment {
public:
    virtual ~IProcessEnvironment() = default;

    // One variable of the process environment; empty when it is not set.
    virtual std::u16string variable(const std::u16string& name) = 0;

    // ExpandEnvironmentStrings against the process environment.
    virtual std::u16string expand(const std::u16string& text) = 0;
};

// ---------------------------------------------------------------------------
// Text comparison under the user's locale

class ILocale {
public:
    virtual ~ILocale() = default;

    // Case-insensitive comparison under the user's locale (not limited to
    // ASCII): <0, 0, >0.
    virtual int compareNoCase(const std::u16string& a, const std::u16string& b) = 0;

    // The text mapped to upper case under the user's locale. Two texts that
    // compareNoCase calls equal fold to the same key, so it can index a hash.
    virtual std::u16string foldCase(const std::u16string& text) = 0;

    // The text in the system's ANSI code page (what REGEDIT4 files hold).
    // False when some character has no exact counterpart there; `bytes` then
    // holds a stand-in. The default is Windows-1252, the code page of the
    // emulated machine.
    virtual bool toAnsi(const std::u16string& text, std::string& bytes);
    // The other way: bytes in the ANSI code page as text (a REGEDIT4 file
    // being read). A byte the code page leaves unused becomes U+FFFD.
    virtual std::u16string fromAnsi(const std::string& bytes);
};

// ---------------------------------------------------------------------------
// Accounts and privileges

struct AccountInfo {
    std::u16string name;
    std::u16string domain;
    uint32_t sidType = 0; // SID_NAME_USE: 1 = user
};

class IAccounts {
public:
    virtual ~IAccounts() = default;

    // LookupAccountSid on the local machine for a SID in string form.
    virtual bool lookupSid(const std::u16string& sid, AccountInfo& out) = 0;

    // SID (string form) of the account this process runs as, read from the
    // thread token or else the process token. Empty on failure.
    virtual std::u16string currentUserSid() = 0;

    // Enables one privilege in the process token.
    virtual bool enablePrivilege(const std::u16string& name) = 0;
};

// ---------------------------------------------------------------------------
// Shell

class IShell {
public:
    virtual ~IShell() = default;

    // ShellExecuteEx with `verb` ("open", "runas"), `file` and `parameters`.
    // `ownerWindow` is the native handle of the owner window or 0. Returns
    // true when the start was handed over.
    virtual bool execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                         uintptr_t ownerWindow)
        = 0;

    // A plain modal message box of the system (used where no window toolkit
    // is linked, such as the command-line help of a build without the window).
    virtual void messageBox(const std::u16string& title, const std::u16string& text) = 0;
};

// ---------------------------------------------------------------------------

// The whole platform. One instance per process, made by createPlatform().
class IPlatform {
public:
    virtual ~IPlatform() = default;
    virtual IRegistry& registry() = 0;
    virtual ISystem& system() = 0;
    virtual IFileSystem& fileSystem() = 0;
    virtual IProcessEnvironment& environment() = 0;
    virtual ILocale& locale() = 0;
    virtual IAccounts& accounts() = 0;
    virtual IShell& shell() = 0;
};

// Creates this build's backend. Throws std::runtime_error with a readable
// message when the machine cannot be reached at all (the emulated prefix
// cannot be created, for instance).
std::unique_ptr<IPlatform> createPlatform();

} // namespace talvoren::platform
