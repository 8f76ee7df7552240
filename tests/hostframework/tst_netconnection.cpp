#include "ScriptedServer.h"
#include "TestCa.h"

#include "net/CallWait.h"
#include "net/TNetConnection.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QPushButton>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QSslSocket>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <memory>

using Action = ScriptedServer::Action;

namespace {

// A port that refuses connections and that no other test can take while it
// is held: bound, never listening.
class RefusingPort final
{
public:
    RefusingPort() { m_socket.bind(QHostAddress::LocalHost, 0); }
    quint16 port() const { return m_socket.localPort(); }
    void release() { m_socket.close(); }

private:
    QTcpSocket m_socket;
};

struct Client
{
    std::unique_ptr<TNetConnection> net = std::make_unique<TNetConnection>();
    NetSession session; // each client its own sign-in
    int beforeConnect = 0;

    Client(quint16 port, bool throwException = false)
    {
        net->SetSession(&session);
        net->SetServerName(QStringLiteral("Srv"));
        net->SetThrowException(throwException);
        net->SetHost(QStringLiteral("invalid.invalid"));
        net->SetPort(1);
        net->SetCallTimeoutMs(5000);
        net->BeforeConnect = [this, port](TNetConnection *sender) {
            ++beforeConnect;
            sender->SetHost(QStringLiteral("127.0.0.1"));
            sender->SetPort(port);
        };
    }
};

QJsonArray sampleParams(int n)
{
    return {n, QStringLiteral("Solicitação nº %1 — ✓").arg(n), 46000.25, QJsonValue()};
}

QString callError(TNetConnection &net, const QString &method)
{
    try {
        net.Call(method, {});
    } catch (const ENetError &error) {
        return error.message();
    }
    return QString();
}

} // namespace

class tst_NetConnection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void callTimeoutDefaultsToConfig();
    void answered_data();
    void answered();
    void transportFailure_data();
    void transportFailure();
    void retriedOnceBeforeReply_data();
    void retriedOnceBeforeReply();
    void errorAnswer_data();
    void errorAnswer();
    void idleConnectionClosedByServer();
    void closeThenCallReconnects();
    void unreachable_data();
    void unreachable();
    void serverBackLater();
    void invalidPort();
    void lowDelaySet();
    void waitKeepsTheLoopTurningWithoutInput();
    void escapeCancelsAndTheNextCallIsItsOwn();
    void callInsideACallIsRefused();
    void tls_data();
    void tls();
    void tlsRepeatsOnANewConnection();
    void sessionResumedOnEveryNewConnection();
    void refusedCallAsksToSignInAgain_data();
    void refusedCallAsksToSignInAgain();

private:
    QTemporaryDir m_dir;
    TestCa m_ca;
    TestCa m_otherCa;
};

void tst_NetConnection::initTestCase()
{
    QString error;
    QVERIFY2(TestCa::make(m_dir.path(), "right", &m_ca, &error), qPrintable(error));
    QVERIFY2(TestCa::make(m_dir.path(), "other", &m_otherCa, &error), qPrintable(error));
    HostConfig config;
    config.callTimeoutMs = 4321;
    HostConfig::setCurrent(config);
}

void tst_NetConnection::callTimeoutDefaultsToConfig()
{
    QCOMPARE(TNetConnection().CallTimeoutMs(), 4321);
}

void tst_NetConnection::answered_data()
{
    QTest::addColumn<Action>("action");
    QTest::newRow("plain") << Action::Echo;
    QTest::newRow("byte by byte") << Action::EchoByteByByte;
    QTest::newRow("stale id first, one packet") << Action::StaleThenEcho;
    QTest::newRow("unasked line after the answer") << Action::EchoWithExtra;
}

void tst_NetConnection::answered()
{
    QFETCH(Action, action);
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({action});
    Client client(server.port());

    for (int n = 1; n <= 3; ++n) {
        const TServerReply reply = client.net->Call(QStringLiteral("GetSoli"), sampleParams(n));
        QVERIFY(reply.ok);
        const QJsonObject result = reply.result.toObject();
        QCOMPARE(result.value("method").toString(), QStringLiteral("Srv.GetSoli"));
        QCOMPARE(result.value("params").toArray(), sampleParams(n));
    }
    QVERIFY(client.net->Connected());
    QCOMPARE(server.connections(), 1);
    QCOMPARE(client.beforeConnect, 1);
}

void tst_NetConnection::transportFailure_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("expected");

    const QString timeout = QStringLiteral("não respondeu em 0,3 s (GetProd)");
    const QString broken = QStringLiteral("foi interrompida durante a chamada (GetProd)");
    QTest::newRow("no answer") << Action::Silent << timeout;
    QTest::newRow("late answer") << Action::LateEcho << timeout;
    QTest::newRow("closed mid reply") << Action::CloseMidReply << broken;
    QTest::newRow("not a reply") << Action::Garbage << QStringLiteral("Resposta inválida");
}

void tst_NetConnection::transportFailure()
{
    QFETCH(Action, action);
    QFETCH(QString, expected);
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({action});
    Client client(server.port());
    client.net->SetCallTimeoutMs(300);

    const QString error = callError(*client.net, QStringLiteral("GetProd"));
    QVERIFY2(error.contains(expected), qPrintable(error));
    QVERIFY2(error.contains(QStringLiteral("127.0.0.1:%1").arg(server.port()))
                 || expected.startsWith(u'R'),
             qPrintable(error));
    QVERIFY(!client.net->Connected());
    QCOMPARE(client.net->LastError(), error);

    // The next call gets its own answer on a new connection, never the
    // late one of the failed call.
    client.net->SetCallTimeoutMs(5000);
    const TServerReply reply = client.net->Call(QStringLiteral("GetProdOL"), sampleParams(7));
    QVERIFY(reply.ok);
    QCOMPARE(reply.result.toObject().value("method").toString(),
             QStringLiteral("Srv.GetProdOL"));
    QCOMPARE(reply.result.toObject().value("params").toArray(), sampleParams(7));
    QCOMPARE(server.connections(), 2);
    QCOMPARE(client.beforeConnect, 2);
}

void tst_NetConnection::retriedOnceBeforeReply_data()
{
    QTest::addColumn<QList<Action>>("actions");
    QTest::addColumn<QString>("expected"); // empty: the call succeeds
    QTest::addColumn<int>("connections");

    const QString broken = QStringLiteral("foi interrompida durante a chamada (GetProd)");
    QTest::newRow("closed after request, then answered")
        << QList<Action>{Action::CloseAfterRequest} << QString() << 2;
    QTest::newRow("closed after request twice")
        << QList<Action>{Action::CloseAfterRequest, Action::CloseAfterRequest} << broken << 2;
    QTest::newRow("closed after request, then mid reply")
        << QList<Action>{Action::CloseAfterRequest, Action::CloseMidReply} << broken << 2;
    QTest::newRow("closed mid reply is not repeated")
        << QList<Action>{Action::CloseMidReply} << broken << 1;
    QTest::newRow("no answer is not repeated")
        << QList<Action>{Action::Silent} << QStringLiteral("não respondeu") << 1;
}

void tst_NetConnection::retriedOnceBeforeReply()
{
    QFETCH(QList<Action>, actions);
    QFETCH(QString, expected);
    QFETCH(int, connections);
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script(actions);
    Client client(server.port());
    client.net->SetCallTimeoutMs(300);

    QString error;
    try {
        const TServerReply reply = client.net->Call(QStringLiteral("GetProd"), sampleParams(3));
        QVERIFY(reply.ok);
        QCOMPARE(reply.result.toObject().value("params").toArray(), sampleParams(3));
    } catch (const ENetError &e) {
        error = e.message();
    }
    if (expected.isEmpty())
        QVERIFY2(error.isEmpty(), qPrintable(error));
    else
        QVERIFY2(error.contains(expected), qPrintable(error));
    QTRY_COMPARE(server.methods().size(), connections);
    QCOMPARE(server.connections(), connections);
    QCOMPARE(client.beforeConnect, connections);
    QCOMPARE(client.net->Connected(), expected.isEmpty());
}

void tst_NetConnection::errorAnswer_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("server error") << Action::ErrorReply << -32000
                                  << QStringLiteral("Filial não cadastrada.");
    QTest::newRow("request unreadable") << Action::NullIdError << -32700 << QStringLiteral("x");
}

void tst_NetConnection::errorAnswer()
{
    QFETCH(Action, action);
    QFETCH(int, code);
    QFETCH(QString, message);
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({action});
    Client client(server.port());

    const TServerReply reply = client.net->Call(QStringLiteral("GetVdFiliOL"), {"0001"});
    QVERIFY(!reply.ok);
    QCOMPARE(reply.errorCode, code);
    QCOMPARE(reply.errorMessage, message);
    QVERIFY(client.net->Call(QStringLiteral("GetFiliOL"), {}).ok);
    QCOMPARE(server.connections(), 1);
}

void tst_NetConnection::idleConnectionClosedByServer()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({Action::EchoThenClose});
    Client client(server.port());

    QVERIFY(client.net->Call(QStringLiteral("A"), {}).ok);
    // No event loop here: the client must notice the close by itself, as it
    // does in a window blocked in a call.
    QDeadlineTimer limit(5000);
    while (server.finished() < 1 && !limit.hasExpired())
        QThread::msleep(5);
    QCOMPARE(server.finished(), 1);
    QThread::msleep(20);
    const TServerReply reply = client.net->Call(QStringLiteral("B"), {});
    QVERIFY(reply.ok);
    QCOMPARE(server.connections(), 2);
    QCOMPARE(server.methods(), QStringList({"Srv.A", "Srv.B"}));
}

void tst_NetConnection::closeThenCallReconnects()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    Client client(server.port());

    client.net->Open();
    QVERIFY(client.net->Connected());
    client.net->Close();
    QVERIFY(!client.net->Connected());
    QCOMPARE(client.net->SocketDescriptor(), qintptr(-1));
    QVERIFY(client.net->Call(QStringLiteral("A"), {}).ok);
    QCOMPARE(server.connections(), 2);
    QCOMPARE(client.beforeConnect, 2);
}

void tst_NetConnection::unreachable_data()
{
    QTest::addColumn<bool>("throwException");
    QTest::newRow("ThrowException off") << false;
    QTest::newRow("ThrowException on") << true;
}

void tst_NetConnection::unreachable()
{
    QFETCH(bool, throwException);
    RefusingPort refusing;
    const quint16 port = refusing.port();
    QVERIFY(port != 0);
    Client client(port, throwException);
    const QString expected =
        QStringLiteral("Não foi possível conectar ao servidor de aplicação em 127.0.0.1:%1: "
                       "conexão recusada. Verifique se o servidor está em execução e tecle F5 "
                       "para tentar de novo.")
            .arg(port);

    bool thrown = false;
    try {
        client.net->Open();
    } catch (const ENetError &error) {
        thrown = true;
        QCOMPARE(error.message(), expected);
    }
    QCOMPARE(thrown, throwException);
    QVERIFY(!client.net->Connected());
    QCOMPARE(client.net->LastError(), expected);
    QCOMPARE(client.beforeConnect, 1);

    // A call cannot succeed without a server, whatever ThrowException says.
    for (int attempt = 2; attempt <= 3; ++attempt) {
        QCOMPARE(callError(*client.net, QStringLiteral("GetFiliOL")), expected);
        QCOMPARE(client.beforeConnect, attempt);
    }
}

void tst_NetConnection::serverBackLater()
{
    RefusingPort refusing;
    const quint16 port = refusing.port();
    QVERIFY(port != 0);
    Client client(port);
    client.net->Open();
    QVERIFY(!client.net->Connected());

    refusing.release();
    ScriptedServer server(port);
    QVERIFY(server.startListening());
    const TServerReply reply = client.net->Call(QStringLiteral("GetFiliOL"), {});
    QVERIFY2(reply.ok, qPrintable(client.net->LastError()));
    QVERIFY(client.net->Connected());
    QVERIFY(client.net->LastError().isEmpty());
    QCOMPARE(client.beforeConnect, 2);
}

void tst_NetConnection::invalidPort()
{
    TNetConnection net;
    net.SetPort(0);
    try {
        net.Open();
        QFAIL("connected to port 0");
    } catch (const ENetError &error) {
        QVERIFY2(error.message().contains(QStringLiteral("porta inválida")),
                 qPrintable(error.message()));
    }
}

void tst_NetConnection::lowDelaySet()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    Client client(server.port());
    client.net->Open();
    const qintptr fd = client.net->SocketDescriptor();
    QVERIFY(fd >= 0);
    int value = 0;
    socklen_t size = sizeof value;
    QCOMPARE(::getsockopt(int(fd), IPPROTO_TCP, TCP_NODELAY, &value, &size), 0);
    QVERIFY(value != 0);
}

// While a call waits the event loop turns (timers run, so the host paints),
// but a click on an ordinary widget is dropped; the wait box's own button,
// marked as allowed, still gets its click.
void tst_NetConnection::waitKeepsTheLoopTurningWithoutInput()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({Action::LateEcho});
    Client client(server.port());
    QWidget window;
    auto *ordinary = new QPushButton(QStringLiteral("Outro"), &window);
    auto *allowed = new QPushButton(QStringLiteral("Cancelar"), &window);
    allowed->move(0, 40);
    CallWait::allowDuringCall(allowed);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    int ordinaryClicks = 0, allowedClicks = 0, ticks = 0;
    connect(ordinary, &QPushButton::clicked, this, [&] { ++ordinaryClicks; });
    connect(allowed, &QPushButton::clicked, this, [&] { ++allowedClicks; });
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (++ticks == 2) {
            QTest::mouseClick(ordinary, Qt::LeftButton);
            QTest::keyClick(ordinary, Qt::Key_Space);
            QTest::mouseClick(allowed, Qt::LeftButton);
        }
    });
    ticker.start(50);
    const TServerReply reply = client.net->Call(QStringLiteral("GetSoli"), sampleParams(1));
    QVERIFY2(reply.ok, qPrintable(client.net->LastError()));
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QCOMPARE(ordinaryClicks, 0);
    QCOMPARE(allowedClicks, 1);
    QVERIFY(!CallWait::active());
}

// Esc gives up on a call that hangs: the socket is dropped, so the late reply
// can never be taken as the next call's answer, which reconnects.
void tst_NetConnection::escapeCancelsAndTheNextCallIsItsOwn()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({Action::LateEcho, Action::Echo});
    Client client(server.port());
    QWidget focus;
    focus.show();
    QTimer::singleShot(100, &focus, [&focus] { QTest::keyClick(&focus, Qt::Key_Escape); });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(callError(*client.net, QStringLiteral("GetSoli")),
             QStringLiteral("Operação cancelada pelo usuário."));
    QVERIFY(clock.elapsed() < 550);
    QVERIFY(!client.net->Connected());
    const TServerReply reply = client.net->Call(QStringLiteral("GetProd"), sampleParams(2));
    QVERIFY2(reply.ok, qPrintable(client.net->LastError()));
    QCOMPARE(reply.result.toObject().value("method").toString(), QStringLiteral("Srv.GetProd"));
    QCOMPARE(server.connections(), 2);
}

// A handler that runs during the wait (a timer) cannot start a second call.
void tst_NetConnection::callInsideACallIsRefused()
{
    ScriptedServer server;
    QVERIFY(server.startListening());
    server.script({Action::LateEcho});
    Client client(server.port());
    QString nested;
    QTimer::singleShot(100, this, [&] { nested = callError(*client.net, "GetProdOL"); });
    const TServerReply reply = client.net->Call(QStringLiteral("GetSoli"), sampleParams(1));
    QVERIFY2(reply.ok, qPrintable(client.net->LastError()));
    QVERIFY2(nested.contains(QStringLiteral("em andamento")), qPrintable(nested));
    QCOMPARE(server.methods().size(), 1);
}

namespace {
QList<QSslCertificate> certificates(const QString &path)
{
    return path.isEmpty() ? QList<QSslCertificate>() : QSslCertificate::fromPath(path);
}
} // namespace

// Verified against the CA of vex.ini (else the system's), or refused with
// the reason, before a single request byte goes out in clear text.
void tst_NetConnection::tls_data()
{
    QTest::addColumn<bool>("serverTls");
    QTest::addColumn<QString>("caFile");  // empty: the system's authorities
    QTest::addColumn<QString>("expected"); // empty: connected

    const QString untrusted = QStringLiteral("certificado do servidor não confiável: "
                                             "emitido por uma autoridade não reconhecida");
    QTest::newRow("test CA") << true << m_ca.caCert << QString();
    QTest::newRow("another CA") << true << m_otherCa.caCert << untrusted;
    QTest::newRow("system authorities") << true << QString() << untrusted;
    QTest::newRow("server in clear text") << false << m_ca.caCert
                                          << QStringLiteral("falha na negociação TLS");
}

void tst_NetConnection::tls()
{
    QFETCH(bool, serverTls);
    QFETCH(QString, caFile);
    QFETCH(QString, expected);
    ScriptedServer server;
    if (serverTls)
        server.useTls({m_ca.serverCert, m_ca.serverKey});
    QVERIFY(server.startListening());
    Client client(server.port());
    client.net->SetTls(true);
    client.net->SetCaCertificates(certificates(caFile));

    const QString error = callError(*client.net, QStringLiteral("GetSoli"));
    if (expected.isEmpty()) {
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QVERIFY(client.net->Encrypted());
        QVERIFY2(client.net->Protocol() == "TLSv1.3" || client.net->Protocol() == "TLSv1.2",
                 qPrintable(client.net->Protocol()));
        QVERIFY(client.net->EncryptionText().startsWith(client.net->Protocol() + ", "));
        QVERIFY(client.session.encrypted());
        QCOMPARE(server.methods(), QStringList{"Srv.GetSoli"});
        return;
    }
    QVERIFY2(error.startsWith(QStringLiteral("Não foi possível conectar ao servidor de "
                                             "aplicação em 127.0.0.1:%1: ")
                                  .arg(server.port()))
                 && error.contains(expected),
             qPrintable(error));
    QVERIFY(!client.net->Connected());
    QTRY_COMPARE(server.finished(), 1);
    if (serverTls)
        QCOMPARE(server.handshakeFailures(), 1);
    QVERIFY(!server.methods().contains("Srv.GetSoli"));
    QCOMPARE(server.connections(), 1); // never again in clear text
}

// The handshake shares the call's deadline; a broken connection is replaced
// by a new TLS one, as in clear text.
void tst_NetConnection::tlsRepeatsOnANewConnection()
{
    ScriptedServer server;
    server.useTls({m_ca.serverCert, m_ca.serverKey});
    QVERIFY(server.startListening());
    server.script({Action::CloseAfterRequest});
    Client client(server.port());
    client.net->SetTls(true);
    client.net->SetCaCertificates(certificates(m_ca.caCert));
    const TServerReply reply = client.net->Call(QStringLiteral("GetProd"), sampleParams(4));
    QVERIFY2(reply.ok, qPrintable(client.net->LastError()));
    QCOMPARE(server.connections(), 2);
    QVERIFY(client.net->Encrypted());

    QTcpServer mute; // accepts (the kernel does) and never answers the handshake
    QVERIFY(mute.listen(QHostAddress::LocalHost));
    Client silent(mute.serverPort());
    silent.net->SetTls(true);
    silent.net->SetCallTimeoutMs(300);
    const QString error = callError(*silent.net, QStringLiteral("GetProd"));
    QVERIFY2(error.contains(QStringLiteral("tempo esgotado na negociação TLS")),
             qPrintable(error));
}

// After a sign-in, every new connection (the server closed the old one, or
// another server behind the balancer takes it) resumes the session first,
// without asking the person again; the password is never sent twice.
void tst_NetConnection::sessionResumedOnEveryNewConnection()
{
    ScriptedServer server;
    server.requireSignIn(QStringLiteral("demo"), QStringLiteral("s3nh@"));
    QVERIFY(server.startListening());
    server.script({Action::EchoThenClose});
    Client client(server.port());
    int asked = 0;
    client.net->SignInHandler = [&asked](TNetConnection *, const QString &) {
        ++asked;
        return false;
    };

    const TServerReply before = client.net->Call(QStringLiteral("GetFiliOL"), {});
    QCOMPARE(before.errorCode, -32001);
    QCOMPARE(before.errorMessage, QStringLiteral("Autenticação necessária"));
    QCOMPARE(asked, 1);
    const TServerReply refused = client.net->SignIn("demo", "errada");
    QCOMPARE(refused.errorMessage, QStringLiteral("Usuário ou senha inválidos."));
    QVERIFY(client.net->SessionToken().isEmpty());
    QVERIFY(client.net->SignIn("demo", "s3nh@").ok);
    QCOMPARE(client.net->SessionLogin(), QStringLiteral("demo"));
    QVERIFY(client.net->SessionExpires().isValid());
    QVERIFY(client.net->SessionToken().startsWith("tok-"));

    QVERIFY(client.net->Call(QStringLiteral("A"), {}).ok); // then the server closes
    QTRY_COMPARE(server.finished(), 1);
    QVERIFY(client.net->Call(QStringLiteral("B"), {}).ok);
    client.net->Close();
    client.net->Open();
    QVERIFY(client.net->Call(QStringLiteral("C"), {}).ok);
    QCOMPARE(asked, 1);
    QCOMPARE(client.net->SessionLogin(), QStringLiteral("demo")); // renewed token kept
    QVERIFY(client.net->SessionToken().startsWith("tok-"));
    QCOMPARE(server.methods(),
             QStringList({"Srv.GetFiliOL", "session.login", "session.login", "Srv.A",
                          "session.resume", "Srv.B", "session.resume", "Srv.C"}));
    QCOMPARE(server.connections(), 3);
}

// A call refused for want of a sign-in (the session expired on the open
// connection, or could not be resumed on a new one) asks once, with the
// server's text, and goes again once signed in.
void tst_NetConnection::refusedCallAsksToSignInAgain_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<bool>("signsIn");
    QTest::addColumn<QString>("reason");

    const QString required = QStringLiteral("Autenticação necessária");
    const QString expired = QStringLiteral("Sessão expirada ou inválida. Entre novamente.");
    QTest::newRow("open connection, signs in") << false << true << required;
    QTest::newRow("open connection, gives up") << false << false << required;
    QTest::newRow("new connection, signs in") << true << true << expired;
    QTest::newRow("new connection, gives up") << true << false << expired;
}

void tst_NetConnection::refusedCallAsksToSignInAgain()
{
    QFETCH(bool, reconnect);
    QFETCH(bool, signsIn);
    QFETCH(QString, reason);
    ScriptedServer server;
    server.requireSignIn(QStringLiteral("demo"), QStringLiteral("s3nh@"));
    QVERIFY(server.startListening());
    Client client(server.port());
    QVERIFY(client.net->SignIn("demo", "s3nh@").ok);
    QStringList reasons;
    bool waitingWhileAsked = true;
    client.session.signInHandler = [&](TNetConnection *sender, const QString &text) {
        reasons << text;
        waitingWhileAsked = CallWait::active();
        return signsIn && sender->SignIn("demo", "s3nh@").ok;
    };

    server.expireSessions();
    if (reconnect)
        client.net->Close();
    const TServerReply reply = client.net->Call(QStringLiteral("GetSoli"), sampleParams(5));
    QCOMPARE(reasons, QStringList{reason});
    QVERIFY(!waitingWhileAsked);
    QCOMPARE(reply.ok, signsIn);
    if (signsIn) {
        QCOMPARE(reply.result.toObject().value("params").toArray(), sampleParams(5));
        QVERIFY(!client.net->SessionToken().isEmpty());
    } else {
        QCOMPARE(reply.errorMessage, reason);
    }
    QCOMPARE(client.net->SessionToken().isEmpty(), !signsIn && reconnect);
}

QTEST_MAIN(tst_NetConnection)
#include "tst_netconnection.moc"
