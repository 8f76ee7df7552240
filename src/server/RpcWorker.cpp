#include "RpcWorker.h"

#include "ServerLog.h"

#include <QDateTime>
#include <QTcpSocket>
#include <QTimer>

namespace {
constexpr int SweepIntervalMs = 1000;
}

RpcWorker::RpcWorker(int index, const QString &databaseUrl, const ConnectionLimits &limits,
                     std::atomic<int> &connectionCount)
    : m_dispatcher(databaseUrl, QStringLiteral("vex-appserver-worker-%1").arg(index)),
      m_limits(limits), m_connectionCount(connectionCount)
{
}

RpcWorker::~RpcWorker() = default;

void RpcWorker::start()
{
    m_sweepTimer = new QTimer(this);
    m_sweepTimer->setInterval(SweepIntervalMs);
    connect(m_sweepTimer, &QTimer::timeout, this, &RpcWorker::sweep);
    m_sweepTimer->start();
    QString error;
    if (!m_dispatcher.open(&error))
        qCWarning(lcServer).noquote()
            << "banco de dados inacessível (nova tentativa a cada chamada):" << error;
}

void RpcWorker::adoptSocket(qintptr descriptor)
{
    auto *socket = new QTcpSocket;
    if (!socket->setSocketDescriptor(descriptor)) {
        qCWarning(lcServer) << "conexão perdida ao aceitar:" << socket->errorString();
        delete socket;
        --m_connectionCount;
        return;
    }
    auto *connection = new ClientConnection(socket, m_dispatcher, m_limits, this);
    m_connections.insert(connection);
    connect(connection, &ClientConnection::closed, this, &RpcWorker::removeConnection,
            Qt::QueuedConnection);
}

void RpcWorker::removeConnection(ClientConnection *connection)
{
    if (!m_connections.remove(connection))
        return;
    delete connection;
    --m_connectionCount;
}

void RpcWorker::sweep()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QSet<ClientConnection *> connections = m_connections;
    for (ClientConnection *c : connections)
        c->checkTimeouts(now);
}

void RpcWorker::stop()
{
    delete m_sweepTimer;
    m_sweepTimer = nullptr;
    const QSet<ClientConnection *> connections = m_connections;
    m_connections.clear();
    for (ClientConnection *c : connections) {
        c->closeNow();
        delete c;
        --m_connectionCount;
    }
    m_dispatcher.shutdown();
}
