#include "platform/posix/HiveWatch.h"

#include "platform/posix/CaseFold.h"
#include "platform/posix/Hive.h"

#include <sqlite3.h>

namespace talvoren::platform::posix {

THiveWatch::THiveWatch(sqlite3* db, std::vector<std::u16string> path)
    : fDb(db)
    , fPath(std::move(path))
{
    // A commit under way answers "not yet" instead of holding up the window.
    sqlite3_busy_timeout(fDb, 0);
    sqlite3_db_config(fDb, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(fDb, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    fKnown = read(fVersion, fDigest);
}

THiveWatch::~THiveWatch()
{
    sqlite3_close_v2(fDb);
}

bool THiveWatch::changed()
{
    int64_t version = 0;
    if (!dataVersion(version) || (fKnown && version == fVersion)) {
        return false;
    }
    uint64_t digest = 0;
    if (!read(version, digest)) {
        return false;
    }
    // Not known at the start (the hive was busy): count it as a change,
    // so that nothing that happened meanwhile goes unseen.
    const bool different = !fKnown || digest != fDigest;
    fKnown = true;
    fVersion = version;
    fDigest = digest;
    return different;
}

bool THiveWatch::dataVersion(int64_t& version)
{
    sqlite3_stmt* stmt = nullptr;
    bool ok = sqlite3_prepare_v2(fDb, "PRAGMA data_version", -1, &stmt, nullptr) == SQLITE_OK
        && sqlite3_step(stmt) == SQLITE_ROW;
    if (ok) {
        version = sqlite3_column_int64(stmt, 0);
    }
    sqlite3_finalize(stmt);
    return ok;
}

bool THiveWatch::read(int64_t& version, uint64_t& digest)
{
    if (sqlite3_exec(fDb, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return false;
    }
    const bool ok = dataVersion(version) && keyDigest(digest);
    sqlite3_exec(fDb, "COMMIT", nullptr, nullptr, nullptr);
    return ok;
}

bool THiveWatch::keyDigest(uint64_t& digest)
{
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    auto mix = [&hash](const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        for (size_t i = 0; i < size; ++i) {
            hash = (hash ^ p[i]) * 1099511628211ull;
        }
    };
    int64_t key = THive::kRootKey;
    for (const auto& name : fPath) {
        sqlite3_stmt* q = nullptr;
        sqlite3_prepare_v2(fDb, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2", -1, &q, nullptr);
        const std::u16string folded = foldUpper(name);
        sqlite3_bind_int64(q, 1, key);
        sqlite3_bind_text16(q, 2, folded.data(), static_cast<int>(folded.size() * 2), SQLITE_TRANSIENT);
        const int rc = sqlite3_step(q);
        if (rc == SQLITE_ROW) {
            key = sqlite3_column_int64(q, 0);
        }
        sqlite3_finalize(q);
        if (rc == SQLITE_DONE) {
            digest = 0; // the key is gone
            return true;
        }
        if (rc != SQLITE_ROW) {
            return false;
        }
    }
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(fDb, "SELECT name, type, data FROM key_values WHERE key_id = ?1 ORDER BY id", -1, &q, nullptr);
    sqlite3_bind_int64(q, 1, key);
    int rc;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
        const int64_t type = sqlite3_column_int64(q, 1);
        const void* name = sqlite3_column_text16(q, 0);
        const int nameBytes = sqlite3_column_bytes16(q, 0);
        const void* data = sqlite3_column_blob(q, 2);
        const int dataBytes = sqlite3_column_bytes(q, 2);
        mix(&nameBytes, sizeof nameBytes);
        mix(name, static_cast<size_t>(nameBytes));
        mix(&type, sizeof type);
        mix(&dataBytes, sizeof dataBytes);
        mix(data, static_cast<size_t>(dataBytes));
    }
    sqlite3_finalize(q);
    digest = hash | 1; // never the digest of a missing key
    return rc == SQLITE_DONE;
}

} // namespace talvoren::platform::posix
