#pragma once

// One registry hive of the emulated machine: an SQLite database file that
// holds a tree of keys and their values. Every change is one SQLite
// transaction, so a process killed at any moment leaves the file before or
// after the change. Several processes may share a hive; a writer waits a
// short while for another's lock and then gives up with kLockViolation.
//
// An existing hive file is never recreated or repaired: a file that is not
// a hive, or a damaged one, is refused with an error and left as it is.

#include "platform/Platform.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct sqlite3;

namespace talvoren::platform::posix {

class THive {
public:
    static constexpr int64_t kRootKey = 1;
    static constexpr int kBusyTimeoutMs = static_cast<int>(kRegistryLockWaitMs);

    // Opens an existing hive file. Read-only when the file lacks its owner's
    // write bit (whoever runs, root included) or cannot be written. Errors:
    // kFileNotFound, kAccessDenied, kNotRegistryFile, kBadDb, kLockViolation.
    // `lockWaitMs` is how long the open waits for another process's lock;
    // the open hive waits kBusyTimeoutMs.
    static uint32_t open(const std::string& file, std::shared_ptr<THive>& hive, int lockWaitMs = kBusyTimeoutMs);

    // Makes a new, empty hive at `file`, which must not exist yet.
    static uint32_t create(const std::string& file, std::shared_ptr<THive>& hive);

    ~THive();
    THive(const THive&) = delete;
    THive& operator=(const THive&) = delete;

    const std::string& file() const { return fFile; }
    bool writable() const { return fWritable; }

    // Key ids by path (components without separators); the empty path is the
    // hive's root key.
    uint32_t findKey(const std::vector<std::u16string>& path, int64_t& id);
    uint32_t createKey(const std::vector<std::u16string>& path, int64_t& id);
    // Deletes a key without subkeys (kAccessDenied when it has some).
    uint32_t deleteKey(const std::vector<std::u16string>& path);

    // Whether a write lock could be had right now (within the busy wait).
    uint32_t probeWriteLock();

    uint32_t valueNames(int64_t key, std::vector<std::u16string>& names);
    uint32_t subKeyNames(int64_t key, std::vector<std::u16string>& names);
    uint32_t queryValue(int64_t key, const std::u16string& name, RegValue& value);
    uint32_t setValue(int64_t key, const std::u16string& name, const RegValue& value);
    uint32_t deleteValue(int64_t key, const std::u16string& name);

    // A watch on the key `path` of this hive's file, on a connection of its
    // own that never waits for a lock: another connection's commit shows in
    // the file's data version, and the key's values decide whether it counts.
    uint32_t watchKey(const std::vector<std::u16string>& path, std::unique_ptr<IKeyWatch>& watch);

    // Groups many changes into one transaction (used to fill a new hive, and
    // for a registry update step). Waits the busy wait for the write lock.
    uint32_t begin();
    bool inTransaction() const { return fInBatch; }
    uint32_t commit();
    void rollback();

private:
    class TStatement;
    class TWriteTransaction;

    THive(sqlite3* db, std::string file, bool writable);
    uint32_t verify();
    uint32_t childKey(int64_t parent, const std::u16string& name, int64_t& id);
    bool keyExists(int64_t key);
    uint32_t exec(const char* sql);

    sqlite3* fDb;
    std::string fFile;
    bool fWritable;
    bool fInBatch = false; // inside begin() ... commit()
};

// Maps an SQLite result code to the Win32 error the registry would give.
uint32_t errorFromSqlite(int rc);

} // namespace talvoren::platform::posix
