#pragma once
// A thin layer over one SQLite database file: the connection, prepared
// statements and transactions, each owning its SQLite object and releasing it
// when it goes. Nothing here throws; every call that can fail says so in a
// DbError, the way SQLite reported it.

#include "core/util/Failure.h"

#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace tessarine {

// How a database call failed: SQLite's primary result code and its message.
struct DbError {
    int code = 0;          // SQLITE_OK (0) when nothing failed
    std::string message{}; // SQLite's own text, may be empty

    explicit operator bool() const { return code != 0; }
    // The file is no database or a damaged one (SQLITE_NOTADB, SQLITE_CORRUPT).
    bool Damaged() const;
    // The failure to word for the user: a full disk, a refused access, or a
    // file failure with SQLite's message.
    Failure AsFailure() const;
};

class Database {
public:
    Database() = default;
    ~Database() { Close(); }
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens the database file at `path`, creating an empty one when it is
    // missing, for this connection: foreign keys checked, every commit
    // written through to the disk (synchronous=FULL), no waiting for a lock
    // another connection holds. The journal mode is left to SetDeleteJournal,
    // which writes to the file when it changes the mode.
    DbError Open(const std::string& path);
    // Opens an existing file for reading only, waiting a moment for a
    // writer's transaction to end (another program may hold the base
    // directory and write).
    DbError OpenForReading(const std::string& path);
    void Close();
    bool IsOpen() const { return db_ != nullptr; }
    // Whether the file could be opened for reading only (write-protected).
    bool ReadOnly() const;

    // A rollback journal beside the file, deleted when a transaction ends
    // (journal_mode=DELETE): between transactions the database is the one
    // file, whole.
    DbError SetDeleteJournal();

    // Runs `sql` (one or more statements that return no rows).
    DbError Execute(const std::string& sql);
    // The value of the first column of the first row of `sql`; 0 without a row.
    DbError QueryInt(const std::string& sql, int64_t& value);

    int64_t LastInsertId() const;
    // The rows the last INSERT, UPDATE or DELETE changed.
    int64_t Changes() const;

    sqlite3* Handle() const { return db_; }
    // The last failure on this connection.
    DbError LastError() const;

private:
    sqlite3* db_ = nullptr;
};

// One prepared statement. The first failure (preparing, binding, stepping) is
// kept and every later step fails with it, so a caller may bind a row's values
// and step before looking.
class Statement {
public:
    Statement(Database& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Parameters are numbered from 1.
    Statement& Bind(int index, std::string_view text);
    Statement& Bind(int index, int64_t value);
    Statement& BindNull(int index);

    // Moves to the next row: true when there is one; false when there are no
    // more or the statement failed (Error tells which).
    bool Step();
    // Steps to the end, for statements that return no rows.
    DbError Run();
    // Back to before the first row, with its bindings cleared and its
    // failure forgotten, to run again.
    void Reset();

    // The current row's columns, numbered from 0. NULL reads as 0 and "".
    int64_t Int(int column) const;
    std::string Text(int column) const;
    bool IsNull(int column) const;

    const DbError& Error() const { return error_; }

private:
    void Keep(int code);

    Database& db_;
    sqlite3_stmt* statement_ = nullptr;
    DbError error_;
};

// BEGIN IMMEDIATE on construction (the write lock taken at once, so the
// transaction cannot fail half-way for want of it), rolled back on
// destruction unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Why the transaction could not begin; nothing is done in it then.
    const DbError& Error() const { return error_; }
    // Makes everything done in it durable; a failed commit is rolled back.
    DbError Commit();

private:
    Database& db_;
    DbError error_;
    bool open_ = false;
};

} // namespace tessarine
