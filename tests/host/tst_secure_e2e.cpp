#include "AppServerProcess.h"
#include "HostMainWindow.h"
#include "HostSignIn.h"
#include "SignInDriver.h"
#include "TestCa.h"

#include "net/NetSession.h"
#include "net/TNetConnection.h"
#include "services/HostConfig.h"
#include "VexErrors.h"

#include <QDateTime>
#include <QFile>
#include <QMessageAuthenticationCode>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

// The host and its connections against a real vex-appserver with TLS and
// sign-in, over the cascade's SQLite company.
class tst_SecureE2E : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();
    void signInAtStart();
    void reconnectResumesWithoutAsking();
    void signInOnAnotherConnectionIsTaken();
    void refusedTokenAsksAgain_data();
    void refusedTokenAsksAgain();
    void otherAuthorityRefused();
    void unsignedConnectionRefused();
    void serverWithoutSignInAsksNothing();

private:
    bool startServer(QString *error);
    QString token(const QByteArray &key, const QString &login, qint64 expiry) const;
    QTemporaryDir m_dir;
    TestCa m_ca;
    TestCa m_otherCa;
    QByteArray m_key;
    VexTest::AppServerProcess m_server;
    quint16 m_port = 0;
};

namespace {
const char kLogin[] = "demo";
const char kPassword[] = "Senha-de-teste-1";
const char kServerName[] = "VEX00300.rdmAcomPOL";

TNetConnection *connection(QObject *parent)
{
    auto *net = new TNetConnection(parent);
    net->SetServerName(QString::fromLatin1(kServerName));
    net->SetHost(HostConfig::current().serverHost);
    net->SetPort(HostConfig::current().serverPort);
    return net;
}

QByteArray base64Url(const QByteArray &bytes)
{
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals);
}
} // namespace

bool tst_SecureE2E::startServer(QString *error)
{
    m_server.setExtraArguments({"--tls-cert", m_ca.serverCert, "--tls-key", m_ca.serverKey,
                                "--auth", "db", "--auth-key-file", m_dir.filePath("auth.key")});
    if (!m_server.start(error, m_port))
        return false;
    m_port = m_server.port();
    return true;
}

QString tst_SecureE2E::token(const QByteArray &key, const QString &login, qint64 expiry) const
{
    const QByteArray body = "v1." + base64Url(login.toUtf8()) + '.' + QByteArray::number(expiry);
    const QByteArray mac =
        QMessageAuthenticationCode::hash(body, key, QCryptographicHash::Sha256);
    return QString::fromLatin1(body + '.' + base64Url(mac));
}

void tst_SecureE2E::initTestCase()
{
    QString error;
    QVERIFY2(TestCa::make(m_dir.path(), "e2e", &m_ca, &error), qPrintable(error));
    QVERIFY2(TestCa::make(m_dir.path(), "other", &m_otherCa, &error), qPrintable(error));
    m_key.resize(48);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(m_key.data()), 12);
    QFile keyFile(m_dir.filePath("auth.key"));
    QVERIFY(keyFile.open(QIODevice::WriteOnly) && keyFile.write(m_key) == m_key.size());
    keyFile.close();
    keyFile.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QVERIFY2(m_server.addUser(kLogin, kPassword, &error), qPrintable(error));
    QVERIFY2(startServer(&error), qPrintable(error));

    HostConfig config;
    config.serverPort = m_port;
    config.serverTls = true;
    config.serverCaFile = m_ca.caCert;
    HostConfig::setCurrent(config);
}

void tst_SecureE2E::cleanup()
{
    NetSession::shared().clear();
    NetSession::shared().setSignInRequired(false);
    NetSession::shared().signInHandler = nullptr;
}

void tst_SecureE2E::signInAtStart()
{
    HostMainWindow window;
    window.show();
    DialogDriver driver({QStringLiteral("demo:errada"), QStringLiteral("demo:") + kPassword});
    const HostSignIn::StartResult result = HostSignIn::atStart(SignInDialog::asker(&window));
    QCOMPARE(result.outcome, HostSignIn::Start::SignedIn);
    QCOMPARE(driver.shown, QStringList({"", "Usuário ou senha inválidos."}));
    QCOMPARE(NetSession::shared().login(), QString::fromLatin1(kLogin));
    // Twelve hours, as the server gives them.
    const qint64 left = QDateTime::currentDateTime().secsTo(NetSession::shared().expires());
    QVERIFY2(left > 11 * 3600 && left <= 12 * 3600 + 60, qPrintable(QString::number(left)));
    const QString status = window.statusText();
    QVERIFY2(status.contains(QStringLiteral("Usuário: demo | Conexão criptografada (TLSv1.3)")),
             qPrintable(status));
}

// The server dies and comes back (or another one with the same key takes
// over): the token is resumed on the new connection, nobody is asked.
void tst_SecureE2E::reconnectResumesWithoutAsking()
{
    TNetConnection signIn;
    signIn.SetPort(m_port);
    QVERIFY(signIn.SignIn(kLogin, kPassword).ok);
    int asked = 0;
    NetSession::shared().signInHandler = [&asked](TNetConnection *, const QString &) {
        ++asked;
        return false;
    };
    TNetConnection *net = connection(this);
    const TServerReply first = net->Call(QStringLiteral("GetFiliOL"), {});
    QVERIFY2(first.ok, qPrintable(first.errorMessage));

    m_server.kill();
    QString error;
    QVERIFY2(startServer(&error), qPrintable(error));
    const TServerReply again = net->Call(QStringLiteral("GetFiliOL"), {});
    QVERIFY2(again.ok, qPrintable(again.errorMessage));
    QCOMPARE(again.result, first.result);
    QCOMPARE(asked, 0);
    QVERIFY(net->Encrypted());
    delete net;
}

// Two screens share the process's session: a connection opened before the
// sign-in, refused, takes the session the other one signed in with.
void tst_SecureE2E::signInOnAnotherConnectionIsTaken()
{
    int asked = 0;
    NetSession::shared().signInHandler = [&asked](TNetConnection *, const QString &) {
        ++asked;
        return false;
    };
    std::unique_ptr<TNetConnection> early(connection(nullptr));
    early->Open();
    QVERIFY(early->Connected());
    std::unique_ptr<TNetConnection> signIn(connection(nullptr));
    QVERIFY(signIn->SignIn(kLogin, kPassword).ok);
    const TServerReply reply = early->Call(QStringLiteral("GetFiliOL"), {});
    QVERIFY2(reply.ok, qPrintable(reply.errorMessage));
    QCOMPARE(asked, 0);
}

// A token the server will not take (another key, out of date, changed by
// hand): the person is asked with the server's text, and then the call runs.
void tst_SecureE2E::refusedTokenAsksAgain_data()
{
    QTest::addColumn<QString>("token");
    const qint64 later = QDateTime::currentSecsSinceEpoch() + 3600;
    QTest::newRow("another key") << token(QByteArray(48, 'k'), kLogin, later);
    QTest::newRow("expired") << token(m_key, kLogin, QDateTime::currentSecsSinceEpoch() - 5);
    QString tampered = token(m_key, kLogin, later);
    tampered.replace(base64Url(kLogin), base64Url("admin"));
    QTest::newRow("login changed") << tampered;
    QTest::newRow("not a token") << QStringLiteral("v1.x");
}

void tst_SecureE2E::refusedTokenAsksAgain()
{
    QFETCH(QString, token);
    NetSession::shared().signedInAs(token, kLogin, QDateTime::currentDateTime().addSecs(60));
    HostMainWindow window;
    window.show();
    HostSignIn::askAgainWhenRefused(SignInDialog::asker(&window));
    std::unique_ptr<TNetConnection> net(connection(nullptr));
    DialogDriver driver({QStringLiteral("demo:") + kPassword});
    const TServerReply reply = net->Call(QStringLiteral("GetFiliOL"), {});
    QVERIFY2(reply.ok, qPrintable(reply.errorMessage));
    QCOMPARE(driver.shown,
             QStringList{QStringLiteral("Sessão expirada ou inválida. Entre novamente.")});
    QVERIFY(NetSession::shared().token() != token);
}

void tst_SecureE2E::otherAuthorityRefused()
{
    TNetConnection net;
    net.SetPort(m_port);
    net.SetCaCertificates(QSslCertificate::fromPath(m_otherCa.caCert));
    try {
        net.Call(QStringLiteral("system.ping"), {});
        QFAIL("connected to a server of an unknown authority");
    } catch (const ENetError &error) {
        QVERIFY2(error.message().contains(QStringLiteral(
                     "certificado do servidor não confiável: emitido por uma autoridade não "
                     "reconhecida")),
                 qPrintable(error.message()));
    }
}

void tst_SecureE2E::unsignedConnectionRefused()
{
    NetSession nobody;
    std::unique_ptr<TNetConnection> net(connection(nullptr));
    net->SetSession(&nobody);
    const TServerReply ping = net->Call(QStringLiteral("system.ping"), {});
    QVERIFY2(ping.ok, qPrintable(ping.errorMessage));
    const TServerReply reply = net->Call(QStringLiteral("GetFiliOL"), {});
    QCOMPARE(reply.errorCode, -32001);
    QCOMPARE(reply.errorMessage, QStringLiteral("Autenticação necessária"));
}

// As ./run starts it: loopback, no TLS, no --auth. The host starts as it
// always did.
void tst_SecureE2E::serverWithoutSignInAsksNothing()
{
    VexTest::AppServerProcess open;
    QString error;
    QVERIFY2(open.start(&error), qPrintable(error));
    const HostConfig secure = HostConfig::current();
    HostConfig config;
    config.serverPort = open.port();
    HostConfig::setCurrent(config);
    HostMainWindow window;
    DialogDriver driver({});
    const HostSignIn::StartResult result = HostSignIn::atStart(SignInDialog::asker(&window));
    HostSignIn::askAgainWhenRefused(SignInDialog::asker(&window));
    std::unique_ptr<TNetConnection> net(connection(nullptr));
    const TServerReply reply = net->Call(QStringLiteral("GetFiliOL"), {});
    HostConfig::setCurrent(secure);
    QCOMPARE(result.outcome, HostSignIn::Start::NotNeeded);
    QVERIFY2(reply.ok, qPrintable(reply.errorMessage));
    QCOMPARE(driver.shown, QStringList());
    QVERIFY(!NetSession::shared().signedIn());
    QVERIFY2(window.statusText().endsWith(QStringLiteral("| Conexão sem criptografia")),
             qPrintable(window.statusText()));
}

QTEST_MAIN(tst_SecureE2E)
#include "tst_secure_e2e.moc"
