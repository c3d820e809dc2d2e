#pragma once
// A thin RAII layer over SQLite's C interface: a connection, a prepared statement with
// bind, step and column, and one error type that carries SQLite's message and code.
#include <sqlite3.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quavrel::catalog {

class SqliteError : public std::runtime_error {
public:
    SqliteError(const std::string& what, int code) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }
    // The file is not a database or is damaged.
    bool corrupt() const { return (code_ & 0xFF) == SQLITE_CORRUPT || (code_ & 0xFF) == SQLITE_NOTADB; }
    bool full() const { return (code_ & 0xFF) == SQLITE_FULL; }

private:
    int code_;
};

class SqliteConnection {
public:
    SqliteConnection(const std::string& file, int flags);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    sqlite3* handle() const { return db_; }
    void exec(const std::string& sql);
    [[noreturn]] void fail(const std::string& doing, int code) const;

private:
    sqlite3* db_ = nullptr;
};

class SqliteStatement {
public:
    SqliteStatement(const SqliteConnection& connection, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Parameters count from 1, as in SQL.
    SqliteStatement& bind(int index, std::int64_t value);
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bindBlob(int index, std::string_view bytes);

    // True while a row is there; false when done. Throws SqliteError on failure.
    bool step();
    // Runs a statement that returns no rows, then resets it for the next use.
    void run();
    void reset();

    std::int64_t integer(int column) const;
    std::string text(int column) const;   // text or blob bytes

private:
    const SqliteConnection& connection_;
    sqlite3_stmt* stmt_ = nullptr;
};

// Resets a statement kept for reuse when the scope ends, so it holds no read open.
class SqliteReset {
public:
    explicit SqliteReset(SqliteStatement& stmt) : stmt_(stmt) {}
    ~SqliteReset() { stmt_.reset(); }

private:
    SqliteStatement& stmt_;
};

// One transaction on a connection: committed by commit(), rolled back if the object goes
// without it (an exception on the way).
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteConnection& connection);
    ~SqliteTransaction();
    void commit();

private:
    SqliteConnection& connection_;
    bool open_ = true;
};

}  // namespace quavrel::catalog
