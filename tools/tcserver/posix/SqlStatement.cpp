#include "tools/tcserver/posix/SqlStatement.h"

#include <sqlite3.h>

#include "tools/tcserver/posix/ServerText.h"

SqlStatementCache::~SqlStatementCache()
{
    for (auto& entry : m_statements)
        sqlite3_finalize(entry.second);
}

sqlite3_stmt* SqlStatementCache::get(const std::string& sql)
{
    sqlite3_stmt*& slot = m_statements[sql];
    if (!slot && sqlite3_prepare_v3(m_db, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &slot, nullptr) != SQLITE_OK) {
        m_statements.erase(sql);
        throw DatabaseError(std::string("prepare: ") + sqlite3_errmsg(m_db));
    }
    return slot;
}

SqlStatement::SqlStatement(SqlStatementCache& cache, const std::string& sql)
    : m_db(cache.db()), m_stmt(cache.get(sql))
{
}

SqlStatement::~SqlStatement()
{
    sqlite3_reset(m_stmt);
    sqlite3_clear_bindings(m_stmt);
}

SqlStatement& SqlStatement::bind(int i, int64_t v)
{
    check(sqlite3_bind_int64(m_stmt, i, v));
    return *this;
}

SqlStatement& SqlStatement::bind(int i, const std::wstring& v)
{
    return bind(i, ServerText::utf8(v));
}

SqlStatement& SqlStatement::bind(int i, const std::string& v)
{
    check(sqlite3_bind_text(m_stmt, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT));
    return *this;
}

SqlStatement& SqlStatement::bind(int i, const ByteArray& v)
{
    if (v.getSize() == 0)
        check(sqlite3_bind_zeroblob(m_stmt, i, 0));
    else
        check(sqlite3_bind_blob(m_stmt, i, v.getData(), v.getSize(), SQLITE_TRANSIENT));
    return *this;
}

SqlStatement& SqlStatement::bindNull(int i)
{
    check(sqlite3_bind_null(m_stmt, i));
    return *this;
}

SqlStatement& SqlStatement::bindNullIfEmpty(int i, const std::wstring& v)
{
    return v.empty() ? bindNull(i) : bind(i, v);
}

bool SqlStatement::step()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    throw DatabaseError(std::string("step: ") + sqlite3_errmsg(m_db));
}

bool SqlStatement::isNull(int c)
{
    return sqlite3_column_type(m_stmt, c) == SQLITE_NULL;
}

int64_t SqlStatement::int64(int c)
{
    return sqlite3_column_int64(m_stmt, c);
}

std::string SqlStatement::text(int c)
{
    const auto* p = sqlite3_column_text(m_stmt, c);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(m_stmt, c)))
             : std::string();
}

std::wstring SqlStatement::wtext(int c)
{
    return ServerText::wide(text(c));
}

ByteArray SqlStatement::blob(int c)
{
    const void* p = sqlite3_column_blob(m_stmt, c);
    return ByteArray(p, sqlite3_column_bytes(m_stmt, c));
}

void SqlStatement::check(int rc)
{
    if (rc != SQLITE_OK)
        throw DatabaseError(std::string("bind: ") + sqlite3_errmsg(m_db));
}

SqlTransaction::SqlTransaction(sqlite3* db) : m_db(db)
{
    run("BEGIN IMMEDIATE");
}

SqlTransaction::~SqlTransaction()
{
    if (!m_done)
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
}

void SqlTransaction::commit()
{
    run("COMMIT");
    m_done = true;
}

void SqlTransaction::run(const char* sql)
{
    char* error = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::string text = error ? error : "?";
        sqlite3_free(error);
        throw DatabaseError(std::string(sql) + ": " + text);
    }
}
