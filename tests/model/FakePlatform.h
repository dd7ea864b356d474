#pragma once

// An in-memory machine for model tests: a registry whose writes can be made
// to fail one value at a time, a file system of declared folders and files,
// a process environment and a locale. Where a test needs what the emulated
// machine cannot do on request (a write failing half way, counting the
// critical-error guards), it runs here.

#include "platform/Platform.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace talvoren::test {

class TFakePlatform : public platform::IPlatform, // the machine
                      private platform::IRegistry,
                      private platform::ISystem,
                      private platform::IFileSystem,
                      private platform::IProcessEnvironment,
                      private platform::ILocale,
                      private platform::IAccounts,
                      private platform::IShell {
public:
    TFakePlatform();
    ~TFakePlatform() override;

    platform::IRegistry& registry() override { return *this; }
    platform::ISystem& system() override { return *this; }
    platform::IFileSystem& fileSystem() override { return *this; }
    platform::IProcessEnvironment& environment() override { return *this; }
    platform::ILocale& locale() override { return *this; }
    platform::IAccounts& accounts() override { return *this; }
    platform::IShell& shell() override { return *this; }

    // --- set-up and inspection ---
    void CreateKey(platform::RootKey root, const std::u16string& path);
    void SetValue(platform::RootKey root, const std::u16string& path, const std::u16string& name, uint32_t type,
                  const std::u16string& text);
    void SetRawValue(platform::RootKey root, const std::u16string& path, const std::u16string& name,
                     const platform::RegValue& value);
    // Value names in the key's order, with their stored spelling.
    std::vector<std::u16string> ValueNames(platform::RootKey root, const std::u16string& path) const;
    bool GetValue(platform::RootKey root, const std::u16string& path, const std::u16string& name,
                  platform::RegValue& out) const;
    // Writes of this exact value name fail with kAccessDenied.
    void FailWritesOf(const std::u16string& name) { fFailingNames.insert(name); }
    // Opening any key for writing fails.
    void FailOpenForWrite(bool fail) { fFailOpenForWrite = fail; }
    size_t DeleteCount() const { return fDeletes; }
    // Update steps: begun, committed, and whether beginUpdate is refused with
    // kLockViolation (another process holding the step). There is no other
    // process here, so a step changes nothing else.
    size_t UpdatesBegun() const { return fUpdatesBegun; }
    size_t UpdatesCommitted() const { return fUpdatesCommitted; }
    void FailUpdates(bool fail) { fFailUpdates = fail; }

    void AddFolder(const std::u16string& path);
    void AddFile(const std::u16string& path);
    // The 8.3 name of the last component of an existing `path`: short paths
    // are made of these, and searches find an entry by either name.
    void SetShortName(const std::u16string& path, const std::u16string& shortName)
    {
        fShortNames[upper(path)] = shortName;
    }
    size_t ProbeCount() const { return fProbes; }
    // Probes made while no critical-error guard was alive.
    size_t UnguardedProbeCount() const { return fUnguardedProbes; }
    size_t GuardCount() const { return fGuardsMade; }

    void SetEnvironment(const std::u16string& name, const std::u16string& value) { fEnvironment[name] = value; }

    // The locale's upper-casing: ASCII and the Latin-1 letters.
    static std::u16string upper(const std::u16string& text);

private:
    struct TKey {
        std::vector<std::pair<std::u16string, platform::RegValue>> values;
    };
    class TKeyHandle;
    class TGuard;
    class TUpdate;
    class TWatch;

    static std::u16string keyId(platform::RootKey root, const std::u16string& path);
    TKey* FindKey(platform::RootKey root, const std::u16string& path);
    const TKey* FindKey(platform::RootKey root, const std::u16string& path) const;
    std::u16string Normalize(const std::u16string& path) const;
    void CountProbe();

    // IRegistry
    uint32_t beginUpdate(platform::RootKey root, const std::u16string& path,
                         std::unique_ptr<platform::IRegistryUpdate>& update) override;
    uint32_t openKey(platform::RootKey root, const std::u16string& path, uint32_t access, bool create,
                     std::unique_ptr<platform::IRegistryKey>& key) override;
    uint32_t deleteKey(platform::RootKey root, const std::u16string& path) override;
    uint32_t loadHive(const std::u16string& keyName, const std::u16string& file) override;
    uint32_t watchKey(platform::RootKey root, const std::u16string& path,
                      std::unique_ptr<platform::IKeyWatch>& watch) override;
    // ISystem
    uintptr_t broadcastSettingChange(const std::u16string& area, uint32_t flags, uint32_t timeoutMs) override;
    bool isWow64Process(uint32_t* lastError) override;
    std::u16string executablePath() override;
    std::vector<uint16_t> executableVersion() override;
    std::vector<std::u16string> arguments(int argc, char** argv) override;
    // IFileSystem
    uint32_t attributes(const std::u16string& path) override;
    std::vector<platform::FindEntry> find(const std::u16string& pattern, size_t maxEntries) override;
    std::optional<std::u16string> shortPathName(const std::u16string& path) override;
    std::u16string windowsPathOf(const std::u16string& dialogPath) override { return dialogPath; }
    std::u16string dialogPathOf(const std::u16string& windowsPath) override { return windowsPath; }
    std::u16string tempFolder() override;
    std::unique_ptr<platform::ICriticalErrorGuard> suppressCriticalErrors() override;
    // IProcessEnvironment
    std::u16string variable(const std::u16string& name) override;
    std::u16string expand(const std::u16string& text) override;
    // ILocale
    int compareNoCase(const std::u16string& a, const std::u16string& b) override;
    std::u16string foldCase(const std::u16string& text) override;
    // IAccounts
    bool lookupSid(const std::u16string& sid, platform::AccountInfo& out) override;
    std::u16string currentUserSid() override;
    bool enablePrivilege(const std::u16string& name) override;
    // IShell
    bool execute(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                 uintptr_t ownerWindow) override;
    void messageBox(const std::u16string& title, const std::u16string& text) override;

    std::map<std::u16string, TKey> fKeys;
    std::map<std::u16string, uint64_t> fKeyChanges; // per key id: writes and deletes so far
    std::set<std::u16string> fFailingNames;
    bool fFailOpenForWrite = false;
    size_t fDeletes = 0;
    size_t fUpdatesBegun = 0;
    size_t fUpdatesCommitted = 0;
    bool fFailUpdates = false;
    std::map<std::u16string, std::u16string> fFolders; // upper-cased path -> stored name of the last component
    std::map<std::u16string, std::u16string> fFiles;
    std::map<std::u16string, std::u16string> fShortNames; // upper-cased path -> 8.3 name
    std::map<std::u16string, std::u16string> fEnvironment;
    size_t fProbes = 0;
    size_t fUnguardedProbes = 0;
    size_t fGuardsMade = 0;
    int fGuardsAlive = 0;
};

} // namespace talvoren::test
