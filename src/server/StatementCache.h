#pragma once

#include "SelectionSql.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <memory>

// Prepared statements of one database connection, each SQL text prepared
// once and reused. Belongs to the thread that owns the connection.
class StatementCache final
{
public:
    explicit StatementCache(const QSqlDatabase &db);
    ~StatementCache();

    // Binds and executes; the query is forward-only and positioned before
    // its first row. Throws EDatabaseError with the driver's text. Call
    // finish() on the query when done with its rows.
    QSqlQuery &run(const SqlStatement &statement);
    void clear();
    qsizetype size() const { return m_queries.size(); }

private:
    QSqlQuery &prepared(const QString &text);

    QSqlDatabase m_db;
    QHash<QString, std::shared_ptr<QSqlQuery>> m_queries;
};
