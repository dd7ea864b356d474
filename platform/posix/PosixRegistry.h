#pragma once

// The registry of the emulated machine. HKEY_LOCAL_MACHINE is the machine
// hive; HKEY_USERS holds the hives loaded in this process (the current
// account's always, under its SID) and HKEY_CURRENT_USER is the current
// account's hive. Hive files are opened on first use.

#include "platform/Platform.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace talvoren::platform::posix {

class THive;
class TDriveMap;

class TPosixRegistry : public IRegistry {
public:
    TPosixRegistry(std::string machineHiveFile, const TDriveMap& drives);
    ~TPosixRegistry() override;

    // Makes `sid` (hive file `file`) the account of HKEY_CURRENT_USER and
    // loads it under HKEY_USERS. Without a SID (the machine hive, which
    // knows the accounts, cannot be read) the hive is HKEY_CURRENT_USER only.
    void setCurrentUser(const std::u16string& sid, const std::string& file);
    // Loads a hive under HKEY_USERS without the privilege check (the
    // hives that the system itself keeps loaded).
    void attachHive(const std::u16string& keyName, const std::string& file);

    // The machine hive, opened; an error code when it cannot be.
    uint32_t machineHive(std::shared_ptr<THive>& hive);
    bool machineWritable();
    uint32_t currentUserHive(std::shared_ptr<THive>& hive);

    uint32_t beginUpdate(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& update) override;
    // The same hive transaction as an update step.
    uint32_t beginBatch(RootKey root, const std::u16string& path, std::unique_ptr<IRegistryUpdate>& batch) override;
    uint32_t openKey(RootKey root, const std::u16string& path, uint32_t access, bool create,
                     std::unique_ptr<IRegistryKey>& key) override;
    uint32_t deleteKey(RootKey root, const std::u16string& path) override;
    uint32_t loadHive(const std::u16string& keyName, const std::u16string& file) override;
    uint32_t watchKey(RootKey root, const std::u16string& path, std::unique_ptr<IKeyWatch>& watch) override;

private:
    struct TSlot {
        std::u16string name;
        std::string file;
        std::shared_ptr<THive> hive;
        // Until then the hive counts as locked (see kRegistryLockWaitMs).
        std::chrono::steady_clock::time_point lockedUntil{};
    };

    uint32_t openSlot(TSlot& slot, std::shared_ptr<THive>& hive);
    TSlot* findUser(const std::u16string& keyName);
    // The hive that holds `path` below `root`, and the path inside it.
    // `usersRoot` is set for HKEY_USERS itself.
    uint32_t locate(RootKey root, const std::u16string& path, std::shared_ptr<THive>& hive,
                    std::vector<std::u16string>& inside, bool& usersRoot);

    const TDriveMap& fDrives;
    TSlot fMachine;
    std::u16string fCurrentSid;
    TSlot fUnlistedUser; // HKEY_CURRENT_USER when there is no SID
    std::vector<TSlot> fUsers;
};

// Registry path components: split at "\", empty components dropped.
std::vector<std::u16string> splitKeyPath(const std::u16string& path);

} // namespace talvoren::platform::posix
