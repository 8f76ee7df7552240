#pragma once

#include "TServerReply.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class CallWait;
class QTcpSocket;

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
    // ENetError for transport faults (unreachable, timeout, broken reply), for
    // a call the user cancelled ("Operação cancelada pelo usuário.") and for
    // a call started while another waits; a server error answer comes back
    // as a reply with ok == false. A call whose connection broke before any
    // byte of the reply arrived is sent once more on a new connection.
    TServerReply Call(const QString &method, const QJsonArray &params);

private:
    void connectToServer(QDeadlineTimer deadline, CallWait &wait);
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
    qint64 m_nextId = 1;
    // Of the current attempt: the connection ended before any reply byte.
    bool m_brokeBeforeReply = false;
    bool m_replyStarted = false;
    std::unique_ptr<QTcpSocket> m_socket;
};
