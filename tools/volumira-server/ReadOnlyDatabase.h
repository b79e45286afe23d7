#pragma once

// An SQLite file opened for reading only: the server never changes the data it serves.

#include <cstdint>
#include <functional>
#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace volumira::server {

class ReadOnlyDatabase {
  public:
    // Throws std::runtime_error when the file is missing or cannot be opened.
    explicit ReadOnlyDatabase(const std::string& path);
    ~ReadOnlyDatabase();
    ReadOnlyDatabase(const ReadOnlyDatabase&) = delete;
    ReadOnlyDatabase& operator=(const ReadOnlyDatabase&) = delete;

    // One row of a query; columns numbered from 0.
    class Row {
      public:
        explicit Row(sqlite3_stmt* statement) : statement_(statement) {}
        std::int64_t integer(int column) const;
        double real(int column) const;
        std::string text(int column) const;

      private:
        sqlite3_stmt* statement_;
    };

    // Runs one statement and hands every row to `row`. Throws std::runtime_error with SQLite's message.
    void query(const std::string& sql, const std::function<void(const Row&)>& row);

  private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

} // namespace volumira::server
