#include "StatementCache.h"

#include "services/Exceptions.h"

#include <QSqlError>

namespace {
// List arguments of varying length give varying texts; bound the cache so
// a client cycling list sizes cannot grow it without end.
constexpr qsizetype MaxStatements = 256;

QString errorText(const QSqlError &error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("erro desconhecido") : text;
}
} // namespace

StatementCache::StatementCache(const QSqlDatabase &db) : m_db(db) {}

StatementCache::~StatementCache() = default;

void StatementCache::clear()
{
    m_queries.clear();
}

QSqlQuery &StatementCache::prepared(const QString &text)
{
    auto it = m_queries.find(text);
    if (it != m_queries.end())
        return **it;
    if (m_queries.size() >= MaxStatements)
        m_queries.clear();
    auto query = std::make_shared<QSqlQuery>(m_db);
    query->setForwardOnly(true);
    if (!query->prepare(text))
        throw EDatabaseError(errorText(query->lastError()));
    return *m_queries.insert(text, std::move(query)).value();
}

QSqlQuery &StatementCache::run(const SqlStatement &statement)
{
    QSqlQuery &query = prepared(statement.text);
    for (qsizetype i = 0; i < statement.binds.size(); ++i)
        query.bindValue(int(i), statement.binds.at(i));
    if (!query.exec()) {
        const QString text = errorText(query.lastError());
        // A failed statement may be unusable afterwards (lost connection):
        // prepare it afresh next time.
        m_queries.remove(statement.text);
        throw EDatabaseError(text);
    }
    return query;
}
