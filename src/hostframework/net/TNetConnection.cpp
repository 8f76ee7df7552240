#include "TNetConnection.h"

#include "CallWait.h"
#include "JsonRpc.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QDeadlineTimer>
#include <QLocale>
#include <QLoggingCategory>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcNet, "vex.net", QtInfoMsg)

namespace {

QString reasonText(const QTcpSocket &socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return QStringLiteral("conexão recusada");
    case QAbstractSocket::HostNotFoundError:
        return QStringLiteral("servidor não encontrado");
    case QAbstractSocket::SocketTimeoutError:
        return QStringLiteral("tempo esgotado");
    case QAbstractSocket::NetworkError:
        return QStringLiteral("rede inacessível (%1)").arg(socket.errorString());
    default:
        return socket.errorString();
    }
}

const char kCancelledText[] = "Operação cancelada pelo usuário.";

QString secondsText(int ms)
{
    if (ms % 1000 == 0)
        return QString::number(ms / 1000);
    return QLocale(QLocale::Portuguese, QLocale::Brazil).toString(ms / 1000.0, 'g', 3);
}

} // namespace

TNetConnection::TNetConnection(QObject *parent)
    : QObject(parent)
    , m_callTimeoutMs(HostConfig::current().callTimeoutMs)
{
}

TNetConnection::~TNetConnection() = default;

bool TNetConnection::Connected() const
{
    return m_socket && m_socket->state() == QAbstractSocket::ConnectedState;
}

qintptr TNetConnection::SocketDescriptor() const
{
    return Connected() ? m_socket->socketDescriptor() : -1;
}

void TNetConnection::SetConnected(bool connected)
{
    if (!connected) {
        dropSocket();
        return;
    }
    if (Connected())
        return;
    try {
        CallWait wait;
        connectToServer(QDeadlineTimer(m_callTimeoutMs), wait);
    } catch (const EVexError &error) {
        m_lastError = error.message();
        if (m_throwException)
            throw;
        qCWarning(lcNet).noquote() << m_lastError;
    }
}

QString TNetConnection::address() const
{
    return QStringLiteral("%1:%2").arg(m_host).arg(m_port);
}

void TNetConnection::dropSocket()
{
    if (m_socket) {
        // abort(), not close(): nothing of this connection may be read later.
        m_socket->abort();
        m_socket.reset();
    }
}

// A connection the server closed while idle is noticed here, before the
// request goes out, so it is replaced instead of failing the call.
void TNetConnection::dropIfClosedByPeer()
{
    if (!m_socket)
        return;
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->waitForReadyRead(0);
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        qCDebug(lcNet) << "connection to" << address() << "was closed; reconnecting";
        dropSocket();
        return;
    }
    if (m_socket->bytesAvailable() > 0) {
        qCWarning(lcNet) << "discarding" << m_socket->bytesAvailable()
                         << "unexpected bytes from" << address();
        m_socket->readAll();
    }
}

void TNetConnection::watch(CallWait &wait)
{
    QTcpSocket *socket = m_socket.get();
    const auto wake = [&wait] { wait.wake(); };
    connect(socket, &QTcpSocket::connected, &wait, wake);
    connect(socket, &QTcpSocket::disconnected, &wait, wake);
    connect(socket, &QTcpSocket::readyRead, &wait, wake);
    connect(socket, &QTcpSocket::bytesWritten, &wait, wake);
    connect(socket, &QTcpSocket::errorOccurred, &wait, wake);
}

// Waits with the event loop turning; a cancelled wait drops the socket, so
// that a reply still on its way can never be taken for another call's.
bool TNetConnection::waitFor(CallWait &wait, const std::function<bool()> &done,
                             QDeadlineTimer deadline)
{
    switch (wait.waitUntil(done, deadline)) {
    case CallWait::Outcome::Done: return true;
    case CallWait::Outcome::TimedOut: return false;
    case CallWait::Outcome::Cancelled: break;
    }
    dropSocket();
    throw ENetError(QString::fromUtf8(kCancelledText));
}

void TNetConnection::connectToServer(QDeadlineTimer deadline, CallWait &wait)
{
    dropSocket();
    if (BeforeConnect)
        BeforeConnect(this);
    const auto fail = [this](const QString &reason) {
        dropSocket();
        throw ENetError(QStringLiteral("Não foi possível conectar ao servidor de aplicação "
                                       "em %1: %2")
                            .arg(address(), reason));
    };
    if (m_host.trimmed().isEmpty())
        fail(QStringLiteral("endereço do servidor não informado"));
    if (m_port < 1 || m_port > 65535)
        fail(QStringLiteral("porta inválida"));

    m_socket = std::make_unique<QTcpSocket>();
    watch(wait);
    m_socket->connectToHost(m_host, quint16(m_port));
    const bool settled = waitFor(wait, [this] {
        return m_socket->state() == QAbstractSocket::ConnectedState
               || m_socket->state() == QAbstractSocket::UnconnectedState;
    }, deadline);
    if (!settled)
        fail(QStringLiteral("tempo esgotado"));
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        fail(reasonText(*m_socket));
    // Requests and replies are small and strictly alternating: Nagle's
    // delay would add tens of milliseconds to every call.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_lastError.clear();
    qCDebug(lcNet) << "connected to" << address();
}

// Every method of this server only reads: a request that broke off before
// any byte of its reply came back may or may not have been served, and
// serving it twice changes nothing. So it goes again once, on a fresh
// connection (the server behind a balancer may have died, or the pooled
// connection been closed). Never once a reply started, and never twice.
TServerReply TNetConnection::Call(const QString &method, const QJsonArray &params)
{
    CallWait wait; // refuses a call started while another one waits
    const QDeadlineTimer deadline(m_callTimeoutMs);
    dropIfClosedByPeer();
    for (int attempt = 1;; ++attempt) {
        attach(deadline, wait);
        try {
            return exchange(method, params, deadline, wait);
        } catch (const EVexError &error) {
            m_lastError = error.message();
            dropSocket();
            if (!m_brokeBeforeReply || attempt > 1 || deadline.hasExpired())
                throw;
            qCInfo(lcNet).noquote() << "repeating on a new connection:" << m_lastError;
        }
    }
}

void TNetConnection::attach(QDeadlineTimer deadline, CallWait &wait)
{
    if (Connected()) {
        watch(wait);
        return;
    }
    try {
        connectToServer(deadline, wait);
    } catch (const EVexError &error) {
        m_lastError = error.message();
        throw;
    }
}

TServerReply TNetConnection::exchange(const QString &method, const QJsonArray &params,
                                      QDeadlineTimer deadline, CallWait &wait)
{
    m_brokeBeforeReply = false;
    m_replyStarted = false;
    const qint64 id = m_nextId++;
    sendLine(JsonRpc::encodeRequest(id, m_serverName + u'.' + method, params), method,
             deadline, wait);
    return awaitReply(id, method, deadline, wait);
}

void TNetConnection::sendLine(const QByteArray &line, const QString &method,
                              QDeadlineTimer deadline, CallWait &wait)
{
    if (m_socket->write(line) != line.size()) {
        m_brokeBeforeReply = true;
        throw ENetError(brokenText(method));
    }
    const bool sent = waitFor(wait, [this] {
        return m_socket->bytesToWrite() == 0
               || m_socket->state() != QAbstractSocket::ConnectedState;
    }, deadline);
    if (!sent)
        throw ENetError(timeoutText(method));
    if (m_socket->bytesToWrite() > 0) {
        m_brokeBeforeReply = true;
        throw ENetError(brokenText(method));
    }
}

QByteArray TNetConnection::readLine(const QString &method, QDeadlineTimer deadline,
                                    CallWait &wait)
{
    const bool settled = waitFor(wait, [this] {
        return m_socket->canReadLine() || m_socket->state() != QAbstractSocket::ConnectedState;
    }, deadline);
    if (!settled)
        throw ENetError(timeoutText(method));
    if (!m_socket->canReadLine()) {
        m_brokeBeforeReply = !m_replyStarted && m_socket->bytesAvailable() == 0;
        throw ENetError(brokenText(method));
    }
    m_replyStarted = true;
    return m_socket->readLine();
}

TServerReply TNetConnection::awaitReply(qint64 id, const QString &method,
                                        QDeadlineTimer deadline, CallWait &wait)
{
    for (;;) {
        const QByteArray line = readLine(method, deadline, wait);
        qint64 replyId = 0;
        TServerReply reply = JsonRpc::parseResponse(line, &replyId);
        // One call at a time per connection: an unreadable-request error
        // (null id) can only be about this call.
        if (replyId == id || (replyId == 0 && !reply.ok))
            return reply;
        qCWarning(lcNet) << "skipping a reply for id" << replyId << "while waiting for" << id;
    }
}

QString TNetConnection::timeoutText(const QString &method) const
{
    return QStringLiteral("O servidor de aplicação em %1 não respondeu em %2 s (%3)")
        .arg(address(), secondsText(m_callTimeoutMs), method);
}

QString TNetConnection::brokenText(const QString &method) const
{
    QString reason = m_socket ? reasonText(*m_socket) : QString();
    if (!m_socket || m_socket->error() == QAbstractSocket::RemoteHostClosedError)
        reason = QStringLiteral("conexão encerrada pelo servidor");
    return QStringLiteral("A conexão com o servidor de aplicação em %1 foi interrompida "
                          "durante a chamada (%2): %3")
        .arg(address(), method, reason);
}
