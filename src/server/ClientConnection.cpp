#include "ClientConnection.h"

#include "RpcDispatcher.h"
#include "ServerLog.h"

#include "JsonRpc.h"

#include <QDateTime>
#include <QTcpSocket>

namespace {
// Bytes Qt may hold for us before it stops reading the socket; the line
// limit is enforced on our own buffer.
constexpr qint64 SocketReadChunk = 64 * 1024;

qint64 nowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

ClientConnection::ClientConnection(QTcpSocket *socket, RpcDispatcher &dispatcher,
                                   const ConnectionLimits &limits, QObject *parent)
    : QObject(parent), m_socket(socket), m_dispatcher(dispatcher), m_limits(limits),
      m_lastActivityMs(nowMs())
{
    m_socket->setParent(this);
    m_socket->setReadBufferSize(SocketReadChunk);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(m_socket, &QTcpSocket::readyRead, this, &ClientConnection::handleReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &ClientConnection::finishClose);
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        if (e != QAbstractSocket::RemoteHostClosedError)
            qCDebug(lcServer) << "erro de socket:" << m_socket->errorString();
        if (m_socket->state() == QAbstractSocket::UnconnectedState)
            finishClose();
    });
}

ClientConnection::~ClientConnection() = default;

void ClientConnection::handleReadyRead()
{
    if (m_closing)
        return;
    m_lastActivityMs = nowMs();
    while (m_socket->bytesAvailable() > 0) {
        m_buffer += m_socket->read(SocketReadChunk);
        if (!takeLines())
            return;
    }
}

// Answers every complete line in the buffer; false once the connection
// is being closed.
bool ClientConnection::takeLines()
{
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', m_scanned);
        if (end < 0) {
            if (m_buffer.size() > m_limits.maxRequestBytes) {
                refuse(JsonRpc::InvalidRequest,
                       QStringLiteral("Requisição maior que o limite de %1 bytes")
                           .arg(m_limits.maxRequestBytes),
                       true);
                return false;
            }
            m_scanned = m_buffer.size();
            if (m_buffer.isEmpty())
                m_partialSinceMs = -1;
            else if (m_partialSinceMs < 0)
                m_partialSinceMs = nowMs();
            return true;
        }
        if (end > m_limits.maxRequestBytes) {
            refuse(JsonRpc::InvalidRequest,
                   QStringLiteral("Requisição maior que o limite de %1 bytes")
                       .arg(m_limits.maxRequestBytes),
                   true);
            return false;
        }
        QByteArrayView line(m_buffer.constData(), end);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.trimmed().isEmpty()) {
            // Hand the reply to the kernel now, in one write, rather than on
            // the next turn of the event loop.
            m_socket->write(m_dispatcher.handleLine(line));
            m_socket->flush();
        }
        m_buffer.remove(0, end + 1);
        m_scanned = 0;
        m_partialSinceMs = m_buffer.isEmpty() ? -1 : nowMs();
        m_lastActivityMs = nowMs();
    }
}

void ClientConnection::refuse(int code, const QString &message, bool close)
{
    qCWarning(lcCall).noquote() << "requisição recusada:" << message;
    m_socket->write(RpcDispatcher::errorReply(code, message));
    if (close)
        closeNow();
}

void ClientConnection::checkTimeouts(qint64 now)
{
    if (m_closing)
        return;
    if (m_partialSinceMs >= 0 && now - m_partialSinceMs > m_limits.partialTimeoutS * 1000LL) {
        m_buffer.clear();
        m_scanned = 0;
        m_partialSinceMs = -1;
        refuse(JsonRpc::InvalidRequest,
               QStringLiteral("Requisição incompleta descartada após %1 s")
                   .arg(m_limits.partialTimeoutS),
               false);
    }
    if (now - m_lastActivityMs > m_limits.idleTimeoutS * 1000LL) {
        qCDebug(lcServer) << "conexão ociosa fechada";
        closeNow();
    }
}

void ClientConnection::closeNow()
{
    if (m_closing)
        return;
    m_closing = true;
    m_socket->flush();
    m_socket->disconnectFromHost(); // writes what is pending first
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        finishClose();
}

void ClientConnection::finishClose()
{
    if (m_closedEmitted)
        return;
    m_closing = true;
    m_closedEmitted = true;
    emit closed(this);
}
