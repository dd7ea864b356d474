#pragma once

// Watches one key of a hive through a read-only connection of its own.

#include "platform/Platform.h"

#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;

namespace talvoren::platform::posix {

// Polled five times a second on the interface thread: one PRAGMA while
// nothing changed, one pass over the key's values after a commit.
class THiveWatch : public IKeyWatch {
public:
    // Takes `db` (opened read-only on the hive file) over.
    THiveWatch(sqlite3* db, std::vector<std::u16string> path);
    ~THiveWatch() override;
    THiveWatch(const THiveWatch&) = delete;
    THiveWatch& operator=(const THiveWatch&) = delete;

    bool changed() override;

private:
    bool dataVersion(int64_t& version);
    // The data version and a digest of the key's values, read in one
    // transaction. A key that is gone has a digest of its own.
    bool read(int64_t& version, uint64_t& digest);
    bool keyDigest(uint64_t& digest);

    sqlite3* fDb;
    std::vector<std::u16string> fPath;
    bool fKnown = false;
    int64_t fVersion = 0;
    uint64_t fDigest = 0;
};

} // namespace talvoren::platform::posix
