#include "core/store/Database.h"

#include <sqlite3.h>

#include <climits>

namespace tessarine {

namespace {

DbError ErrorOf(sqlite3* db, int code) {
    if (code == SQLITE_OK || code == SQLITE_ROW || code == SQLITE_DONE)
        return {};
    const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    return {code & 0xFF, message != nullptr ? message : ""};
}

int Length(std::string_view text) {
    return text.size() > static_cast<size_t>(INT_MAX) ? -1 : static_cast<int>(text.size());
}

} // namespace

bool DbError::Damaged() const {
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

Failure DbError::AsFailure() const {
    Failure failure;
    switch (code) {
    case SQLITE_OK:
        return failure;
    case SQLITE_FULL:
        failure.kind = FailureKind::DiskFull;
        break;
    case SQLITE_PERM:
    case SQLITE_READONLY:
    case SQLITE_AUTH:
        failure.kind = FailureKind::PermissionDenied;
        break;
    default:
        failure.kind = FailureKind::FileError;
        failure.detail = message;
        break;
    }
    return failure;
}

DbError Database::Open(const std::string& path) {
    Close();
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    const int code = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
    if (code != SQLITE_OK) {
        DbError error = ErrorOf(db_, code);
        Close(); // SQLite hands out a handle even when opening fails
        return error;
    }
    sqlite3_extended_result_codes(db_, 0);
    DbError error = Execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = FULL;"
                            " PRAGMA busy_timeout = 0;");
    if (error)
        Close();
    return error;
}

DbError Database::OpenForReading(const std::string& path) {
    Close();
    const int code = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
    if (code != SQLITE_OK) {
        DbError error = ErrorOf(db_, code);
        Close();
        return error;
    }
    sqlite3_extended_result_codes(db_, 0);
    DbError error = Execute("PRAGMA busy_timeout = 2000;");
    if (error)
        Close();
    return error;
}

void Database::Close() {
    if (db_ != nullptr) {
        // Statements and transactions end before their database; close_v2
        // still frees everything once the last of them is finalized.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool Database::ReadOnly() const {
    return db_ != nullptr && sqlite3_db_readonly(db_, "main") == 1;
}

DbError Database::SetDeleteJournal() {
    Statement mode(*this, "PRAGMA journal_mode = DELETE");
    if (!mode.Step())
        return mode.Error() ? mode.Error() : DbError{SQLITE_ERROR, "no journal mode"};
    // SQLite answers with the mode now in force, which stays as it was when
    // it cannot be changed.
    if (mode.Text(0) != "delete")
        return {SQLITE_ERROR, "journal mode " + mode.Text(0)};
    return {};
}

DbError Database::Execute(const std::string& sql) {
    if (db_ == nullptr)
        return {SQLITE_MISUSE, "no database open"};
    return ErrorOf(db_, sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr));
}

DbError Database::QueryInt(const std::string& sql, int64_t& value) {
    Statement query(*this, sql);
    value = query.Step() ? query.Int(0) : 0;
    return query.Error();
}

int64_t Database::LastInsertId() const {
    return db_ != nullptr ? sqlite3_last_insert_rowid(db_) : 0;
}

int64_t Database::Changes() const {
    return db_ != nullptr ? sqlite3_changes64(db_) : 0;
}

DbError Database::LastError() const {
    return db_ != nullptr ? ErrorOf(db_, sqlite3_errcode(db_)) : DbError{};
}

Statement::Statement(Database& db, std::string_view sql) : db_(db) {
    if (!db.IsOpen()) {
        error_ = {SQLITE_MISUSE, "no database open"};
        return;
    }
    const int length = Length(sql);
    if (length < 0) {
        error_ = {SQLITE_TOOBIG, "statement too long"};
        return;
    }
    Keep(sqlite3_prepare_v2(db.Handle(), sql.data(), length, &statement_, nullptr));
    if (!error_ && statement_ == nullptr)
        error_ = {SQLITE_MISUSE, "empty statement"};
}

Statement::~Statement() {
    sqlite3_finalize(statement_);
}

void Statement::Keep(int code) {
    if (!error_)
        error_ = ErrorOf(db_.Handle(), code);
}

Statement& Statement::Bind(int index, std::string_view text) {
    if (error_)
        return *this;
    const int length = Length(text);
    if (length < 0)
        error_ = {SQLITE_TOOBIG, "text too long"};
    else
        Keep(sqlite3_bind_text(statement_, index, text.data(), length, SQLITE_TRANSIENT));
    return *this;
}

Statement& Statement::Bind(int index, int64_t value) {
    if (!error_)
        Keep(sqlite3_bind_int64(statement_, index, value));
    return *this;
}

Statement& Statement::BindNull(int index) {
    if (!error_)
        Keep(sqlite3_bind_null(statement_, index));
    return *this;
}

bool Statement::Step() {
    if (error_)
        return false;
    const int code = sqlite3_step(statement_);
    Keep(code);
    return code == SQLITE_ROW;
}

DbError Statement::Run() {
    while (Step()) {
    }
    return error_;
}

void Statement::Reset() {
    if (statement_ == nullptr)
        return; // never prepared: its failure stays
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    error_ = {};
}

int64_t Statement::Int(int column) const {
    return statement_ != nullptr ? sqlite3_column_int64(statement_, column) : 0;
}

std::string Statement::Text(int column) const {
    if (statement_ == nullptr)
        return {};
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement_, column));
    const int bytes = sqlite3_column_bytes(statement_, column);
    return text != nullptr ? std::string(text, static_cast<size_t>(bytes)) : std::string();
}

bool Statement::IsNull(int column) const {
    return statement_ == nullptr || sqlite3_column_type(statement_, column) == SQLITE_NULL;
}

Transaction::Transaction(Database& db) : db_(db) {
    error_ = db.Execute("BEGIN IMMEDIATE");
    open_ = !error_;
}

Transaction::~Transaction() {
    // A failed statement or commit may already have ended the transaction.
    if (open_ && db_.IsOpen() && sqlite3_get_autocommit(db_.Handle()) == 0)
        db_.Execute("ROLLBACK");
}

DbError Transaction::Commit() {
    if (!open_)
        return error_ ? error_ : DbError{SQLITE_MISUSE, "no transaction"};
    DbError error = db_.Execute("COMMIT");
    if (!error)
        open_ = false;
    return error;
}

} // namespace tessarine
