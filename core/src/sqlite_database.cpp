#include "sqlite_database.h"

namespace marlix::core::detail {

Database::Database(const std::string& path) {
    const int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (code != SQLITE_OK) {
        SqliteError error{code & 0xff, db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(code)};
        sqlite3_close(db_);
        db_ = nullptr;
        throw error;
    }
    sqlite3_extended_result_codes(db_, 0);
}

Database::~Database() {
    sqlite3_close(db_);
}

void Database::Execute(const char* sql) {
    const int code = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (code != SQLITE_OK) Throw(code);
}

void Database::Throw(int code) const {
    throw SqliteError{code & 0xff, sqlite3_errmsg(db_)};
}

Statement::Statement(const Database& db, std::string_view sql) : db_(db) {
    Check(sqlite3_prepare_v2(db.Handle(), sql.data(), static_cast<int>(sql.size()), &statement_, nullptr));
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

void Statement::Check(int code) const {
    if (code != SQLITE_OK) db_.Throw(code);
}

void Statement::Bind(int index, std::int64_t value) {
    Check(sqlite3_bind_int64(statement_, index, value));
}

void Statement::Bind(int index, double value) {
    Check(sqlite3_bind_double(statement_, index, value));
}

void Statement::Bind(int index, std::string_view text) {
    Check(sqlite3_bind_text(statement_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT));
}

void Statement::BindBlob(int index, std::span<const unsigned char> bytes) {
    // An empty blob is no NULL: it says "none" where NULL says "not known".
    Check(bytes.empty() ? sqlite3_bind_zeroblob(statement_, index, 0)
                        : sqlite3_bind_blob(statement_, index, bytes.data(), static_cast<int>(bytes.size()),
                                            SQLITE_TRANSIENT));
}

void Statement::BindNull(int index) {
    Check(sqlite3_bind_null(statement_, index));
}

bool Statement::Step() {
    const int code = sqlite3_step(statement_);
    if (code == SQLITE_ROW) return true;
    if (code == SQLITE_DONE) return false;
    db_.Throw(code);
}

void Statement::Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

std::string Statement::Text(int column) const {
    const auto* text = sqlite3_column_text(statement_, column);
    return text != nullptr ? std::string(reinterpret_cast<const char*>(text),
                                         static_cast<std::size_t>(sqlite3_column_bytes(statement_, column)))
                           : std::string();
}

std::span<const unsigned char> Statement::Blob(int column) const {
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_column_blob(statement_, column));
    return {bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

}  // namespace marlix::core::detail
