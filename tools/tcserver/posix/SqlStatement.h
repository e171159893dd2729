#pragma once
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_map>

#include "base/ByteArray.h"

struct sqlite3;
struct sqlite3_stmt;

// A failure of the store itself (preparing, binding, stepping, a
// transaction that cannot begin or commit).
class DatabaseError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Prepared statements kept for the life of a connection: a submission runs
// the same few statements every time, and preparing them anew cost as much
// as running them. Not locked: its owner uses it under its own lock.
class SqlStatementCache {
public:
    explicit SqlStatementCache(sqlite3* db) : m_db(db) {}
    ~SqlStatementCache();
    SqlStatementCache(const SqlStatementCache&) = delete;
    SqlStatementCache& operator=(const SqlStatementCache&) = delete;

    sqlite3* db() const { return m_db; }
    // The statement for sql, prepared on first use; throws DatabaseError.
    sqlite3_stmt* get(const std::string& sql);

private:
    sqlite3* m_db;
    std::unordered_map<std::string, sqlite3_stmt*> m_statements;
};

// One use of a cached statement: bound, stepped, and reset with its
// bindings cleared for the next use when the scope ends. Binding or
// stepping failures throw DatabaseError.
class SqlStatement {
public:
    SqlStatement(SqlStatementCache& cache, const std::string& sql);
    ~SqlStatement();
    SqlStatement(const SqlStatement&) = delete;
    SqlStatement& operator=(const SqlStatement&) = delete;

    SqlStatement& bind(int i, int64_t v);
    SqlStatement& bind(int i, const std::wstring& v); // as UTF-8
    SqlStatement& bind(int i, const std::string& v);
    SqlStatement& bind(int i, const ByteArray& v);    // empty: a zero-length blob
    template <class T>
    SqlStatement& bind(int i, const std::optional<T>& v)
    {
        if (v)
            return bind(i, static_cast<std::conditional_t<std::is_integral_v<T>, int64_t, T>>(*v));
        return bindNull(i);
    }
    SqlStatement& bindNull(int i);
    SqlStatement& bindNullIfEmpty(int i, const std::wstring& v);

    // true while a row is there
    bool step();
    bool isNull(int c);
    int64_t int64(int c);
    std::string text(int c);
    std::wstring wtext(int c);
    ByteArray blob(int c);

private:
    void check(int rc);

    sqlite3* m_db;
    sqlite3_stmt* m_stmt;
};

// BEGIN IMMEDIATE ... COMMIT, rolled back when the scope is left by a throw.
class SqlTransaction {
public:
    explicit SqlTransaction(sqlite3* db);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;
    void commit();

private:
    void run(const char* sql);

    sqlite3* m_db;
    bool m_done = false;
};
