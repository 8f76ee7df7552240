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
    void initTestCase();
    void endsOnce_data();
    void endsOnce();
    void droppedCallNeverReports();

private:
    QTemporaryDir m_dir;
    TestCa m_ca;
    TestCa m_otherCa;
};

void tst_AsyncCall::initTestCase()
{
    QString error;
    QVERIFY2(TestCa::make(m_dir.path(), "right", &m_ca, &error), qPrintable(error));
    QVERIFY2(TestCa::make(m_dir.path(), "other", &m_otherCa, &error), qPrintable(error));
}

void tst_AsyncCall::endsOnce_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<bool>("signIn");
    QTest::addColumn<QString>("tlsCa"); // "": clear text; else the authority trusted
    QTest::addColumn<int>("code"); // 0 with ok: answered; 0 without: a transport fault
    QTest::addColumn<bool>("ok");
    QTest::newRow("answered") << Action::Echo << false << QString() << 0 << true;
    QTest::newRow("answered after resuming") << Action::Echo << true << QString() << 0 << true;
    QTest::newRow("over TLS") << Action::Echo << false << QString("right") << 0 << true;
    // A certificate of another authority is a failure, never clear text.
    QTest::newRow("foreign certificate")
        << Action::Echo << false << QString("other") << 0 << false;
    QTest::newRow("server error") << Action::ErrorReply << false << QString() << -32000 << false;
    QTest::newRow("no answer in time") << Action::Silent << false << QString() << 0 << false;
    QTest::newRow("closed") << Action::CloseAfterRequest << false << QString() << 0 << false;
    QTest::newRow("not a reply") << Action::Garbage << false << QString() << 0 << false;
}

void tst_AsyncCall::endsOnce()
{
    QFETCH(Action, action);
    QFETCH(bool, signIn);
    QFETCH(QString, tlsCa);
    QFETCH(int, code);
    QFETCH(bool, ok);
    ScriptedServer server;
    if (signIn)
        server.requireSignIn(QStringLiteral("demo"), QStringLiteral("s3nh@"));
    if (!tlsCa.isEmpty())
        server.useTls({m_ca.serverCert, m_ca.serverKey});
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
    if (!tlsCa.isEmpty()) {
        net.SetTls(true);
        net.SetCaCertificates(
            QSslCertificate::fromPath(tlsCa == u"right" ? m_ca.caCert : m_otherCa.caCert));
        net.SetCallTimeoutMs(5000);
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

QTEST_GUILESS_MAIN(tst_AsyncCall)
#include "tst_asynccall.moc"
