#include "DemoData.h"

#include "DbLog.h"
#include "DemoGenerator.h"
#include "Schema.h"
#include "Transaction.h"

#include <QSqlError>
#include <QSqlQuery>

namespace VexDb {

namespace {

bool clearTables(QSqlDatabase &db, QString *error)
{
    QStringList tables = Schema::dataTables();
    std::reverse(tables.begin(), tables.end());
    QSqlQuery q(db);
    for (const QString &table : tables) {
        // Table names come from the fixed list above, never from input.
        if (!q.exec(QStringLiteral("DELETE FROM %1").arg(table))) {
            *error = QStringLiteral("cannot clear %1: %2")
                         .arg(table, q.lastError().text().simplified());
            return false;
        }
    }
    return true;
}

} // namespace

bool DemoData::isEmpty(QSqlDatabase &db, bool *empty, QString *error)
{
    QSqlQuery q(db);
    for (const QString &table : Schema::dataTables()) {
        if (!q.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table))) {
            *error = QStringLiteral("cannot read %1: %2")
                         .arg(table, q.lastError().text().simplified());
            return false;
        }
        if (q.next()) {
            *empty = false;
            return true;
        }
    }
    *empty = true;
    return true;
}

bool DemoData::write(QSqlDatabase &db, const DemoOptions &options, const Progress &progress,
                     DemoCounts *counts, QString *error)
{
    QString dummy;
    QString *err = error ? error : &dummy;
    if (!(options.scale >= kMinScale && options.scale <= kMaxScale)) {
        *err = QStringLiteral("scale must be between %1 and %2").arg(kMinScale).arg(kMaxScale);
        return false;
    }
    if (!Schema::migrate(db, err))
        return false;

    DemoOptions opts = options;
    if (!opts.today.isValid())
        opts.today = QDate::currentDate();

    // Declared before the transaction: its statements must be freed after
    // a rollback, not inside an aborted transaction.
    DemoGenerator generator(db, opts);
    Transaction tx(db);
    if (!tx.begin(err))
        return false;
    bool empty = true;
    if (!isEmpty(db, &empty, err))
        return false;
    if (!empty && !opts.replace) {
        *err = QStringLiteral("the database already holds data; use --replace to overwrite it");
        return false;
    }
    if (!empty && !clearTables(db, err))
        return false;

    if (!generator.run(progress, err) || !tx.commit(err))
        return false;
    if (counts)
        *counts = generator.counts();

    // Fresh statistics let the planners pick the indexes at once.
    QSqlQuery q(db);
    if (!q.exec(QStringLiteral("ANALYZE")))
        qCWarning(lcVexDb) << "ANALYZE failed:" << q.lastError().text();
    return true;
}

} // namespace VexDb
