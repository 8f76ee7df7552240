#pragma once

#include "SelectionSql.h"
#include "SqlCursor.h"

#include <QSqlDatabase>

#include <memory>

// Prepared statements of one database connection, each SQL text prepared
// once and reused, run through the database's own client library on the
// connection Qt opened (SQLite or PostgreSQL). Belongs to the thread that
// owns the connection, and must go before the connection closes.
class StatementCache final
{
public:
    class Backend;
    // List arguments of varying length give varying texts; each backend
    // bounds its cache so a client cycling list sizes cannot grow it without end.
    static constexpr qsizetype MaxStatements = 256;

    // Throws EDatabaseError for a connection of another kind.
    explicit StatementCache(const QSqlDatabase &db);
    ~StatementCache();

    // Binds and executes; the cursor is positioned before its first row.
    // Throws EDatabaseError with the database's text.
    SqlCursor &run(const SqlStatement &statement);
    void clear();
    qsizetype size() const;

private:
    std::unique_ptr<Backend> m_backend;
};

class StatementCache::Backend
{
public:
    virtual ~Backend() = default;
    virtual SqlCursor &run(const SqlStatement &statement) = 0;
    virtual void clear() = 0;
    virtual qsizetype size() const = 0;
};
