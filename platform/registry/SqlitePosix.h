#pragma once
// Thin RAII over the SQLite C interface: a connection, a prepared statement, a transaction.
// Every failing call throws SqliteFailure with the SQLite result code.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

class SqliteFailure : public std::runtime_error {
public:
    SqliteFailure(int code, const std::string& what);
    int code() const { return code_; }
    // The file is no database or its pages are damaged.
    bool isDamage() const;

private:
    int code_;
};

class SqliteDb {
public:
    // Opens an existing file; never creates one.
    SqliteDb(const std::filesystem::path& file, bool readOnly);
    ~SqliteDb();
    SqliteDb(const SqliteDb&) = delete;
    SqliteDb& operator=(const SqliteDb&) = delete;

    void exec(const char* sql);
    sqlite3* handle() const { return db_; }
    bool readOnly() const { return readOnly_; }

private:
    sqlite3* db_ = nullptr;
    bool readOnly_;
};

class SqliteStatement {
public:
    SqliteStatement(const SqliteDb& db, std::string_view sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    SqliteStatement& bind(int index, int64_t value);
    SqliteStatement& bindText(int index, std::string_view text);
    SqliteStatement& bindBlob(int index, std::string_view bytes);
    // True while a row is available.
    bool step();
    void run();
    void reset();

    int64_t columnInt(int index) const;
    std::string columnText(int index) const;
    std::string columnBlob(int index) const;

private:
    void check(int rc) const;

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// A write transaction begins IMMEDIATE, so two writers queue on the busy timeout instead of
// failing on a lock upgrade; a read transaction sees one consistent state of the file. Rolled
// back unless committed. Within a transaction already open on the connection it is a savepoint
// of it, undone on its own and kept only if the outer transaction commits.
class SqliteTransaction {
public:
    enum class Kind { Read, Write };
    explicit SqliteTransaction(SqliteDb& db, Kind kind = Kind::Write);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    void commit();

private:
    SqliteDb& db_;
    bool nested_;
    bool open_ = true;
};

// The single integer a statement such as a PRAGMA yields, if any.
std::optional<int64_t> QueryInt(const SqliteDb& db, std::string_view sql);
