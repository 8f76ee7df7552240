#include "BatchInserter.h"

#include <QSqlError>

namespace VexDb {

namespace {
// Stays far below SQLite's and PostgreSQL's bound-parameter limits.
const int kMaxParameters = 900;
const int kMaxRows = 64;
} // namespace

BatchInserter::BatchInserter(QSqlDatabase &db, const QString &table, const QStringList &columns)
    : m_db(db), m_table(table), m_columns(columns)
{
    m_rowsPerStatement = qBound(1, kMaxParameters / int(columns.size()), kMaxRows);
    m_pending.reserve(m_rowsPerStatement * columns.size());
}

QString BatchInserter::insertText(int rows) const
{
    QString one = QStringLiteral("(?");
    for (int i = 1; i < m_columns.size(); ++i)
        one += QStringLiteral(",?");
    one += QLatin1Char(')');
    QStringList tuples;
    for (int i = 0; i < rows; ++i)
        tuples << one;
    return QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
        .arg(m_table, m_columns.join(QLatin1Char(',')), tuples.join(QLatin1Char(',')));
}

bool BatchInserter::add(const QVariantList &row)
{
    if (!m_error.isEmpty())
        return false;
    if (row.size() != m_columns.size()) {
        m_error = QStringLiteral("%1: %2 values for %3 columns")
                      .arg(m_table).arg(row.size()).arg(m_columns.size());
        return false;
    }
    m_pending += row;
    if (m_pending.size() < m_rowsPerStatement * m_columns.size())
        return true;
    if (!m_full) {
        m_full = std::make_unique<QSqlQuery>(m_db);
        if (!m_full->prepare(insertText(m_rowsPerStatement))) {
            m_error = QStringLiteral("cannot prepare insert into %1: %2")
                          .arg(m_table, m_full->lastError().text().simplified());
            return false;
        }
    }
    return run(*m_full, m_rowsPerStatement);
}

bool BatchInserter::finish()
{
    if (!m_error.isEmpty())
        return false;
    if (m_pending.isEmpty())
        return true;
    const int rows = int(m_pending.size() / m_columns.size());
    QSqlQuery tail(m_db);
    if (!tail.prepare(insertText(rows))) {
        m_error = QStringLiteral("cannot prepare insert into %1: %2")
                      .arg(m_table, tail.lastError().text().simplified());
        return false;
    }
    return run(tail, rows);
}

bool BatchInserter::run(QSqlQuery &query, int rows)
{
    for (int i = 0; i < m_pending.size(); ++i)
        query.bindValue(i, m_pending.at(i));
    if (!query.exec()) {
        m_error = QStringLiteral("insert into %1 failed: %2")
                      .arg(m_table, query.lastError().text().simplified());
        return false;
    }
    m_written += rows;
    m_pending.clear();
    return true;
}

} // namespace VexDb
