// The server against PostgreSQL's connection limits, through real processes:
// how many connections an instance holds, a start the database refuses, and
// a worker whose reconnection is refused. A role with a connection limit on
// the shared cluster stands for max_connections, so no cluster is stopped.
#include "AppServerHarness.h"

#include "Database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <functional>
#include <memory>

namespace {

// Runs one statement on `url`; empty on success, else the error.
QString execOn(const QString &url, const QString &sql)
{
    const QString name = QStringLiteral("dblimits-admin");
    QString error;
    {
        QSqlDatabase db = VexDb::open(url, name, &error);
        if (db.isOpen()) {
            QSqlQuery q(db);
            if (!q.exec(sql))
                error = q.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return error;
}

int scalarOn(const QString &url, const QString &sql)
{
    const QString name = QStringLiteral("dblimits-count");
    int value = -1;
    {
        QString error;
        QSqlDatabase db = VexDb::open(url, name, &error);
        QSqlQuery q(db);
        if (db.isOpen() && q.exec(sql) && q.next())
            value = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

QString withUser(const QString &url, const QString &user)
{
    QUrl u(url);
    u.setUserName(user);
    u.setPassword({});
    return u.toString();
}

// vex_db_reconnects_total from the server's metrics port; -1 when unread.
int reconnects(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return -1;
    socket.write("GET /metrics HTTP/1.0\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(5000))
        reply += socket.readAll();
    reply += socket.readAll();
    const qsizetype at = reply.indexOf("\nvex_db_reconnects_total ");
    return at < 0 ? -1 : reply.mid(at + 25, reply.indexOf('\n', at + 1) - at - 25).toInt();
}

} // namespace

class tst_AppServerDbLimits : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void connectionsPerInstance();
};

// Limit 3 for the role: an instance of 2 threads holds exactly 2; a second
// one, refused its second connection, does not start and says why. When the
// first one's connections are cut and the slots taken, its calls fail with
// a clear error, and are served again once a slot is free.
void tst_AppServerDbLimits::connectionsPerInstance()
{
    VEX_SKIP_WITHOUT_DATABASE(QStringLiteral("postgresql"));
    QString error;
    auto fixture = FixtureDatabase::create(FixtureDatabase::Kind::PostgreSQL,
                                           QStringLiteral(VEX_SERVER_FIXTURE), &error);
    QVERIFY2(fixture, qPrintable(error));
    const QString role = QStringLiteral("vexlimit_%1").arg(QCoreApplication::applicationPid());
    const QString admin = FixtureDatabase::pgAdminUrl();
    execOn(admin, QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
    QCOMPARE(execOn(admin, QStringLiteral("CREATE ROLE %1 LOGIN CONNECTION LIMIT 3").arg(role)),
             QString());
    struct Cleanup
    {
        std::function<void()> f;
        ~Cleanup() { f(); }
    } cleanup{[&] {
        fixture.reset(); // the role's grants go with the database
        execOn(admin, QStringLiteral("DROP ROLE IF EXISTS %1").arg(role));
    }};
    QCOMPARE(execOn(fixture->url(),
                    QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(role)),
             QString());
    const QString url = withUser(fixture->url(), role);
    const QString held
        = QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE usename = '%1'").arg(role);

    AppServerProcess first;
    QVERIFY2(first.start(url, {"--threads", "2", "--metrics", "127.0.0.1:0"}, &error),
             qPrintable(error));
    while (!first.process().canReadLine() && first.process().waitForReadyRead(10000)) {
    }
    static const QRegularExpression metricsLine(QStringLiteral(":(\\d+)/metrics"));
    const quint16 metricsPort = quint16(
        metricsLine.match(QString::fromUtf8(first.process().readLine())).captured(1).toUInt());
    QVERIFY(metricsPort > 0);
    QCOMPARE(scalarOn(admin, held), 2);

    QProcess second;
    second.start(AppServerProcess::program(),
                 {"--database", url, "--listen", "127.0.0.1:0", "--threads", "2"});
    QVERIFY(second.waitForFinished(20000));
    const QByteArray err = second.readAllStandardError();
    qInfo("refused at start: exit %d, stderr: %s", second.exitCode(), err.trimmed().constData());
    QCOMPARE(second.exitCode(), 1);
    QCOMPARE(err.count('\n'), 1);
    QVERIFY(err.startsWith("vex-appserver: banco de dados inacessível: conexão 2 de 2 recusada"));
    QVERIFY(err.contains("limite de conexões"));
    QVERIFY(second.readAllStandardOutput().isEmpty());

    RpcTestClient client;
    QVERIFY(client.connectTo(first.port()));
    QVERIFY(client.call("GetFiliOL", {}).contains("result"));
    // Cut the first instance's connections and take every slot.
    QCOMPARE(execOn(admin, QStringLiteral("SELECT pg_terminate_backend(pid) FROM"
                                          " pg_stat_activity WHERE usename = '%1'")
                               .arg(role)),
             QString());
    QList<QSqlDatabase> holders;
    QElapsedTimer timer;
    timer.start();
    while (holders.size() < 3 && timer.elapsed() < 10000) {
        const QString name = QStringLiteral("dblimits-holder-%1").arg(holders.size());
        QSqlDatabase db = VexDb::open(url, name, &error);
        if (db.isOpen())
            holders << db;
        else
            QTest::qWait(50); // the cut backends are still going away
    }
    QCOMPARE(holders.size(), 3);
    QString refusal;
    for (int i = 0; i < 3 && refusal.isEmpty(); ++i) {
        const QJsonObject e = client.call("GetFiliOL", {}).value("error").toObject();
        QCOMPARE(e.value("code").toInt(), -32000);
        const QString message = e.value("message").toString();
        QVERIFY2(message.startsWith("Falha no banco de dados: "), qPrintable(message));
        if (message.contains("limite de conexões do banco de dados atingido"))
            refusal = message;
    }
    qInfo().noquote() << "refused reconnection:" << refusal;
    QVERIFY(!refusal.isEmpty());
    for (qsizetype i = 0; i < holders.size(); ++i) {
        holders[i].close();
        holders[i] = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("dblimits-holder-%1").arg(i));
    }
    bool back = false;
    timer.restart();
    while (!back && timer.elapsed() < 10000) {
        back = client.call("GetFiliOL", {}).contains("result");
        if (!back)
            QTest::qWait(100);
    }
    QVERIFY(back);
    QCOMPARE(reconnects(metricsPort), 1); // refused attempts are not reconnections
    QCOMPARE(first.terminate(), 0);
}

QTEST_GUILESS_MAIN(tst_AppServerDbLimits)
#include "tst_appserver_dblimits.moc"
