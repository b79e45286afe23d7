#pragma once

#include <string>
#include <string_view>
#include <vector>

struct sqlite3_stmt;

namespace volumira {

class SqlDatabase;

// Runs a text of one or more SQL statements, one after another. Errors become std::runtime_error carrying
// SQLite's own message.
class SqlStatement {
  public:
    SqlStatement(SqlDatabase& database, std::string_view sql);
    virtual ~SqlStatement();

    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    virtual void finalize();
    // True when a statement is ready to step; false when only blanks or comments remain.
    virtual bool prepareNext();
    // True when a row is available; false when the statement finished or none is prepared.
    virtual bool step();
    // Runs every remaining statement to its end, discarding rows.
    virtual void executeAll();

    sqlite3_stmt* handle() const { return stmt_; }

    // Binding returns SQLite's result code so that callers can word their own failure message.
    [[nodiscard]] int bindInt(int index, int value);
    [[nodiscard]] int bindText(int index, std::string_view value);
    // Columns are numbered from 0; a missing statement or column reads as 0 or an empty text.
    int columnInt(int column) const;
    double columnDouble(int column) const;
    std::string columnText(int column) const;

  private:
    [[noreturn]] void raiseError() const;

    SqlDatabase& database_;
    sqlite3_stmt* stmt_ = nullptr;
    std::vector<char> sql_;  // the text and a terminating NUL
    std::size_t cursor_ = 0; // start of the part not yet prepared
};

} // namespace volumira
