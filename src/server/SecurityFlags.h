#pragma once

#include <QCommandLineOption>
#include <QList>

class QCommandLineParser;
struct ServerOptions;

// The TLS and sign-in flags of vex-appserver, and the rule that a server
// reachable from other machines has both unless told --insecure.
struct SecurityFlags
{
    SecurityFlags();
    QList<QCommandLineOption> options() const;
    // After the listen address is known; false with a one-line reason.
    bool read(const QCommandLineParser &parser, ServerOptions *o, QString *message) const;

    QCommandLineOption tlsCert;
    QCommandLineOption tlsKey;
    QCommandLineOption auth;
    QCommandLineOption authKeyFile;
    QCommandLineOption insecure;
    QCommandLineOption signInTimeout;
    QCommandLineOption preAuthPerAddress;
    QCommandLineOption preAuthMax;
    QCommandLineOption signInQueue;
    QCommandLineOption sessionCheck;
    QCommandLineOption proxyProtocol;

private:
    bool readNumbers(const QCommandLineParser &parser, ServerOptions *o, QString *message) const;
    bool readProxies(const QCommandLineParser &parser, ServerOptions *o, QString *message) const;
};
