#include "volumira-server/ReadOnlyDatabase.h"

#include <memory>
#include <sqlite3.h>
#include <stdexcept>

namespace volumira::server {

ReadOnlyDatabase::ReadOnlyDatabase(const std::string& path) : path_(path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : "out of memory";
        sqlite3_close(db_);
        db_ = nullptr;
        throw std::runtime_error("Could not open " + path + ": " + message);
    }
}

ReadOnlyDatabase::~ReadOnlyDatabase() {
    sqlite3_close(db_);
}

std::int64_t ReadOnlyDatabase::Row::integer(int column) const {
    return sqlite3_column_int64(statement_, column);
}

double ReadOnlyDatabase::Row::real(int column) const {
    return sqlite3_column_double(statement_, column);
}

std::string ReadOnlyDatabase::Row::text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                : std::string();
}

void ReadOnlyDatabase::query(const std::string& sql, const std::function<void(const Row&)>& row) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), static_cast<int>(sql.size()), &raw, nullptr) != SQLITE_OK)
        throw std::runtime_error(path_ + ": " + sqlite3_errmsg(db_));
    const std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> statement(raw, sqlite3_finalize);
    int code = SQLITE_ROW;
    while ((code = sqlite3_step(raw)) == SQLITE_ROW)
        row(Row(raw));
    if (code != SQLITE_DONE) throw std::runtime_error(path_ + ": " + sqlite3_errmsg(db_));
}

} // namespace volumira::server
