#include "RpcServer.h"

#include "RpcDispatcher.h"
#include "RpcWorker.h"
#include "ServerLog.h"
#include "ServerSecurity.h"

#include "JsonRpc.h"

#include <QDateTime>
#include <QEventLoop>
#include <QHostAddress>
#include <QTimer>
#include <QTcpSocket>
#include <QThread>

namespace {
// The kernel caps it at net.core.somaxconn (4096 on current Linux).
constexpr int ListenBacklog = 4096;
} // namespace

RpcServer::RpcServer(const ServerOptions &options, QObject *parent)
    : QTcpServer(parent), m_options(options)
{
}

RpcServer::~RpcServer()
{
    stop();
}

bool RpcServer::start(QString *error)
{
    QHostAddress address;
    if (m_options.listenHost == u"localhost")
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(m_options.listenHost)) {
        *error = QStringLiteral("endereço de escuta inválido: %1").arg(m_options.listenHost);
        return false;
    }
    m_security = ServerSecurity::create(m_options, error);
    if (!m_security)
        return false;
    setMaxPendingConnections(std::max(30, m_options.maxConnections));
    // A burst larger than the kernel's queue of finished handshakes would
    // leave clients hanging in it for seconds, neither served nor told
    // busy, and later take the places that free up before newer clients.
    setListenBacklogSize(ListenBacklog);
    if (!startWorkers(error)) {
        stop();
        return false;
    }
    if (!listen(address, m_options.listenPort)) {
        *error = QStringLiteral("não foi possível escutar em %1:%2: %3")
                     .arg(m_options.listenHost)
                     .arg(m_options.listenPort)
                     .arg(errorString());
        return false;
    }
    return true;
}

// Every worker opens its database connection before the server listens: the
// instance holds exactly one connection per thread, and one the database
// refuses (too many connections) stops the start with the reason.
bool RpcServer::startWorkers(QString *error)
{
    const ConnectionLimits limits{m_options.maxRequestBytes, m_options.idleTimeoutS,
                                  m_options.partialTimeoutS, m_options.maxOutputBytes,
                                  m_options.maxBadLines};
    for (int i = 0; i < m_options.threads; ++i) {
        auto *thread = new QThread;
        thread->setObjectName(QStringLiteral("vex-worker-%1").arg(i));
        auto *worker = new RpcWorker(i, m_options.databaseUrl, limits, m_options.maxReplyBytes,
                                     m_connectionCount);
        worker->setMaxChainRows(m_options.maxChainRows);
        worker->setSecurity(m_security);
        worker->moveToThread(thread);
        thread->start();
        m_threads.append(thread);
        m_workers.append(worker);
        bool opened = false;
        QString reason;
        QMetaObject::invokeMethod(
            worker, [&] { opened = worker->start(&reason); }, Qt::BlockingQueuedConnection);
        if (opened)
            continue;
        *error = i == 0 ? QStringLiteral("banco de dados inacessível: %1").arg(reason)
                        : QStringLiteral("banco de dados inacessível: conexão %1 de %2 recusada"
                                         " (uma por thread de trabalho): %3")
                              .arg(i + 1)
                              .arg(m_options.threads)
                              .arg(reason);
        return false;
    }
    return true;
}

void RpcServer::incomingConnection(qintptr descriptor)
{
    if (m_workers.isEmpty() || m_connectionCount.load() >= m_options.maxConnections) {
        refuseBusy(descriptor);
        return;
    }
    ++m_connectionCount;
    RpcWorker *worker = m_workers.at(m_nextWorker);
    m_nextWorker = (m_nextWorker + 1) % m_workers.size();
    QMetaObject::invokeMethod(
        worker, [worker, descriptor] { worker->adoptSocket(descriptor); }, Qt::QueuedConnection);
}

QString RpcServer::securitySummary() const
{
    return m_security ? m_security->summary() : QString();
}

// Accepts, says why and closes, so the client gets a reason rather than a
// connection that never answers.
void RpcServer::refuseBusy(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        delete socket;
        return;
    }
    // Rate-limited: a flood of connections must not flood the log.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (m_busyLogged < 5) {
        ++m_busyLogged;
        m_busySummaryMs = now;
        qCWarning(lcServer) << "conexão recusada: limite de" << m_options.maxConnections
                            << "conexões atingido";
    } else if (++m_busySuppressed, now - m_busySummaryMs >= 10000) {
        qCWarning(lcServer) << "mais" << m_busySuppressed
                            << "conexões recusadas pelo limite de conexões";
        m_busySuppressed = 0;
        m_busySummaryMs = now;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A TLS client would read the clear-text reason as a broken handshake;
    // a plain close tells it no more and no less than the truth.
    if (m_security && m_security->tls()) {
        socket->disconnectFromHost();
        return;
    }
    socket->write(RpcDispatcher::errorReply(
        JsonRpc::ServerError,
        QStringLiteral("Servidor ocupado: limite de %1 conexões atingido")
            .arg(m_options.maxConnections)));
    socket->disconnectFromHost();
}

void RpcServer::stop()
{
    close();
    if (m_workers.isEmpty())
        return;
    // Password checks not started yet are answered at once, not worked
    // through past the grace period.
    if (m_security && m_security->authenticator())
        m_security->authenticator()->stop();
    // Let every worker drain, within the grace period.
    QEventLoop loop;
    int pending = int(m_workers.size());
    QList<QMetaObject::Connection> links;
    for (RpcWorker *worker : std::as_const(m_workers)) {
        links << connect(worker, &RpcWorker::drained, &loop, [&] {
            if (--pending == 0)
                loop.quit();
        }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(worker, &RpcWorker::drain, Qt::QueuedConnection);
    }
    QTimer::singleShot(std::chrono::seconds(m_options.stopGraceS), &loop, &QEventLoop::quit);
    loop.exec();
    for (const QMetaObject::Connection &link : std::as_const(links))
        disconnect(link);
    if (pending > 0)
        qCWarning(lcServer) << "prazo de encerramento esgotado;" << m_connectionCount.load()
                            << "conexões fechadas sem terminar";
    for (RpcWorker *worker : std::as_const(m_workers))
        QMetaObject::invokeMethod(worker, &RpcWorker::stop, Qt::BlockingQueuedConnection);
    for (QThread *thread : std::as_const(m_threads)) {
        thread->quit();
        thread->wait();
    }
    qDeleteAll(m_workers);
    qDeleteAll(m_threads);
    m_workers.clear();
    m_threads.clear();
}
