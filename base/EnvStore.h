#pragma once

// The environment store: one registry key per scope, whose string and
// expandable-string values are the variables. A TEnvStore is one handle,
// opened, used and closed within one operation (a load, a save, a
// command-line run) and never kept open.

#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace talvoren {

struct Scope {
    platform::RootKey root = platform::RootKey::CurrentUser;
    std::u16string key;
};

extern const char16_t kSystemEnvironmentKey[]; // under HKEY_LOCAL_MACHINE
extern const char16_t kUserEnvironmentKey[]; // under HKEY_CURRENT_USER

Scope SystemScope();
Scope CurrentUserScope();
Scope OtherUserScope(const std::u16string& sid); // under HKEY_USERS, hive loaded

class TEnvStore {
public:
    TEnvStore(platform::IRegistry& registry, platform::RootKey root, uint32_t access = platform::access::kAllAccess);
    ~TEnvStore();

    TEnvStore(const TEnvStore&) = delete;
    TEnvStore& operator=(const TEnvStore&) = delete;

    uint32_t Access() const { return fAccess; }
    void SetAccess(uint32_t access) { fAccess = access; }

    // Opens an existing key for reading, trying KEY_READ, then KEY_READ
    // without notify, then query-value alone. Never creates.
    bool OpenKeyReadOnly(const std::u16string& path);

    // Opens (or with canCreate creates) the key with the handle's access mask.
    bool OpenKey(const std::u16string& path, bool canCreate);

    bool IsOpen() const { return fKey != nullptr; }
    uint32_t LastError() const { return fLastError; }

    std::vector<std::u16string> GetValueNames();
    std::vector<std::u16string> GetKeyNames();
    bool ValueExists(const std::u16string& name);

    // The registry type code of an existing value (regtype::kNone if missing).
    uint32_t GetDataType(const std::u16string& name);

    // Text of a string or expandable value, up to the first null; a missing
    // value reads as empty. Another type raises "Invalid data type for '%s'".
    std::u16string ReadString(const std::u16string& name);

    // Write the value with its terminating null; failure raises
    // "Failed to set data for '%s'".
    void WriteString(const std::u16string& name, const std::u16string& text);
    void WriteExpandString(const std::u16string& name, const std::u16string& text);

    // A REG_DWORD; reading a missing value or another type raises
    // "Invalid data type for '%s'".
    int32_t ReadInteger(const std::u16string& name);
    void WriteInteger(const std::u16string& name, int32_t value);

    bool DeleteValue(const std::u16string& name);
    void CloseKey();

private:
    void WriteText(const std::u16string& name, const std::u16string& text, uint32_t type);

    platform::IRegistry& fRegistry;
    platform::RootKey fRoot;
    uint32_t fAccess;
    uint32_t fLastError = 0;
    std::unique_ptr<platform::IRegistryKey> fKey;
};

// Text encoding of string values: UTF-16LE with the terminating null.
std::vector<uint8_t> EncodeRegString(const std::u16string& text);
// Up to the first null; an odd trailing byte is ignored.
std::u16string DecodeRegString(const std::vector<uint8_t>& data);

// "HKEY_CURRENT_USER\Environment" and the like, for messages.
std::u16string ScopePath(const Scope& scope);
// Why a registry operation failed, translated, for a message: "access is
// denied", "the registry key does not exist", ...
std::u16string RegistryErrorReason(uint32_t code);
// Raises the error of a scope that cannot be written: "Error writing to the
// registry, the registry key is locked by another process" when it is
// locked, else "Cannot write to the registry key '%s': %s" with the reason.
[[noreturn]] void ThrowWriteError(const Scope& scope, uint32_t code);

// Opens `scope` for writing a whole tree: full access, plus the 64-bit view
// when the process runs under WOW64. Raises ThrowWriteError's error when the
// key cannot be opened.
std::unique_ptr<TEnvStore> OpenScopeForWriting(platform::IPlatform& platform, const Scope& scope);
// Whether `scope` could be opened so now: 0, or the platform's error code.
uint32_t ProbeScopeForWriting(platform::IPlatform& platform, const Scope& scope);

// Opens `scope` for reading; an unopened store (no values) when it cannot be.
std::unique_ptr<TEnvStore> OpenScopeForReading(platform::IPlatform& platform, const Scope& scope);

// WM_SETTINGCHANGE "Environment" to all top-level windows, abort-if-hung.
uintptr_t BroadcastEnvironmentChange(platform::ISystem& system, uint32_t timeoutMs);

constexpr uint32_t kSaveBroadcastTimeoutMs = 2000;
constexpr uint32_t kCommandLineBroadcastTimeoutMs = 5000;
constexpr uint32_t kSmtoAbortIfHung = 2;

} // namespace talvoren
