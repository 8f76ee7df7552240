#include "TNetConnection.h"

#include "CallWait.h"
#include "JsonRpc.h"
#include "OleDate.h"
#include "services/CaCertificates.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QDeadlineTimer>
#include <QJsonObject>
#include <QLocale>
#include <QLoggingCategory>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>

#include <utility>

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

// The server's answer to a call that needs a sign-in, and to a refused one.
constexpr int kSignInCode = -32001;
const char kResume[] = "session.resume";
const char kLogin[] = "session.login";

bool isSessionMethod(const QString &method)
{
    return method == QLatin1String(kResume) || method == QLatin1String(kLogin);
}

// The server's own methods belong to no remote data module.
bool isSystemMethod(const QString &method)
{
    return method.startsWith(QLatin1String("session."))
           || method.startsWith(QLatin1String("system."));
}

QString sslErrorText(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::HostNameMismatch:
        return QStringLiteral("o nome do servidor não confere com o certificado");
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::UnableToVerifyFirstCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("emitido por uma autoridade não reconhecida");
    case QSslError::CertificateExpired:
        return QStringLiteral("certificado vencido");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("certificado ainda não válido");
    case QSslError::CertificateRevoked:
        return QStringLiteral("certificado revogado");
    default:
        return QString();
    }
}

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
    , m_tls(HostConfig::current().serverTls)
{
    const QString caFile = HostConfig::current().serverCaFile;
    if (!caFile.isEmpty()) {
        QString reason;
        m_caCertificates = CaCertificates::read(caFile, &reason);
        // Checked when vex.ini was read; should it have gone since, the
        // connection fails rather than trust the system's authorities.
        if (m_caCertificates.isEmpty())
            m_caProblem = QStringLiteral("o CaFile %1 %2").arg(caFile, reason);
    }
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

void TNetConnection::SetCaCertificates(const QList<QSslCertificate> &certificates)
{
    m_caCertificates = certificates;
    m_caProblem.clear();
}

bool TNetConnection::Encrypted() const
{
    return Connected() && m_socket->isEncrypted();
}

QString TNetConnection::Protocol() const
{
    return Encrypted() ? m_socket->sessionCipher().protocolString() : QString();
}

QString TNetConnection::EncryptionText() const
{
    if (!Encrypted())
        return QString();
    const QSslCipher cipher = m_socket->sessionCipher();
    return QStringLiteral("%1, %2").arg(cipher.protocolString(), cipher.name());
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
    m_resumeRefused.reset();
    m_presentedToken.clear();
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
    QSslSocket *socket = m_socket.get();
    const auto wake = [&wait] { wait.wake(); };
    connect(socket, &QSslSocket::connected, &wait, wake);
    connect(socket, &QSslSocket::encrypted, &wait, wake);
    connect(socket, &QSslSocket::disconnected, &wait, wake);
    connect(socket, &QSslSocket::readyRead, &wait, wake);
    connect(socket, &QSslSocket::bytesWritten, &wait, wake);
    connect(socket, &QSslSocket::errorOccurred, &wait, wake);
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
    throw ECallCancelled();
}

void TNetConnection::connectToServer(QDeadlineTimer deadline, CallWait &wait)
{
    dropSocket();
    if (BeforeConnect)
        BeforeConnect(this);
    const auto fail = [this](const QString &reason) {
        dropSocket();
        // What to do next, for a user who cannot look at the server.
        throw ENetError(QStringLiteral("Não foi possível conectar ao servidor de aplicação "
                                       "em %1: %2. Verifique se o servidor está em execução "
                                       "e tecle F5 para tentar de novo.")
                            .arg(address(), reason));
    };
    if (m_host.trimmed().isEmpty())
        fail(QStringLiteral("endereço do servidor não informado"));
    if (m_port < 1 || m_port > 65535)
        fail(QStringLiteral("porta inválida"));
    if (m_tls && !m_caProblem.isEmpty())
        fail(m_caProblem);
    if (m_tls && !QSslSocket::supportsSsl())
        fail(QStringLiteral("TLS indisponível nesta instalação (%1)")
                 .arg(QSslSocket::sslLibraryVersionString()));

    m_socket = std::make_unique<QSslSocket>();
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
    if (m_tls)
        startEncryption(deadline, wait, fail);
    m_lastError.clear();
    m_session->connectionMade(m_tls, Protocol());
    qCDebug(lcNet) << "connected to" << address() << EncryptionText();
    resumeSession(deadline, wait);
}

void TNetConnection::PrepareTls(QSslSocket &socket, const QString &host,
                                const QList<QSslCertificate> &ca)
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setProtocol(QSsl::TlsV1_2OrLater);
    tls.setPeerVerifyMode(QSslSocket::VerifyPeer);
    if (!ca.isEmpty())
        tls.setCaCertificates(ca);
    socket.setSslConfiguration(tls);
    socket.setPeerVerifyName(host);
}

// The handshake is part of connecting: the same deadline, Esc cancels it.
void TNetConnection::startEncryption(QDeadlineTimer deadline, CallWait &wait,
                                     const std::function<void(const QString &)> &fail)
{
    PrepareTls(*m_socket, m_host, m_caCertificates);
    m_sslErrors.clear();
    connect(m_socket.get(), &QSslSocket::sslErrors, this,
            [this](const QList<QSslError> &errors) { m_sslErrors += errors; });
    m_socket->startClientEncryption();
    const bool settled = waitFor(wait, [this] {
        return m_socket->isEncrypted() || m_socket->state() != QAbstractSocket::ConnectedState;
    }, deadline);
    if (!settled)
        fail(QStringLiteral("tempo esgotado na negociação TLS"));
    if (!m_socket->isEncrypted())
        fail(handshakeFailure());
}

QString TNetConnection::handshakeFailure() const
{
    if (!m_sslErrors.isEmpty()) {
        QStringList reasons;
        for (const QSslError &error : m_sslErrors) {
            const QString own = sslErrorText(error);
            reasons << (own.isEmpty() ? error.errorString()
                                      : QStringLiteral("%1 (%2)").arg(own, error.errorString()));
        }
        reasons.removeDuplicates();
        return QStringLiteral("certificado do servidor não confiável: %1")
            .arg(reasons.join(QStringLiteral("; ")));
    }
    return QStringLiteral("falha na negociação TLS (o servidor fala TLS?): %1")
        .arg(m_socket->errorString());
}

// A new connection carries the session on: to the server behind the
// balancer it is a stranger until it sees the token.
void TNetConnection::resumeSession(QDeadlineTimer deadline, CallWait &wait)
{
    const QString token = m_session->token();
    if (token.isEmpty())
        return;
    m_presentedToken = token;
    const TServerReply reply = exchange(QString::fromLatin1(kResume), {token}, deadline, wait);
    if (reply.ok) {
        // It may come back renewed; an empty one means this server asks none.
        if (!reply.result.toObject().value(QLatin1String("token")).toString().isEmpty())
            adoptSession(reply, m_session->login());
        m_presentedToken = m_session->token();
        return;
    }
    qCInfo(lcNet).noquote() << "session not resumed:" << reply.errorMessage;
    if (reply.errorCode == kSignInCode) {
        m_session->clear();
        m_resumeRefused = reply;
    }
}

// A call refused for want of a sign-in was not served: once the person has
// signed in (or another connection has), it is sent again, once.
TServerReply TNetConnection::Call(const QString &method, const QJsonArray &params)
{
    TServerReply reply = callOnce(method, params);
    // A refused session.login or session.resume is the caller's answer, not a prompt.
    if (reply.ok || reply.errorCode != kSignInCode || isSessionMethod(method))
        return reply;
    // Signed in again on another connection since this one showed its token:
    // a new connection resumes that session, and nobody is asked twice.
    if (m_session->signedIn() && m_session->token() != m_presentedToken) {
        dropSocket();
        reply = callOnce(method, params);
        if (reply.ok || reply.errorCode != kSignInCode)
            return reply;
    }
    // Outside the call's wait: the handler shows a dialog and calls again.
    const NetSession::SignInHandler handler = signInHandler();
    if (!handler || !handler(this, reply.errorMessage))
        return reply;
    // Signed in elsewhere: a new connection resumes the new session.
    if (m_resumeRefused)
        dropSocket();
    return callOnce(method, params);
}

TServerReply TNetConnection::SignIn(const QString &login, const QString &password)
{
    const TServerReply reply = callOnce(QString::fromLatin1(kLogin), {login, password});
    if (!reply.ok)
        return reply;
    m_resumeRefused.reset();
    adoptSession(reply, login);
    m_presentedToken = m_session->token();
    return reply;
}

void TNetConnection::adoptSession(const TServerReply &reply, const QString &login)
{
    const QJsonObject session = reply.result.toObject();
    const QString token = session.value(QLatin1String("token")).toString();
    const double expires = session.value(QLatin1String("expires")).toDouble();
    QString signedIn = session.value(QLatin1String("login")).toString();
    if (signedIn.isEmpty() && !token.isEmpty())
        signedIn = login;
    m_session->signedInAs(token, signedIn,
                          token.isEmpty() ? QDateTime() : OleDate::toDateTime(expires));
}

NetSession::SignInHandler TNetConnection::signInHandler() const
{
    return SignInHandler ? SignInHandler : m_session->signInHandler;
}

// Every method of this server only reads: a request that broke off before
// any byte of its reply came back may or may not have been served, and
// serving it twice changes nothing. So it goes again once, on a fresh
// connection (the server behind a balancer may have died, or the pooled
// connection been closed). Never once a reply started, and never twice.
TServerReply TNetConnection::callOnce(const QString &method, const QJsonArray &params)
{
    CallWait wait; // refuses a call started while another one waits
    const QDeadlineTimer deadline(m_callTimeoutMs);
    dropIfClosedByPeer();
    for (int attempt = 1;; ++attempt) {
        try {
            attach(deadline, wait);
            if (m_resumeRefused && !isSessionMethod(method))
                return *std::exchange(m_resumeRefused, std::nullopt);
            return exchange(method, params, deadline, wait);
        } catch (const EVexError &error) {
            m_lastError = error.message();
            const bool again = m_socket && m_brokeBeforeReply;
            dropSocket();
            if (!again || attempt > 1 || deadline.hasExpired())
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
    const QString name = m_serverName.isEmpty() || isSystemMethod(method)
                             ? method
                             : m_serverName + u'.' + method;
    sendLine(JsonRpc::encodeRequest(id, name, params), method, deadline, wait);
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
