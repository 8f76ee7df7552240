#pragma once

#include "ClientConnection.h"
#include "RpcDispatcher.h"

#include <QObject>
#include <QSet>

#include <atomic>

class QTimer;

// One worker thread's object: its own database connection and the client
// connections handed to it. Every method runs in the worker thread.
class RpcWorker final : public QObject
{
    Q_OBJECT

public:
    RpcWorker(int index, const QString &databaseUrl, const ConnectionLimits &limits,
              std::atomic<int> &connectionCount);
    ~RpcWorker() override;

    Q_INVOKABLE void start();
    Q_INVOKABLE void adoptSocket(qintptr descriptor);
    // Closes every connection (after the call in progress, since calls run
    // in this thread) and the database connection.
    Q_INVOKABLE void stop();

private:
    void sweep();
    void removeConnection(ClientConnection *connection);

    RpcDispatcher m_dispatcher;
    ConnectionLimits m_limits;
    std::atomic<int> &m_connectionCount;
    QTimer *m_sweepTimer = nullptr;
    QSet<ClientConnection *> m_connections;
};
