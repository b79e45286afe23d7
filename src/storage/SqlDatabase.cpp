#include "storage/SqlDatabase.h"

#include "storage/SqlStatement.h"

#include <sqlite3.h>
#include <stdexcept>

namespace volumira {

namespace {

// Bounds how long a statement waits for another connection's lock before it reports "database is locked".
constexpr int kBusyTimeoutMs = 5000;

constexpr const char* kTuning =
    "PRAGMA auto_vacuum=1;PRAGMA page_size=4096;PRAGMA synchronous=OFF;PRAGMA temp_store=MEMORY";

} // namespace

SqlDatabase::SqlDatabase(const std::string& path) {
    open(path);
}

SqlDatabase::SqlDatabase(const SqlDatabaseSettings& settings) {
    if (!settings.path.empty()) open(settings.path);
}

SqlDatabase::~SqlDatabase() {
    close();
}

void SqlDatabase::close() {
    // close_v2 defers the real close until statements still alive are finalized, so nothing leaks.
    if (db_ != nullptr) sqlite3_close_v2(db_);
    db_ = nullptr;
    path_.clear();
}

void SqlDatabase::open(const std::string& path) {
    close();

    // A NUL inside the path would silently open a different, shorter name.
    if (path.find('\0') != std::string::npos) throw std::runtime_error("Could not open database.");
    sqlite3* db = nullptr;
    if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) {
        // SQLite hands back a handle even when opening fails; it still has to be released.
        sqlite3_close_v2(db);
        throw std::runtime_error("Could not open database.");
    }
    db_ = db;
    try {
        sqlite3_busy_timeout(db_, kBusyTimeoutMs);
        SqlStatement(*this, kTuning).executeAll();
        if (storedVersion() != kSchemaVersion) createSchema();
    } catch (...) {
        close();
        throw;
    }
    path_ = path;
}

int SqlDatabase::storedVersion() {
    if (!tableExists("version")) return 0;
    SqlStatement query(*this, "SELECT version from version;");
    if (!query.prepareNext()) throw std::runtime_error("Failed to check database version.");
    return query.step() ? query.columnInt(0) : 0;
}

bool SqlDatabase::tableExists(const std::string& name) {
    // The name is bound, not pasted into the text, so quotes in it cannot change the query.
    SqlStatement query(*this, "SELECT count(*) from sqlite_master WHERE type = 'table' AND name = ?;");
    if (!query.prepareNext()) throw std::runtime_error("Could not check for table " + name);
    if (query.bindText(1, name) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db_));
    return query.step() && query.columnInt(0) > 0;
}

void SqlDatabase::createSchema() {
    std::string sql = "BEGIN TRANSACTION;";
    if (tableExists("version")) sql += "DROP TABLE version;";
    sql += "CREATE TABLE version (version INTEGER PRIMARY KEY DEFAULT 0);INSERT into version VALUES (";
    sql += std::to_string(kSchemaVersion);
    sql += ");COMMIT;";
    SqlStatement(*this, sql).executeAll();
}

} // namespace volumira
