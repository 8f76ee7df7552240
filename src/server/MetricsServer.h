#pragma once

#include <QByteArray>
#include <QHash>
#include <QTcpServer>

#include <functional>
#include <memory>

class QTcpSocket;

// GET /metrics over plain HTTP/1.x in the main thread, for a Prometheus
// scraper: one request per connection, answered and closed. Anything else
// gets a short error status; a request head is bounded in size and time, and
// so is the number of scrapers served at once, in all and per address, so
// that slow clients at one address cannot keep the scraper out.
class MetricsServer final : public QTcpServer
{
    Q_OBJECT

public:
    static constexpr qsizetype MaxRequestBytes = 8 * 1024;
    static constexpr int RequestTimeoutMs = 2000; // to send the request head
    static constexpr int ReplyTimeoutMs = 5000; // to take the reply
    static constexpr int MaxClients = 16;
    static constexpr int MaxClientsPerAddress = 4;

    // `openConnections` gives the gauge at scrape time.
    explicit MetricsServer(std::function<int()> openConnections, QObject *parent = nullptr);

    // Listens on HOST:PORT; false with a one-line reason.
    bool start(const QString &host, quint16 port, QString *error);

    struct Reply
    {
        QByteArray status; // "200 OK", "404 Not Found", ...
        QByteArray contentType;
        QByteArray body;
    };

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    // The reply to one complete request head.
    Reply answer(const QByteArray &head) const;
    struct Request
    {
        QByteArray head;
        bool answered = false;
    };
    void serve(QTcpSocket *socket, Request &request);
    static void send(QTcpSocket *socket, const Reply &reply);

    std::function<int()> m_openConnections;
    int m_clients = 0;
    QHash<QString, int> m_clientsAt;
};
