#include "Transaction.h"

#include "DbLog.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

namespace VexDb {

Transaction::Transaction(QSqlDatabase &db) : m_db(db) {}

Transaction::~Transaction()
{
    rollback();
}

bool Transaction::begin(QString *error)
{
    const bool sqlite = m_db.driverName() == QLatin1String("QSQLITE");
    m_open = run(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), error);
    return m_open;
}

bool Transaction::commit(QString *error)
{
    if (!m_open) {
        if (error)
            *error = QStringLiteral("confirmação sem transação aberta");
        return false;
    }
    if (!run(QStringLiteral("COMMIT"), error)) {
        rollback();
        return false;
    }
    m_open = false;
    return true;
}

void Transaction::rollback()
{
    if (!m_open)
        return;
    m_open = false;
    QString error;
    if (!run(QStringLiteral("ROLLBACK"), &error))
        qCWarning(lcVexDb).noquote() << "rollback failed:" << error;
}

bool Transaction::run(const QString &sql, QString *error)
{
    QSqlQuery q(m_db);
    if (q.exec(sql))
        return true;
    if (error)
        *error = QStringLiteral("%1 failed: %2").arg(sql, q.lastError().text().simplified());
    return false;
}

} // namespace VexDb
