// TLS and sign-in of vex-appserver through real processes: the refusals
// of a server that would be open to the network, real handshakes against a
// certificate authority the suite makes with openssl, the sign-in methods
// over SQLite and PostgreSQL, the limits before sign-in, tokens across
// instances, and vex-db user. Users get few PBKDF2 rounds (the test flag),
// except where the unknown-login path pays the full count.
#include "AppServerHarness.h"

#include "Database.h"
#include "RdmAcomPOL.h"
#include "UserStore.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QMessageAuthenticationCode>
#include <QProcess>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslCipher>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTest>
#include <QThread>

#include <map>
#include <span>
#include <memory>
#include <vector>

#include <csignal>
#include <sys/stat.h>

namespace {

constexpr int AuthError = -32001;
const QString BadCredentials = QStringLiteral("Usuário ou senha inválidos.");
const QString BadSession = QStringLiteral("Sessão expirada ou inválida. Entre novamente.");
const QString Required = QStringLiteral("Autenticação necessária");

QByteArray requestLine(const QString &method, const QJsonArray &params, qint64 id = 1)
{
    return QJsonDocument(
               QJsonObject {
                   { "jsonrpc", "2.0" }, { "id", id }, { "method", method }, { "params", params } })
               .toJson(QJsonDocument::Compact)
        + '\n';
}

QByteArray readLine(QTcpSocket &s, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!s.canReadLine() && !deadline.hasExpired()
           && s.state() == QAbstractSocket::ConnectedState)
        s.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime())));
    return s.canReadLine() ? s.readLine() : QByteArray();
}

bool connectPlain(QTcpSocket &s, quint16 port)
{
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    return s.waitForConnected(5000);
}

// Another client address: all of 127.0.0.0/8 is this machine's.
bool connectFrom(QTcpSocket &s, quint16 port, const QString &address)
{
    return s.bind(QHostAddress(address)) && connectPlain(s, port);
}

// Every socket connects and sends the same sign-in, all before any answer.
bool sendLogins(std::span<QTcpSocket> sockets, quint16 port, const QString &login,
                const QString &password)
{
    for (QTcpSocket &s : sockets) {
        if (!connectPlain(s, port))
            return false;
    }
    for (QTcpSocket &s : sockets) {
        s.write(requestLine("session.login", { login, password }));
        s.flush();
    }
    return true;
}

QJsonObject call(QTcpSocket &s, const QString &method, const QJsonArray &params)
{
    s.write(requestLine(method, params));
    s.flush();
    return QJsonDocument::fromJson(readLine(s)).object();
}

QJsonObject reply(QTcpSocket &s, int timeoutMs = 10000)
{
    return QJsonDocument::fromJson(readLine(s, timeoutMs)).object();
}

int errorCode(const QJsonObject &reply)
{
    return reply.value("error").toObject().value("code").toInt();
}

QString errorMessage(const QJsonObject &reply)
{
    return reply.value("error").toObject().value("message").toString();
}

// The peer closed: nothing more arrives and the socket ends.
bool droppedWithin(QTcpSocket &s, int ms)
{
    QDeadlineTimer deadline(ms);
    while (s.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired())
        s.waitForReadyRead(50);
    return s.state() != QAbstractSocket::ConnectedState;
}

bool run(const QString &program, const QStringList &args, QString *output,
         const QByteArray &input = {}, int *exitCode = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return false;
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    *output = QString::fromUtf8(p.readAll());
    if (exitCode)
        *exitCode = p.exitCode();
    return p.exitStatus() == QProcess::NormalExit && (exitCode || p.exitCode() == 0);
}

// A certificate authority and a server certificate for 127.0.0.1 and
// localhost, a second authority the server is not signed by, and two
// session keys.
struct Pki
{
    QTemporaryDir dir;
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }

    bool make(QString *error)
    {
        const QString openssl = QStringLiteral("openssl");
        const auto ca = [&](const char *name, const char *cn) {
            return run(openssl,
                       { "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                         QStringLiteral("/CN=%1").arg(cn), "-keyout", path(name) + ".key", "-out",
                         path(name) + ".pem" },
                       error);
        };
        QFile ext(path("san.cnf"));
        if (!ca("ca", "Vex Test CA") || !ca("otherca", "Other CA")
            || !ext.open(QIODevice::WriteOnly))
            return false;
        ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n");
        ext.close();
        if (!run(openssl,
                 { "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost", "-keyout",
                   path("server.key"), "-out", path("server.csr") },
                 error)
            || !run(openssl,
                    { "x509", "-req", "-in", path("server.csr"), "-CA", path("ca.pem"), "-CAkey",
                      path("ca.key"), "-CAcreateserial", "-days", "2", "-extfile", path("san.cnf"),
                      "-out", path("server.pem") },
                    error))
            return false;
        for (const char *key : { "server.key", "otherca.key" })
            QFile::setPermissions(path(key), QFile::ReadOwner | QFile::WriteOwner);
        return writeKey("auth.key", QByteArray(32, 'k'))
            && writeKey("other.key", QByteArray(40, 'o'));
    }
    bool writeKey(const char *name, const QByteArray &bytes) const
    {
        QFile f(path(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return false;
        return f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    }
    QStringList tlsArgs() const
    {
        return { "--tls-cert", path("server.pem"), "--tls-key", path("server.key") };
    }
    QStringList authArgs(const char *key = "auth.key") const
    {
        return { "--auth", "db", "--auth-key-file", path(key) };
    }
};

// A certificate of the test CA valid from `start` to `end` (openssl ca
// dates, YYYYMMDDHHMMSSZ), with the server's key.
bool certificateWithDates(const Pki &pki, const char *name, const QString &start,
                          const QString &end, QString *error)
{
    QFile config(pki.path("ca.cnf")), index(pki.path("index.txt"));
    if (!config.open(QIODevice::WriteOnly) || !index.open(QIODevice::WriteOnly))
        return false;
    config.write("[ca]\ndefault_ca = d\n[d]\ndatabase = index.txt\nnew_certs_dir = .\n"
                 "serial = ca.srl\ndefault_md = sha256\npolicy = p\nunique_subject = no\n"
                 "[p]\ncommonName = supplied\n");
    config.close();
    QProcess openssl;
    openssl.setWorkingDirectory(pki.dir.path());
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start("openssl",
                  { "ca", "-batch", "-config", "ca.cnf", "-cert", "ca.pem", "-keyfile", "ca.key",
                    "-in", "server.csr", "-out", QLatin1String(name), "-startdate", start,
                    "-enddate", end });
    openssl.waitForFinished(30000);
    *error = QString::fromUtf8(openssl.readAll());
    return openssl.exitCode() == 0;
}

QString vexDb()
{
    return QStringLiteral(VEX_BIN_DIR "/vex-db");
}

// A user with few rounds, through vex-db and its standard input.
bool addUser(const QString &url, const QString &login, const QString &password, QString *error)
{
    return run(vexDb(),
               { "user", "add", login, "--database", url, "--iterations", "1000",
                 "--test-weak-iterations" },
               error, password.toUtf8() + '\n');
}

QString craftToken(const QByteArray &key, const QString &login, qint64 expiry)
{
    constexpr auto b64 = QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals;
    const QByteArray head = "v1." + login.toUtf8().toBase64(b64) + '.' + QByteArray::number(expiry);
    return QString::fromLatin1(
        head + '.'
        + QMessageAuthenticationCode::hash(head, key, QCryptographicHash::Sha256).toBase64(b64));
}

} // namespace

class tst_AppServerSecurity final : public QObject
{
    Q_OBJECT

private:
    Pki m_pki;
    std::unique_ptr<FixtureDatabase> m_sqlite; // for the cases that are not about the database

    std::unique_ptr<FixtureDatabase> database(const QString &kind);
    // A TLS socket verified against `caFile`; false when the handshake fails.
    bool connectTls(QSslSocket &socket, quint16 port, const QString &caFile, QString *error);
    bool signInAs(QTcpSocket &socket, const QString &login, const QString &password);
    // Starts a server with sign-in and `extra`; the milliseconds of one
    // sign-in of a made-up login on it, the cost of one full password
    // check and the unit of the timing bounds below (-1: no server).
    qint64 startTimingChecks(AppServerProcess &server, const QStringList &extra);
    std::unique_ptr<FixtureDatabase> databaseWithUsers(const QString &kind,
                                                       const QStringList &logins);
    static QJsonObject login(QTcpSocket &s, const QString &login, const QString &password)
    {
        return call(s, "session.login", { login, password });
    }

private Q_SLOTS:
    void initTestCase();
    void refusesToStart_data();
    void refusesToStart();
    void insecureWarnsOnReadyLine();
    void handshake_data();
    void handshake();
    void signIn_data();
    void signIn();
    void everyMethodRefusedBeforeSignIn();
    void openServerNeedsNoSignIn();
    void lockout_data();
    void lockout();
    void preAuthConnectionsPerAddress();
    void preAuthCapLeavesRoomForSignIns();
    void closedSignInsAreDropped();
    void signInQueueIsBounded();
    void sigtermDropsQueuedSignIns();
    void failureLimits_data();
    void failureLimits();
    void parallelGuessesCountedOnce_data();
    void parallelGuessesCountedOnce();
    void sessionEndsWhenRevoked_data();
    void sessionEndsWhenRevoked();
    void logoutEndsTheSession();
    void proxyProtocol_data();
    void proxyProtocol();
    void certificateExpiringSoonWarned();
    void tls12Ciphers_data();
    void tls12Ciphers();
    void databasePasswordFile();
    void preAuthLineLimit();
    void signInTimeout();
    void tokens_data();
    void tokens();
    void drainOverTls();
    void busyOverTlsClosesWithoutClearText();
    void vexDbUser_data();
    void vexDbUser();
};

std::unique_ptr<FixtureDatabase> tst_AppServerSecurity::database(const QString &kind)
{
    QString error;
    auto db = FixtureDatabase::create(kind == u"sqlite" ? FixtureDatabase::Kind::SQLite
                                                        : FixtureDatabase::Kind::PostgreSQL,
                                      VEX_SERVER_FIXTURE, &error);
    if (!db)
        qWarning("fixture: %s", qPrintable(error));
    return db;
}

bool tst_AppServerSecurity::connectTls(QSslSocket &socket, quint16 port, const QString &caFile,
                                       QString *error)
{
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(caFile));
    socket.setSslConfiguration(config);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), port);
    const bool ok = socket.waitForEncrypted(10000);
    QStringList reasons;
    for (const QSslError &e : socket.sslHandshakeErrors())
        reasons << e.errorString();
    *error = reasons.isEmpty() ? socket.errorString() : reasons.join(u';');
    return ok;
}

bool tst_AppServerSecurity::signInAs(QTcpSocket &socket, const QString &user,
                                     const QString &password)
{
    return !login(socket, user, password)
                .value("result")
                .toObject()
                .value("token")
                .toString()
                .isEmpty();
}

void tst_AppServerSecurity::initTestCase()
{
    QString error;
    QVERIFY2(m_pki.make(&error), qPrintable(error));
    QVERIFY2(
        certificateWithDates(m_pki, "expired.pem", "20200101000000Z", "20200201000000Z", &error),
        qPrintable(error));
    QVERIFY2(
        certificateWithDates(m_pki, "future.pem", "20400101000000Z", "20410101000000Z", &error),
        qPrintable(error));
    m_sqlite = database("sqlite");
    QVERIFY(m_sqlite);
    QVERIFY2(addUser(m_sqlite->url(), "ana", "s3nha-de-teste", &error), qPrintable(error));
}

void tst_AppServerSecurity::refusesToStart_data()
{
    QTest::addColumn<QString>("listen");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("chmodFile"); // a file given `mode` first, then 600 again
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("named"); // what the reason must name

    const QStringList tls = m_pki.tlsArgs();
    const QStringList auth = m_pki.authArgs();
    QTest::newRow("any address, nothing")
        << "0.0.0.0:0" << QStringList {} << "" << 0 << 2
        << QStringList { "--tls-cert", "--auth db", "--insecure" };
    QTest::newRow("any address, TLS only")
        << "0.0.0.0:0" << tls << "" << 0 << 2 << QStringList { "--auth db", "--auth-key-file" };
    QTest::newRow("any address, sign-in only")
        << "0.0.0.0:0" << auth << "" << 0 << 2 << QStringList { "--tls-cert", "--tls-key" };
    QTest::newRow("key without certificate")
        << "127.0.0.1:0" << QStringList { "--tls-key", m_pki.path("server.key") } << "" << 0 << 2
        << QStringList { "--tls-cert" };
    QTest::newRow("auth without key file") << "127.0.0.1:0" << QStringList { "--auth", "db" } << ""
                                           << 0 << 2 << QStringList { "--auth-key-file" };
    QTest::newRow("unknown auth mode")
        << "127.0.0.1:0"
        << QStringList { "--auth", "ldap", "--auth-key-file", m_pki.path("auth.key") } << "" << 0
        << 2 << QStringList { "ldap" };
    QTest::newRow("TLS key readable by others")
        << "0.0.0.0:0" << tls + auth << "server.key" << 0644 << 1
        << QStringList { m_pki.path("server.key"), "chmod" };
    QTest::newRow("session key readable by others") << "127.0.0.1:0" << auth << "auth.key" << 0644
                                                    << 1 << QStringList { m_pki.path("auth.key") };
    QTest::newRow("session key too short")
        << "127.0.0.1:0"
        << QStringList { "--auth", "db", "--auth-key-file", m_pki.path("short.key") } << "" << 0
        << 1 << QStringList { m_pki.path("short.key"), "32" };
    QTest::newRow("certificate not PEM") << "127.0.0.1:0"
                                         << QStringList { "--tls-cert", m_pki.path("san.cnf"),
                                                          "--tls-key", m_pki.path("server.key") }
                                         << "" << 0 << 1 << QStringList { m_pki.path("san.cnf") };
    QTest::newRow("key not PEM") << "127.0.0.1:0"
                                 << QStringList { "--tls-cert", m_pki.path("server.pem"),
                                                  "--tls-key", m_pki.path("auth.key") }
                                 << "" << 0 << 1 << QStringList { m_pki.path("auth.key") };
    QTest::newRow("key of another certificate")
        << "127.0.0.1:0"
        << QStringList { "--tls-cert", m_pki.path("server.pem"), "--tls-key",
                         m_pki.path("otherca.key") }
        << "" << 0 << 1 << QStringList { m_pki.path("server.pem"), m_pki.path("otherca.key") };
    QTest::newRow("certificate missing") << "127.0.0.1:0"
                                         << QStringList { "--tls-cert", m_pki.path("none.pem"),
                                                          "--tls-key", m_pki.path("server.key") }
                                         << "" << 0 << 1 << QStringList { m_pki.path("none.pem") };
    // Any permission for group or others, not only reading.
    for (const int mode : { 0620, 0602, 0622 }) {
        QTest::addRow("session key mode %o", mode)
            << "127.0.0.1:0" << auth << "auth.key" << mode << 1
            << QStringList { m_pki.path("auth.key"), "chmod 600" };
        QTest::addRow("TLS key mode %o", mode) << "127.0.0.1:0" << tls << "server.key" << mode << 1
                                               << QStringList { m_pki.path("server.key") };
    }
    QTest::newRow("session key all zeros")
        << "127.0.0.1:0"
        << QStringList { "--auth", "db", "--auth-key-file", m_pki.path("zero.key") } << "" << 0 << 1
        << QStringList { m_pki.path("zero.key"), "zeros" };
    for (const char *cert : { "expired.pem", "future.pem" }) {
        QTest::addRow("certificate %s", cert)
            << "127.0.0.1:0"
            << QStringList { "--tls-cert", m_pki.path(cert), "--tls-key", m_pki.path("server.key") }
            << "" << 0 << 1 << QStringList { m_pki.path(cert), "certificado" };
    }
    QTest::newRow("database password file readable by others")
        << "127.0.0.1:0" << QStringList { "--database-password-file", m_pki.path("pw.txt") }
        << "pw.txt" << 0640 << 2 << QStringList { m_pki.path("pw.txt") };
    QTest::newRow("database password file with SQLite")
        << "127.0.0.1:0" << QStringList { "--database-password-file", m_pki.path("pw.txt") } << ""
        << 0 << 2 << QStringList { "postgresql://" };
    QTest::newRow("proxy protocol not an address")
        << "127.0.0.1:0" << QStringList { "--proxy-protocol", "balanceador" } << "" << 0 << 2
        << QStringList { "--proxy-protocol", "balanceador" };
    QTest::newRow("connections without sign-in not below the cap")
        << "127.0.0.1:0"
        << auth + QStringList { "--max-connections", "10", "--preauth-max-connections", "10" } << ""
        << 0 << 2 << QStringList { "--preauth-max-connections" };
}

void tst_AppServerSecurity::refusesToStart()
{
    QFETCH(QString, listen);
    QFETCH(QStringList, args);
    QFETCH(QString, chmodFile);
    QFETCH(int, mode);
    QFETCH(int, exitCode);
    QFETCH(QStringList, named);
    QVERIFY(m_pki.writeKey("short.key", QByteArray(31, 's')));
    QVERIFY(m_pki.writeKey("zero.key", QByteArray(32, '\0')));
    QVERIFY(m_pki.writeKey("pw.txt", "segredo\n"));
    const QString readable = chmodFile.isEmpty() ? QString() : m_pki.dir.filePath(chmodFile);
    if (!readable.isEmpty())
        QCOMPARE(::chmod(QFile::encodeName(readable).constData(), mode_t(mode)), 0);
    QString output;
    int code = -1;
    QVERIFY(run(AppServerProcess::program(),
                QStringList { "--database", m_sqlite->url(), "--listen", listen } + args, &output,
                {}, &code));
    if (!readable.isEmpty())
        QFile::setPermissions(readable, QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(code, exitCode);
    QCOMPARE(output.trimmed().count(u'\n'), 0); // one line
    for (const QString &name : named)
        QVERIFY2(output.contains(name), qPrintable(output));
}

void tst_AppServerSecurity::insecureWarnsOnReadyLine()
{
    QProcess p;
    p.start(AppServerProcess::program(),
            { "--database", m_sqlite->url(), "--listen", "0.0.0.0:0", "--insecure" });
    QVERIFY(p.waitForStarted());
    QDeadlineTimer deadline(20000);
    while (!p.canReadLine() && !deadline.hasExpired() && p.state() == QProcess::Running)
        p.waitForReadyRead(200);
    const QString line = QString::fromUtf8(p.readLine());
    p.terminate();
    p.waitForFinished();
    QVERIFY2(line.contains("pronto em 0.0.0.0:") && line.contains("AVISO: --insecure"),
             qPrintable(line));
}

void tst_AppServerSecurity::handshake_data()
{
    QTest::addColumn<QString>("caFile"); // empty: a plain-text client
    QTest::addColumn<bool>("served");
    QTest::newRow("test CA") << m_pki.path("ca.pem") << true;
    QTest::newRow("other CA") << m_pki.path("otherca.pem") << false;
    QTest::newRow("plain text") << QString() << false;
}

void tst_AppServerSecurity::handshake()
{
    QFETCH(QString, caFile);
    QFETCH(bool, served);
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.tlsArgs(), &error), qPrintable(error));
    if (caFile.isEmpty()) {
        QTcpSocket plain;
        QVERIFY(connectPlain(plain, server.port()));
        plain.write(requestLine("system.ping", {}));
        QVERIFY(droppedWithin(plain, 3000));
        QVERIFY(!plain.readAll().contains("pong"));
        return;
    }
    QSslSocket socket;
    const bool encrypted = connectTls(socket, server.port(), caFile, &error);
    QCOMPARE(encrypted, served);
    if (!served) {
        QVERIFY2(!error.isEmpty(), "a refused certificate names its reason");
        return;
    }
    QVERIFY(socket.sessionProtocol() >= QSsl::TlsV1_2);
    QCOMPARE(call(socket, "system.ping", {}).value("result").toString(), QStringLiteral("pong"));
    // Loopback without --auth: the business methods answer without sign-in.
    QVERIFY(call(socket, ServerPrefix + "GetFiliOL", {}).contains("result"));
}

void tst_AppServerSecurity::signIn_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("login");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    for (const QString &kind : AllDatabaseKinds) {
        const QByteArray k = kind.toLatin1();
        QTest::addRow("%s right password", k.constData()) << kind << "ana"
                                                          << "s3nha-de-teste" << true;
        QTest::addRow("%s wrong password", k.constData()) << kind << "ana"
                                                          << "senha" << false;
        QTest::addRow("%s unknown user", k.constData()) << kind << "bia"
                                                        << "s3nha-de-teste" << false;
        QTest::addRow("%s disabled user", k.constData()) << kind << "caio"
                                                         << "s3nha-de-teste" << false;
    }
}

void tst_AppServerSecurity::signIn()
{
    QFETCH(QString, kind);
    QFETCH(QString, login);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = database(kind);
    QVERIFY(db);
    QString error;
    QVERIFY2(addUser(db->url(), "ana", "s3nha-de-teste", &error), qPrintable(error));
    QVERIFY2(addUser(db->url(), "caio", "s3nha-de-teste", &error), qPrintable(error));
    QVERIFY2(run(vexDb(), { "user", "disable", "caio", "--database", db->url() }, &error),
             qPrintable(error));
    AppServerProcess server;
    QVERIFY2(server.start(db->url(), m_pki.tlsArgs() + m_pki.authArgs(), &error),
             qPrintable(error));
    QSslSocket s;
    QVERIFY2(connectTls(s, server.port(), m_pki.path("ca.pem"), &error), qPrintable(error));

    const QJsonObject before = call(s, ServerPrefix + "GetFiliOL", {});
    QCOMPARE(errorCode(before), AuthError);
    QCOMPARE(errorMessage(before), Required);
    const QDateTime local = QDateTime::currentDateTime(); // OLE date-times are local
    const double now
        = FixtureParams::oleDay(local.date().year(), local.date().month(), local.date().day())
        + local.time().msecsSinceStartOfDay() / 86400000.0;
    const QJsonObject reply = this->login(s, login, password);
    if (!accepted) {
        QCOMPARE(errorCode(reply), AuthError);
        QCOMPARE(errorMessage(reply), BadCredentials);
        QCOMPARE(errorCode(call(s, ServerPrefix + "GetFiliOL", {})), AuthError);
        return;
    }
    const QJsonObject result = reply.value("result").toObject();
    QCOMPARE(result.value("login").toString(), login);
    QVERIFY(result.value("token").toString().startsWith("v2."));
    const double hours = (result.value("expires").toDouble() - now) * 24;
    QVERIFY2(hours > 10.9 && hours < 13.1, qPrintable(QString::number(hours)));
    QVERIFY(call(s, ServerPrefix + "GetFiliOL", {}).value("result").toObject().contains("rows"));
}

void tst_AppServerSecurity::everyMethodRefusedBeforeSignIn()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.authArgs(), &error), qPrintable(error));
    QTcpSocket s;
    QVERIFY(connectPlain(s, server.port()));
    QStringList methods { "VEX00300.rdmAcomPOL.NoSuchMethod", "system.other" };
    for (const RdmAcomPOL::Method &m : RdmAcomPOL::methods())
        methods << ServerPrefix + m.name;
    for (const QString &method : std::as_const(methods)) {
        const QJsonObject reply = call(s, method, {});
        QCOMPARE(errorCode(reply), AuthError);
        QCOMPARE(errorMessage(reply), Required);
    }
    QCOMPARE(call(s, "system.ping", {}).value("result").toString(), QStringLiteral("pong"));
    // A refused resume leaves the connection as it was: still refused.
    QCOMPARE(errorMessage(call(s, "session.resume", { "" })), BadSession);
    QCOMPARE(errorCode(call(s, ServerPrefix + "GetFiliOL", {})), AuthError);
}

void tst_AppServerSecurity::openServerNeedsNoSignIn()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), {}, &error), qPrintable(error));
    RpcTestClient client;
    QVERIFY(client.connectTo(server.port()));
    const QJsonObject empty { { "token", "" }, { "expires", 0 }, { "login", "" } };
    for (const QJsonArray &params : { QJsonArray { "" }, QJsonArray { "v1.whatever.1.x" } }) {
        const QJsonObject reply = client.sendLine(requestLine("session.resume", params));
        QCOMPARE(reply.value("result").toObject(), empty);
    }
    QCOMPARE(
        client.sendLine(requestLine("session.login", { "ana", "x" })).value("result").toObject(),
        empty);
    QCOMPARE(errorCode(client.sendLine(requestLine("session.login", { "ana" }))), -32602);
}

void tst_AppServerSecurity::lockout_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("login");
    for (const QString &kind : AllDatabaseKinds) {
        QTest::addRow("%s known", qPrintable(kind)) << kind << "ana";
        QTest::addRow("%s unknown", qPrintable(kind)) << kind << "zeca";
    }
}

// After five failures a login waits 2 s, then 4 s after the next one; the
// wait holds for the right password too, and for a second instance over
// the same database, whether the login exists or not.
void tst_AppServerSecurity::lockout()
{
    QFETCH(QString, kind);
    QFETCH(QString, login);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = database(kind);
    QVERIFY(db);
    QString error;
    QVERIFY2(addUser(db->url(), "ana", "s3nha-de-teste", &error), qPrintable(error));
    AppServerProcess server, second;
    QVERIFY2(server.start(db->url(), m_pki.authArgs(), &error), qPrintable(error));
    QVERIFY2(second.start(db->url(), m_pki.authArgs(), &error), qPrintable(error));
    QTcpSocket s;
    QVERIFY(connectPlain(s, server.port()));
    for (int i = 0; i < 5; ++i)
        QCOMPARE(errorMessage(this->login(s, login, "errada")), BadCredentials);
    const QString waitTwo = QStringLiteral("Muitas tentativas de acesso. Tente novamente em 2 s.");
    QCOMPARE(errorMessage(this->login(s, login, "s3nha-de-teste")), waitTwo);
    // Known or not, the count is where every instance sees it.
    QTcpSocket other;
    QVERIFY(connectPlain(other, second.port()));
    QCOMPARE(errorMessage(this->login(other, login, "s3nha-de-teste")), waitTwo);
    QTest::qWait(2100);
    QCOMPARE(errorMessage(this->login(s, login, "errada")), BadCredentials);
    QCOMPARE(errorMessage(this->login(s, login, "s3nha-de-teste")),
             QStringLiteral("Muitas tentativas de acesso. Tente novamente em 4 s."));
    if (login != u"ana")
        return;
    QTest::qWait(4100);
    QVERIFY(signInAs(s, login, "s3nha-de-teste"));
    QVERIFY2(run(vexDb(), { "user", "list", "--database", db->url() }, &error), qPrintable(error));
    QVERIFY2(error.contains(QRegularExpression("\nana\tyes\t1000\t0\t-")), qPrintable(error));
}

void tst_AppServerSecurity::preAuthConnectionsPerAddress()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.authArgs(), &error), qPrintable(error));
    QTcpSocket sockets[6];
    const auto open = [&](QTcpSocket &s, const char *from = "127.0.0.1") {
        return connectFrom(s, server.port(), from)
            && call(s, "system.ping", {}).value("result").toString() == u"pong";
    };
    for (int i = 0; i < 3; ++i)
        QVERIFY(open(sockets[i]));
    QVERIFY(!open(sockets[3]));
    QVERIFY(droppedWithin(sockets[3], 1000));
    // One of the three signs in: it no longer counts.
    QVERIFY(signInAs(sockets[0], "ana", "s3nha-de-teste"));
    QVERIFY(open(sockets[4]));
    // One that closes still does: opening, trying and closing counts each time.
    sockets[1].disconnectFromHost();
    QTest::qWait(200);
    QVERIFY(!open(sockets[5]));
    QTcpSocket elsewhere;
    QVERIFY(open(elsewhere, "127.0.0.2"));
}

qint64 tst_AppServerSecurity::startTimingChecks(AppServerProcess &server, const QStringList &extra)
{
    QString error;
    QTcpSocket s;
    if (!server.start(m_sqlite->url(), m_pki.authArgs() + extra, &error)
        || !connectFrom(s, server.port(), QStringLiteral("127.0.0.9"))) {
        qWarning("%s", qPrintable(error));
        return -1;
    }
    QElapsedTimer timer;
    timer.start();
    return login(s, "ninguem", "nada").isEmpty() ? -1 : timer.elapsed();
}

// Users with few rounds, written straight into the database (no vex-db
// process each).
std::unique_ptr<FixtureDatabase> tst_AppServerSecurity::databaseWithUsers(const QString &kind,
                                                                          const QStringList &logins)
{
    auto db = database(kind);
    if (!db)
        return nullptr;
    const QString name = QStringLiteral("users");
    bool ok = true;
    {
        QString error;
        QSqlDatabase connection = VexDb::open(db->url(), name, &error);
        VexDb::UserStore store(connection);
        for (const QString &login : logins)
            ok = ok
                && store.add(login, "s3nha-de-teste", 1000, &error) == VexDb::UserStore::Result::Ok;
        if (!ok)
            qWarning("%s", qPrintable(error));
    }
    QSqlDatabase::removeDatabase(name);
    return ok ? std::move(db) : nullptr;
}

// A crowd of idle connections from many addresses takes at most the places
// left without sign-in, the oldest giving way: real clients still sign in.
void tst_AppServerSecurity::preAuthCapLeavesRoomForSignIns()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(),
                          m_pki.authArgs() + QStringList { "--max-connections", "40" }, &error),
             qPrintable(error));
    std::vector<std::unique_ptr<QTcpSocket>> crowd;
    for (int address = 1; address <= 20; ++address) {
        for (int i = 0; i < 3; ++i) {
            crowd.push_back(std::make_unique<QTcpSocket>());
            connectFrom(*crowd.back(), server.port(), QStringLiteral("127.0.1.%1").arg(address));
        }
    }
    QTest::qWait(500);
    int signedIn = 0;
    for (int i = 1; i <= 6; ++i) {
        QTcpSocket real;
        if (connectFrom(real, server.port(), QStringLiteral("127.0.2.%1").arg(i))
            && signInAs(real, "ana", "s3nha-de-teste"))
            ++signedIn;
    }
    QCOMPARE(signedIn, 6);
}

// Made-up logins sent by clients that close at once: their checks are
// dropped, so a real sign-in waits for at most those already running.
void tst_AppServerSecurity::closedSignInsAreDropped()
{
    AppServerProcess server;
    const qint64 check
        = startTimingChecks(server, { "--threads", "2", "--preauth-per-address", "1000" });
    QVERIFY(check > 0);
    constexpr int Flood = 30;
    for (int i = 0; i < Flood; ++i) {
        QTcpSocket s;
        QVERIFY(connectFrom(s, server.port(), "127.0.0.2"));
        s.write(requestLine("session.login", { QStringLiteral("falso%1").arg(i), "x" }));
        s.waitForBytesWritten(1000);
        s.abort();
    }
    QTest::qWait(200);
    QElapsedTimer timer;
    timer.start();
    QTcpSocket real;
    QVERIFY(connectPlain(real, server.port()));
    const QJsonObject r = login(real, "ana", "s3nha-de-teste");
    QVERIFY2(r.contains("result"), qPrintable(errorMessage(r)));
    qInfo("a sign-in after %d closed made-up ones: %lld ms (one check: %lld ms)", Flood,
          timer.elapsed(), check);
    // Working through them would take Flood / 2 checks.
    QVERIFY2(timer.elapsed() < 3 * check + 1000, qPrintable(QString::number(timer.elapsed())));
}

// Over the queue's bound a sign-in is told the server is busy at once.
void tst_AppServerSecurity::signInQueueIsBounded()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(),
                          m_pki.authArgs()
                              + QStringList { "--threads", "1", "--signin-queue", "2",
                                              "--preauth-per-address", "20" },
                          &error),
             qPrintable(error));
    QTcpSocket sockets[6];
    QVERIFY(sendLogins(sockets, server.port(), "zeca", "errada"));
    int busy = 0, refused = 0;
    for (QTcpSocket &s : sockets) {
        const QJsonObject r = reply(s, 30000);
        busy += errorCode(r) == -32000 && errorMessage(r).startsWith("Servidor ocupado");
        refused += errorMessage(r) == BadCredentials;
    }
    // One check running and two waiting; the third may not have started yet.
    QVERIFY2(busy == 3 || busy == 4, qPrintable(QString::number(busy)));
    QCOMPARE(busy + refused, 6);
}

// SIGTERM answers the checks still waiting at once instead of working
// through them.
void tst_AppServerSecurity::sigtermDropsQueuedSignIns()
{
    AppServerProcess server;
    const qint64 check
        = startTimingChecks(server, { "--threads", "1", "--preauth-per-address", "20" });
    QVERIFY(check > 0);
    QTcpSocket sockets[8];
    QVERIFY(sendLogins(sockets, server.port(), "zeca", "errada"));
    QTest::qWait(300);
    QElapsedTimer timer;
    timer.start();
    ::kill(pid_t(server.process().processId()), SIGTERM);
    int stopping = 0;
    for (QTcpSocket &s : sockets)
        stopping += errorMessage(reply(s)).startsWith("Servidor em encerramento");
    QCOMPARE(server.terminate(30000), 0);
    qInfo("SIGTERM with 8 sign-ins queued: exit in %lld ms (one check: %lld ms)", timer.elapsed(),
          check);
    QVERIFY(stopping >= 6);
    QVERIFY2(timer.elapsed() < 2 * check + 2000, qPrintable(QString::number(timer.elapsed())));
}

void tst_AppServerSecurity::failureLimits_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("failures"); // LOGIN@ADDRESS, one wrong password each
    QTest::addColumn<QString>("probe"); // LOGIN@ADDRESS with the right password
    QTest::addColumn<bool>("signedIn");
    const auto times = [](int n, const QString &attempt) { return QStringList(n, attempt); };
    QStringList fromMany, againstMany;
    for (int a = 1; a <= 10; ++a)
        fromMany += times(5, QStringLiteral("ana@127.0.1.%1").arg(a));
    for (int u = 1; u <= 5; ++u)
        againstMany += times(4, QStringLiteral("u%1@127.0.0.3").arg(u));
    for (const QString &kind : AllDatabaseKinds) {
        const QByteArray k = kind.toLatin1();
        QTest::addRow("%s a stranger's failures, another address", k.constData())
            << kind << times(5, "ana@127.0.0.2") << "ana@127.0.0.1" << true;
        QTest::addRow("%s a stranger's failures, the same address", k.constData())
            << kind << times(5, "ana@127.0.0.2") << "ana@127.0.0.2" << false;
        QTest::addRow("%s one login from many addresses", k.constData())
            << kind << fromMany << "ana@127.0.0.1" << false;
        QTest::addRow("%s one address against many logins", k.constData())
            << kind << againstMany << "u6@127.0.0.3" << false;
        QTest::addRow("%s many logins, another address", k.constData())
            << kind << againstMany << "u6@127.0.0.1" << true;
    }
}

// Failures count per login and address (5), per login from every address
// (50) and per address against every login (20).
void tst_AppServerSecurity::failureLimits()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, failures);
    QFETCH(QString, probe);
    QFETCH(bool, signedIn);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = databaseWithUsers(kind, { "ana", "u1", "u2", "u3", "u4", "u5", "u6" });
    QVERIFY(db);
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(db->url(), m_pki.authArgs(), &error), qPrintable(error));
    std::map<QString, std::unique_ptr<QTcpSocket>> byAddress; // one connection each
    const auto attempt = [&](const QString &who, const QString &password) {
        auto &s = byAddress[who.section(u'@', 1)];
        if (!s) {
            s = std::make_unique<QTcpSocket>();
            connectFrom(*s, server.port(), who.section(u'@', 1));
        }
        return login(*s, who.section(u'@', 0, 0), password);
    };
    for (const QString &who : failures)
        QCOMPARE(errorMessage(attempt(who, "errada")), BadCredentials);
    const QJsonObject r = attempt(probe, "s3nha-de-teste");
    QVERIFY2(r.contains("result") == signedIn, qPrintable(errorMessage(r)));
    if (!signedIn)
        QVERIFY2(errorMessage(r).startsWith("Muitas tentativas"), qPrintable(errorMessage(r)));
}

void tst_AppServerSecurity::parallelGuessesCountedOnce_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : AllDatabaseKinds)
        QTest::newRow(qPrintable(kind)) << kind;
}

// Twelve wrong passwords at once against a user with the full round count:
// exactly five are checked, whatever runs in parallel.
void tst_AppServerSecurity::parallelGuessesCountedOnce()
{
    QFETCH(QString, kind);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = database(kind);
    QVERIFY(db);
    QString error;
    QVERIFY2(run(vexDb(), { "user", "add", "lento", "--database", db->url() }, &error,
                 "s3nha-de-teste\n"),
             qPrintable(error));
    AppServerProcess server;
    QVERIFY2(server.start(db->url(),
                          m_pki.authArgs()
                              + QStringList { "--threads", "4", "--preauth-per-address", "20" },
                          &error),
             qPrintable(error));
    QTcpSocket sockets[12];
    QVERIFY(sendLogins(sockets, server.port(), "lento", "errada"));
    int checked = 0, held = 0;
    for (QTcpSocket &s : sockets) {
        const QString message = errorMessage(reply(s, 60000));
        checked += message == BadCredentials;
        held += message.startsWith("Muitas tentativas");
    }
    QCOMPARE(checked, 5);
    QCOMPARE(held, 7);
}

void tst_AppServerSecurity::sessionEndsWhenRevoked_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("action"); // vex-db user ACTION, or "expiry" of the token
    for (const QString &kind : AllDatabaseKinds) {
        for (const char *action : { "disable", "passwd" })
            QTest::addRow("%s %s", qPrintable(kind), action) << kind << action;
    }
    QTest::newRow("sqlite expiry") << "sqlite"
                                   << "expiry";
}

// A session in use is checked again: once its user is disabled, its
// password changed or its token expired, the next call within the check
// interval is refused, and the token no longer resumes on any instance.
void tst_AppServerSecurity::sessionEndsWhenRevoked()
{
    QFETCH(QString, kind);
    QFETCH(QString, action);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = databaseWithUsers(kind, { "ana" });
    QVERIFY(db);
    QString error;
    AppServerProcess first, second;
    const QStringList args = m_pki.authArgs() + QStringList { "--session-check-s", "1" };
    QVERIFY2(first.start(db->url(), args, &error), qPrintable(error));
    QVERIFY2(second.start(db->url(), args, &error), qPrintable(error));
    QTcpSocket s;
    QVERIFY(connectPlain(s, first.port()));
    QString token;
    if (action == u"expiry") {
        token = craftToken(QByteArray(32, 'k'), "ana", QDateTime::currentSecsSinceEpoch() + 2);
        QVERIFY(call(s, "session.resume", { token }).contains("result"));
    } else {
        token = login(s, "ana", "s3nha-de-teste")
                    .value("result")
                    .toObject()
                    .value("token")
                    .toString();
        QVERIFY2(run(vexDb(),
                     { "user", action, "ana", "--database", db->url(), "--iterations", "1000",
                       "--test-weak-iterations" },
                     &error, "s3nha-nova-de-teste\n"),
                 qPrintable(error));
    }
    QElapsedTimer timer;
    timer.start();
    QJsonObject r;
    while (timer.elapsed() < 5000
           && (r = call(s, ServerPrefix + "GetFiliOL", {})).contains("result"))
        QTest::qWait(100);
    qInfo("%s: refused after %lld ms of use", qPrintable(action), timer.elapsed());
    QCOMPARE(errorMessage(r), BadSession);
    QCOMPARE(errorMessage(call(s, ServerPrefix + "GetFiliOL", {})), Required);
    QTcpSocket t;
    QVERIFY(connectPlain(t, second.port()));
    QCOMPARE(errorMessage(call(t, "session.resume", { token })), BadSession);
}

void tst_AppServerSecurity::logoutEndsTheSession()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.authArgs(), &error), qPrintable(error));
    QTcpSocket s;
    QVERIFY(connectPlain(s, server.port()));
    QVERIFY(signInAs(s, "ana", "s3nha-de-teste"));
    const QJsonObject out = call(s, "session.logout", {});
    QCOMPARE(out.value("result").toObject().value("login").toString(), QString());
    QCOMPARE(errorMessage(call(s, ServerPrefix + "GetFiliOL", {})), Required);
    QVERIFY(signInAs(s, "ana", "s3nha-de-teste"));
}

namespace {
QByteArray proxyV2(quint8 command, quint8 family, const QByteArray &addresses)
{
    QByteArray h("\r\n\r\n\0\r\nQUIT\n", 12);
    h += char(0x20 | command);
    h += char(family);
    h += char(addresses.size() >> 8);
    h += char(addresses.size() & 0xff);
    return h + addresses;
}
} // namespace

void tst_AppServerSecurity::proxyProtocol_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("seen"); // the address signing in; empty: closed; or an error code
    const QByteArray v4 = QByteArray::fromHex("c6336409"
                                              "0a000001"
                                              "15b3"
                                              "1c84");
    const QByteArray v6 = QByteArray::fromHex("20010db8000000000000000000000009"
                                              "20010db8000000000000000000000001"
                                              "15b31c84");
    QTest::newRow("v1 TCP4") << "127.0.0.1"
                             << QByteArray("PROXY TCP4 203.0.113.7 10.0.0.1 5555 7300\r\n")
                             << "203.0.113.7";
    QTest::newRow("v1 TCP6") << "127.0.0.1"
                             << QByteArray("PROXY TCP6 2001:db8::7 2001:db8::1 5555 7300\r\n")
                             << "2001:db8::7";
    QTest::newRow("v1 UNKNOWN") << "127.0.0.1" << QByteArray("PROXY UNKNOWN\r\n") << "127.0.0.1";
    QTest::newRow("v2 TCP4") << "127.0.0.1" << proxyV2(1, 0x11, v4) << "198.51.100.9";
    QTest::newRow("v2 TCP6 with an extension")
        << "127.0.0.1" << proxyV2(1, 0x21, v6 + QByteArray::fromHex("0500020102")) << "2001:db8::9";
    QTest::newRow("v2 LOCAL, a health check") << "127.0.0.1" << proxyV2(0, 0, {}) << "127.0.0.1";
    QTest::newRow("no header") << "127.0.0.1" << QByteArray() << "";
    QTest::newRow("v1 bad address")
        << "127.0.0.1" << QByteArray("PROXY TCP4 999.0.0.1 10.0.0.1 5555 7300\r\n") << "";
    QTest::newRow("v2 address cut short") << "127.0.0.1" << proxyV2(1, 0x11, v4.left(6)) << "";
    QTest::newRow("from an address not listed")
        << "127.0.0.2" << QByteArray("PROXY TCP4 203.0.113.7 10.0.0.1 5555 7300\r\n") << "-32700";
}

// From a listed balancer, the header names the client that limits and logs
// see; from anyone else it is not honoured.
void tst_AppServerSecurity::proxyProtocol()
{
    QFETCH(QString, from);
    QFETCH(QByteArray, header);
    QFETCH(QString, seen);
    const QString log = m_pki.path("proxy.log");
    QFile::remove(log);
    AppServerProcess server;
    server.setLogFile(log);
    QString error;
    QVERIFY2(server.start(m_sqlite->url(),
                          m_pki.authArgs() + QStringList { "--proxy-protocol", "127.0.0.1/32" },
                          &error),
             qPrintable(error));
    QTcpSocket s;
    QVERIFY(connectFrom(s, server.port(), from));
    s.write(header + requestLine("session.login", { "ana", "s3nha-de-teste" }));
    const QJsonObject r = reply(s);
    if (seen.isEmpty()) {
        QVERIFY(droppedWithin(s, 3000));
        QVERIFY(r.isEmpty());
    } else if (seen.startsWith(u'-')) {
        QCOMPARE(errorCode(r), seen.toInt());
    } else {
        QVERIFY(r.contains("result"));
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(file.readAll());
        QVERIFY2(text.contains(QStringLiteral("entrada de %1 para 'ana'").arg(seen)),
                 qPrintable(text));
    }
}

void tst_AppServerSecurity::certificateExpiringSoonWarned()
{
    QString output;
    QVERIFY(run("openssl",
                { "x509", "-req", "-in", m_pki.path("server.csr"), "-CA", m_pki.path("ca.pem"),
                  "-CAkey", m_pki.path("ca.key"), "-days", "10", "-out", m_pki.path("soon.pem") },
                &output));
    const QString log = m_pki.path("soon.log");
    AppServerProcess server;
    server.setLogFile(log);
    QVERIFY2(server.start(
                 m_sqlite->url(),
                 { "--tls-cert", m_pki.path("soon.pem"), "--tls-key", m_pki.path("server.key") },
                 &output),
             qPrintable(output));
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    output = QString::fromUtf8(file.readAll());
    QVERIFY2(output.contains("soon.pem: o certificado vence em"), qPrintable(output));
}

void tst_AppServerSecurity::tls12Ciphers_data()
{
    QTest::addColumn<QString>("cipher");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("ECDHE, AES-GCM") << "ECDHE-RSA-AES128-GCM-SHA256" << true;
    QTest::newRow("ECDHE, ChaCha20-Poly1305") << "ECDHE-RSA-CHACHA20-POLY1305" << true;
    QTest::newRow("ECDHE, CBC") << "ECDHE-RSA-AES128-SHA" << false;
    QTest::newRow("RSA key exchange") << "AES128-GCM-SHA256" << false;
    QTest::newRow("DHE") << "DHE-RSA-AES128-GCM-SHA256" << false;
}

// TLS 1.2 only with forward secrecy and authenticated encryption.
void tst_AppServerSecurity::tls12Ciphers()
{
    QFETCH(QString, cipher);
    QFETCH(bool, accepted);
    const QSslCipher wanted(cipher);
    if (wanted.isNull())
        QSKIP("the client's OpenSSL does not offer this suite");
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.tlsArgs(), &error), qPrintable(error));
    QSslConfiguration config = QSslConfiguration::defaultConfiguration();
    config.setCaCertificates(QSslCertificate::fromPath(m_pki.path("ca.pem")));
    config.setProtocol(QSsl::TlsV1_2);
    config.setCiphers({ wanted });
    QSslSocket socket;
    socket.setSslConfiguration(config);
    socket.connectToHostEncrypted(QStringLiteral("127.0.0.1"), server.port());
    QCOMPARE(socket.waitForEncrypted(10000), accepted);
}

// The password from a file of its own, never on the command line: the
// ready line shows it was put in the URL, hidden.
void tst_AppServerSecurity::databasePasswordFile()
{
    VEX_SKIP_WITHOUT_DATABASE(QStringLiteral("postgresql"));
    auto db = database("postgresql");
    QVERIFY(db);
    QVERIFY(m_pki.writeKey("pg.txt", "segredo\n"));
    QProcess p;
    p.start(AppServerProcess::program(),
            { "--database", db->url(), "--listen", "127.0.0.1:0", "--database-password-file",
              m_pki.path("pg.txt") });
    QVERIFY(p.waitForStarted());
    QDeadlineTimer deadline(20000);
    while (!p.canReadLine() && !deadline.hasExpired() && p.state() == QProcess::Running)
        p.waitForReadyRead(200);
    const QString line = QString::fromUtf8(p.readLine());
    p.terminate();
    p.waitForFinished();
    QVERIFY2(line.contains("pronto em") && line.contains(":***@") && !line.contains("segredo"),
             qPrintable(line));
}

void tst_AppServerSecurity::preAuthLineLimit()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.authArgs(), &error), qPrintable(error));
    // Padding inside the line: the same request, 5 KiB long.
    QByteArray padded = requestLine("system.ping", {});
    padded.insert(1, QByteArray(5000, ' '));
    for (bool signedIn : { false, true }) {
        QTcpSocket s;
        QVERIFY(connectPlain(s, server.port()));
        if (signedIn)
            QVERIFY(signInAs(s, "ana", "s3nha-de-teste"));
        s.write(padded);
        const QJsonObject reply = QJsonDocument::fromJson(readLine(s)).object();
        if (signedIn) {
            QCOMPARE(reply.value("result").toString(), QStringLiteral("pong"));
        } else {
            QCOMPARE(errorCode(reply), -32600);
            QVERIFY2(errorMessage(reply).contains("4096"), qPrintable(errorMessage(reply)));
            QVERIFY(droppedWithin(s, 3000));
        }
    }
}

void tst_AppServerSecurity::signInTimeout()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(),
                          m_pki.authArgs() + QStringList { "--signin-timeout-s", "1" }, &error),
             qPrintable(error));
    QTcpSocket idle, signedIn;
    for (QTcpSocket *s : { &idle, &signedIn }) {
        QVERIFY(connectPlain(*s, server.port()));
    }
    QVERIFY(signInAs(signedIn, "ana", "s3nha-de-teste"));
    QVERIFY(droppedWithin(idle, 4000));
    QCOMPARE(call(signedIn, "system.ping", {}).value("result").toString(), QStringLiteral("pong"));
}

void tst_AppServerSecurity::tokens_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("token"); // "issued": the one session.login gave
    QTest::addColumn<QString>("serverKey");
    QTest::addColumn<bool>("disableFirst");
    QTest::addColumn<bool>("accepted");
    const QByteArray key(32, 'k');
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    const QString issued = QStringLiteral("issued");
    QString tampered = craftToken(key, "ana", now + 3600);
    tampered.replace(QStringLiteral("v1.YW5h."), QStringLiteral("v1.Y2Fpbw.")); // "caio"
    QString badMac = craftToken(key, "ana", now + 3600);
    badMac[badMac.size() - 2] = badMac.at(badMac.size() - 2) == u'A' ? u'B' : u'A';
    for (const QString &kind : AllDatabaseKinds) {
        const QByteArray k = kind.toLatin1();
        QTest::addRow("%s second instance, same key", k.constData())
            << kind << issued << "auth.key" << false << true;
        QTest::addRow("%s crafted with the key", k.constData())
            << kind << craftToken(key, "ana", now + 60) << "auth.key" << false << true;
        QTest::addRow("%s disabled since", k.constData())
            << kind << issued << "auth.key" << true << false;
    }
    QTest::newRow("other key") << "sqlite" << issued << "other.key" << false << false;
    QTest::newRow("expired") << "sqlite" << craftToken(key, "ana", now - 1) << "auth.key" << false
                             << false;
    QTest::newRow("login changed") << "sqlite" << tampered << "auth.key" << false << false;
    QTest::newRow("signature changed") << "sqlite" << badMac << "auth.key" << false << false;
    QTest::newRow("unknown user") << "sqlite" << craftToken(key, "bia", now + 60) << "auth.key"
                                  << false << false;
    QTest::newRow("not a token") << "sqlite"
                                 << "v1..."
                                 << "auth.key" << false << false;
}

void tst_AppServerSecurity::tokens()
{
    QFETCH(QString, kind);
    QFETCH(QString, token);
    QFETCH(QString, serverKey);
    QFETCH(bool, disableFirst);
    QFETCH(bool, accepted);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = database(kind);
    QVERIFY(db);
    QString error;
    QVERIFY2(addUser(db->url(), "ana", "s3nha-de-teste", &error), qPrintable(error));
    QVERIFY2(addUser(db->url(), "caio", "s3nha-de-teste", &error), qPrintable(error));
    AppServerProcess first;
    QVERIFY2(first.start(db->url(), m_pki.authArgs(), &error), qPrintable(error));
    QTcpSocket s;
    QVERIFY(connectPlain(s, first.port()));
    const QJsonObject issued = login(s, "ana", "s3nha-de-teste").value("result").toObject();
    if (token == u"issued")
        token = issued.value("token").toString();
    if (disableFirst)
        QVERIFY2(run(vexDb(), { "user", "disable", "ana", "--database", db->url() }, &error),
                 qPrintable(error));

    AppServerProcess second;
    QVERIFY2(second.start(db->url(), m_pki.authArgs(serverKey.toLatin1().constData()), &error),
             qPrintable(error));
    QTcpSocket t;
    QVERIFY(connectPlain(t, second.port()));
    const QJsonObject reply = call(t, "session.resume", { token });
    if (!accepted) {
        QCOMPARE(errorCode(reply), AuthError);
        QCOMPARE(errorMessage(reply), BadSession);
        QCOMPARE(errorCode(call(t, ServerPrefix + "GetFiliOL", {})), AuthError);
        return;
    }
    const QJsonObject result = reply.value("result").toObject();
    QCOMPARE(result.value("login").toString(), QStringLiteral("ana"));
    QCOMPARE(result.value("token").toString(), token);
    QVERIFY(call(t, ServerPrefix + "GetFiliOL", {}).value("result").toObject().contains("rows"));
}

// SIGTERM over TLS: every pipelined request is answered before the exit.
void tst_AppServerSecurity::drainOverTls()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.tlsArgs() + m_pki.authArgs(), &error),
             qPrintable(error));
    QSslSocket s;
    QVERIFY2(connectTls(s, server.port(), m_pki.path("ca.pem"), &error), qPrintable(error));
    QVERIFY(signInAs(s, "ana", "s3nha-de-teste"));
    constexpr int Count = 50;
    QByteArray lines;
    for (int i = 0; i < Count; ++i)
        lines += requestLine(ServerPrefix + "GetFiliOL", {}, i + 10);
    s.write(lines);
    QVERIFY(s.waitForBytesWritten(5000));
    QTest::qWait(50);
    QProcess &process = server.process();
    ::kill(pid_t(process.processId()), SIGTERM);
    int answered = 0;
    while (answered < Count) {
        const QJsonObject reply = QJsonDocument::fromJson(readLine(s, 10000)).object();
        if (!reply.value("result").toObject().contains("rows"))
            break;
        ++answered;
    }
    QCOMPARE(answered, Count);
    QCOMPARE(server.terminate(), 0);
}

void tst_AppServerSecurity::busyOverTlsClosesWithoutClearText()
{
    AppServerProcess server;
    QString error;
    QVERIFY2(server.start(m_sqlite->url(), m_pki.tlsArgs() + QStringList{"--max-connections", "1"},
                          &error),
             qPrintable(error));
    QSslSocket first;
    QVERIFY2(connectTls(first, server.port(), m_pki.path("ca.pem"), &error), qPrintable(error));
    QTcpSocket second; // raw, to see every byte the server sends
    QVERIFY(connectPlain(second, server.port()));
    QVERIFY(droppedWithin(second, 5000));
    QCOMPARE(second.readAll(), QByteArray());
}

void tst_AppServerSecurity::vexDbUser_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("args"); // before --database
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");
    QTest::addColumn<QString>("listed"); // a line of `user list` afterwards
    const QStringList weak { "--iterations", "1000", "--test-weak-iterations" };
    for (const QString &kind : AllDatabaseKinds) {
        const QByteArray k = kind.toLatin1();
        QTest::addRow("%s add", k.constData()) << kind << QStringList { "add", "bia" } + weak
                                               << QByteArray("senha-da-bia-1\n") << 0 << "added"
                                               << "bia\tyes\t1000\t0\t-";
        QTest::addRow("%s add existing", k.constData())
            << kind << QStringList { "add", "ana" } + weak << QByteArray("senha-da-bia-1\n") << 1
            << "already exists"
            << "ana\tyes\t1000\t";
        QTest::addRow("%s passwd", k.constData())
            << kind << QStringList { "passwd", "ana" } + weak << QByteArray("senha-nova-da-ana\n")
            << 0 << "password changed"
            << "ana\tyes\t1000\t0\t-";
        QTest::addRow("%s passwd unknown", k.constData())
            << kind << QStringList { "passwd", "bia" } + weak << QByteArray("senha-da-bia-1\n") << 1
            << "unknown user"
            << "";
        QTest::addRow("%s disable", k.constData())
            << kind << QStringList { "disable", "ana" } << QByteArray() << 0 << "disabled"
            << "ana\tno\t";
        QTest::addRow("%s disable unknown", k.constData())
            << kind << QStringList { "disable", "bia" } << QByteArray() << 1 << "unknown user"
            << "";
        QTest::addRow("%s enable clears the failures", k.constData())
            << kind << QStringList { "enable", "ana" } << QByteArray() << 0 << "enabled"
            << "ana\tyes\t1000\t0\t-";
        QTest::addRow("%s enable unknown", k.constData())
            << kind << QStringList { "enable", "bia" } << QByteArray() << 1 << "unknown user"
            << "";
    }
    // 12 characters, not bytes: 11 of two bytes each are too few.
    QTest::newRow("eleven characters")
        << "sqlite" << QStringList { "add", "bia" } + weak << QString(11, u'ç').toUtf8() + '\n'
        << 1 << "at least 12 characters"
        << "";
    QTest::newRow("twelve characters")
        << "sqlite" << QStringList { "add", "bia" } + weak << QString(12, u'ç').toUtf8() + '\n'
        << 0 << "added"
        << "bia\tyes\t1000\t0\t-";
    QTest::newRow("over 1024 bytes")
        << "sqlite" << QStringList { "passwd", "ana" } + weak << QByteArray(1025, 'a') + '\n'
        << 1 << "1024 bytes"
        << "ana\tyes\t1000\t1\t";
    QTest::newRow("not UTF-8") << "sqlite" << QStringList { "add", "bia" } + weak
                               << QByteArray("senha-do-\xff\xfe-bia\n") << 1 << "UTF-8"
                               << "";
    QTest::newRow("empty password") << "sqlite" << QStringList { "add", "bia" } + weak
                                    << QByteArray("\n") << 1 << "empty password"
                                    << "";
    QTest::newRow("no password") << "sqlite" << QStringList { "add", "bia" } + weak
                                 << QByteArray("") << 1 << "no password"
                                 << "";
    QTest::newRow("few rounds without the test flag")
        << "sqlite" << QStringList { "add", "bia", "--iterations", "1000" }
        << QByteArray("senha-da-bia-1\n") << 2 << "600000"
        << "";
    QTest::newRow("list with a login")
        << "sqlite" << QStringList { "list", "ana" } << QByteArray() << 2 << "unexpected argument"
        << "";
    QTest::newRow("login with a space") << "sqlite" << QStringList { "add", "a b" } + weak
                                        << QByteArray("senha-da-bia-1\n") << 2 << "invalid login"
                                        << "";
}

void tst_AppServerSecurity::vexDbUser()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(int, exitCode);
    QFETCH(QString, said);
    QFETCH(QString, listed);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    auto db = database(kind);
    QVERIFY(db);
    QString output;
    QVERIFY2(addUser(db->url(), "ana", "s3nha-de-teste", &output), qPrintable(output));
    // Fails the first sign-in so that passwd is seen to clear the count.
    {
        AppServerProcess server;
        QVERIFY2(server.start(db->url(), m_pki.authArgs(), &output), qPrintable(output));
        QTcpSocket s;
        QVERIFY(connectPlain(s, server.port()));
        QCOMPARE(errorMessage(login(s, "ana", "errada")), BadCredentials);
    }
    int code = -1;
    QVERIFY(run(vexDb(), QStringList { "user" } + args + QStringList { "--database", db->url() },
                &output, input, &code));
    QCOMPARE(code, exitCode);
    QVERIFY2(output.contains(said), qPrintable(output));
    QVERIFY2(run(vexDb(), { "user", "list", "--database", db->url() }, &output),
             qPrintable(output));
    if (!listed.isEmpty())
        QVERIFY2(output.contains(u'\n' + listed), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_AppServerSecurity)
#include "tst_appserver_security.moc"
