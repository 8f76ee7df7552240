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

    // Starts the workers, each with its database connection, and listens;
    // false with the reason on failure.
    bool start(QString *error);
    // Stops accepting; every connection answers the complete requests it
    // has received and flushes its replies, for at most the stop grace
    // period; then closes what is left and joins the threads.
    void stop();
    // What protects the server, for the ready line (after start()).
    QString securitySummary() const;

    int openConnections() const { return m_connectionCount.load(std::memory_order_relaxed); }

protected:
    void incomingConnection(qintptr descriptor) override;

private:
    bool startWorkers(QString *error);
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
