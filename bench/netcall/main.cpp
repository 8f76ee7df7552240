// What TLS and sign-in cost a connection: a new connection (TCP, then the
// handshake and session.resume), a small call and a ping, in clear text
// against TLS with sign-in, on one real vex-appserver each.
#include "AppServerProcess.h"
#include "BenchKit.h"
#include "TestCa.h"

#include "net/NetSession.h"
#include "net/TNetConnection.h"
#include "VexErrors.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {
constexpr int kSamples = 300;

double timedMs(const std::function<void()> &work)
{
    QElapsedTimer clock;
    clock.start();
    work();
    return clock.nsecsElapsed() / 1e6;
}

void require(const TServerReply &reply, const char *what)
{
    if (!reply.ok)
        BenchKit::fail(QStringLiteral("%1: %2").arg(QLatin1String(what), reply.errorMessage));
}

void print(const char *mode, const char *what, std::vector<double> values)
{
    const BenchKit::Percentiles p = BenchKit::percentiles(std::move(values));
    std::printf("%-18s %-26s n=%4d  p50 %7.3f ms  p99 %7.3f ms\n", mode, what, p.count, p.p50,
                p.p99);
}

void measure(const char *mode, TNetConnection &net)
{
    std::vector<double> opens, calls, pings;
    for (int i = 0; i < kSamples; ++i) {
        net.Close();
        opens.push_back(timedMs([&] { net.Open(); }));
        calls.push_back(timedMs([&] { require(net.Call("GetFiliOL", {}), "GetFiliOL"); }));
        pings.push_back(timedMs([&] { require(net.Call("system.ping", {}), "ping"); }));
    }
    print(mode, "new connection (+resume)", opens);
    print(mode, "GetFiliOL, open connection", calls);
    print(mode, "system.ping", pings);
}

QString writeKey(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("auth.key"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(48, 'b')) != 48)
        BenchKit::fail(QStringLiteral("cannot write ") + path);
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    return path;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    TestCa ca;
    QString error;
    if (!TestCa::make(dir.path(), QStringLiteral("bench"), &ca, &error))
        BenchKit::fail(error);
    VexTest::AppServerProcess clear;
    VexTest::AppServerProcess secure;
    secure.setExtraArguments({"--tls-cert", ca.serverCert, "--tls-key", ca.serverKey, "--auth",
                              "db", "--auth-key-file", writeKey(dir)});
    if (!clear.start(&error) || !secure.addUser("bench", "Senha-da-medida-1", &error)
        || !secure.start(&error))
        BenchKit::fail(error);
    try {
        TNetConnection plain;
        plain.SetServerName(QStringLiteral("VEX00300.rdmAcomPOL"));
        plain.SetPort(clear.port());
        measure("clear text", plain);

        TNetConnection tls;
        tls.SetServerName(QStringLiteral("VEX00300.rdmAcomPOL"));
        tls.SetPort(secure.port());
        tls.SetTls(true);
        tls.SetCaCertificates(QSslCertificate::fromPath(ca.caCert));
        require(tls.SignIn("bench", "Senha-da-medida-1"), "sign-in");
        std::printf("TLS: %s\n", qPrintable(tls.EncryptionText()));
        measure("TLS + sign-in", tls);
    } catch (const EVexError &e) {
        BenchKit::fail(e.message());
    }
    return 0;
}
