#pragma once

#include "StatementCache.h"

#include <QHash>
#include <QSqlDatabase>

struct sqlite3;
struct sqlite3_stmt;

// Statements run with the SQLite library on the handle of a Qt connection.
class SqliteStatements final : public StatementCache::Backend
{
public:
    explicit SqliteStatements(const QSqlDatabase &db);
    ~SqliteStatements() override;

    SqlCursor &run(const SqlStatement &statement) override;
    void clear() override;
    qsizetype size() const override { return m_statements.size(); }

    // Throws EDatabaseError with the reason when Qt's driver does not run
    // the SQLite library this program links (the handle would be unsafe).
    static void checkSameLibrary(const QSqlDatabase &db);

private:
    class Cursor;

    sqlite3_stmt *prepared(const QString &text);

    QSqlDatabase m_db;
    sqlite3 *m_handle = nullptr;
    QHash<QString, sqlite3_stmt *> m_statements;
    std::unique_ptr<Cursor> m_cursor;
};
