#pragma once

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <memory>

namespace VexDb {

// Bulk insert through multi-row prepared INSERTs: one round trip carries
// many rows, which matters on PostgreSQL over TCP and spares Qt's per-exec
// cost on SQLite. The same SQL text serves both databases.
class BatchInserter final
{
public:
    BatchInserter(QSqlDatabase &db, const QString &table, const QStringList &columns);

    // Queues one row (values in column order); runs a full statement when
    // enough rows are queued. false with error() once anything failed.
    bool add(const QVariantList &row);
    // Writes the queued rows.
    bool finish();

    QString error() const { return m_error; }
    qint64 rowsWritten() const { return m_written; }

private:
    QString insertText(int rows) const;
    bool run(QSqlQuery &query, int rows);

    QSqlDatabase &m_db;
    QString m_table;
    QStringList m_columns;
    int m_rowsPerStatement = 1;
    std::unique_ptr<QSqlQuery> m_full;
    QVariantList m_pending;
    QString m_error;
    qint64 m_written = 0;
};

} // namespace VexDb
