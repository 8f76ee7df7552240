// bench-security --database URL --pki DIR [--calls N]
// DIR holds server.pem, server.key, ca.pem and auth.key (run.sh makes them).
// Prints: one PBKDF2-SHA256 check at the minimum round count; over TLS, the
// handshake, a whole session.login round trip and a ping on another
// connection while a sign-in hashes; p50/p99 of ping and of GetFiliOL (a few
// rows) over TLS signed in, against plain TCP, from one loopback client; a
// real sign-in while another address floods made-up ones for 10 s; and how
// soon a signed-in connection in use is refused once its user is disabled.
// VEX_APPSERVER names another server program to measure.
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
#include <QRandomGenerator>
#include <QSslSocket>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

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
    const QString other = qEnvironmentVariable("VEX_APPSERVER");
    p.setProgram(other.isEmpty() ? QStringLiteral(VEX_BIN_DIR "/vex-appserver") : other);
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

// The reply to one call, or an empty object after `limitMs`.
QJsonObject callWithin(QTcpSocket &s, const QString &method, const QJsonArray &params, int limitMs)
{
    s.write(line(method, params));
    QDeadlineTimer deadline(limitMs);
    while (!s.canReadLine() && !deadline.hasExpired()
           && s.state() == QAbstractSocket::ConnectedState)
        s.waitForReadyRead(100);
    return s.canReadLine() ? QJsonDocument::fromJson(s.readLine()).object() : QJsonObject();
}

// 127.0.0.2 connects, sends a made-up session.login and closes, over and
// over for 10 s, while 127.0.0.1 signs in for real once a second.
void floodedSignIns(quint16 port, const QString &login, const QString &password)
{
    constexpr int FloodMs = 10000, LimitMs = 120000;
    std::atomic<bool> stop { false };
    std::atomic<int> opened { 0 };
    std::thread flooder([&] {
        const QByteArray made = line("session.login", { "ninguem", "nada" });
        while (!stop) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in from = {}, to = {};
            from.sin_family = to.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(0x7f000002);
            to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            to.sin_port = htons(port);
            if (::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof from) == 0
                && ::connect(fd, reinterpret_cast<sockaddr *>(&to), sizeof to) == 0) {
                ::send(fd, made.constData(), size_t(made.size()), MSG_NOSIGNAL);
                ++opened;
            }
            ::close(fd);
        }
    });
    std::vector<double> waits;
    QElapsedTimer flood;
    flood.start();
    int unanswered = 0;
    while (flood.elapsed() < FloodMs) {
        QTcpSocket s;
        s.connectToHost(QStringLiteral("127.0.0.1"), port);
        QElapsedTimer t;
        t.start();
        const bool ok = s.waitForConnected(5000)
            && callWithin(s, "session.login", { login, password }, LimitMs).contains("result");
        waits.push_back(double(t.nsecsElapsed()) / 1e6);
        unanswered += !ok;
        QThread::msleep(ulong(std::max<qint64>(0, 1000 - t.elapsed())));
    }
    stop = true;
    flooder.join();
    print("  session.login beside a 10 s flood", waits);
    std::printf("    (%d flood connections opened; %d real sign-ins failed or past %d s)\n",
                opened.load(), unanswered, LimitMs / 1000);
}

// Calls every 20 ms on a signed-in connection; the user is disabled in the
// database: milliseconds until a call is refused (-1: not within 10 s).
double cutAfterDisable(quint16 port, const QString &url, const QString &login,
                       const QString &password)
{
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!s.waitForConnected(5000)
        || !call(s, "session.login", { login, password }).contains("result"))
        fail(QStringLiteral("cannot sign in for the disable run"));
    // In use for a while first, so that the disable lands anywhere in the
    // period between two checks.
    QElapsedTimer use;
    use.start();
    const int useMs = QRandomGenerator::global()->bounded(5000);
    while (use.elapsed() < useMs) {
        call(s, "VEX00300.rdmAcomPOL.GetFiliOL", {});
        QThread::msleep(20);
    }
    QString error;
    {
        QSqlDatabase db = VexDb::open(url, QStringLiteral("bench-disable"), &error);
        VexDb::UserStore store(db);
        if (store.disable(login, &error) != VexDb::UserStore::Result::Ok)
            fail(error);
        QElapsedTimer t;
        t.start();
        double cut = -1;
        while (t.elapsed() < 10000 && cut < 0) {
            if (call(s, "VEX00300.rdmAcomPOL.GetFiliOL", {}).contains("error"))
                cut = double(t.nsecsElapsed()) / 1e6;
            QThread::msleep(20);
        }
        store.enable(login, &error);
        return cut;
    }
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

    std::printf("under attack, plain TCP with sign-in, defaults otherwise\n");
    QProcess signInServer;
    const quint16 signInPort = startServer(
        signInServer, url, { "--auth", "db", "--auth-key-file", pki.filePath("auth.key") });
    floodedSignIns(signInPort, login, password);
    QThread::sleep(11); // the flood's window passes
    std::vector<double> cuts;
    for (int i = 0; i < 5; ++i)
        cuts.push_back(cutAfterDisable(signInPort, url, login, password));
    const bool allCut = std::none_of(cuts.begin(), cuts.end(), [](double ms) { return ms < 0; });
    if (allCut)
        print("  call refused after the user is disabled", cuts);
    else
        std::printf("  call refused after the user is disabled: not within 10 s\n");
    signInServer.terminate();
    signInServer.waitForFinished();
    return 0;
}
