#include "MetricsServer.h"

#include "Metrics.h"
#include "ServerLog.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTimer>

namespace {

MetricsServer::Reply plain(const char *status, const char *text)
{
    return {status, "text/plain; charset=utf-8", QByteArray(text) + '\n'};
}

// The end of the request head (after its blank line), or -1.
qsizetype headEnd(const QByteArray &buffer)
{
    const qsizetype crlf = buffer.indexOf("\r\n\r\n");
    const qsizetype lf = buffer.indexOf("\n\n");
    if (crlf >= 0 && (lf < 0 || crlf < lf))
        return crlf + 4;
    return lf >= 0 ? lf + 2 : -1;
}

} // namespace

MetricsServer::MetricsServer(std::function<int()> openConnections, QObject *parent)
    : QTcpServer(parent), m_openConnections(std::move(openConnections))
{
    ServerMetrics::instance(); // the slots exist before any call is timed
}

bool MetricsServer::start(const QString &host, quint16 port, QString *error)
{
    QHostAddress address;
    if (host == u"localhost")
        address = QHostAddress::LocalHost;
    else if (!address.setAddress(host)) {
        *error = QStringLiteral("endereço de métricas inválido: %1").arg(host);
        return false;
    }
    if (!listen(address, port)) {
        *error = QStringLiteral("não foi possível escutar as métricas em %1:%2: %3")
                     .arg(host)
                     .arg(port)
                     .arg(errorString());
        return false;
    }
    if (!address.isLoopback())
        qCWarning(lcServer).noquote()
            << "métricas expostas fora do computador local, sem autenticação, em"
            << QStringLiteral("%1:%2").arg(host).arg(serverPort());
    return true;
}

MetricsServer::Reply MetricsServer::answer(const QByteArray &head) const
{
    const qsizetype lineEnd = head.indexOf('\n');
    const QByteArray line = (lineEnd < 0 ? head : head.left(lineEnd)).trimmed();
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 3 || !parts[2].startsWith("HTTP/1.") || !parts[1].startsWith('/'))
        return plain("400 Bad Request", "bad request");
    if (parts[0] != "GET")
        return plain("405 Method Not Allowed", "only GET");
    const qsizetype query = parts[1].indexOf('?');
    if ((query < 0 ? parts[1] : parts[1].left(query)) != "/metrics")
        return plain("404 Not Found", "not found");
    return {"200 OK", "text/plain; version=0.0.4; charset=utf-8",
            ServerMetrics::instance().render(m_openConnections ? m_openConnections() : 0)};
}

void MetricsServer::incomingConnection(qintptr descriptor)
{
    auto *socket = new QTcpSocket(this);
    const QString address
        = socket->setSocketDescriptor(descriptor) ? socket->peerAddress().toString() : QString();
    if (address.isEmpty() || m_clients >= MaxClients
        || m_clientsAt.value(address) >= MaxClientsPerAddress) {
        socket->abort();
        delete socket;
        return;
    }
    ++m_clients;
    ++m_clientsAt[address];
    connect(socket, &QObject::destroyed, this, [this, address] {
        --m_clients;
        if (--m_clientsAt[address] <= 0)
            m_clientsAt.remove(address);
    });
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->setReadBufferSize(MaxRequestBytes + 1);
    auto request = std::make_shared<Request>();
    // A head that never completes, or a reader that never takes the reply,
    // loses its connection; this also frees one lost without a word.
    QTimer::singleShot(RequestTimeoutMs, socket, [socket, request] {
        if (request->answered)
            return;
        socket->abort();
        socket->deleteLater();
    });
    QTimer::singleShot(RequestTimeoutMs + ReplyTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
        serve(socket, *request);
    });
}

// Reads what has come (never more than the limit) and answers once the head
// is complete; bytes after the answer are dropped.
void MetricsServer::serve(QTcpSocket *socket, Request &request)
{
    if (request.answered) {
        socket->readAll();
        return;
    }
    request.head += socket->read(MaxRequestBytes + 1 - request.head.size());
    const qsizetype end = headEnd(request.head);
    Reply reply;
    if (end >= 0 && end <= MaxRequestBytes)
        reply = answer(request.head.left(end));
    else if (request.head.size() > MaxRequestBytes)
        reply = plain("431 Request Header Fields Too Large", "request too large");
    else
        return; // wait for the rest
    request.answered = true;
    request.head.clear();
    send(socket, reply);
}

void MetricsServer::send(QTcpSocket *socket, const Reply &reply)
{
    QByteArray out = "HTTP/1.1 " + reply.status + "\r\nContent-Type: " + reply.contentType
        + "\r\nContent-Length: " + QByteArray::number(reply.body.size())
        + "\r\nConnection: close\r\n\r\n" + reply.body;
    socket->write(out);
    socket->flush();
    socket->disconnectFromHost(); // after the rest of the reply is written
}
