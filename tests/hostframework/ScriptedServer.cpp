#include "ScriptedServer.h"

#include "JsonRpc.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QFile>
#include <QMutexLocker>
#include <QSslCertificate>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

void writeAll(QTcpSocket &socket, const QByteArray &bytes)
{
    socket.write(bytes);
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(1000)) {
    }
}

QByteArray echo(const JsonRpc::Request &request, const QJsonValue &id)
{
    const QJsonObject result{{"method", request.method}, {"params", request.params}};
    return JsonRpc::encodeResult(id, QJsonDocument(result).toJson(QJsonDocument::Compact));
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Hands out TLS sockets that start their handshake at once; the serving
// loop waits for it, blocking like the rest of this server.
class TlsListener final : public QTcpServer
{
public:
    explicit TlsListener(const ScriptedTls &tls) : m_tls(tls) {}

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_tls.certFile.isEmpty()) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto *socket = new QSslSocket(this);
        socket->setSocketDescriptor(descriptor);
        socket->setLocalCertificate(QSslCertificate(readFile(m_tls.certFile)));
        socket->setPrivateKey(QSslKey(readFile(m_tls.keyFile), QSsl::Ec));
        socket->startServerEncryption();
        addPendingConnection(socket);
    }

private:
    ScriptedTls m_tls;
};

QByteArray sessionResult(const QJsonValue &id, const QString &token, const QString &login)
{
    const QJsonObject result{{"token", token}, {"expires", token.isEmpty() ? 0 : 47000.5},
                             {"login", login}};
    return JsonRpc::encodeResult(id, QJsonDocument(result).toJson(QJsonDocument::Compact));
}

} // namespace

ScriptedServer::ScriptedServer(quint16 port)
    : m_port(port)
{
}

ScriptedServer::~ScriptedServer()
{
    m_stop.storeRelaxed(1);
    wait();
}

bool ScriptedServer::startListening()
{
    start();
    m_ready.acquire();
    return m_listening;
}

void ScriptedServer::requireSignIn(const QString &login, const QString &password)
{
    QMutexLocker lock(&m_mutex);
    m_login = login;
    m_password = password;
}

void ScriptedServer::expireSessions()
{
    QMutexLocker lock(&m_mutex);
    ++m_epoch;
}

void ScriptedServer::script(const QList<Action> &actions)
{
    QMutexLocker lock(&m_mutex);
    m_script = actions;
}

QStringList ScriptedServer::methods() const
{
    QMutexLocker lock(&m_mutex);
    return m_methods;
}

ScriptedServer::Action ScriptedServer::nextAction()
{
    QMutexLocker lock(&m_mutex);
    return m_script.isEmpty() ? Action::Echo : m_script.takeFirst();
}

void ScriptedServer::run()
{
    TlsListener server(m_tls);
    m_listening = server.listen(QHostAddress::LocalHost, m_port);
    m_port = server.serverPort();
    m_ready.release();
    while (m_listening && !m_stop.loadRelaxed()) {
        // waitForNewConnection() does not look at connections it already took.
        if (!server.hasPendingConnections() && !server.waitForNewConnection(20))
            continue;
        std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
        m_connections.ref();
        serve(*socket);
        m_finished.ref();
    }
}

void ScriptedServer::serve(QTcpSocket &socket)
{
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    {
        QMutexLocker lock(&m_mutex);
        m_connectionEpoch = -1;
    }
    auto *tls = qobject_cast<QSslSocket *>(&socket);
    if (tls && !tls->isEncrypted() && !tls->waitForEncrypted(5000)) {
        m_handshakeFailures.ref();
        return;
    }
    while (!m_stop.loadRelaxed()) {
        if (socket.canReadLine()) {
            if (!answer(socket, socket.readLine()))
                return;
            continue;
        }
        if (socket.state() != QAbstractSocket::ConnectedState) {
            m_closedByPeer.ref();
            return;
        }
        socket.waitForReadyRead(20);
    }
}

bool ScriptedServer::answer(QTcpSocket &socket, const QByteArray &line)
{
    const JsonRpc::RequestParse parse = JsonRpc::parseRequest(line);
    {
        QMutexLocker lock(&m_mutex);
        m_methods << parse.request.method;
    }
    const QJsonValue id = parse.request.id;
    if (answerSession(socket, id, parse.request.method, parse.request.params))
        return true;
    const QByteArray reply = echo(parse.request, id);
    switch (nextAction()) {
    case Action::Echo:
        writeAll(socket, reply);
        return true;
    case Action::EchoByteByByte:
        for (char byte : reply) {
            writeAll(socket, QByteArray(1, byte));
            QThread::usleep(300);
        }
        return true;
    case Action::StaleThenEcho:
        writeAll(socket, JsonRpc::encodeResult(id.toInteger() + 1000, "{\"stale\":true}")
                             + reply);
        return true;
    case Action::EchoWithExtra:
        writeAll(socket, reply + JsonRpc::encodeResult(id.toInteger() + 1, "{\"extra\":1}"));
        return true;
    case Action::ErrorReply:
        writeAll(socket, JsonRpc::encodeError(id, JsonRpc::ServerError,
                                              QStringLiteral("Filial não cadastrada.")));
        return true;
    case Action::NullIdError:
        writeAll(socket, JsonRpc::encodeError(QJsonValue(), JsonRpc::ParseError, "x"));
        return true;
    case Action::Silent:
        return true;
    case Action::LateEcho:
        QThread::msleep(600);
        writeAll(socket, reply);
        return true;
    case Action::CloseAfterRequest:
        socket.close();
        return false;
    case Action::CloseMidReply:
        writeAll(socket, reply.left(reply.size() / 2));
        socket.close();
        return false;
    case Action::EchoThenClose:
        writeAll(socket, reply);
        socket.close();
        return false;
    case Action::Garbage:
        writeAll(socket, "OK\n");
        return true;
    }
    return true;
}

bool ScriptedServer::answerSession(QTcpSocket &socket, const QJsonValue &id,
                                   const QString &method, const QJsonArray &params)
{
    QMutexLocker lock(&m_mutex);
    const bool login = method == QLatin1String("session.login");
    const bool resume = method == QLatin1String("session.resume");
    const auto refuse = [&](const char *text) {
        writeAll(socket, JsonRpc::encodeError(id, -32001, QString::fromUtf8(text)));
        return true;
    };
    if (m_login.isEmpty()) {
        if (login || resume)
            writeAll(socket, sessionResult(id, {}, {}));
        return login || resume;
    }
    if (login) {
        if (params.at(0).toString() != m_login || params.at(1).toString() != m_password)
            return refuse("Usuário ou senha inválidos.");
    } else if (resume) {
        // Tokens name their epoch: "tok-<epoch>-<n>".
        if (params.at(0).toString().section(u'-', 1, 1) != QString::number(m_epoch))
            return refuse("Sessão expirada ou inválida. Entre novamente.");
    } else if (m_connectionEpoch != m_epoch) {
        return refuse("Autenticação necessária");
    } else {
        return false;
    }
    m_connectionEpoch = m_epoch;
    const QString token = QStringLiteral("tok-%1-%2").arg(m_epoch).arg(++m_tokens);
    writeAll(socket, sessionResult(id, token, m_login));
    return true;
}
