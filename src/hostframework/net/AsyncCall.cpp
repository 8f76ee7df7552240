#include "AsyncCall.h"

#include "JsonRpc.h"
#include "TNetConnection.h"
#include "VexErrors.h"

#include <QLoggingCategory>
#include <QSslSocket>

Q_LOGGING_CATEGORY(lcAsyncCall, "vex.net.async", QtInfoMsg)

namespace {
constexpr qint64 kResumeId = 1;
constexpr qint64 kCallId = 2;
} // namespace

AsyncCall::AsyncCall(const TNetConnection &like, const QString &method,
                     const QJsonArray &params, QObject *parent)
    : QObject(parent)
    , m_host(like.Host())
    , m_port(like.Port())
    , m_tls(like.Tls())
    , m_caCertificates(like.CaCertificates())
    , m_token(like.SessionToken())
    , m_method(like.ServerName().isEmpty() ? method : like.ServerName() + u'.' + method)
    , m_params(params)
{
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("o servidor não respondeu a tempo"));
    });
    m_deadline.start(like.CallTimeoutMs());
    // Started from the event loop: a caller connects to finished() first.
    QTimer::singleShot(0, this, [this] { start(); });
}

AsyncCall::~AsyncCall()
{
    m_done = true; // aborting says "disconnected": nobody may hear of it now
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

void AsyncCall::start()
{
    m_socket = std::make_unique<QSslSocket>();
    connect(m_socket.get(), &QSslSocket::connected, this, [this] { onConnected(); });
    connect(m_socket.get(), &QSslSocket::encrypted, this, [this] { onReady(); });
    connect(m_socket.get(), &QSslSocket::readyRead, this, [this] { onReadyRead(); });
    connect(m_socket.get(), &QSslSocket::errorOccurred, this,
            [this] { fail(m_socket->errorString()); });
    connect(m_socket.get(), &QSslSocket::disconnected, this,
            [this] { fail(QStringLiteral("conexão encerrada pelo servidor")); });
    m_socket->connectToHost(m_host, quint16(m_port));
}

void AsyncCall::onConnected()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_tls) {
        TNetConnection::PrepareTls(*m_socket, m_host, m_caCertificates);
        m_socket->startClientEncryption();
        return;
    }
    onReady();
}

// A server behind a balancer knows this connection only once it sees the
// session's token.
void AsyncCall::onReady()
{
    if (m_token.isEmpty())
        sendRequest();
    else
        send(kResumeId, QStringLiteral("session.resume"), {m_token});
}

void AsyncCall::sendRequest()
{
    send(kCallId, m_method, m_params);
}

void AsyncCall::send(qint64 id, const QString &method, const QJsonArray &params)
{
    const QByteArray line = JsonRpc::encodeRequest(id, method, params);
    if (m_socket->write(line) != line.size())
        fail(m_socket->errorString());
}

void AsyncCall::onReadyRead()
{
    while (!m_done && m_socket && m_socket->canReadLine()) {
        qint64 id = 0;
        TServerReply reply;
        try {
            reply = JsonRpc::parseResponse(m_socket->readLine(), &id);
        } catch (const EVexError &error) { // no exception may reach the event loop
            fail(error.message());
            return;
        }
        if (id == kResumeId && reply.ok)
            sendRequest();
        else if (id == kResumeId || id == kCallId || (id == 0 && !reply.ok))
            finish(reply);
    }
}

void AsyncCall::fail(const QString &reason)
{
    if (m_done)
        return;
    TServerReply reply;
    reply.errorMessage = QStringLiteral("Falha na chamada %1 a %2:%3: %4")
                             .arg(m_method, m_host)
                             .arg(m_port)
                             .arg(reason);
    finish(reply);
}

void AsyncCall::finish(const TServerReply &reply)
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    if (!reply.ok)
        qCInfo(lcAsyncCall).noquote() << reply.errorMessage;
    Q_EMIT finished(reply);
}
