// A call made beside the window's own: what it ends with, and that one
// dropped before its answer never reports.
#include "ScriptedServer.h"
#include "TestCa.h"

#include "net/AsyncCall.h"
#include "net/NetSession.h"
#include "net/TNetConnection.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QTemporaryDir>
#include <QTest>

using Action = ScriptedServer::Action;

namespace {
// Points a connection at the server without connecting it.
void aim(TNetConnection &net, quint16 port, NetSession &session)
{
    net.SetSession(&session);
    net.SetServerName(QStringLiteral("Srv"));
    net.SetHost(QStringLiteral("127.0.0.1"));
    net.SetPort(port);
    net.SetCallTimeoutMs(400);
}
} // namespace

class tst_AsyncCall : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void endsOnce_data();
    void endsOnce();
    void droppedCallNeverReports();
    void overTls_data();
    void overTls();
};

void tst_AsyncCall::endsOnce_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<int>("code"); // 0 with ok: answered; 0 without: a transport fault
    QTest::addColumn<bool>("ok");
    QTest::newRow("answered") << Action::Echo << false << 0 << true;
    QTest::newRow("answered after resuming") << Action::Echo << true << 0 << true;
    QTest::newRow("server error") << Action::ErrorReply << false << -32000 << false;
    QTest::newRow("no answer in time") << Action::Silent << false << 0 << false;
    QTest::newRow("closed") << Action::CloseAfterRequest << false << 0 << false;
    QTest::newRow("not a reply") << Action::Garbage << false << 0 << false;
}

void tst_AsyncCall::endsOnce()
{
    QFETCH(Action, action);
    QFETCH(bool, signIn);
    QFETCH(int, code);
    QFETCH(bool, ok);
    ScriptedServer server;
    if (signIn)
        server.requireSignIn(QStringLiteral("demo"), QStringLiteral("s3nh@"));
    QVERIFY(server.startListening());
    server.script({action});
    NetSession session;
    TNetConnection net;
    aim(net, server.port(), session);
    if (signIn) {
        net.SetCallTimeoutMs(5000);
        QVERIFY(net.SignIn(QStringLiteral("demo"), QStringLiteral("s3nh@")).ok);
        net.Close();
        net.SetCallTimeoutMs(400);
    }

    AsyncCall call(net, QStringLiteral("GetResumoFiliais"), {1, QStringLiteral("T")});
    QSignalSpy finished(&call, &AsyncCall::finished);
    QTRY_COMPARE(finished.size(), 1);
    const auto reply = finished.first().first().value<TServerReply>();
    QVERIFY2(reply.ok == ok, qPrintable(reply.errorMessage));
    QCOMPARE(reply.errorCode, code);
    if (ok) {
        QCOMPARE(reply.result.toObject().value("method").toString(),
                 QStringLiteral("Srv.GetResumoFiliais"));
    }
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
}

void tst_AsyncCall::droppedCallNeverReports()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({Action::LateEcho});
    NetSession session;
    TNetConnection net;
    aim(net, server.port(), session);
    net.SetCallTimeoutMs(5000);
    int reports = 0;
    {
        AsyncCall call(net, QStringLiteral("GetResumoFiliais"), {});
        connect(&call, &AsyncCall::finished, this, [&reports] { ++reports; });
        QTRY_VERIFY(!server.methods().isEmpty());
    }
    QTest::qWait(900);
    QCOMPARE(reports, 0);
}

void tst_AsyncCall::overTls_data()
{
    QTest::addColumn<bool>("trusted");
    QTest::newRow("trusted authority") << true;
    QTest::newRow("other authority") << false;
}

// As the window's own connection: a certificate of another authority is a
// failure, never clear text.
void tst_AsyncCall::overTls()
{
    QFETCH(bool, trusted);
    QTemporaryDir dir;
    TestCa ca;
    TestCa other;
    QString error;
    QVERIFY2(TestCa::make(dir.path(), "right", &ca, &error), qPrintable(error));
    QVERIFY2(TestCa::make(dir.path(), "other", &other, &error), qPrintable(error));
    ScriptedServer server;
    server.useTls({ca.serverCert, ca.serverKey});
    QVERIFY(server.startListening());
    server.script({Action::Echo});
    NetSession session;
    TNetConnection net;
    aim(net, server.port(), session);
    net.SetCallTimeoutMs(5000);
    net.SetTls(true);
    net.SetCaCertificates(QSslCertificate::fromPath(trusted ? ca.caCert : other.caCert));

    AsyncCall call(net, QStringLiteral("GetResumoFiliais"), {});
    QSignalSpy finished(&call, &AsyncCall::finished);
    QTRY_COMPARE(finished.size(), 1);
    const auto reply = finished.first().first().value<TServerReply>();
    QCOMPARE(reply.ok, trusted);
    QCOMPARE(server.methods().size(), trusted ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_AsyncCall)
#include "tst_asynccall.moc"
