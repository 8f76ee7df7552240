// The server's behaviour towards bad and hostile clients, its limits, many
// clients at once, database failures and stopping, through real processes.
#include "AppServerHarness.h"

#include "Database.h"

#include <QJsonDocument>
#include <QMap>
#include <QSqlQuery>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

using namespace FixtureParams;

class tst_AppServerProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void badInput_data();
    void badInput();
    void oversizedLine_data();
    void oversizedLine();
    void partialLineDropped();
    void idleConnectionClosed();
    void connectionLimit();
    void concurrentClients_data();
    void concurrentClients();
    void databaseFailure_data();
    void databaseFailure();
    void ping_data();
    void ping();
    void badCommandLine_data();
    void badCommandLine();
    void stopsOnSigterm();

private:
    std::unique_ptr<AppServerProcess> startServer(const QString &url, const QStringList &args);
    static void verifyStillServing(RpcTestClient &client);

    QMap<QString, std::shared_ptr<FixtureDatabase>> m_databases;
    std::unique_ptr<AppServerProcess> m_server; // on SQLite, default limits
};

namespace {
QByteArray request(const QString &method, const QJsonArray &params)
{
    return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", 1},
                                     {"method", ServerPrefix + method}, {"params", params}})
               .toJson(QJsonDocument::Compact)
           + '\n';
}

int errorCode(const QJsonObject &reply)
{
    return reply.value("error").toObject().value("code").toInt();
}

QString errorMessage(const QJsonObject &reply)
{
    return reply.value("error").toObject().value("message").toString();
}

QString codes(int count, int size)
{
    QStringList list;
    for (int i = 0; i < count; ++i)
        list << QStringLiteral("%1").arg(i % 10000, size, 10, QChar(u'0'));
    return list.join(u',');
}
} // namespace

std::unique_ptr<AppServerProcess> tst_AppServerProtocol::startServer(const QString &url,
                                                                     const QStringList &args)
{
    auto server = std::make_unique<AppServerProcess>();
    QString error;
    if (!server->start(url, args, &error)) {
        qWarning().noquote() << "server did not start:" << error;
        return nullptr;
    }
    return server;
}

void tst_AppServerProtocol::verifyStillServing(RpcTestClient &client)
{
    const QJsonObject reply = client.call("GetFiliOL", {});
    QCOMPARE(project(reply.value("result").toObject(), {"CDFILIOPELOG"}),
             QStringList({"OL01", "OL02", "OL03"}));
}

void tst_AppServerProtocol::initTestCase()
{
    QString error;
    std::shared_ptr<FixtureDatabase> sqlite = FixtureDatabase::create(
        FixtureDatabase::Kind::SQLite, QStringLiteral(VEX_SERVER_FIXTURE), &error);
    QVERIFY2(sqlite, qPrintable(error));
    m_databases.insert("sqlite", sqlite);
    if (!FixtureDatabase::pgAdminUrl().isEmpty()) {
        std::shared_ptr<FixtureDatabase> pg = FixtureDatabase::create(
            FixtureDatabase::Kind::PostgreSQL, QStringLiteral(VEX_SERVER_FIXTURE), &error);
        QVERIFY2(pg, qPrintable(error));
        m_databases.insert("postgresql", pg);
    }
    m_server = startServer(sqlite->url(), {});
    QVERIFY(m_server);
}

void tst_AppServerProtocol::cleanupTestCase()
{
    if (m_server)
        QCOMPARE(m_server->terminate(), 0);
    m_server.reset();
    m_databases.clear();
}

void tst_AppServerProtocol::badInput_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code");               // 0: a result is expected
    QTest::addColumn<QString>("messagePart");

    const QJsonArray grid = filiSoliGridAllOpen("OL01");
    const QJsonArray soli = soliAllOpen("0001", "OL01");
    auto gridWith = [&](const QVariantMap &m) {
        return request("GetFiliSoliGrid", with("GetFiliSoliGrid", grid, m));
    };
    auto soliWith = [&](const QVariantMap &m) {
        return request("GetSoli", with("GetSoli", soli, m));
    };

    QTest::newRow("unparsable") << QByteArray("garbage\n") << -32700 << "JSON";
    QTest::newRow("cut-off object") << QByteArray("{\"jsonrpc\":\"2.0\",\n") << -32700 << "JSON";
    QTest::newRow("not an object") << QByteArray("[1,2]\n") << -32600 << "objeto";
    QTest::newRow("bare number") << QByteArray("42\n") << -32600 << "objeto";
    QTest::newRow("params not a list")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,)"
                      R"("method":"VEX00300.rdmAcomPOL.GetFiliOL","params":{}})" "\n")
        << -32600 << "params";
    QTest::newRow("unknown method") << request("DropAll", {}) << -32601 << "DropAll";
    QTest::newRow("other server name")
        << QByteArray(R"({"jsonrpc":"2.0","id":1,)"
                      R"("method":"OUTRO.rdmAcomPOL.GetFiliOL","params":[]})" "\n")
        << -32601 << "OUTRO";
    QTest::newRow("too few params") << request("GetSoli", {"0001", "OL01", 0}) << -32602
                                    << "esperados 18, recebidos 3";
    QTest::newRow("too many params") << request("GetVdFiliOL", {"OL01", "x"}) << -32602
                                     << "GetVdFiliOL";
    QTest::newRow("date as text") << gridWith({{"DtEntrIni", "2025-01-01"}}) << -32602
                                  << "DtEntrIni";
    QTest::newRow("code as number") << gridWith({{"stFilOL", 1}}) << -32602 << "stFilOL";
    QTest::newRow("null param") << request("GetPesqFilial", {QJsonValue()}) << -32602
                                << "CDFILIOPELOG";
    QTest::newRow("bad stStatus") << gridWith({{"stStatus", "X"}}) << -32000
                                  << "Argumento stStatus inválido: 'X' (esperado S, N ou T)";
    QTest::newRow("empty stItemConsol") << gridWith({{"stItemConsol", ""}}) << -32000
                                        << "stItemConsol";
    QTest::newRow("two letters stPedGerado") << gridWith({{"stPedGerado", "SN"}}) << -32000
                                             << "stPedGerado";
    QTest::newRow("bad stQtdePedido") << gridWith({{"stQtdePedido", "G"}}) << -32000
                                      << "(esperado A, B, C, D, E, F ou T)";
    QTest::newRow("lower-case switch") << gridWith({{"stTFilSoli", "t"}}) << -32000
                                       << "stTFilSoli";
    QTest::newRow("bad stDtEntr") << gridWith({{"stDtEntr", "S"}}) << -32000 << "stDtEntr";
    QTest::newRow("bad stProd") << soliWith({{"stProd", "N"}}) << -32000 << "stProd";
    QTest::newRow("GetSoli bad stStatus") << soliWith({{"stStatus", "s"}}) << -32000
                                          << "stStatus";
    QTest::newRow("GetProd bad stQtdePedido")
        << request("GetProd", {"0001", "OL01", 0, "P1", "Z", "C1"}) << -32000 << "stQtdePedido";
    QTest::newRow("GetResumoFiliais without DtRef") << request("GetResumoFiliais", grid)
                                                    << -32602 << "esperados 19, recebidos 18";
    QTest::newRow("GetResumoFiliais DtRef as text")
        << request("GetResumoFiliais", QJsonArray(grid) << "2025-01-10") << -32602
        << "Parâmetro DtRef (19)";
    QTest::newRow("GetPesqConsol bad stDtSoli")
        << request("GetPesqConsol", {"OL01", 0, 0, "T", 0, 0, "X"}) << -32000 << "stDtSoli";
    const QVariantMap list{{"stTFilSoli", ""}};
    auto branchList = [&](const QString &text) {
        QVariantMap m = list;
        m.insert("stLFilSoli", text);
        return gridWith(m);
    };
    QTest::newRow("list with a space") << branchList("0001, 0002") << -32000 << "stLFilSoli";
    QTest::newRow("list with quotes") << branchList("'0001','0002'") << -32000 << "stLFilSoli";
    QTest::newRow("list with injection") << branchList("0001'); DROP TABLE FILIAL;--")
                                         << -32000 << "stLFilSoli";
    QTest::newRow("list with trailing comma") << branchList("0001,") << -32000 << "stLFilSoli";
    QTest::newRow("code too long") << branchList("00001") << -32000 << "até 4";
    QTest::newRow("too many codes") << branchList(codes(1001, 4)) << -32000 << "1001 códigos";
    QTest::newRow("1000 codes accepted") << branchList(codes(1000, 4)) << 0 << "0001";
    QTest::newRow("consolidation list with injection")
        << gridWith({{"stTodasConsol", ""}, {"stListaConsol", "C1) OR (1=1"}}) << -32000
        << "stListaConsol";
    QTest::newRow("consolidation code of 16") << gridWith({{"stTodasConsol", ""},
                                                          {"stListaConsol", QString(16, u'9')}})
                                              << -32000 << "stListaConsol";
    QTest::newRow("consolidation code of 15 accepted")
        << gridWith({{"stTodasConsol", ""}, {"stListaConsol", QString(15, u'9')}}) << 0 << "";
    QTest::newRow("absurd but finite dates")
        << gridWith({{"stDtEntr", ""}, {"DtEntrIni", -1e300}, {"DtEntrFin", 1e300}}) << 0
        << "0001";
    QTest::newRow("injection in a bound code is only data")
        << gridWith({{"stFilOL", "'OR'"}}) << 0 << "";
    QTest::newRow("code longer than its column")
        << gridWith({{"stFilOL", "OL01' OR '1'='1"}}) << -32000
        << "Argumento stFilOL inválido: 15 caracteres (máximo 4)";
    QTest::newRow("direct-delivery text longer than NMFILIAL")
        << soliWith({{"ED", QString(38, u'x')}}) << -32000
        << "Argumento ED inválido: 38 caracteres (máximo 37)";
    QTest::newRow("direct-delivery text of 37 accepted")
        << soliWith({{"ED", QString(37, u'x')}}) << 0 << "";
}

void tst_AppServerProtocol::badInput()
{
    QFETCH(QByteArray, line);
    QFETCH(int, code);
    QFETCH(QString, messagePart);
    RpcTestClient client;
    QVERIFY(client.connectTo(m_server->port()));
    const QJsonObject reply = client.sendLine(line);
    QVERIFY2(!reply.isEmpty(), "no reply");
    if (code == 0) {
        QVERIFY2(reply.contains("result"), qPrintable(errorMessage(reply)));
        const QString rows = project(reply.value("result").toObject(), {"CDFILSOLI"}).join(u',');
        QVERIFY2(rows.contains(messagePart), qPrintable(rows));
    } else {
        QCOMPARE(errorCode(reply), code);
        QVERIFY2(errorMessage(reply).contains(messagePart), qPrintable(errorMessage(reply)));
    }
    verifyStillServing(client);
}

void tst_AppServerProtocol::oversizedLine_data()
{
    QTest::addColumn<bool>("withNewline");
    QTest::newRow("complete line") << true;
    QTest::newRow("endless line") << false;
}

void tst_AppServerProtocol::oversizedLine()
{
    QFETCH(bool, withNewline);
    auto server = startServer(m_databases["sqlite"]->url(), {"--max-request-bytes", "1024"});
    QVERIFY(server);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    QByteArray line = request("GetVdFiliOL", {QString(3000, u'A')});
    if (!withNewline)
        line.chop(1);
    const QJsonObject reply = client.sendLine(line);
    QCOMPARE(errorCode(reply), -32600);
    QVERIFY2(errorMessage(reply).contains("1024"), qPrintable(errorMessage(reply)));
    QTRY_COMPARE(client.socket().state(), QAbstractSocket::UnconnectedState);

    RpcTestClient other; // the server goes on serving
    QVERIFY(other.connectTo(server->port()));
    verifyStillServing(other);
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::partialLineDropped()
{
    auto server = startServer(m_databases["sqlite"]->url(), {"--partial-timeout-s", "1"});
    QVERIFY(server);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    client.socket().write("{\"jsonrpc\":\"2.0\",\"id\":1,");
    const QJsonObject reply = QJsonDocument::fromJson(client.readLine(5000)).object();
    QCOMPARE(errorCode(reply), -32600);
    // The line had its time: the connection goes, and its slot with it.
    QTRY_COMPARE_WITH_TIMEOUT(client.socket().state(), QAbstractSocket::UnconnectedState, 5000);
    RpcTestClient other;
    QVERIFY(other.connectTo(server->port()));
    verifyStillServing(other);
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::idleConnectionClosed()
{
    auto server = startServer(m_databases["sqlite"]->url(), {"--idle-timeout-s", "1"});
    QVERIFY(server);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    verifyStillServing(client);
    QTRY_COMPARE_WITH_TIMEOUT(client.socket().state(), QAbstractSocket::UnconnectedState, 5000);
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::connectionLimit()
{
    auto server = startServer(m_databases["sqlite"]->url(), {"--max-connections", "2"});
    QVERIFY(server);
    RpcTestClient first, second, third;
    QVERIFY(first.connectTo(server->port()));
    verifyStillServing(first);
    QVERIFY(second.connectTo(server->port()));
    verifyStillServing(second);
    QVERIFY(third.connectTo(server->port()));
    const QJsonObject refusal = QJsonDocument::fromJson(third.readLine(5000)).object();
    QCOMPARE(errorCode(refusal), -32000);
    QVERIFY2(errorMessage(refusal).contains("limite de 2"), qPrintable(errorMessage(refusal)));
    QTRY_COMPARE(third.socket().state(), QAbstractSocket::UnconnectedState);

    first.socket().disconnectFromHost(); // a freed place is offered again
    bool servedAgain = false; // once the server has seen the close
    for (int attempt = 0; attempt < 50 && !servedAgain; ++attempt) {
        RpcTestClient fourth;
        servedAgain = fourth.connectTo(server->port())
                      && fourth.call("GetFiliOL", {}).contains("result");
        if (!servedAgain)
            QTest::qWait(100);
    }
    QVERIFY(servedAgain);
    verifyStillServing(second);
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::concurrentClients_data()
{
    QTest::addColumn<QString>("db");
    for (const QString &db : AllDatabaseKinds)
        QTest::newRow(qPrintable(db)) << db;
}

// 8 clients x 50 calls of four methods at once on a 4-thread server: every
// answer equals the one a lone client gets.
void tst_AppServerProtocol::concurrentClients()
{
    QFETCH(QString, db);
    VEX_SKIP_WITHOUT_DATABASE(db);
    auto server = startServer(m_databases[db]->url(), {"--threads", "4"});
    QVERIFY(server);
    const QList<QPair<QString, QJsonArray>> calls = {
        {"GetFiliSoliGrid", filiSoliGridAllOpen("OL01")},
        {"GetSoli", soliAllOpen("0001", "OL01")},
        {"GetProd", {"0001", "OL01", 0, "P2", "T", "C1"}},
        {"GetProdOL", {"0001", "0001", "PD01", 0, "P1", "M1", "OL01", 0}},
    };
    QList<QJsonObject> expected;
    {
        RpcTestClient lone;
        QVERIFY(lone.connectTo(server->port()));
        for (const auto &[method, params] : calls) {
            expected << lone.call(method, params).value("result").toObject();
            QVERIFY(!expected.last().value("rows").toArray().isEmpty());
        }
    }
    const quint16 port = server->port();
    std::atomic<int> good{0}, bad{0};
    QList<QThread *> threads;
    for (int t = 0; t < 8; ++t) {
        threads << QThread::create([&, t] {
            RpcTestClient client;
            if (!client.connectTo(port)) {
                bad += 50;
                return;
            }
            for (int i = 0; i < 50; ++i) {
                const qsizetype which = (t + i) % calls.size();
                const QJsonObject reply = client.call(calls[which].first, calls[which].second);
                (reply.value("result").toObject() == expected[which] ? good : bad)++;
            }
        });
        threads.last()->start();
    }
    for (QThread *thread : threads) {
        QVERIFY(thread->wait(60000));
        delete thread;
    }
    QCOMPARE(bad.load(), 0);
    QCOMPARE(good.load(), 400);
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::databaseFailure_data()
{
    QTest::addColumn<QString>("kind");
    for (const QString &kind : AllDatabaseKinds)
        QTest::newRow(qPrintable(kind)) << kind;
}

// A database without the tables (SQLite: never created; PostgreSQL: one
// dropped under the running server): every call is an error answer naming
// the database failure, and the connection stays usable.
void tst_AppServerProtocol::databaseFailure()
{
    QFETCH(QString, kind);
    VEX_SKIP_WITHOUT_DATABASE(kind);
    QTemporaryDir dir;
    QString url = "sqlite:" + dir.filePath("empty.db");
    if (kind == "postgresql") {
        QString error;
        auto fixture = FixtureDatabase::create(FixtureDatabase::Kind::PostgreSQL,
                                               QStringLiteral(VEX_SERVER_FIXTURE), &error);
        QVERIFY2(fixture, qPrintable(error));
        url = fixture->url();
        m_databases.insert("postgresql-broken", std::move(fixture));
    }
    auto server = startServer(url, {});
    QVERIFY(server);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    if (kind == "postgresql") {
        // Break the database under the running server.
        RpcTestClient setup;
        QVERIFY(setup.connectTo(server->port()));
        QVERIFY(setup.call("GetFiliOL", {}).contains("result"));
        QString error;
        QSqlDatabase db = VexDb::open(url, "breaker", &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        QVERIFY(QSqlQuery(db).exec("DROP TABLE ESTOQUEOL"));
        db.close();
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        const QJsonObject reply = client.call("GetProdOL", {"0001", "0001", "PD01", 0, "P1",
                                                            "M1", "OL01", 0});
        QCOMPARE(errorCode(reply), -32000);
        QVERIFY2(errorMessage(reply).startsWith("Falha no banco de dados: "),
                 qPrintable(errorMessage(reply)));
    }
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::ping_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("code"); // 0: the result "pong" is expected
    QTest::addColumn<QString>("messagePart");
    auto line = [](const char *text) { return QByteArray(text) + '\n'; };
    QTest::newRow("empty params")
        << line(R"({"jsonrpc":"2.0","id":7,"method":"system.ping","params":[]})") << 0 << "";
    QTest::newRow("params left out")
        << line(R"({"jsonrpc":"2.0","id":7,"method":"system.ping"})") << 0 << "";
    QTest::newRow("with params")
        << line(R"({"jsonrpc":"2.0","id":7,"method":"system.ping","params":[1]})") << -32602
        << "system.ping: esperados 0 argumentos, recebidos 1";
    QTest::newRow("under the server name")
        << line(R"({"jsonrpc":"2.0","id":7,"method":"VEX00300.rdmAcomPOL.system.ping"})")
        << -32601 << "system.ping";
    QTest::newRow("other case")
        << line(R"({"jsonrpc":"2.0","id":7,"method":"System.Ping","params":[]})") << -32601
        << "System.Ping";
}

// On a database without tables, where every method fails: the ping answers
// all the same, since it never touches the database.
void tst_AppServerProtocol::ping()
{
    QFETCH(QByteArray, line);
    QFETCH(int, code);
    QFETCH(QString, messagePart);
    QTemporaryDir dir;
    auto server = startServer("sqlite:" + dir.filePath("empty.db"), {});
    QVERIFY(server);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    QVERIFY(client.call("GetFiliOL", {}).contains("error"));
    const QJsonObject reply = client.sendLine(line);
    QCOMPARE(reply.value("id").toInt(), 7);
    if (code == 0) {
        QCOMPARE(reply.value("result"), QJsonValue("pong"));
    } else {
        QCOMPARE(errorCode(reply), code);
        QVERIFY2(errorMessage(reply).contains(messagePart), qPrintable(errorMessage(reply)));
    }
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerProtocol::badCommandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no database") << QStringList{} << "--database";
    QTest::newRow("zero threads") << QStringList { "--database", "sqlite:/tmp/x.db", "--threads",
                                                   "0" }
                                  << "--threads";
    QTest::newRow("bad listen")
        << QStringList{"--database", "sqlite:/tmp/x.db", "--listen", "nowhere"} << "--listen";
    QTest::newRow("unknown option") << QStringList{"--database", "sqlite:/tmp/x.db", "--fast"}
                                    << "fast";
    QTest::newRow("unreachable database")
        << QStringList{"--database", "postgresql://nobody@127.0.0.1:1/none"} << "banco";
    QTest::newRow("not a url") << QStringList{"--database", "mysql://x"} << "banco";
}

void tst_AppServerProtocol::badCommandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, reason);
    QProcess process;
    process.start(QStringLiteral(VEX_BIN_DIR "/vex-appserver"), args);
    QVERIFY(process.waitForFinished(20000));
    QVERIFY(process.exitCode() != 0);
    const QString err = QString::fromUtf8(process.readAllStandardError()).trimmed();
    const QString last = err.section(u'\n', -1); // the reason is the last line
    QVERIFY2(last.startsWith("vex-appserver: ") && last.contains(reason), qPrintable(err));
    QVERIFY(process.readAllStandardOutput().isEmpty()); // no ready line
}

// A stop signal while clients are connected: the server ends cleanly.
void tst_AppServerProtocol::stopsOnSigterm()
{
    auto server = startServer(m_databases["sqlite"]->url(), {});
    QVERIFY(server);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    verifyStillServing(client);
    QCOMPARE(server->terminate(), 0);
    QTRY_COMPARE(client.socket().state(), QAbstractSocket::UnconnectedState);
}

QTEST_GUILESS_MAIN(tst_AppServerProtocol)
#include "tst_appserver_protocol.moc"
