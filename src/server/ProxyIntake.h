#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

class QSocketNotifier;

// Reads the PROXY header a balancer sends first on a new connection, taking
// not one byte past it, so that TLS or the first request start clean after
// it. Gives up (and closes) on a malformed header, a closed connection or
// one that does not send it in time.
class ProxyIntake final : public QObject
{
    Q_OBJECT

public:
    static constexpr int TimeoutMs = 5000;

    ProxyIntake(qintptr descriptor, const QString &balancer, QObject *parent = nullptr);
    ~ProxyIntake() override; // closes the descriptor unless it was handed on

Q_SIGNALS:
    // The header was read: the descriptor is the receiver's now. A null
    // `client`: the balancer's own connection (a health check).
    void ready(qintptr descriptor, const QHostAddress &client);
    void failed();

private:
    void receive();
    void fail(const QString &why);

    int m_fd;
    QString m_balancer;
    QSocketNotifier *m_notifier;
    QByteArray m_header;
};
