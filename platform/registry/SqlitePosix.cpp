#include "platform/registry/SqlitePosix.h"

#include <sqlite3.h>

namespace {

constexpr int BusyTimeoutMs = 15000;

[[noreturn]] void fail(sqlite3* db, int rc) {
    const char* message = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    throw SqliteFailure(rc, message ? message : "sqlite");
}

} // namespace

SqliteFailure::SqliteFailure(int code, const std::string& what)
    : std::runtime_error(what), code_(code) {}

bool SqliteFailure::isDamage() const {
    const int primary = code_ & 0xff;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

SqliteDb::SqliteDb(const std::filesystem::path& file, bool readOnly) : readOnly_(readOnly) {
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) |
                      SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
    const int rc = sqlite3_open_v2(file.c_str(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const SqliteFailure failure(rc, db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
        sqlite3_close(db_);
        db_ = nullptr;
        throw failure;
    }
    sqlite3_busy_timeout(db_, BusyTimeoutMs);
    exec("PRAGMA foreign_keys = ON");
}

SqliteDb::~SqliteDb() {
    sqlite3_close(db_);
}

void SqliteDb::exec(const char* sql) {
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK) {
        fail(db_, rc);
    }
}

SqliteStatement::SqliteStatement(const SqliteDb& db, std::string_view sql) : db_(db.handle()) {
    check(sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr));
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(stmt_);
}

void SqliteStatement::check(int rc) const {
    if (rc != SQLITE_OK) {
        fail(db_, rc);
    }
}

SqliteStatement& SqliteStatement::bind(int index, int64_t value) {
    check(sqlite3_bind_int64(stmt_, index, value));
    return *this;
}

SqliteStatement& SqliteStatement::bindText(int index, std::string_view text) {
    // A null pointer would bind NULL instead of the empty text.
    const char* data = text.empty() ? "" : text.data();
    check(sqlite3_bind_text(stmt_, index, data, static_cast<int>(text.size()), SQLITE_TRANSIENT));
    return *this;
}

SqliteStatement& SqliteStatement::bindBlob(int index, std::string_view bytes) {
    const char* data = bytes.empty() ? "" : bytes.data();
    check(sqlite3_bind_blob(stmt_, index, data, static_cast<int>(bytes.size()), SQLITE_TRANSIENT));
    return *this;
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    sqlite3_reset(stmt_);
    fail(db_, rc);
}

void SqliteStatement::run() {
    while (step()) {
    }
}

void SqliteStatement::reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

int64_t SqliteStatement::columnInt(int index) const {
    return sqlite3_column_int64(stmt_, index);
}

std::string SqliteStatement::columnText(int index) const {
    const auto* text = sqlite3_column_text(stmt_, index);
    const int size = sqlite3_column_bytes(stmt_, index);
    return text ? std::string(reinterpret_cast<const char*>(text), size) : std::string();
}

std::string SqliteStatement::columnBlob(int index) const {
    const void* blob = sqlite3_column_blob(stmt_, index);
    const int size = sqlite3_column_bytes(stmt_, index);
    return blob ? std::string(static_cast<const char*>(blob), size) : std::string();
}

SqliteTransaction::SqliteTransaction(SqliteDb& db, Kind kind)
    : db_(db), nested_(sqlite3_get_autocommit(db.handle()) == 0) {
    if (nested_) {
        db_.exec("SAVEPOINT nested");
        return;
    }
    db_.exec(kind == Kind::Write ? "BEGIN IMMEDIATE" : "BEGIN DEFERRED");
}

// Some failures (a full disk, for one) end the outer transaction themselves; undoing what is no
// longer there fails harmlessly then.
SqliteTransaction::~SqliteTransaction() {
    if (!open_) {
        return;
    }
    const char* undo = nested_ ? "ROLLBACK TO nested; RELEASE nested" : "ROLLBACK";
    sqlite3_exec(db_.handle(), undo, nullptr, nullptr, nullptr);
}

void SqliteTransaction::commit() {
    db_.exec(nested_ ? "RELEASE nested" : "COMMIT");
    open_ = false;
}

std::optional<int64_t> QueryInt(const SqliteDb& db, std::string_view sql) {
    SqliteStatement statement(db, sql);
    if (!statement.step()) {
        return std::nullopt;
    }
    return statement.columnInt(0);
}
