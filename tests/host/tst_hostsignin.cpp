#include "HostMainWindow.h"
#include "HostSignIn.h"
#include "ScriptedServer.h"
#include "SignInDriver.h"
#include "TestCa.h"

#include "forms/SignInDialog.h"
#include "net/NetSession.h"
#include "net/TNetConnection.h"
#include "services/HostConfig.h"

#include <QApplication>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace {

void useServer(quint16 port, const QString &caFile)
{
    HostConfig config;
    config.serverPort = port;
    config.callTimeoutMs = 10000;
    config.serverTls = !caFile.isEmpty();
    config.serverCaFile = caFile;
    HostConfig::setCurrent(config);
}

} // namespace

using Start = HostSignIn::Start;

class tst_HostSignIn : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void atStart_data();
    void atStart();
    void expiredSessionAsksAgain();

private:
    QTemporaryDir m_dir;
    TestCa m_ca;
};

void tst_HostSignIn::initTestCase()
{
    QString error;
    QVERIFY2(TestCa::make(m_dir.path(), "host", &m_ca, &error), qPrintable(error));
}

void tst_HostSignIn::cleanup()
{
    NetSession::shared().clear();
    NetSession::shared().setSignInRequired(false);
    NetSession::shared().signInHandler = nullptr;
}

void tst_HostSignIn::atStart_data()
{
    QTest::addColumn<bool>("signInServer");
    QTest::addColumn<bool>("tls");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<Start>("outcome");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("status"); // in the status bar afterwards

    const QString refused = QStringLiteral("Usuário ou senha inválidos.");
    const QString plain = QStringLiteral("Conexão sem criptografia");
    QTest::newRow("server without sign-in")
        << false << false << QStringList() << Start::NotNeeded << QStringList() << plain;
    QTest::newRow("signed in over TLS")
        << true << true << QStringList{"demo:s3nh@"} << Start::SignedIn << QStringList{""}
        << "Usuário: demo | Conexão criptografada (TLSv1.3)";
    QTest::newRow("wrong password, then right")
        << true << false << QStringList{"demo:errada", "demo:s3nh@"} << Start::SignedIn
        << QStringList{"", refused} << "Usuário: demo | " + plain;
    const QString nobody = QStringLiteral("Usuário: (não identificado) | ") + plain;
    QTest::newRow("three refusals end the start")
        << true << false << QStringList{"demo:a", "demo:b", "demo:c"} << Start::Refused
        << QStringList{"", refused, refused} << nobody;
    QTest::newRow("cancelled") << true << false << QStringList{"Esc"} << Start::GaveUp
                               << QStringList{""} << nobody;
}

void tst_HostSignIn::atStart()
{
    QFETCH(bool, signInServer);
    QFETCH(bool, tls);
    QFETCH(QStringList, entries);
    QFETCH(Start, outcome);
    QFETCH(QStringList, shown);
    QFETCH(QString, status);
    ScriptedServer server;
    if (signInServer)
        server.requireSignIn(QStringLiteral("demo"), QStringLiteral("s3nh@"));
    if (tls)
        server.useTls({m_ca.serverCert, m_ca.serverKey});
    QVERIFY(server.startListening());
    useServer(server.port(), tls ? m_ca.caCert : QString());
    HostMainWindow window;
    window.show();

    DialogDriver driver(entries);
    const HostSignIn::StartResult result = HostSignIn::atStart(SignInDialog::asker(&window));
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(driver.shown, shown);
    QCOMPARE(driver.titles, QStringList(shown.size(), QStringLiteral("Entrar")));
    // The login typed stays for the next try, which starts in the password.
    for (int i = 1; i < driver.focused.size(); ++i)
        QCOMPARE(driver.focused.at(i), QStringLiteral("edtSenha"));
    QCOMPARE(HostSignIn::startMayGoOn(result.outcome), outcome != Start::Refused
                                                           && outcome != Start::GaveUp);
    if (outcome == Start::Refused) {
        QVERIFY2(result.message.contains("3 tentativas: Usuário ou senha inválidos."),
                 qPrintable(result.message));
    }
    QVERIFY2(window.statusText().contains(status), qPrintable(window.statusText()));
    QCOMPARE(NetSession::shared().signedIn(), outcome == Start::SignedIn);
}

// Twelve hours on, the server refuses a call: the dialog comes up with its
// text and, once signed in again, the call goes through.
void tst_HostSignIn::expiredSessionAsksAgain()
{
    ScriptedServer server;
    server.requireSignIn(QStringLiteral("demo"), QStringLiteral("s3nh@"));
    QVERIFY(server.startListening());
    useServer(server.port(), QString());
    HostMainWindow window;
    window.show();
    const SignInAttempts::Ask ask = SignInDialog::asker(&window);
    {
        DialogDriver driver({"demo:s3nh@"});
        QCOMPARE(HostSignIn::atStart(ask).outcome, Start::SignedIn);
    }
    HostSignIn::askAgainWhenRefused(ask);
    TNetConnection net;
    net.SetServerName(QStringLiteral("Srv"));
    net.SetPort(server.port());
    QVERIFY(net.Call(QStringLiteral("GetFiliOL"), {}).ok);

    server.expireSessions();
    DialogDriver driver({"demo:errada", "demo:s3nh@"});
    const TServerReply reply = net.Call(QStringLiteral("GetSoli"), {QStringLiteral("0001")});
    QVERIFY2(reply.ok, qPrintable(reply.errorMessage));
    QCOMPARE(reply.result.toObject().value("method").toString(), QStringLiteral("Srv.GetSoli"));
    QCOMPARE(driver.shown, QStringList({QStringLiteral("Autenticação necessária"),
                                        QStringLiteral("Usuário ou senha inválidos.")}));
}

QTEST_MAIN(tst_HostSignIn)
#include "tst_hostsignin.moc"
