#pragma once

#include <QSqlDatabase>
#include <QString>

namespace VexDb {

// One write transaction that rolls back unless committed. On SQLite it
// takes the write lock at once (BEGIN IMMEDIATE), so two writers queue on
// the busy timeout instead of failing half-way on a lock upgrade.
class Transaction final
{
public:
    explicit Transaction(QSqlDatabase &db);
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    bool begin(QString *error);
    bool commit(QString *error);
    void rollback();

private:
    bool run(const QString &sql, QString *error);

    QSqlDatabase &m_db;
    bool m_open = false;
};

} // namespace VexDb
