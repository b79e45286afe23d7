#pragma once

#include <string>

struct sqlite3;

namespace volumira {

// Where a database lives; an empty path means "do not open one".
struct SqlDatabaseSettings {
    std::string path;
};

// One SQLite database file with a one-row version table that says whether the stored schema is current.
// Derived schemas override createSchema() and call open() from their own constructor, because a base
// constructor cannot reach the derived override.
class SqlDatabase {
  public:
    static constexpr int kSchemaVersion = 1;

    SqlDatabase() = default;
    explicit SqlDatabase(const std::string& path);
    explicit SqlDatabase(const SqlDatabaseSettings& settings);
    virtual ~SqlDatabase();

    SqlDatabase(const SqlDatabase&) = delete;
    SqlDatabase& operator=(const SqlDatabase&) = delete;

    // Opens (creating when missing) and tunes the file, rebuilding the schema when its version is not
    // current. Throws std::runtime_error; a failed open always leaves the database closed.
    virtual void open(const std::string& path);
    virtual bool tableExists(const std::string& name);
    // (Re)creates the version table; derived schemas add their own tables.
    virtual void createSchema();

    void close();
    bool isOpen() const { return db_ != nullptr; }
    sqlite3* handle() const { return db_; }
    const std::string& path() const { return path_; }

  private:
    int storedVersion();

    sqlite3* db_ = nullptr;
    std::string path_;
};

} // namespace volumira
