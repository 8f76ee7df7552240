#pragma once

#include <QString>
#include <QStringList>

// Command line of vex-appserver.
struct ServerOptions
{
    QString databaseUrl;
    QString listenHost = QStringLiteral("127.0.0.1");
    quint16 listenPort = 7300;
    int threads = 0; // 0 until parsed: the core count
    qint64 maxRequestBytes = 1 << 20;
    int maxConnections = 256;
    int idleTimeoutS = 300;
    int partialTimeoutS = 30;
    qint64 maxOutputBytes = 4 << 20;   // unsent replies before a client is not read
    qint64 maxReplyBytes = 64 << 20;   // one reply; larger ones are refused
    qint64 maxChainRows = 2'000'000;   // GetCadeiaPedidos; larger results are refused
    int maxBadLines = 20;              // consecutive malformed lines before closing
    int stopGraceS = 30;               // SIGTERM: time to flush replies
    QString metricsHost;               // empty: no metrics endpoint
    quint16 metricsPort = 0;

    enum class Parse { Ok, Help, Error };
    // On Error *message is a one-line reason; on Help it is the usage text.
    static Parse parse(const QStringList &arguments, ServerOptions *options, QString *message);
    // The database URL with any password hidden, fit for logs.
    QString displayUrl() const;
};
