#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>
#include <future>

// An application server that records what the window sends: it runs in its
// own thread (the window's calls block the test's thread), speaks the line
// protocol, answers each method with the packet or error the test chose and
// keeps every call's method and params.
class RecordingServer final : public QThread
{
    Q_OBJECT
public:
    struct Call
    {
        QString method; // as sent, server name included
        QJsonArray params;
    };

    // port 0: any free port.
    explicit RecordingServer(quint16 port = 0);
    ~RecordingServer() override;

    bool start();              // false when the port could not be taken
    quint16 port() const { return m_port; }

    // Answers by key: "Method|firstParam" first, then "Method".
    void setResult(const QString &key, const QJsonObject &packet);
    void setError(const QString &key, int code, const QString &message);
    void clearAnswers();
    // The answer by that key leaves this long after its request came in.
    void setDelay(const QString &key, int ms);

    QList<Call> calls() const;
    QStringList methods() const; // short names ("GetSoli"), in call order
    void clearCalls();
    int connectionCount() const { return m_connections.load(); }

protected:
    void run() override;

private:
    QByteArray answer(const QByteArray &line);

    quint16 m_requestedPort;
    quint16 m_port = 0;
    std::promise<quint16> m_ready;
    mutable QMutex m_mutex;
    QMap<QString, QJsonObject> m_answers; // {"result":...} or {"error":...}
    QMap<QString, int> m_delays;
    int m_answerDelay = 0; // of the answer just made; the server's thread only
    QList<Call> m_calls;
    std::atomic<int> m_connections{0};
};
