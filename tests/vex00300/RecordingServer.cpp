#include "RecordingServer.h"

#include <QJsonDocument>
#include <QMutexLocker>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

RecordingServer::RecordingServer(quint16 port) : m_requestedPort(port) {}

RecordingServer::~RecordingServer()
{
    quit();
    wait();
}

bool RecordingServer::start()
{
    QThread::start();
    m_port = m_ready.get_future().get();
    return m_port != 0;
}

void RecordingServer::run()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, m_requestedPort)) {
        m_ready.set_value(0);
        return;
    }
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            ++m_connections;
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray reply = answer(socket->readLine().trimmed());
                    if (m_answerDelay == 0)
                        socket->write(reply);
                    else
                        QTimer::singleShot(m_answerDelay, socket, [socket, reply] {
                            socket->write(reply);
                        });
                }
            });
            QObject::connect(socket, &QTcpSocket::disconnected, socket,
                             &QObject::deleteLater);
        }
    });
    m_ready.set_value(server.serverPort());
    exec();
}

QByteArray RecordingServer::answer(const QByteArray &line)
{
    const QJsonObject request = QJsonDocument::fromJson(line).object();
    const QString method = request.value(QLatin1String("method")).toString();
    const QJsonArray params = request.value(QLatin1String("params")).toArray();
    const QString shortName = method.section(QLatin1Char('.'), -1);
    QJsonObject response{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                         {QStringLiteral("id"), request.value(QLatin1String("id"))}};
    {
        QMutexLocker lock(&m_mutex);
        m_calls.append({method, params});
        const QString byParam = shortName + QLatin1Char('|') + params.at(0).toString();
        const QJsonObject chosen = m_answers.contains(byParam) ? m_answers.value(byParam)
                                                               : m_answers.value(shortName);
        m_answerDelay = m_delays.value(m_answers.contains(byParam) ? byParam : shortName);
        if (chosen.isEmpty()) {
            response.insert(QStringLiteral("error"),
                            QJsonObject{{QStringLiteral("code"), -32601},
                                        {QStringLiteral("message"),
                                         QStringLiteral("Método sem resposta: ") + method}});
        } else {
            for (auto it = chosen.begin(); it != chosen.end(); ++it)
                response.insert(it.key(), it.value());
        }
    }
    return QJsonDocument(response).toJson(QJsonDocument::Compact) + '\n';
}

void RecordingServer::setResult(const QString &key, const QJsonObject &packet)
{
    QMutexLocker lock(&m_mutex);
    m_answers.insert(key, QJsonObject{{QStringLiteral("result"), packet}});
}

void RecordingServer::setError(const QString &key, int code, const QString &message)
{
    QMutexLocker lock(&m_mutex);
    m_answers.insert(key, QJsonObject{{QStringLiteral("error"),
                                       QJsonObject{{QStringLiteral("code"), code},
                                                   {QStringLiteral("message"), message}}}});
}

void RecordingServer::setDelay(const QString &key, int ms)
{
    QMutexLocker lock(&m_mutex);
    m_delays.insert(key, ms);
}

void RecordingServer::clearAnswers()
{
    QMutexLocker lock(&m_mutex);
    m_answers.clear();
    m_delays.clear();
}

QList<RecordingServer::Call> RecordingServer::calls() const
{
    QMutexLocker lock(&m_mutex);
    return m_calls;
}

QStringList RecordingServer::methods() const
{
    QStringList names;
    for (const Call &call : calls())
        names << call.method.section(QLatin1Char('.'), -1);
    return names;
}

void RecordingServer::clearCalls()
{
    QMutexLocker lock(&m_mutex);
    m_calls.clear();
}
