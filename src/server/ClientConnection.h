#pragma once

#include <QByteArray>
#include <QObject>

class QTcpSocket;
class RpcDispatcher;

struct ConnectionLimits
{
    qint64 maxRequestBytes = 1 << 20;
    int idleTimeoutS = 300;
    int partialTimeoutS = 30;
};

// One client socket in a worker thread: splits the byte stream into request
// lines and writes one reply per line, enforcing the size and time limits.
class ClientConnection final : public QObject
{
    Q_OBJECT

public:
    ClientConnection(QTcpSocket *socket, RpcDispatcher &dispatcher, const ConnectionLimits &limits,
                     QObject *parent = nullptr);
    ~ClientConnection() override;

    // Drops a partial line past its age and closes an idle connection.
    void checkTimeouts(qint64 nowMs);
    // Sends what is pending and closes.
    void closeNow();

signals:
    void closed(ClientConnection *connection);

private:
    void handleReadyRead();
    bool takeLines();
    void refuse(int code, const QString &message, bool close);
    void finishClose();

    QTcpSocket *m_socket;
    RpcDispatcher &m_dispatcher;
    ConnectionLimits m_limits;
    QByteArray m_buffer;
    qsizetype m_scanned = 0;       // bytes of m_buffer known to hold no '\n'
    qint64 m_lastActivityMs = 0;
    qint64 m_partialSinceMs = -1;  // -1: no partial line
    bool m_closing = false;
    bool m_closedEmitted = false;
};
