#include "base/EnvStore.h"

#include "base/Error.h"
#include "base/Translation.h"
#include "platform/Utf.h"

#include <string>

namespace talvoren {

using namespace platform;

const char16_t kSystemEnvironmentKey[] = u"\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
const char16_t kUserEnvironmentKey[] = u"\\Environment";

Scope SystemScope()
{
    return {RootKey::LocalMachine, kSystemEnvironmentKey};
}

Scope CurrentUserScope()
{
    return {RootKey::CurrentUser, kUserEnvironmentKey};
}

Scope OtherUserScope(const std::u16string& sid)
{
    return {RootKey::Users, u"\\" + sid + u"\\Environment"};
}

std::vector<uint8_t> EncodeRegString(const std::u16string& text)
{
    std::vector<uint8_t> data;
    platform::appendRegString(data, text);
    return data;
}

std::u16string DecodeRegString(const std::vector<uint8_t>& data)
{
    return platform::fromUtf16Le(data);
}

TEnvStore::TEnvStore(IRegistry& registry, RootKey root, uint32_t access)
    : fRegistry(registry)
    , fRoot(root)
    , fAccess(access)
{
}

TEnvStore::~TEnvStore() = default;

bool TEnvStore::OpenKeyReadOnly(const std::u16string& path)
{
    CloseKey();
    for (uint32_t mask : {access::kRead, access::kReadNoNotify, access::kQueryValue}) {
        fLastError = fRegistry.openKey(fRoot, path, mask, false, fKey);
        if (fLastError == error::kSuccess && fKey) {
            return true;
        }
        fKey.reset();
    }
    return false;
}

bool TEnvStore::OpenKey(const std::u16string& path, bool canCreate)
{
    CloseKey();
    fLastError = fRegistry.openKey(fRoot, path, fAccess, canCreate, fKey);
    if (fLastError != error::kSuccess) {
        fKey.reset();
    }
    return fKey != nullptr;
}

std::vector<std::u16string> TEnvStore::GetValueNames()
{
    return fKey ? fKey->valueNames() : std::vector<std::u16string>{};
}

std::vector<std::u16string> TEnvStore::GetKeyNames()
{
    return fKey ? fKey->subKeyNames() : std::vector<std::u16string>{};
}

bool TEnvStore::ValueExists(const std::u16string& name)
{
    RegValue value;
    return fKey && fKey->queryValue(name, value) == error::kSuccess;
}

uint32_t TEnvStore::GetDataType(const std::u16string& name)
{
    RegValue value;
    if (!fKey || fKey->queryValue(name, value) != error::kSuccess) {
        return regtype::kNone;
    }
    return value.type;
}

std::u16string TEnvStore::ReadString(const std::u16string& name)
{
    RegValue value;
    if (!fKey) {
        return {};
    }
    fLastError = fKey->queryValue(name, value);
    if (fLastError == error::kFileNotFound) {
        return {};
    }
    if (fLastError != error::kSuccess) {
        throw TError(trFormat("Failed to get data for '%s'", name));
    }
    if (value.type != regtype::kSz && value.type != regtype::kExpandSz) {
        // A zero-length value of no type reads as empty, as an empty string would.
        if (value.type == regtype::kNone && value.data.empty()) {
            return {};
        }
        throw TError(trFormat("Invalid data type for '%s'", name));
    }
    return DecodeRegString(value.data);
}

void TEnvStore::WriteText(const std::u16string& name, const std::u16string& text, uint32_t type)
{
    if (!fKey) {
        fLastError = error::kInvalidHandle;
        throw TError(trFormat("Failed to set data for '%s'", name));
    }
    fLastError = fKey->setValue(name, RegValue{type, EncodeRegString(text)});
    if (fLastError != error::kSuccess) {
        throw TError(trFormat("Failed to set data for '%s'", name));
    }
}

void TEnvStore::WriteString(const std::u16string& name, const std::u16string& text)
{
    WriteText(name, text, regtype::kSz);
}

void TEnvStore::WriteExpandString(const std::u16string& name, const std::u16string& text)
{
    WriteText(name, text, regtype::kExpandSz);
}

int32_t TEnvStore::ReadInteger(const std::u16string& name)
{
    RegValue value;
    if (!fKey || fKey->queryValue(name, value) != error::kSuccess || value.type != regtype::kDword
        || value.data.size() < 4) {
        throw TError(trFormat("Invalid data type for '%s'", name));
    }
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= static_cast<uint32_t>(value.data[i]) << (8 * i);
    }
    return static_cast<int32_t>(v);
}

void TEnvStore::WriteInteger(const std::u16string& name, int32_t value)
{
    if (!fKey) {
        fLastError = error::kInvalidHandle;
        throw TError(trFormat("Failed to set data for '%s'", name));
    }
    const auto v = static_cast<uint32_t>(value);
    RegValue data{regtype::kDword,
                  {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                   static_cast<uint8_t>(v >> 24)}};
    fLastError = fKey->setValue(name, data);
    if (fLastError != error::kSuccess) {
        throw TError(trFormat("Failed to set data for '%s'", name));
    }
}

bool TEnvStore::DeleteValue(const std::u16string& name)
{
    if (!fKey) {
        return false;
    }
    fLastError = fKey->deleteValue(name);
    return fLastError == error::kSuccess;
}

void TEnvStore::CloseKey()
{
    fKey.reset();
}

std::u16string ScopePath(const Scope& scope)
{
    std::u16string root;
    switch (scope.root) {
    case RootKey::LocalMachine:
        root = u"HKEY_LOCAL_MACHINE";
        break;
    case RootKey::CurrentUser:
        root = u"HKEY_CURRENT_USER";
        break;
    case RootKey::Users:
        root = u"HKEY_USERS";
        break;
    }
    return root + (scope.key.starts_with(u'\\') ? u"" : u"\\") + scope.key;
}

std::u16string RegistryErrorReason(uint32_t code)
{
    switch (code) {
    case error::kLockViolation:
    case error::kBusy:
        return tr("the registry key is locked by another process");
    case error::kAccessDenied:
        return tr("access is denied");
    case error::kFileNotFound:
    case error::kPathNotFound:
    case error::kKeyDeleted:
        return tr("the registry key does not exist");
    case error::kBadDb:
    case error::kRegistryCorrupt:
    case error::kRegistryIoFailed:
    case error::kNotRegistryFile:
        return tr("the registry hive is damaged");
    default:
        return trFormat("error %s", platform::fromUtf8(std::to_string(code)));
    }
}

void ThrowWriteError(const Scope& scope, uint32_t code)
{
    if (code == error::kLockViolation || code == error::kBusy || code == error::kSuccess) {
        throw TError(tr("Error writing to the registry, the registry key is locked by another process"));
    }
    throw TError(trFormat("Cannot write to the registry key '%s': %s", ScopePath(scope), RegistryErrorReason(code)));
}

std::unique_ptr<TEnvStore> OpenScopeForWriting(IPlatform& platform, const Scope& scope)
{
    auto store = std::make_unique<TEnvStore>(platform.registry(), scope.root, access::kAllAccess);
    if (platform.system().isWow64Process()) {
        store->SetAccess(access::kAllAccess | access::kWow64_64Key);
    }
    if (!store->OpenKey(scope.key, false)) {
        ThrowWriteError(scope, store->LastError());
    }
    return store;
}

uint32_t ProbeScopeForWriting(IPlatform& platform, const Scope& scope)
{
    TEnvStore store(platform.registry(), scope.root, access::kAllAccess);
    if (platform.system().isWow64Process()) {
        store.SetAccess(access::kAllAccess | access::kWow64_64Key);
    }
    return store.OpenKey(scope.key, false) ? error::kSuccess : store.LastError();
}

std::unique_ptr<TEnvStore> OpenScopeForReading(IPlatform& platform, const Scope& scope)
{
    auto store = std::make_unique<TEnvStore>(platform.registry(), scope.root);
    store->OpenKeyReadOnly(scope.key);
    return store;
}

uintptr_t BroadcastEnvironmentChange(ISystem& system, uint32_t timeoutMs)
{
    return system.broadcastSettingChange(u"Environment", kSmtoAbortIfHung, timeoutMs);
}

} // namespace talvoren
