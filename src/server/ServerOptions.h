#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
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

    // TLS and sign-in; off on loopback unless asked for, required elsewhere
    // unless --insecure (SecurityFlags).
    QString tlsCertFile;
    QString tlsKeyFile;
    QString authMode;                  // empty or "db": users of USUARIO
    QString authKeyFile;               // token key, shared by every instance
    bool insecure = false;
    int signInTimeoutS = 10;           // to sign in before the connection is closed
    qint64 preAuthMaxRequestBytes = 4096; // request line until signed in
    int preAuthConnections = 3; // connections not signed in, per address,...
    int preAuthWindowS = 10;           // ...opened in this window; more are closed at once
    int preAuthMax = 0; // not signed in, all addresses; 0 until parsed
    int signInQueue = 0; // password checks waiting; 0 until parsed
    int lockoutFailures = 5; // failed sign-ins of a login at an address before it waits
    int lockoutLoginFailures = 50; // of a login from every address
    int lockoutAddressFailures = 20; // at an address, every login, in the last 15 min
    int lockoutBaseS = 2;              // the wait, doubling with each further failure...
    int lockoutMaxS = 300;             // ...up to this
    int tokenValidityS = 12 * 3600;
    int tokenClockSkewS = 300;         // other instances' clocks may run ahead this much
    int sessionRecheckS = 5; // a session in use is checked against USUARIO this often
    // Balancers (address, prefix length) whose connections start with a
    // PROXY protocol header naming the client.
    QList<QPair<QHostAddress, int>> proxyFrom;
    static constexpr int MinAuthKeyBytes = 32;
    bool tlsEnabled() const { return !tlsCertFile.isEmpty(); }
    bool authEnabled() const { return !authMode.isEmpty(); }
    bool fromBalancer(const QHostAddress &peer) const;

    enum class Parse { Ok, Help, Error };
    // On Error *message is a one-line reason; on Help it is the usage text.
    static Parse parse(const QStringList &arguments, ServerOptions *options, QString *message);
    // The database URL with any password hidden, fit for logs.
    QString displayUrl() const;
};
