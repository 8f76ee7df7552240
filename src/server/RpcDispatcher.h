#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonValue>
#include <QSqlDatabase>
#include <QString>

#include <memory>

class RdmAcomPOL;
class StatementCache;

// Turns one request line into one reply line (ending in '\n'), over the
// database connection it owns. Lives in one worker thread; never throws.
class RpcDispatcher final
{
public:
    RpcDispatcher(const QString &databaseUrl, const QString &connectionName);
    ~RpcDispatcher();

    QByteArray handleLine(QByteArrayView line);
    // An error reply line with a null id (transport-level refusals).
    static QByteArray errorReply(int code, const QString &message);
    // Opens the connection now; false with the reason when it cannot.
    bool open(QString *error);
    // Closes the connection; call from the owning thread before it ends.
    void shutdown() { closeDatabase(); }

private:
    QByteArray call(const QJsonValue &id, const QString &method, const QJsonArray &params);
    void ensureDatabase();
    void closeDatabase();

    QString m_url;
    QString m_connectionName;
    QSqlDatabase m_db;
    std::unique_ptr<StatementCache> m_statements;
    std::unique_ptr<RdmAcomPOL> m_module;
    bool m_checkConnection = false;
    qsizetype m_lastReplySize = 256;
};
