#pragma once

// A small owner of an SQLite connection and its statements: each is finished or closed when it goes
// out of scope, and a failed step throws SqliteError with SQLite's code and words.

#include <sqlite3.h>

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace marlix::core::detail {

struct SqliteError {
    int code;  // the primary result code (SQLITE_BUSY, SQLITE_CORRUPT, ...)
    std::string message;
};

class Database {
  public:
    // Opens or creates the file; throws SqliteError when it cannot.
    explicit Database(const std::string& path);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    sqlite3* Handle() const { return db_; }
    void Execute(const char* sql);
    [[noreturn]] void Throw(int code) const;

  private:
    sqlite3* db_ = nullptr;
};

class Statement {
  public:
    Statement(const Database& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void Bind(int index, std::int64_t value);
    void Bind(int index, double value);
    void Bind(int index, std::string_view text);
    void BindBlob(int index, std::span<const unsigned char> bytes);
    void BindNull(int index);
    // True while a row is there to read; false once done.
    bool Step();
    void Reset();

    std::int64_t Integer(int column) const { return sqlite3_column_int64(statement_, column); }
    double Real(int column) const { return sqlite3_column_double(statement_, column); }
    bool IsNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }
    std::string Text(int column) const;
    std::span<const unsigned char> Blob(int column) const;

  private:
    void Check(int code) const;

    const Database& db_;
    sqlite3_stmt* statement_ = nullptr;
};

}  // namespace marlix::core::detail
