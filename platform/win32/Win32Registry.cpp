#include "platform/win32/Win32Registry.h"

#include "platform/win32/WideText.h"

#include <string_view>
#include <vector>
// clang-format off
#include <windows.h>
#include <sddl.h>
// clang-format on

namespace talvoren::platform::win32 {

namespace {

HKEY rootHandle(RootKey root)
{
    switch (root) {
    case RootKey::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RootKey::CurrentUser:
        return HKEY_CURRENT_USER;
    case RootKey::Users:
        return HKEY_USERS;
    }
    return nullptr;
}

// The registry takes paths relative to the root; a leading "\" makes the
// call fail, so it is dropped here.
std::u16string relativePath(const std::u16string& path)
{
    return !path.empty() && path.front() == u'\\' ? path.substr(1) : path;
}

// False only for a file that can be read and is plainly no hive: Windows'
// own hives start with "regf", Wine's are text files with a header of their
// own (and Wine would load any other file as an empty hive). A file that
// cannot be opened, such as the hive of a logged-on user, is left to
// RegLoadKey.
bool looksLikeHive(const std::u16string& file)
{
    HANDLE handle = CreateFileW(wide(file), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return true;
    }
    static const char kWindowsHive[] = "regf";
    static const char kWineHive[] = "WINE REGISTRY Version ";
    char header[sizeof(kWineHive)] = {};
    DWORD read = 0;
    const BOOL ok = ReadFile(handle, header, sizeof(header) - 1, &read, nullptr);
    CloseHandle(handle);
    if (!ok) {
        return true;
    }
    const std::string_view start(header, read);
    return start.starts_with(kWindowsHive) || start.starts_with(kWineHive);
}

class TWin32RegistryKey : public IRegistryKey {
public:
    explicit TWin32RegistryKey(HKEY key)
        : fKey(key)
    {
    }
    ~TWin32RegistryKey() override { RegCloseKey(fKey); }

    TWin32RegistryKey(const TWin32RegistryKey&) = delete;
    TWin32RegistryKey& operator=(const TWin32RegistryKey&) = delete;

    std::vector<std::u16string> valueNames() override { return enumerate(false); }
    std::vector<std::u16string> subKeyNames() override { return enumerate(true); }
    uint32_t queryValue(const std::u16string& name, RegValue& out) override;
    uint32_t setValue(const std::u16string& name, const RegValue& value) override;
    uint32_t deleteValue(const std::u16string& name) override;

private:
    std::vector<std::u16string> enumerate(bool subKeys);

    HKEY fKey;
};

std::vector<std::u16string> TWin32RegistryKey::enumerate(bool subKeys)
{
    DWORD maxSubKeyLen = 0;
    DWORD maxValueNameLen = 0;
    if (RegQueryInfoKeyW(fKey, nullptr, nullptr, nullptr, nullptr, &maxSubKeyLen, nullptr, nullptr, &maxValueNameLen,
                         nullptr, nullptr, nullptr)
        != ERROR_SUCCESS) {
        return {};
    }
    std::vector<wchar_t> buffer((subKeys ? maxSubKeyLen : maxValueNameLen) + 1);
    std::vector<std::u16string> names;
    for (DWORD index = 0;;) {
        auto length = static_cast<DWORD>(buffer.size());
        const LONG rc = subKeys
            ? RegEnumKeyExW(fKey, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr)
            : RegEnumValueW(fKey, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {
            // A longer name arrived after the size query: retry that index.
            // Names are at most 16383 characters, so this ends.
            if (buffer.size() > 32768) {
                break;
            }
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS) {
            break; // ERROR_NO_MORE_ITEMS, or the key went away
        }
        names.push_back(fromWide(buffer.data(), length));
        ++index;
    }
    return names;
}

uint32_t TWin32RegistryKey::queryValue(const std::u16string& name, RegValue& out)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(fKey, wide(name), nullptr, &type, nullptr, &size);
    std::vector<uint8_t> data;
    // The value may grow between the size query and the read.
    while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
        data.resize(size);
        rc = RegQueryValueExW(fKey, wide(name), nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        if (rc == ERROR_SUCCESS) {
            data.resize(size);
            out.type = type;
            out.data = std::move(data);
            return error::kSuccess;
        }
    }
    return static_cast<uint32_t>(rc);
}

uint32_t TWin32RegistryKey::setValue(const std::u16string& name, const RegValue& value)
{
    return static_cast<uint32_t>(RegSetValueExW(fKey, wide(name), 0, value.type,
                                                value.data.empty() ? nullptr : value.data.data(),
                                                static_cast<DWORD>(value.data.size())));
}

uint32_t TWin32RegistryKey::deleteValue(const std::u16string& name)
{
    return static_cast<uint32_t>(RegDeleteValueW(fKey, wide(name)));
}

// Machine-wide: the system scope is shared by every session, and an
// administrator may edit another user's scope from a session of its own.
constexpr wchar_t kUpdateMutexName[] = L"Global\\Talvoren.Environment";
constexpr DWORD kUpdateMutexRights = SYNCHRONIZE | MUTEX_MODIFY_STATE;

// Everyone may wait for and release the mutex, whoever made it first;
// only the system and administrators may do more with it.
HANDLE openUpdateMutex()
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;GA;;;SY)(A;;GA;;;BA)(A;;0x00100001;;;WD)",
                                                              SDDL_REVISION_1, &descriptor, nullptr)) {
        descriptor = nullptr;
    }
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    HANDLE mutex = CreateMutexExW(descriptor ? &attributes : nullptr, kUpdateMutexName, 0, kUpdateMutexRights);
    const DWORD lastError = GetLastError();
    if (descriptor) {
        LocalFree(descriptor);
    }
    SetLastError(lastError);
    return mutex;
}

class TWin32RegistryUpdate : public IRegistryUpdate {
public:
    explicit TWin32RegistryUpdate(HANDLE mutex)
        : fMutex(mutex)
    {
    }
    ~TWin32RegistryUpdate() override
    {
        ReleaseMutex(fMutex);
        CloseHandle(fMutex);
    }
    TWin32RegistryUpdate(const TWin32RegistryUpdate&) = delete;
    TWin32RegistryUpdate& operator=(const TWin32RegistryUpdate&) = delete;

    // Every write has landed already.
    uint32_t commit() override { return error::kSuccess; }

private:
    HANDLE fMutex;
};

// A batch on Windows: every write has landed when it returns, so there is
// nothing to keep or undo at the end.
class TWin32RegistryBatch : public IRegistryUpdate {
public:
    uint32_t commit() override { return error::kSuccess; }
};

// The registry signals the event when a value of the key is set or deleted;
// the notification is armed again each time it has been seen.
class TWin32KeyWatch : public IKeyWatch {
public:
    TWin32KeyWatch(HKEY key, HANDLE event)
        : fKey(key)
        , fEvent(event)
    {
    }
    ~TWin32KeyWatch() override
    {
        RegCloseKey(fKey);
        CloseHandle(fEvent);
    }
    TWin32KeyWatch(const TWin32KeyWatch&) = delete;
    TWin32KeyWatch& operator=(const TWin32KeyWatch&) = delete;

    LONG arm()
    {
        return RegNotifyChangeKeyValue(fKey, FALSE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, fEvent, TRUE);
    }

    bool changed() override
    {
        if (WaitForSingleObject(fEvent, 0) != WAIT_OBJECT_0) {
            return false;
        }
        arm(); // before the caller reads, so that no later change is missed
        return true;
    }

private:
    HKEY fKey;
    HANDLE fEvent;
};

} // namespace

uint32_t TWin32Registry::beginUpdate(RootKey, const std::u16string&, std::unique_ptr<IRegistryUpdate>& update)
{
    update.reset();
    HANDLE mutex = openUpdateMutex();
    if (!mutex) {
        return static_cast<uint32_t>(GetLastError());
    }
    switch (WaitForSingleObject(mutex, kRegistryLockWaitMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED: // its holder ended mid-step; each write it made is whole
        update = std::make_unique<TWin32RegistryUpdate>(mutex);
        return error::kSuccess;
    case WAIT_TIMEOUT:
        CloseHandle(mutex);
        return error::kLockViolation;
    default: {
        const DWORD rc = GetLastError();
        CloseHandle(mutex);
        return rc != ERROR_SUCCESS ? static_cast<uint32_t>(rc) : error::kLockViolation;
    }
    }
}

uint32_t TWin32Registry::beginBatch(RootKey, const std::u16string&, std::unique_ptr<IRegistryUpdate>& batch)
{
    batch = std::make_unique<TWin32RegistryBatch>();
    return error::kSuccess;
}

uint32_t TWin32Registry::openKey(RootKey root, const std::u16string& path, uint32_t access, bool create,
                                 std::unique_ptr<IRegistryKey>& key)
{
    const std::u16string relative = relativePath(path);
    HKEY handle = nullptr;
    LONG rc;
    if (create) {
        rc = RegCreateKeyExW(rootHandle(root), wide(relative), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                             &handle, nullptr);
    } else {
        rc = RegOpenKeyExW(rootHandle(root), wide(relative), 0, access, &handle);
    }
    if (rc != ERROR_SUCCESS) {
        return static_cast<uint32_t>(rc);
    }
    key = std::make_unique<TWin32RegistryKey>(handle);
    return error::kSuccess;
}

uint32_t TWin32Registry::deleteKey(RootKey root, const std::u16string& path)
{
    return static_cast<uint32_t>(RegDeleteKeyW(rootHandle(root), wide(relativePath(path))));
}

uint32_t TWin32Registry::watchKey(RootKey root, const std::u16string& path, std::unique_ptr<IKeyWatch>& watch)
{
    watch.reset();
    HKEY handle = nullptr;
    LONG rc = RegOpenKeyExW(rootHandle(root), wide(relativePath(path)), 0, KEY_NOTIFY, &handle);
    if (rc != ERROR_SUCCESS) {
        return static_cast<uint32_t>(rc);
    }
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr); // auto-reset: one answer per signal
    if (!event) {
        const DWORD failed = GetLastError();
        RegCloseKey(handle);
        return failed;
    }
    auto made = std::make_unique<TWin32KeyWatch>(handle, event);
    rc = made->arm();
    if (rc != ERROR_SUCCESS) {
        return static_cast<uint32_t>(rc);
    }
    watch = std::move(made);
    return error::kSuccess;
}

uint32_t TWin32Registry::loadHive(const std::u16string& keyName, const std::u16string& file)
{
    if (!looksLikeHive(file)) {
        return error::kNotRegistryFile;
    }
    const LONG rc = RegLoadKeyW(HKEY_USERS, wide(keyName), wide(file));
    if (rc == ERROR_SUCCESS) {
        return error::kSuccess;
    }
    // Windows refuses to load a hive a second time (the file is in use), and
    // the profile of a logged-on user is always loaded: either way the key is
    // there, which is what the caller needs.
    HKEY loaded = nullptr;
    if (!keyName.empty() && RegOpenKeyExW(HKEY_USERS, wide(keyName), 0, KEY_QUERY_VALUE, &loaded) == ERROR_SUCCESS) {
        RegCloseKey(loaded);
        return error::kSuccess;
    }
    return static_cast<uint32_t>(rc);
}

} // namespace talvoren::platform::win32
