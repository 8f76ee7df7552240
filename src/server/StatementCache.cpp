#include "StatementCache.h"

#include "PgStatements.h"
#include "SqliteStatements.h"

#include "VexErrors.h"

#include <QSqlDriver>

StatementCache::StatementCache(const QSqlDatabase &db)
{
    const QString driver = db.driverName();
    if (driver == QLatin1String("QSQLITE"))
        m_backend = std::make_unique<SqliteStatements>(db);
    else if (driver == QLatin1String("QPSQL"))
        m_backend = std::make_unique<PgStatements>(db);
    else
        throw EDatabaseError(QStringLiteral("banco de dados não suportado: %1").arg(driver));
}

StatementCache::~StatementCache() = default;

SqlCursor &StatementCache::run(const SqlStatement &statement)
{
    return m_backend->run(statement);
}

void StatementCache::clear()
{
    m_backend->clear();
}

qsizetype StatementCache::size() const
{
    return m_backend->size();
}
