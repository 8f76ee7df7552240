#pragma once

#include "ServerOptions.h"

#include <QList>
#include <QTcpServer>

#include <atomic>
#include <memory>

class QThread;
class RpcWorker;
class ServerSecurity;

// Accepts clients and hands each socket to a worker thread, round-robin.
class RpcServer final : public QTcpServer
{
    Q_OBJECT

public:
    explicit RpcServer(const ServerOptions &options, QObject *parent = nullptr);
    ~RpcServer() override;

    // Starts the workers and listens; false with the reason on failure.
    bool start(QString *error);
    // Stops accepting; every connection answers the complete requests it
    // has received and flushes its replies, for at most the stop grace
    // period; then closes what is left and joins the threads.
    void stop();
    // What protects the server, for the ready line (after start()).
    QString securitySummary() const;

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    void refuseBusy(qintptr descriptor);

    ServerOptions m_options;
    std::shared_ptr<ServerSecurity> m_security;
    QList<QThread *> m_threads;
    QList<RpcWorker *> m_workers;
    std::atomic<int> m_connectionCount{0};
    qsizetype m_nextWorker = 0;
    int m_busyLogged = 0;
    int m_busySuppressed = 0;
    qint64 m_busySummaryMs = 0;
};
