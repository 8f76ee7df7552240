// bench-security --database URL --pki DIR [--calls N]
// DIR holds server.pem, server.key, ca.pem and auth.key (run.sh makes them).
// Prints: one PBKDF2-SHA256 check at the minimum round count; over TLS, the
// handshake, a whole session.login round trip and a ping on another
// connection while a sign-in hashes; and p50/p99 of ping and
// of GetFiliOL (a few rows) over TLS signed in, against plain TCP, from one
// loopback client.
#include "PasswordHash.h"
#include "UserStore.h"

#include "Database.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

[[noreturn]] void fail(const QString &reason)
{
    std::fprintf(stderr, "bench-security: %s\n", qPrintable(reason));
    std::exit(1);
}

struct Figures
{
    double p50 = 0, p99 = 0;
};

Figures percentiles(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const auto at = [&](double p) {
        return v[std::min(v.size() - 1, size_t(std::ceil(p * double(v.size()))) - 1)];
    };
    return {at(0.50), at(0.99)};
}

// Milliseconds of each of `runs` runs of `job`.
std::vector<double> timed(int runs, const std::function<void()> &job)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        job();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    return ms;
}

void print(const char *what, const std::vector<double> &ms)
{
    const Figures f = percentiles(ms);
    std::printf("%-44s p50 %9.3f ms   p99 %9.3f ms   (%zu runs)\n", what, f.p50, f.p99,
                ms.size());
}

QByteArray line(const QString &method, const QJsonArray &params)
{
    static int id = 0;
    return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", ++id}, {"method", method},
                                     {"params", params}})
               .toJson(QJsonDocument::Compact)
           + '\n';
}

QJsonObject call(QTcpSocket &s, const QString &method, const QJsonArray &params)
{
    s.write(line(method, params));
    while (!s.canReadLine()) {
        if (!s.waitForReadyRead(30000))
            fail(QStringLiteral("no answer to %1: %2").arg(method, s.errorString()));
    }
    return QJsonDocument::fromJson(s.readLine()).object();
}

quint16 startServer(QProcess &p, const QString &url, const QStringList &extra)
{
    p.setProgram(QStringLiteral(VEX_BIN_DIR "/vex-appserver"));
    p.setArguments(QStringList{"--database", url, "--listen", "127.0.0.1:0"} + extra);
    p.setStandardErrorFile(QProcess::nullDevice());
    p.start();
    QDeadlineTimer deadline(20000);
    while (!p.canReadLine() && !deadline.hasExpired() && p.state() != QProcess::NotRunning)
        p.waitForReadyRead(200);
    static const QRegularExpression ready(QStringLiteral("pronto em [0-9.]+:(\\d+) "));
    const auto m = ready.match(QString::fromUtf8(p.readLine()));
    if (!m.hasMatch())
        fail(QStringLiteral("the server did not start"));
    return quint16(m.captured(1).toUInt());
}

void connectTls(QSslSocket &s, quint16 port, const QSslConfiguration &config)
{
    s.setSslConfiguration(config);
    s.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForEncrypted(10000))
        fail(QStringLiteral("TLS handshake: %1").arg(s.errorString()));
    s.setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

QString addUser(const QString &url, const QString &password)
{
    const QString login = QStringLiteral("bench%1").arg(QCoreApplication::applicationPid());
    QString error;
    {
        QSqlDatabase db = VexDb::open(url, QStringLiteral("bench"), &error);
        VexDb::UserStore store(db);
        if (!db.isOpen()
            || store.add(login, password, VexDb::Password::MinIterations, &error)
                != VexDb::UserStore::Result::Ok)
            fail(QStringLiteral("cannot add the user: %1").arg(error));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench"));
    return login;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addOptions({{"database", "sqlite:PATH of a demo database", "URL"},
                  {"pki", "folder with server.pem, server.key, ca.pem, auth.key", "DIR"},
                  {"calls", "point calls per kind (default 3000)", "N"}});
    p.process(app);
    const QString url = p.value("database");
    const QDir pki(p.value("pki"));
    const int calls = std::max(100, p.value("calls").toInt());
    if (url.isEmpty() || !pki.exists())
        fail(QStringLiteral("--database URL and --pki DIR are required"));

    const QString password = QStringLiteral("correct horse battery staple");
    const QByteArray salt = VexDb::Password::randomSalt();
    std::printf("sign-in (PBKDF2-SHA256, %d rounds)\n", VexDb::Password::MinIterations);
    print("  one password check", timed(8, [&] {
              VexDb::Password::derive(password, salt, VexDb::Password::MinIterations);
          }));
    const QString login = addUser(url, password);

    QProcess plainServer, tlsServer;
    const quint16 plainPort = startServer(plainServer, url, {});
    const quint16 tlsPort = startServer(
        tlsServer, url,
        {"--tls-cert", pki.filePath("server.pem"), "--tls-key", pki.filePath("server.key"),
         "--auth", "db", "--auth-key-file", pki.filePath("auth.key")});
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(pki.filePath("ca.pem")));

    std::vector<double> handshakes, logins;
    for (int i = 0; i < 10; ++i) {
        QSslSocket s;
        handshakes.push_back(timed(1, [&] { connectTls(s, tlsPort, config); }).front());
        logins.push_back(timed(1, [&] {
                             if (!call(s, "session.login", {login, password}).contains("result"))
                                 fail(QStringLiteral("session.login refused"));
                         }).front());
    }
    print("  TLS handshake (connect to encrypted)", handshakes);
    print("  session.login round trip", logins);

    QTcpSocket plain;
    plain.connectToHost(QStringLiteral("127.0.0.1"), plainPort);
    if (!plain.waitForConnected(5000))
        fail(QStringLiteral("cannot connect to the plain server"));
    plain.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QSslSocket tls;
    connectTls(tls, tlsPort, config);
    call(tls, "session.login", {login, password});

    // The check runs off the worker threads: another connection's calls go
    // on while a sign-in hashes.
    {
        QSslSocket other;
        connectTls(other, tlsPort, config);
        std::vector<double> beside;
        for (int i = 0; i < 3; ++i) {
            other.write(line("session.login", {login, password}));
            other.flush();
            QElapsedTimer t;
            t.start();
            while (t.elapsed() < 300)
                beside.push_back(timed(1, [&] { call(tls, "system.ping", {}); }).front());
            while (!other.canReadLine())
                other.waitForReadyRead(30000);
            other.readLine();
        }
        print("  system.ping beside a running session.login", beside);
    }

    const QString filiOL = QStringLiteral("VEX00300.rdmAcomPOL.GetFiliOL");
    std::printf("point calls, one loopback client\n");
    for (int round = 0; round < 2; ++round) { // the first round warms up
        const auto ping = [&](QTcpSocket &s) {
            return timed(calls, [&] { call(s, "system.ping", {}); });
        };
        const auto rows = [&](QTcpSocket &s) {
            return timed(calls, [&] { call(s, filiOL, {}); });
        };
        const std::vector<double> a = ping(plain), b = ping(tls), c = rows(plain),
                                  d = rows(tls);
        if (round == 0)
            continue;
        print("  system.ping, plain TCP", a);
        print("  system.ping, TLS signed in", b);
        print("  GetFiliOL, plain TCP", c);
        print("  GetFiliOL, TLS signed in", d);
    }
    plainServer.terminate();
    tlsServer.terminate();
    plainServer.waitForFinished();
    tlsServer.waitForFinished();
    return 0;
}
