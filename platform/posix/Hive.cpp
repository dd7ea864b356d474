#include "platform/posix/Hive.h"

#include "platform/posix/CaseFold.h"
#include "platform/posix/HiveWatch.h"

#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace talvoren::platform::posix {

namespace {
// "TVHV" in the database header marks a file as one of our hives.
constexpr int64_t kApplicationId = 0x54564856;
constexpr int64_t kFormatVersion = 1;
constexpr size_t kMaxKeyNameLength = 255;

const char* const kSchema = R"sql(
CREATE TABLE keys (
    id INTEGER PRIMARY KEY,
    parent INTEGER,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    UNIQUE (parent, folded)
);
CREATE TABLE key_values (
    id INTEGER PRIMARY KEY,
    key_id INTEGER NOT NULL,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE (key_id, folded)
);
INSERT INTO keys (id, parent, name, folded) VALUES (1, NULL, '', '');
)sql";
} // namespace

uint32_t errorFromSqlite(int rc)
{
    switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW:
        return error::kSuccess;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return error::kLockViolation;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return error::kAccessDenied;
    case SQLITE_NOTADB:
        return error::kNotRegistryFile;
    case SQLITE_CORRUPT:
    case SQLITE_SCHEMA:
    case SQLITE_ERROR: // a missing table or column: not our layout
        return error::kBadDb;
    case SQLITE_NOMEM:
        return error::kNotEnoughMemory;
    case SQLITE_TOOBIG:
        return error::kInvalidParameter;
    default:
        return error::kRegistryIoFailed;
    }
}

// A prepared statement that finalizes itself.
class THive::TStatement {
public:
    TStatement(sqlite3* db, const char* sql) { fRc = sqlite3_prepare_v2(db, sql, -1, &fStmt, nullptr); }
    ~TStatement() { sqlite3_finalize(fStmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    bool ok() const { return fRc == SQLITE_OK; }
    int rc() const { return fRc; }

    void bind(int i, int64_t v) { sqlite3_bind_int64(fStmt, i, v); }
    void bind(int i, const std::u16string& s)
    {
        sqlite3_bind_text16(fStmt, i, s.data(), static_cast<int>(s.size() * sizeof(char16_t)), SQLITE_TRANSIENT);
    }
    void bindBlob(int i, const std::vector<uint8_t>& data)
    {
        // An empty vector has no storage; a null pointer would bind NULL.
        if (data.empty()) {
            sqlite3_bind_zeroblob(fStmt, i, 0);
        } else {
            sqlite3_bind_blob(fStmt, i, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
        }
    }

    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step()
    {
        if (fRc != SQLITE_OK && fRc != SQLITE_ROW && fRc != SQLITE_DONE) {
            return fRc;
        }
        fRc = sqlite3_step(fStmt);
        return fRc;
    }

    int64_t integer(int col) { return sqlite3_column_int64(fStmt, col); }
    std::u16string text(int col)
    {
        const auto* p = static_cast<const char16_t*>(sqlite3_column_text16(fStmt, col));
        const int bytes = sqlite3_column_bytes16(fStmt, col);
        return p ? std::u16string(p, static_cast<size_t>(bytes) / sizeof(char16_t)) : std::u16string();
    }
    std::vector<uint8_t> blob(int col)
    {
        const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(fStmt, col));
        const int bytes = sqlite3_column_bytes(fStmt, col);
        return p ? std::vector<uint8_t>(p, p + bytes) : std::vector<uint8_t>();
    }

private:
    sqlite3_stmt* fStmt = nullptr;
    int fRc = SQLITE_OK;
};

// BEGIN IMMEDIATE ... COMMIT, or nothing when an outer transaction is open.
// Rolls back unless committed.
class THive::TWriteTransaction {
public:
    explicit TWriteTransaction(THive& hive)
        : fHive(hive)
    {
        if (!hive.fWritable) {
            fError = error::kAccessDenied;
            return;
        }
        if (hive.fInBatch) {
            return; // joined to the caller's transaction
        }
        fError = hive.exec("BEGIN IMMEDIATE");
        fOwn = fError == error::kSuccess;
        if (!fOwn) {
            hive.rollback(); // a refused BEGIN may still leave a transaction open
        }
    }
    ~TWriteTransaction()
    {
        if (fOwn) {
            fHive.rollback();
        }
    }
    TWriteTransaction(const TWriteTransaction&) = delete;
    TWriteTransaction& operator=(const TWriteTransaction&) = delete;

    uint32_t error() const { return fError; }
    uint32_t commit()
    {
        if (!fOwn) {
            return error::kSuccess;
        }
        const uint32_t rc = fHive.exec("COMMIT");
        if (rc == error::kSuccess) {
            fOwn = false;
        }
        return rc;
    }

private:
    THive& fHive;
    uint32_t fError = error::kSuccess;
    bool fOwn = false;
};

THive::THive(sqlite3* db, std::string file, bool writable)
    : fDb(db)
    , fFile(std::move(file))
    , fWritable(writable)
{
    sqlite3_busy_timeout(fDb, kBusyTimeoutMs);
    // A hive may come from another account; its schema must not run code.
    sqlite3_db_config(fDb, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(fDb, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
}

THive::~THive()
{
    sqlite3_close_v2(fDb);
}

uint32_t THive::exec(const char* sql)
{
    return errorFromSqlite(sqlite3_exec(fDb, sql, nullptr, nullptr, nullptr));
}

uint32_t THive::open(const std::string& file, std::shared_ptr<THive>& hive, int lockWaitMs)
{
    hive.reset();
    struct stat st { };
    if (stat(file.c_str(), &st) != 0) {
        return errno == EACCES ? error::kAccessDenied : error::kFileNotFound;
    }
    // SQLite takes an empty file for an empty database and would happily
    // write a new one into it; an empty file is simply not a hive.
    if (!S_ISREG(st.st_mode) || st.st_size == 0) {
        return error::kNotRegistryFile;
    }
    if (::access(file.c_str(), R_OK) != 0) {
        return error::kAccessDenied;
    }
    // The owner-write bit decides, also for root, who could write anyway.
    const bool writable = (st.st_mode & S_IWUSR) != 0 && ::access(file.c_str(), W_OK) == 0;
    sqlite3* db = nullptr;
    const int flags = writable ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY;
    const int rc = sqlite3_open_v2(file.c_str(), &db, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return rc == SQLITE_CANTOPEN ? error::kAccessDenied : errorFromSqlite(rc);
    }
    std::shared_ptr<THive> opened(new THive(db, file, writable));
    sqlite3_busy_timeout(db, lockWaitMs);
    const uint32_t verified = opened->verify();
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    if (verified != error::kSuccess) {
        return verified;
    }
    hive = std::move(opened);
    return error::kSuccess;
}

uint32_t THive::verify()
{
    {
        TStatement id(fDb, "PRAGMA application_id");
        const int rc = id.step();
        if (rc != SQLITE_ROW) {
            const uint32_t err = errorFromSqlite(rc);
            return err == error::kBadDb ? error::kNotRegistryFile : err;
        }
        if (id.integer(0) != kApplicationId) {
            return error::kNotRegistryFile;
        }
    }
    {
        TStatement check(fDb, "PRAGMA quick_check");
        const int rc = check.step();
        if (rc != SQLITE_ROW) {
            return rc == SQLITE_BUSY ? error::kLockViolation : error::kBadDb;
        }
        if (check.text(0) != u"ok") {
            return error::kBadDb;
        }
    }
    TStatement root(fDb, "SELECT count(*) FROM keys WHERE id = 1 AND parent IS NULL");
    TStatement values(fDb, "SELECT id, key_id, name, folded, type, data FROM key_values LIMIT 0");
    if (!root.ok() || !values.ok() || root.step() != SQLITE_ROW || root.integer(0) != 1) {
        return error::kBadDb;
    }
    return error::kSuccess;
}

uint32_t THive::create(const std::string& file, std::shared_ptr<THive>& hive)
{
    hive.reset();
    struct stat st { };
    if (lstat(file.c_str(), &st) == 0) {
        return error::kAlreadyExists;
    }
    sqlite3* db = nullptr;
    int rc
        = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return error::kAccessDenied;
    }
    std::shared_ptr<THive> made(new THive(db, file, true));
    // Names are TEXT in UTF-16LE, so string data reads back with CAST(data AS TEXT).
    const std::string setup = "PRAGMA encoding = 'UTF-16le';"
                              "PRAGMA application_id = "
        + std::to_string(kApplicationId) + ";PRAGMA user_version = " + std::to_string(kFormatVersion) + ";BEGIN;"
        + kSchema + "COMMIT;";
    rc = sqlite3_exec(db, setup.c_str(), nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        made.reset();
        unlink(file.c_str());
        return errorFromSqlite(rc);
    }
    hive = std::move(made);
    return error::kSuccess;
}

uint32_t THive::begin()
{
    if (!fWritable) {
        return error::kAccessDenied;
    }
    const uint32_t rc = exec("BEGIN IMMEDIATE");
    if (rc != error::kSuccess) {
        rollback();
        return rc;
    }
    fInBatch = true;
    return rc;
}

uint32_t THive::commit()
{
    const uint32_t rc = exec("COMMIT");
    if (rc == error::kSuccess) {
        fInBatch = false;
    }
    return rc;
}

void THive::rollback()
{
    fInBatch = false;
    if (!sqlite3_get_autocommit(fDb)) {
        exec("ROLLBACK");
    }
}

uint32_t THive::childKey(int64_t parent, const std::u16string& name, int64_t& id)
{
    TStatement q(fDb, "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2");
    q.bind(1, parent);
    q.bind(2, foldUpper(name));
    const int rc = q.step();
    if (rc == SQLITE_ROW) {
        id = q.integer(0);
        return error::kSuccess;
    }
    return rc == SQLITE_DONE ? error::kFileNotFound : errorFromSqlite(rc);
}

bool THive::keyExists(int64_t key)
{
    TStatement q(fDb, "SELECT 1 FROM keys WHERE id = ?1");
    q.bind(1, key);
    return q.step() == SQLITE_ROW;
}

uint32_t THive::findKey(const std::vector<std::u16string>& path, int64_t& id)
{
    int64_t current = kRootKey;
    for (const auto& name : path) {
        const uint32_t rc = childKey(current, name, current);
        if (rc != error::kSuccess) {
            return rc;
        }
    }
    id = current;
    return error::kSuccess;
}

uint32_t THive::createKey(const std::vector<std::u16string>& path, int64_t& id)
{
    for (const auto& name : path) {
        if (name.size() > kMaxKeyNameLength) {
            return error::kInvalidParameter;
        }
    }
    TWriteTransaction tx(*this);
    if (tx.error() != error::kSuccess) {
        return tx.error();
    }
    int64_t current = kRootKey;
    for (const auto& name : path) {
        int64_t child = 0;
        uint32_t rc = childKey(current, name, child);
        if (rc == error::kFileNotFound) {
            TStatement ins(fDb, "INSERT INTO keys (parent, name, folded) VALUES (?1, ?2, ?3)");
            ins.bind(1, current);
            ins.bind(2, name);
            ins.bind(3, foldUpper(name));
            if (ins.step() != SQLITE_DONE) {
                return errorFromSqlite(ins.rc());
            }
            child = sqlite3_last_insert_rowid(fDb);
            rc = error::kSuccess;
        }
        if (rc != error::kSuccess) {
            return rc;
        }
        current = child;
    }
    const uint32_t rc = tx.commit();
    if (rc == error::kSuccess) {
        id = current;
    }
    return rc;
}

uint32_t THive::deleteKey(const std::vector<std::u16string>& path)
{
    if (path.empty()) {
        return error::kAccessDenied; // a hive's root stays
    }
    TWriteTransaction tx(*this);
    if (tx.error() != error::kSuccess) {
        return tx.error();
    }
    int64_t id = 0;
    uint32_t rc = findKey(path, id);
    if (rc != error::kSuccess) {
        return rc;
    }
    {
        TStatement children(fDb, "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1");
        children.bind(1, id);
        const int step = children.step();
        if (step == SQLITE_ROW) {
            return error::kAccessDenied;
        }
        if (step != SQLITE_DONE) {
            return errorFromSqlite(step);
        }
    }
    TStatement values(fDb, "DELETE FROM key_values WHERE key_id = ?1");
    values.bind(1, id);
    TStatement key(fDb, "DELETE FROM keys WHERE id = ?1");
    key.bind(1, id);
    if (values.step() != SQLITE_DONE) {
        return errorFromSqlite(values.rc());
    }
    if (key.step() != SQLITE_DONE) {
        return errorFromSqlite(key.rc());
    }
    return tx.commit();
}

uint32_t THive::probeWriteLock()
{
    TWriteTransaction tx(*this);
    return tx.error(); // rolled back on leaving
}

uint32_t THive::valueNames(int64_t key, std::vector<std::u16string>& names)
{
    names.clear();
    TStatement q(fDb, "SELECT name FROM key_values WHERE key_id = ?1 ORDER BY id");
    q.bind(1, key);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        names.push_back(q.text(0));
    }
    return rc == SQLITE_DONE ? error::kSuccess : errorFromSqlite(rc);
}

uint32_t THive::subKeyNames(int64_t key, std::vector<std::u16string>& names)
{
    names.clear();
    std::vector<std::pair<std::u16string, std::u16string>> rows;
    TStatement q(fDb, "SELECT folded, name FROM keys WHERE parent = ?1");
    q.bind(1, key);
    int rc;
    while ((rc = q.step()) == SQLITE_ROW) {
        rows.emplace_back(q.text(0), q.text(1));
    }
    // The registry lists subkeys ordered by their upper-cased names.
    std::sort(rows.begin(), rows.end());
    for (auto& row : rows) {
        names.push_back(std::move(row.second));
    }
    return rc == SQLITE_DONE ? error::kSuccess : errorFromSqlite(rc);
}

uint32_t THive::queryValue(int64_t key, const std::u16string& name, RegValue& value)
{
    TStatement q(fDb, "SELECT type, data FROM key_values WHERE key_id = ?1 AND folded = ?2");
    q.bind(1, key);
    q.bind(2, foldUpper(name));
    const int rc = q.step();
    if (rc == SQLITE_ROW) {
        value.type = static_cast<uint32_t>(q.integer(0));
        value.data = q.blob(1);
        return error::kSuccess;
    }
    if (rc != SQLITE_DONE) {
        return errorFromSqlite(rc);
    }
    return keyExists(key) ? error::kFileNotFound : error::kKeyDeleted;
}

uint32_t THive::setValue(int64_t key, const std::u16string& name, const RegValue& value)
{
    TWriteTransaction tx(*this);
    if (tx.error() != error::kSuccess) {
        return tx.error();
    }
    if (!keyExists(key)) {
        return error::kKeyDeleted;
    }
    const std::u16string folded = foldUpper(name);
    // An existing value keeps its place in the enumeration and its stored name.
    TStatement update(fDb, "UPDATE key_values SET type = ?1, data = ?2 WHERE key_id = ?3 AND folded = ?4");
    update.bind(1, static_cast<int64_t>(value.type));
    update.bindBlob(2, value.data);
    update.bind(3, key);
    update.bind(4, folded);
    if (update.step() != SQLITE_DONE) {
        return errorFromSqlite(update.rc());
    }
    if (sqlite3_changes(fDb) == 0) {
        TStatement insert(fDb, "INSERT INTO key_values (key_id, name, folded, type, data) VALUES (?1, ?2, ?3, ?4, ?5)");
        insert.bind(1, key);
        insert.bind(2, name);
        insert.bind(3, folded);
        insert.bind(4, static_cast<int64_t>(value.type));
        insert.bindBlob(5, value.data);
        if (insert.step() != SQLITE_DONE) {
            return errorFromSqlite(insert.rc());
        }
    }
    return tx.commit();
}

uint32_t THive::deleteValue(int64_t key, const std::u16string& name)
{
    TWriteTransaction tx(*this);
    if (tx.error() != error::kSuccess) {
        return tx.error();
    }
    TStatement del(fDb, "DELETE FROM key_values WHERE key_id = ?1 AND folded = ?2");
    del.bind(1, key);
    del.bind(2, foldUpper(name));
    if (del.step() != SQLITE_DONE) {
        return errorFromSqlite(del.rc());
    }
    if (sqlite3_changes(fDb) == 0) {
        return keyExists(key) ? error::kFileNotFound : error::kKeyDeleted;
    }
    return tx.commit();
}

uint32_t THive::watchKey(const std::vector<std::u16string>& path, std::unique_ptr<IKeyWatch>& watch)
{
    watch.reset();
    int64_t id = 0;
    const uint32_t found = findKey(path, id);
    if (found != error::kSuccess) {
        return found;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(fFile.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        sqlite3_close_v2(db);
        return errorFromSqlite(rc);
    }
    watch = std::make_unique<THiveWatch>(db, path);
    return error::kSuccess;
}

} // namespace talvoren::platform::posix
