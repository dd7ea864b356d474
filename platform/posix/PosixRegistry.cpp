#include "platform/posix/PosixRegistry.h"

#include "platform/posix/CaseFold.h"
#include "platform/posix/DriveMap.h"
#include "platform/posix/Hive.h"

namespace talvoren::platform::posix {

namespace {
constexpr uint32_t kWriteRights = access::kSetValue | access::kCreateSubKey;

// An open key of a hive.
class THiveKey : public IRegistryKey {
public:
    THiveKey(std::shared_ptr<THive> hive, int64_t id, uint32_t access)
        : fHive(std::move(hive))
        , fId(id)
        , fAccess(access)
    {
    }

    std::vector<std::u16string> valueNames() override
    {
        std::vector<std::u16string> names;
        if (fAccess & access::kQueryValue) {
            fHive->valueNames(fId, names);
        }
        return names;
    }

    std::vector<std::u16string> subKeyNames() override
    {
        std::vector<std::u16string> names;
        if (fAccess & access::kEnumerateSubKeys) {
            fHive->subKeyNames(fId, names);
        }
        return names;
    }

    uint32_t queryValue(const std::u16string& name, RegValue& out) override
    {
        if (!(fAccess & access::kQueryValue)) {
            return error::kAccessDenied;
        }
        return fHive->queryValue(fId, name, out);
    }

    uint32_t setValue(const std::u16string& name, const RegValue& value) override
    {
        if (!(fAccess & access::kSetValue)) {
            return error::kAccessDenied;
        }
        return fHive->setValue(fId, name, value);
    }

    uint32_t deleteValue(const std::u16string& name) override
    {
        if (!(fAccess & access::kSetValue)) {
            return error::kAccessDenied;
        }
        return fHive->deleteValue(fId, name);
    }

private:
    std::shared_ptr<THive> fHive;
    int64_t fId;
    uint32_t fAccess;
};

// HKEY_USERS itself: the loaded hives as subkeys, no values of its own.
class TUsersRootKey : public IRegistryKey {
public:
    TUsersRootKey(std::vector<std::u16string> names, uint32_t access)
        : fNames(std::move(names))
        , fAccess(access)
    {
    }

    std::vector<std::u16string> valueNames() override { return {}; }
    std::vector<std::u16string> subKeyNames() override
    {
        return (fAccess & access::kEnumerateSubKeys) ? fNames : std::vector<std::u16string>{};
    }
    uint32_t queryValue(const std::u16string&, RegValue&) override { return error::kFileNotFound; }
    uint32_t setValue(const std::u16string&, const RegValue&) override { return error::kAccessDenied; }
    uint32_t deleteValue(const std::u16string&) override { return error::kFileNotFound; }

private:
    std::vector<std::u16string> fNames;
    uint32_t fAccess;
};
// An update step: the hive's write transaction, or nothing of its own when
// it joined one already open in this process.
class THiveUpdate : public IRegistryUpdate {
public:
    THiveUpdate(std::shared_ptr<THive> hive, bool own)
        : fHive(std::move(hive))
        , fOwn(own)
    {
    }
    ~THiveUpdate() override
    {
        if (fOwn) {
            fHive->rollback();
        }
    }
    THiveUpdate(const THiveUpdate&) = delete;
    THiveUpdate& operator=(const THiveUpdate&) = delete;

    uint32_t commit() override
    {
        if (!fOwn) {
            return error::kSuccess;
        }
        fOwn = false;
        const uint32_t rc = fHive->commit();
        if (rc != error::kSuccess) {
            fHive->rollback(); // a refused commit leaves the transaction open
        }
        return rc;
    }

private:
    std::shared_ptr<THive> fHive;
    bool fOwn;
};
} // namespace

std::vector<std::u16string> splitKeyPath(const std::u16string& path)
{
    std::vector<std::u16string> parts;
    std::u16string current;
    for (char16_t c : path) {
        if (c == u'\\') {
            if (!current.empty()) {
                parts.push_back(std::move(current));
            }
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) {
        parts.push_back(std::move(current));
    }
    return parts;
}

TPosixRegistry::TPosixRegistry(std::string machineHiveFile, const TDriveMap& drives)
    : fDrives(drives)
{
    fMachine.file = std::move(machineHiveFile);
}

TPosixRegistry::~TPosixRegistry() = default;

void TPosixRegistry::setCurrentUser(const std::u16string& sid, const std::string& file)
{
    fCurrentSid = sid;
    if (sid.empty()) {
        fUnlistedUser = TSlot{u"", file, nullptr};
        return;
    }
    attachHive(sid, file);
}

void TPosixRegistry::attachHive(const std::u16string& keyName, const std::string& file)
{
    if (!findUser(keyName)) {
        fUsers.push_back(TSlot{keyName, file, nullptr});
    }
}

uint32_t TPosixRegistry::openSlot(TSlot& slot, std::shared_ptr<THive>& hive)
{
    if (!slot.hive) {
        using namespace std::chrono;
        const bool lockedOnLastTry = steady_clock::now() < slot.lockedUntil;
        const uint32_t rc = THive::open(slot.file, slot.hive, lockedOnLastTry ? 0 : THive::kBusyTimeoutMs);
        if (rc == error::kLockViolation && !lockedOnLastTry) {
            slot.lockedUntil = steady_clock::now() + milliseconds(kRegistryLockWaitMs);
        }
        if (rc != error::kSuccess) {
            hive.reset();
            return rc;
        }
    }
    hive = slot.hive;
    return error::kSuccess;
}

uint32_t TPosixRegistry::machineHive(std::shared_ptr<THive>& hive)
{
    return openSlot(fMachine, hive);
}

bool TPosixRegistry::machineWritable()
{
    std::shared_ptr<THive> hive;
    return machineHive(hive) == error::kSuccess && hive->writable();
}

uint32_t TPosixRegistry::currentUserHive(std::shared_ptr<THive>& hive)
{
    TSlot* slot = fCurrentSid.empty() ? (fUnlistedUser.file.empty() ? nullptr : &fUnlistedUser) : findUser(fCurrentSid);
    return slot ? openSlot(*slot, hive) : error::kFileNotFound;
}

TPosixRegistry::TSlot* TPosixRegistry::findUser(const std::u16string& keyName)
{
    const std::u16string folded = foldUpper(keyName);
    for (auto& slot : fUsers) {
        if (foldUpper(slot.name) == folded) {
            return &slot;
        }
    }
    return nullptr;
}

uint32_t TPosixRegistry::locate(RootKey root, const std::u16string& path, std::shared_ptr<THive>& hive,
                                std::vector<std::u16string>& inside, bool& usersRoot)
{
    inside = splitKeyPath(path);
    usersRoot = false;
    switch (root) {
    case RootKey::LocalMachine:
        return openSlot(fMachine, hive);
    case RootKey::CurrentUser:
        return currentUserHive(hive);
    case RootKey::Users: {
        if (inside.empty()) {
            usersRoot = true;
            return error::kSuccess;
        }
        TSlot* slot = findUser(inside.front());
        if (!slot) {
            return error::kFileNotFound;
        }
        inside.erase(inside.begin());
        return openSlot(*slot, hive);
    }
    }
    return error::kInvalidHandle;
}

uint32_t TPosixRegistry::beginUpdate(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& update)
{
    update.reset();
    std::shared_ptr<THive> hive;
    std::vector<std::u16string> inside;
    bool usersRoot = false;
    uint32_t rc = locate(root, path, hive, inside, usersRoot);
    if (rc != error::kSuccess) {
        return rc;
    }
    if (usersRoot || !hive->writable()) {
        return error::kAccessDenied;
    }
    if (hive->inTransaction()) {
        update = std::make_unique<THiveUpdate>(hive, false);
        return error::kSuccess;
    }
    rc = hive->begin();
    if (rc != error::kSuccess) {
        return rc;
    }
    update = std::make_unique<THiveUpdate>(hive, true);
    return error::kSuccess;
}

uint32_t TPosixRegistry::beginBatch(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& batch)
{
    return beginUpdate(root, path, batch);
}

uint32_t TPosixRegistry::openKey(RootKey root, const std::u16string& path, uint32_t access, bool create,
                                 std::unique_ptr<IRegistryKey>& key)
{
    key.reset();
    std::shared_ptr<THive> hive;
    std::vector<std::u16string> inside;
    bool usersRoot = false;
    uint32_t rc = locate(root, path, hive, inside, usersRoot);
    if (rc != error::kSuccess) {
        return rc;
    }
    if (usersRoot) {
        std::vector<std::u16string> names;
        for (const auto& slot : fUsers) {
            names.push_back(slot.name);
        }
        key = std::make_unique<TUsersRootKey>(std::move(names), access);
        return error::kSuccess;
    }
    int64_t id = 0;
    rc = hive->findKey(inside, id);
    if (rc == error::kFileNotFound && create) {
        rc = hive->createKey(inside, id);
    }
    if (rc != error::kSuccess) {
        return rc;
    }
    if (access & kWriteRights) {
        if (!hive->writable()) {
            return error::kAccessDenied;
        }
        // Refuse a write handle now rather than lose the writes later.
        rc = hive->probeWriteLock();
        if (rc != error::kSuccess) {
            return rc;
        }
    }
    key = std::make_unique<THiveKey>(hive, id, access);
    return error::kSuccess;
}

uint32_t TPosixRegistry::deleteKey(RootKey root, const std::u16string& path)
{
    std::shared_ptr<THive> hive;
    std::vector<std::u16string> inside;
    bool usersRoot = false;
    const uint32_t rc = locate(root, path, hive, inside, usersRoot);
    if (rc != error::kSuccess) {
        return rc;
    }
    if (usersRoot) {
        return error::kAccessDenied;
    }
    return hive->deleteKey(inside);
}

uint32_t TPosixRegistry::watchKey(RootKey root, const std::u16string& path, std::unique_ptr<IKeyWatch>& watch)
{
    watch.reset();
    std::shared_ptr<THive> hive;
    std::vector<std::u16string> inside;
    bool usersRoot = false;
    const uint32_t rc = locate(root, path, hive, inside, usersRoot);
    if (rc != error::kSuccess) {
        return rc;
    }
    if (usersRoot) {
        return error::kNotSupported; // HKEY_USERS itself has no values
    }
    return hive->watchKey(inside, watch);
}

uint32_t TPosixRegistry::loadHive(const std::u16string& keyName, const std::u16string& file)
{
    if (keyName.empty() || keyName.find(u'\\') != std::u16string::npos) {
        return error::kInvalidParameter;
    }
    if (findUser(keyName)) {
        return error::kSuccess;
    }
    // Loading a hive takes the restore privilege, which administrators have.
    if (!machineWritable()) {
        return error::kPrivilegeNotHeld;
    }
    const auto resolved = fDrives.resolve(file);
    if (!resolved) {
        return error::kFileNotFound;
    }
    std::shared_ptr<THive> hive;
    const uint32_t rc = THive::open(resolved->host, hive);
    if (rc != error::kSuccess) {
        return rc;
    }
    fUsers.push_back(TSlot{keyName, resolved->host, hive});
    return error::kSuccess;
}

} // namespace talvoren::platform::posix
