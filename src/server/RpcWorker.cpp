#include "RpcWorker.h"

#include "ClientStream.h"
#include "ProxyIntake.h"
#include "ServerLog.h"
#include "ServerSecurity.h"
#include "SessionGate.h"
#include "TlsSetup.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr int SweepIntervalMs = 250;

// An IPv4 client of a dual-stack socket as plain IPv4, so that limits and
// --proxy-protocol see one address however it came.
QHostAddress plainAddress(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ip = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ip) : address;
}

QHostAddress peerOf(qintptr descriptor)
{
    sockaddr_storage storage = {};
    socklen_t size = sizeof storage;
    if (::getpeername(int(descriptor), reinterpret_cast<sockaddr *>(&storage), &size) != 0)
        return QHostAddress();
    return plainAddress(QHostAddress(reinterpret_cast<sockaddr *>(&storage)));
}
} // namespace

RpcWorker::RpcWorker(int index, const QString &databaseUrl, const ConnectionLimits &limits,
                     qint64 maxReplyBytes, std::atomic<int> &connectionCount)
    : m_dispatcher(databaseUrl, QStringLiteral("vex-appserver-worker-%1").arg(index)),
      m_limits(limits), m_connectionCount(connectionCount)
{
    m_dispatcher.setMaxReplyBytes(maxReplyBytes);
}

RpcWorker::~RpcWorker() = default;

void RpcWorker::setSecurity(std::shared_ptr<const ServerSecurity> security)
{
    m_security = std::move(security);
}

bool RpcWorker::start(QString *error)
{
    m_sweepTimer = new QTimer(this);
    m_sweepTimer->setInterval(SweepIntervalMs);
    connect(m_sweepTimer, &QTimer::timeout, this, &RpcWorker::sweep);
    m_sweepTimer->start();
    return m_dispatcher.open(error);
}

void RpcWorker::adoptSocket(qintptr descriptor)
{
    const QHostAddress peer = peerOf(descriptor);
    if (!m_security || !m_security->options().fromBalancer(peer)) {
        admit(descriptor, peer.toString(), false);
        return;
    }
    auto *intake = new ProxyIntake(descriptor, peer.toString(), this);
    connect(intake, &ProxyIntake::ready, this,
            [this, peer](qintptr fd, const QHostAddress &client) {
                admit(fd, client.isNull() ? peer.toString() : plainAddress(client).toString(),
                      client.isNull());
            });
    connect(intake, &ProxyIntake::failed, this, [this] { --m_connectionCount; });
}

void RpcWorker::admit(qintptr descriptor, const QString &address, bool balancer)
{
    PreAuthLimits::Admission admission;
    PreAuthLimits *limits = m_security ? m_security->preAuthLimits() : nullptr;
    if (limits) {
        admission = limits->admit(address, QDateTime::currentMSecsSinceEpoch(), balancer);
        if (admission.ticket == 0) {
            ::close(int(descriptor)); // too many from there not signed in: nothing to say
            --m_connectionCount;
            return;
        }
    }
    QString error;
    ClientStream *stream = nullptr;
    if (m_security && m_security->tls()) {
        if (QTcpSocket *socket
            = TlsSetup::accept(descriptor, m_security->tlsConfiguration(), &error))
            stream = ClientStream::wrap(socket);
    } else {
        stream = ClientStream::plain(descriptor, &error);
    }
    if (!stream) {
        qCWarning(lcServer) << "conexão perdida ao aceitar:" << error;
        if (limits)
            limits->closed(admission.ticket);
        --m_connectionCount;
        return;
    }
    auto *connection = new ClientConnection(stream, m_dispatcher, m_limits, this);
    if (m_security)
        connection->setGate(new SessionGate(m_security, admission, address, m_dispatcher));
    m_connections.insert(connection);
    connect(connection, &ClientConnection::readyToServe, this, &RpcWorker::enqueue);
    connect(connection, &ClientConnection::closed, this, &RpcWorker::removeConnection,
            Qt::QueuedConnection);
    if (m_draining)
        connection->beginDrain();
}

void RpcWorker::enqueue(ClientConnection *connection)
{
    m_ready.append(connection);
    scheduleTurn();
}

// One request per turn: the event loop runs between two requests, so
// other connections' bytes are read and queued behind.
void RpcWorker::scheduleTurn()
{
    if (m_turnPosted || m_ready.isEmpty())
        return;
    m_turnPosted = true;
    QMetaObject::invokeMethod(this, &RpcWorker::serveTurn, Qt::QueuedConnection);
}

void RpcWorker::serveTurn()
{
    m_turnPosted = false;
    if (!m_ready.isEmpty()) {
        ClientConnection *connection = m_ready.takeFirst();
        connection->serveOne(); // may queue it again, at the back
    }
    scheduleTurn();
}

void RpcWorker::removeConnection(ClientConnection *connection)
{
    if (!m_connections.remove(connection))
        return;
    m_ready.removeAll(connection);
    delete connection;
    --m_connectionCount;
    checkDrained();
}

void RpcWorker::sweep()
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    const QSet<ClientConnection *> connections = m_connections;
    for (ClientConnection *c : connections) {
        if (m_connections.contains(c))
            c->checkTimeouts(now);
    }
}

void RpcWorker::drain()
{
    m_draining = true;
    const QSet<ClientConnection *> connections = m_connections;
    for (ClientConnection *c : connections) {
        if (m_connections.contains(c))
            c->beginDrain();
    }
    checkDrained();
}

void RpcWorker::checkDrained()
{
    if (m_draining && !m_drainedSent && m_connections.isEmpty()) {
        m_drainedSent = true;
        Q_EMIT drained();
    }
}

void RpcWorker::stop()
{
    delete m_sweepTimer;
    m_sweepTimer = nullptr;
    const QSet<ClientConnection *> connections = m_connections;
    m_connections.clear();
    m_ready.clear();
    for (ClientConnection *c : connections) {
        c->abortNow();
        delete c;
        --m_connectionCount;
    }
    m_dispatcher.shutdown();
}
