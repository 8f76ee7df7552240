#pragma once

#include "StatementCache.h"

#include <QByteArray>
#include <QHash>
#include <QSqlDatabase>

struct pg_conn;
struct pg_result;

// Statements run with libpq on the connection of a Qt PostgreSQL
// connection: prepared once per text, results read as text in place.
class PgStatements final : public StatementCache::Backend
{
public:
    explicit PgStatements(const QSqlDatabase &db);
    ~PgStatements() override;

    SqlCursor &run(const SqlStatement &statement) override;
    void clear() override;
    qsizetype size() const override { return m_statements.size(); }

    // "?" placeholders as "$1", "$2"... (not inside quoted literals).
    static QByteArray numberedPlaceholders(const QString &text, int *count);

private:
    class Cursor;

    QByteArray prepared(const QString &text);

    QSqlDatabase m_db;
    pg_conn *m_conn = nullptr;
    QHash<QString, QByteArray> m_statements; // text -> statement name
    int m_nextName = 0;
    std::unique_ptr<Cursor> m_cursor;
};
