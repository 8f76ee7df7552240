#pragma once

#include "NetSession.h"
#include "TServerReply.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class CallWait;
class QSslSocket;

// Client side of the application-server connection. Calls are synchronous
// for their caller: they return when the answer arrives, the call timeout
// ends or the user cancels. Meanwhile the event loop turns with user input
// excluded (see CallWait), so the host keeps painting.
class TNetConnection : public QObject
{
    Q_OBJECT
public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    QString ServerName() const { return m_serverName; }
    void SetServerName(const QString &name) { m_serverName = name; }
    QString Host() const { return m_host; }
    void SetHost(const QString &host) { m_host = host; }
    int Port() const { return m_port; }
    void SetPort(int port) { m_port = port; }
    bool ThrowException() const { return m_throwException; }
    void SetThrowException(bool on) { m_throwException = on; }
    int CallTimeoutMs() const { return m_callTimeoutMs; } // default from vex.ini
    void SetCallTimeoutMs(int ms) { m_callTimeoutMs = ms; }

    // TLS (default from vex.ini [Server] Tls): 1.2 or later, the server's
    // certificate verified against CaCertificates (empty: the system's) and
    // its name against Host. A failure is an error, never clear text.
    bool Tls() const { return m_tls; }
    void SetTls(bool on) { m_tls = on; }
    QList<QSslCertificate> CaCertificates() const { return m_caCertificates; }
    void SetCaCertificates(const QList<QSslCertificate> &certificates);
    // What every client connection asks of TLS: 1.2 or later, the peer's
    // certificate verified against ca (empty: the system's) and named host.
    static void PrepareTls(QSslSocket &socket, const QString &host,
                           const QList<QSslCertificate> &ca);
    bool Encrypted() const;       // of the open connection
    QString EncryptionText() const; // "TLSv1.3, TLS_AES_256_GCM_SHA384"; empty in clear text
    QString Protocol() const;     // "TLSv1.3"; empty in clear text

    // Runs before every connection attempt (sets Host and Port).
    std::function<void(TNetConnection *sender)> BeforeConnect;

    // The sign-in this connection resumes on every new connection; by
    // default the process's one (NetSession::shared()).
    NetSession &Session() const { return *m_session; }
    void SetSession(NetSession *session) { m_session = session; }
    QString SessionLogin() const { return m_session->login(); }
    QString SessionToken() const { return m_session->token(); }
    QDateTime SessionExpires() const { return m_session->expires(); }
    // Runs, outside any wait, when a call is refused for want of a sign-in
    // (or its session could not be resumed); true when the person signed in
    // again, and then the call goes once more. Without one, the session's
    // handler; without that, the refusal comes back as the call's reply.
    NetSession::SignInHandler SignInHandler;

    // session.login: on success the session holds the token (the password
    // is not kept); a refusal comes back as a reply with ok == false and the
    // server's text. Throws ENetError for transport faults, like Call.
    TServerReply SignIn(const QString &login, const QString &password);

    bool Connected() const;
    // Connecting runs BeforeConnect first. A failure throws ENetError when
    // ThrowException is on, else leaves the connection closed and records
    // LastError(); the next Call tries again.
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }
    QString LastError() const { return m_lastError; }
    // The open socket's descriptor, -1 when not connected.
    qintptr SocketDescriptor() const;

    // Calls ServerName + "." + method. Connects first when needed. Throws
    // ENetError for transport faults (unreachable, timeout, broken reply), for
    // a call the user cancelled ("Operação cancelada pelo usuário.") and for
    // a call started while another waits; a server error answer comes back
    // as a reply with ok == false. A call whose connection broke before any
    // byte of the reply arrived is sent once more on a new connection.
    // Without a ServerName the method is sent as it stands (session.login).
    // A call the server refuses for want of a sign-in runs SignInHandler.
    TServerReply Call(const QString &method, const QJsonArray &params);

private:
    TServerReply callOnce(const QString &method, const QJsonArray &params);
    NetSession::SignInHandler signInHandler() const;
    void connectToServer(QDeadlineTimer deadline, CallWait &wait);
    void startEncryption(QDeadlineTimer deadline, CallWait &wait,
                         const std::function<void(const QString &)> &fail);
    QString handshakeFailure() const;
    void resumeSession(QDeadlineTimer deadline, CallWait &wait);
    void adoptSession(const TServerReply &reply, const QString &login);
    void attach(QDeadlineTimer deadline, CallWait &wait);
    TServerReply exchange(const QString &method, const QJsonArray &params,
                          QDeadlineTimer deadline, CallWait &wait);
    void watch(CallWait &wait);
    bool waitFor(CallWait &wait, const std::function<bool()> &done, QDeadlineTimer deadline);
    void dropSocket();
    void dropIfClosedByPeer();
    void sendLine(const QByteArray &line, const QString &method, QDeadlineTimer deadline,
                  CallWait &wait);
    QByteArray readLine(const QString &method, QDeadlineTimer deadline, CallWait &wait);
    TServerReply awaitReply(qint64 id, const QString &method, QDeadlineTimer deadline,
                            CallWait &wait);
    QString address() const;
    QString timeoutText(const QString &method) const;
    QString brokenText(const QString &method) const;

    QString m_serverName;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 7300;
    bool m_throwException = true;
    int m_callTimeoutMs = 30000;
    QString m_lastError;
    bool m_tls = false;
    QList<QSslCertificate> m_caCertificates;
    QString m_caProblem; // the configured CA file could not be read
    QList<QSslError> m_sslErrors; // of the handshake under way
    NetSession *m_session = &NetSession::shared();
    // The server refused to resume the session on the current connection.
    std::optional<TServerReply> m_resumeRefused;
    QString m_presentedToken; // the session this connection signed in with

    qint64 m_nextId = 1;
    // Of the current attempt: the connection ended before any reply byte.
    bool m_brokeBeforeReply = false;
    bool m_replyStarted = false;
    std::unique_ptr<QSslSocket> m_socket;
};
