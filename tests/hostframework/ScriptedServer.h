#pragma once

#include <QAtomicInt>
#include <QJsonArray>
#include <QJsonValue>
#include <QList>
#include <QMutex>
#include <QSemaphore>
#include <QStringList>
#include <QThread>

class QTcpSocket;

// A server-side TLS identity: certificate and key files (PEM).
struct ScriptedTls
{
    QString certFile;
    QString keyFile;
};

// A JSON-RPC server on its own thread that answers each request as the next
// scripted action says (echo when the script is empty) and records what it
// received. It blocks on its sockets, so the client may block as well.
class ScriptedServer final : public QThread
{
    Q_OBJECT
public:
    enum class Action {
        Echo,            // result {"method":..., "params":[...]}
        EchoByteByByte,  // the same, one byte per packet
        StaleThenEcho,   // a reply for another id, then the echo, in one write
        EchoWithExtra,   // the echo and an unasked-for line, in one write
        ErrorReply,      // -32000 "Filial não cadastrada."
        NullIdError,     // -32700 with a null id
        Silent,          // never answers
        LateEcho,        // answers after 600 ms
        CloseAfterRequest,
        CloseMidReply,   // half the echo, then closes
        EchoThenClose,   // answers, then closes the idle connection
        Garbage,         // "OK"
    };

    explicit ScriptedServer(quint16 port = 0);
    ~ScriptedServer() override;

    // Before startListening: every connection must complete a TLS handshake.
    void useTls(const ScriptedTls &tls) { m_tls = tls; }
    // Before startListening: session.login accepts only login/password and
    // every other method on a connection not signed in gets -32001. Without
    // it, session.login and session.resume answer an empty token.
    void requireSignIn(const QString &login, const QString &password);
    // Tokens given so far stop being accepted, and so do connections that
    // signed in with them: the session expired.
    void expireSessions();
    int handshakeFailures() const { return m_handshakeFailures.loadRelaxed(); }

    bool startListening(); // false when the port could not be bound
    quint16 port() const { return m_port; }
    void script(const QList<Action> &actions);
    QStringList methods() const;
    int connections() const { return m_connections.loadRelaxed(); }
    int closedByPeer() const { return m_closedByPeer.loadRelaxed(); }
    int finished() const { return m_finished.loadRelaxed(); } // connections ended

protected:
    void run() override;

private:
    void serve(QTcpSocket &socket);
    bool answer(QTcpSocket &socket, const QByteArray &line); // false: connection ended
    // Answers session methods and refuses others before sign-in; false when
    // the request is left to the script.
    bool answerSession(QTcpSocket &socket, const QJsonValue &id, const QString &method,
                       const QJsonArray &params);
    Action nextAction();

    quint16 m_port;
    bool m_listening = false;
    QSemaphore m_ready;
    QAtomicInt m_stop;
    QAtomicInt m_connections;
    QAtomicInt m_closedByPeer;
    QAtomicInt m_finished;
    QAtomicInt m_handshakeFailures;
    ScriptedTls m_tls;
    QString m_login;
    QString m_password;
    int m_epoch = 0;          // sessions of older epochs have expired
    int m_connectionEpoch = -1; // of the connection being served; -1: not signed in
    int m_tokens = 0;
    mutable QMutex m_mutex;
    QList<Action> m_script;
    QStringList m_methods;
};
