#pragma once

#include "RdmAcomPOL.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonValue>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>

#include <memory>

class RdmAcomPOL;
class StatementCache;

// What one request line gives.
struct RpcOutcome
{
    QByteArray reply;       // one line ending in '\n'; empty for a notification
    bool malformed = false; // not a JSON-RPC request at all (-32700, -32600)
    QString warning;        // a line for the log (values cut short); empty when served
};

// Turns one request line into one reply line (ending in '\n'), over the
// database connection it owns. Lives in one worker thread; never throws.
class RpcDispatcher final
{
public:
    RpcDispatcher(const QString &databaseUrl, const QString &connectionName);
    ~RpcDispatcher();

    // Logs nothing: the caller logs the warning (rate-limited).
    RpcOutcome handle(QByteArrayView line);
    QByteArray handleLine(QByteArrayView line) { return handle(line).reply; }
    // Replies over this many bytes are refused with -32000 (0: no cap).
    void setMaxReplyBytes(qint64 bytes);
    void setMaxChainRows(qint64 rows);
    // The signed-in login of the calls that follow, for the debug log.
    void setCaller(const QString &login) { m_caller = login; }
    // A client value fit for a log line or a message: at most a short
    // prefix, quoted.
    static QString shortened(QStringView value);
    // An error reply line with a null id (transport-level refusals).
    static QByteArray errorReply(int code, const QString &message);
    static inline const QString PingMethod = QStringLiteral("system.ping");
    // Answered by the connection's sign-in gate, counted with the others.
    static inline const QString LoginMethod = QStringLiteral("session.login");
    static inline const QString ResumeMethod = QStringLiteral("session.resume");
    static inline const QString LogoutMethod = QStringLiteral("session.logout");
    // Every method name a request may call, as on the wire.
    static QStringList methodNames();
    // Opens the connection now; false with the reason when it cannot.
    bool open(QString *error);
    // Closes the connection; call from the owning thread before it ends.
    void shutdown() { closeDatabase(); }
    // The same connection, opened if need be, for the session checks;
    // invalid with *error when it cannot be opened.
    QSqlDatabase database(QString *error);
    // A statement on it failed: it is checked before its next use.
    void databaseFailed() { m_checkConnection = true; }

private:
    // handle() without the metrics; *slot is the call's metrics slot, or -1
    // for a notification.
    RpcOutcome dispatch(QByteArrayView line, int *slot);
    static RpcOutcome ping(const QJsonValue &id, const QJsonArray &params);
    RpcOutcome call(const QJsonValue &id, const QString &method, const QJsonArray &params);
    void ensureDatabase();
    void closeDatabase();

    QString m_url;
    QString m_connectionName;
    QString m_caller;
    QSqlDatabase m_db;
    std::unique_ptr<StatementCache> m_statements;
    std::unique_ptr<RdmAcomPOL> m_module;
    bool m_checkConnection = false;
    bool m_everOpened = false; // a later open is a reconnection
    qsizetype m_lastReplySize = 256;
    qint64 m_maxReplyBytes = 0;
    qint64 m_maxChainRows = RdmAcomPOL::DefaultMaxChainRows;
};
