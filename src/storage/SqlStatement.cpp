#include "storage/SqlStatement.h"

#include "storage/SqlDatabase.h"

#include <cctype>
#include <limits>
#include <sqlite3.h>
#include <stdexcept>

namespace volumira {

SqlStatement::SqlStatement(SqlDatabase& database, std::string_view sql)
    : database_(database), sql_(sql.begin(), sql.end()) {
    sql_.push_back('\0');
}

SqlStatement::~SqlStatement() {
    finalize();
}

void SqlStatement::finalize() {
    if (stmt_ != nullptr) sqlite3_finalize(stmt_);
    stmt_ = nullptr;
}

void SqlStatement::raiseError() const {
    sqlite3* db = stmt_ != nullptr ? sqlite3_db_handle(stmt_) : database_.handle();
    throw std::runtime_error(sqlite3_errmsg(db));
}

bool SqlStatement::prepareNext() {
    finalize();
    if (database_.handle() == nullptr) throw std::runtime_error("The database is not open.");
    while (stmt_ == nullptr && sql_[cursor_] != '\0') {
        const char* start = sql_.data() + cursor_;
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(database_.handle(), start, -1, &stmt_, &tail) != SQLITE_OK) {
            stmt_ = nullptr;
            raiseError();
        }
        // A tail that did not move would prepare the same text forever.
        if (tail == nullptr || tail <= start) {
            cursor_ = sql_.size() - 1;
            break;
        }
        cursor_ = static_cast<std::size_t>(tail - sql_.data());
    }
    return stmt_ != nullptr;
}

bool SqlStatement::step() {
    if (stmt_ == nullptr) return false;
    const int result = sqlite3_step(stmt_);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) raiseError();
    while (sql_[cursor_] != '\0' && std::isspace(static_cast<unsigned char>(sql_[cursor_])))
        ++cursor_;
    return false;
}

void SqlStatement::executeAll() {
    for (;;) {
        if (step()) continue;
        if (!prepareNext()) break;
    }
    finalize();
}

int SqlStatement::bindInt(int index, int value) {
    if (stmt_ == nullptr) return SQLITE_MISUSE;
    return sqlite3_bind_int(stmt_, index, value);
}

int SqlStatement::bindText(int index, std::string_view value) {
    if (stmt_ == nullptr) return SQLITE_MISUSE;
    if (value.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return SQLITE_TOOBIG;
    return sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

int SqlStatement::columnInt(int column) const {
    return stmt_ != nullptr ? sqlite3_column_int(stmt_, column) : 0;
}

double SqlStatement::columnDouble(int column) const {
    return stmt_ != nullptr ? sqlite3_column_double(stmt_, column) : 0.0;
}

std::string SqlStatement::columnText(int column) const {
    if (stmt_ == nullptr) return {};
    const auto* text = sqlite3_column_text(stmt_, column);
    if (text == nullptr) return {};
    return std::string(reinterpret_cast<const char*>(text),
                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

} // namespace volumira
