#pragma once

#include "TServerReply.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QTcpSocket;

// Client side of the application-server connection. Calls are synchronous:
// they block the calling thread until the answer arrives or the call
// timeout ends (the window shows the wait indicator meanwhile).
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

    // Runs before every connection attempt (sets Host and Port).
    std::function<void(TNetConnection *sender)> BeforeConnect;

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
    // ENetError for transport faults (unreachable, timeout, broken reply); a
    // server error answer comes back as a reply with ok == false.
    TServerReply Call(const QString &method, const QJsonArray &params);

private:
    void connectToServer() { connectToServer(QDeadlineTimer(m_callTimeoutMs)); }
    void connectToServer(QDeadlineTimer deadline);
    void dropSocket();
    void dropIfClosedByPeer();
    void sendLine(const QByteArray &line, const QString &method, QDeadlineTimer deadline);
    QByteArray readLine(const QString &method, QDeadlineTimer deadline);
    TServerReply awaitReply(qint64 id, const QString &method, QDeadlineTimer deadline);
    QString address() const;
    QString timeoutText(const QString &method) const;
    QString brokenText(const QString &method) const;

    QString m_serverName;
    QString m_host = QStringLiteral("127.0.0.1");
    int m_port = 7300;
    bool m_throwException = true;
    int m_callTimeoutMs = 30000;
    QString m_lastError;
    qint64 m_nextId = 1;
    std::unique_ptr<QTcpSocket> m_socket;
};
