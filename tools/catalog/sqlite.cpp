#include "tools/catalog/sqlite.h"

namespace quavrel::catalog {

SqliteConnection::SqliteConnection(const std::string& file, int flags)
{
    const int rc = sqlite3_open_v2(file.c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError("cannot open " + file + ": " + message, rc);
    }
    sqlite3_extended_result_codes(db_, 1);
}

SqliteConnection::~SqliteConnection() { sqlite3_close_v2(db_); }

void SqliteConnection::exec(const std::string& sql)
{
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        const std::string text = message ? message : sqlite3_errstr(rc);
        sqlite3_free(message);
        throw SqliteError(text, rc);
    }
}

void SqliteConnection::fail(const std::string& doing, int code) const
{
    throw SqliteError(doing + ": " + sqlite3_errmsg(db_), code);
}

SqliteStatement::SqliteStatement(const SqliteConnection& connection, std::string_view sql) : connection_(connection)
{
    const int rc = sqlite3_prepare_v2(connection.handle(), sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
    if (rc != SQLITE_OK)
        connection.fail("cannot prepare a statement", rc);
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement& SqliteStatement::bind(int index, std::int64_t value)
{
    sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text)
{
    sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes)
{
    sqlite3_bind_blob(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
    return *this;
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const std::string message = sqlite3_errmsg(connection_.handle());
    sqlite3_reset(stmt_);
    throw SqliteError("database error: " + message, rc);
}

void SqliteStatement::run()
{
    step();
    reset();
}

void SqliteStatement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

std::int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string SqliteStatement::text(int column) const
{
    const void* data = sqlite3_column_blob(stmt_, column);
    const int size = sqlite3_column_bytes(stmt_, column);
    return data ? std::string(static_cast<const char*>(data), static_cast<std::size_t>(size)) : std::string();
}

SqliteTransaction::SqliteTransaction(SqliteConnection& connection) : connection_(connection)
{
    connection_.exec("BEGIN IMMEDIATE");
}

SqliteTransaction::~SqliteTransaction()
{
    if (open_) {
        try {
            connection_.exec("ROLLBACK");
        } catch (const SqliteError&) {
            // A failed commit may already have ended the transaction.
        }
    }
}

void SqliteTransaction::commit()
{
    connection_.exec("COMMIT");
    open_ = false;
}

}  // namespace quavrel::catalog
