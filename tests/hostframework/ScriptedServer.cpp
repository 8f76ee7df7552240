#include "ScriptedServer.h"

#include "JsonRpc.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QMutexLocker>
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
    QTcpServer server;
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
