#pragma once

#include "ClientConnection.h"
#include "RpcDispatcher.h"

#include <QList>
#include <QObject>
#include <QSet>

#include <atomic>
#include <memory>

class QTimer;
class ServerSecurity;

// One worker thread's object: its own database connection and the client
// connections handed to it. Every method runs in the worker thread.
// Connections with a complete request wait in a queue and are served one
// request per turn of the event loop, so one client's pipeline cannot hold
// the others back.
class RpcWorker final : public QObject
{
    Q_OBJECT

public:
    RpcWorker(int index, const QString &databaseUrl, const ConnectionLimits &limits,
              qint64 maxReplyBytes, std::atomic<int> &connectionCount);
    ~RpcWorker() override;

    // Before start().
    void setMaxChainRows(qint64 rows) { m_dispatcher.setMaxChainRows(rows); }
    void setSecurity(std::shared_ptr<const ServerSecurity> security);
    // Opens the database connection; false with the reason when it cannot.
    bool start(QString *error);
    // A new client; one from a balancer of --proxy-protocol starts with the
    // PROXY header naming the client.
    Q_INVOKABLE void adoptSocket(qintptr descriptor);
    // Graceful stop: every connection answers what it has received, flushes
    // and closes; drained() once none is left.
    Q_INVOKABLE void drain();
    // Closes every connection at once (after the call in progress, since
    // calls run in this thread) and the database connection.
    Q_INVOKABLE void stop();

Q_SIGNALS:
    void drained();

private:
    // `balancer`: the balancer's own connection, whose address is `address`.
    void admit(qintptr descriptor, const QString &address, bool balancer);
    void sweep();
    void enqueue(ClientConnection *connection);
    void scheduleTurn();
    void serveTurn();
    void removeConnection(ClientConnection *connection);
    void checkDrained();

    RpcDispatcher m_dispatcher;
    ConnectionLimits m_limits;
    std::shared_ptr<const ServerSecurity> m_security;
    std::atomic<int> &m_connectionCount;
    QTimer *m_sweepTimer = nullptr;
    QSet<ClientConnection *> m_connections;
    QList<ClientConnection *> m_ready;
    bool m_turnPosted = false;
    bool m_draining = false;
    bool m_drainedSent = false;
};
