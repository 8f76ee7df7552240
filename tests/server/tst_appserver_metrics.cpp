// The Prometheus endpoint of a real server: the counts after known calls,
// histograms that hold together, and requests a scraper would never send.
#include "AppServerHarness.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

const QString Prefix = QStringLiteral("VEX00300.rdmAcomPOL.");

// Sends `request` to the metrics port and returns all it answers before
// closing (empty when it closes without a word).
QByteArray exchange(quint16 port, const QByteArray &request, bool closeEarly = false)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(5000))
        return "<no connection>";
    socket.write(request);
    socket.flush();
    if (closeEarly)
        return {};
    QByteArray reply;
    QDeadlineTimer deadline(10000);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        if (socket.waitForReadyRead(200))
            reply += socket.readAll();
    }
    return reply + socket.readAll();
}

struct Scrape
{
    QHash<QString, double> values; // "name{labels}" -> value
    QStringList families;          // names with both # HELP and # TYPE
};

Scrape parse(const QByteArray &body)
{
    Scrape s;
    QHash<QString, int> described;
    static const QRegularExpression sample(QStringLiteral("^([a-z_]+(?:\\{[^}]*\\})?) (\\S+)$"));
    for (const QByteArray &raw : body.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.startsWith(u"# HELP ") || line.startsWith(u"# TYPE "))
            ++described[line.section(u' ', 2, 2)];
        else if (const auto m = sample.match(line); m.hasMatch())
            s.values.insert(m.captured(1), m.captured(2).toDouble());
    }
    for (auto it = described.cbegin(); it != described.cend(); ++it) {
        if (it.value() == 2)
            s.families << it.key();
    }
    return s;
}

const QStringList Buckets = {"0.001", "0.0025", "0.005", "0.01", "0.025", "0.05", "0.1",
                             "0.25",  "0.5",    "1",     "2.5",  "5",     "10",  "+Inf"};

} // namespace

class tst_AppServerMetrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void countsAfterCalls();
    void badRequestsLeaveServing_data();
    void badRequestsLeaveServing();
    void slowClientsAtOneAddress();

private:
    // A server with metrics on a free port; its metrics port in *metricsPort.
    std::unique_ptr<AppServerProcess> startServer(quint16 *metricsPort);
    std::unique_ptr<FixtureDatabase> m_db;
};

void tst_AppServerMetrics::initTestCase()
{
    QString error;
    m_db = FixtureDatabase::create(FixtureDatabase::Kind::SQLite,
                                   QStringLiteral(VEX_SERVER_FIXTURE), &error);
    QVERIFY2(m_db, qPrintable(error));
}

std::unique_ptr<AppServerProcess> tst_AppServerMetrics::startServer(quint16 *metricsPort)
{
    auto server = std::make_unique<AppServerProcess>();
    QString error;
    if (!server->start(m_db->url(), {"--metrics", "127.0.0.1:0"}, &error)) {
        qWarning().noquote() << error;
        return nullptr;
    }
    QProcess &p = server->process();
    QDeadlineTimer deadline(10000);
    while (!p.canReadLine() && !deadline.hasExpired())
        p.waitForReadyRead(200);
    static const QRegularExpression line(QStringLiteral("métricas em http://127.0.0.1:(\\d+)/"));
    const auto m = line.match(QString::fromUtf8(p.readLine()));
    *metricsPort = m.hasMatch() ? quint16(m.captured(1).toUInt()) : 0;
    return server;
}

// Known calls, one of them refused: the counters say so, and each method's
// buckets rise to its _count, which equals its calls.
void tst_AppServerMetrics::countsAfterCalls()
{
    quint16 port = 0;
    auto server = startServer(&port);
    QVERIFY(server && port);
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    QVERIFY(client.call("GetFiliOL", {}).contains("result"));
    QVERIFY(client.call("GetFiliOL", {}).contains("result"));
    QVERIFY(client.call("GetVdFiliOL", {}).contains("error")); // a param missing
    QVERIFY(client.call("NoSuchMethod", {}).contains("error"));
    // Answered before the dispatcher, by the sign-in gate: counted all the same.
    QVERIFY(client.sendLine(R"({"jsonrpc":"2.0","id":90,"method":"session.resume",)"
                            R"("params":[""]})"
                            "\n")
                .contains("result"));

    const QByteArray reply = exchange(port, "GET /metrics HTTP/1.1\r\nHost: x\r\n\r\n");
    QVERIFY2(reply.startsWith("HTTP/1.1 200 OK\r\n"), reply.left(200).constData());
    QVERIFY(reply.contains("\r\nContent-Type: text/plain; version=0.0.4"));
    const Scrape s = parse(reply.mid(reply.indexOf("\r\n\r\n") + 4));
    for (const char *family : {"vex_calls_total", "vex_call_errors_total",
                               "vex_call_duration_seconds", "vex_open_connections",
                               "vex_db_reconnects_total"})
        QVERIFY2(s.families.contains(QString::fromLatin1(family)), family);

    const auto value = [&](const QString &key) { return s.values.value(key, -1); };
    const QString okMethod = QStringLiteral("method=\"%1GetFiliOL\"").arg(Prefix);
    const QString badMethod = QStringLiteral("method=\"%1GetVdFiliOL\"").arg(Prefix);
    QCOMPARE(value("vex_calls_total{" + okMethod + "}"), 2.0);
    QCOMPARE(value("vex_call_errors_total{" + okMethod + "}"), 0.0);
    QCOMPARE(value("vex_calls_total{" + badMethod + "}"), 1.0);
    QCOMPARE(value("vex_call_errors_total{" + badMethod + "}"), 1.0);
    QCOMPARE(value("vex_call_errors_total{method=\"other\"}"), 1.0);
    QCOMPARE(value("vex_calls_total{method=\"session.resume\"}"), 1.0);
    QCOMPARE(value("vex_open_connections"), 1.0);
    QCOMPARE(value("vex_db_reconnects_total"), 0.0);

    static const QRegularExpression callsLine(QStringLiteral("^vex_calls_total\\{(.*)\\}$"));
    int methods = 0;
    for (auto it = s.values.cbegin(); it != s.values.cend(); ++it) {
        const auto m = callsLine.match(it.key());
        if (!m.hasMatch())
            continue;
        ++methods;
        const QString label = m.captured(1);
        double previous = 0;
        for (const QString &le : Buckets) {
            const double count = value(
                QStringLiteral("vex_call_duration_seconds_bucket{%1,le=\"%2\"}").arg(label, le));
            QVERIFY2(count >= previous, qPrintable(label + u' ' + le));
            previous = count;
        }
        QCOMPARE(value("vex_call_duration_seconds_count{" + label + "}"), previous);
        QCOMPARE(previous, it.value());
        QVERIFY(value("vex_call_duration_seconds_sum{" + label + "}") >= 0);
    }
    QVERIFY(methods >= 10); // every method of the table, ping and "other"
    QCOMPARE(server->terminate(), 0);
}

void tst_AppServerMetrics::badRequestsLeaveServing_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<bool>("closeEarly");
    QTest::addColumn<QByteArray>("status"); // empty: closed without an answer
    QTest::newRow("other path") << QByteArray("GET /other HTTP/1.1\r\n\r\n") << false
                                << QByteArray("404");
    QTest::newRow("other method") << QByteArray("POST /metrics HTTP/1.1\r\n\r\n") << false
                                  << QByteArray("405");
    QTest::newRow("garbage") << QByteArray("\x01\x02 nonsense\r\n\r\n") << false
                             << QByteArray("400");
    QTest::newRow("head too large") << QByteArray(64 * 1024, 'A') << false << QByteArray("431");
    QTest::newRow("head never ends") << QByteArray("GET /metrics HTTP/1.1\r\nHost") << false
                                     << QByteArray();
    QTest::newRow("client leaves midway") << QByteArray("GET /met") << true << QByteArray();
}

// Whatever comes to the metrics port, the calls go on and the next scrape
// is answered.
void tst_AppServerMetrics::badRequestsLeaveServing()
{
    QFETCH(QByteArray, request);
    QFETCH(bool, closeEarly);
    QFETCH(QByteArray, status);
    quint16 port = 0;
    auto server = startServer(&port);
    QVERIFY(server && port);
    const QByteArray reply = exchange(port, request, closeEarly);
    if (status.isEmpty())
        QVERIFY2(reply.isEmpty(), reply.left(100).constData());
    else
        QVERIFY2(reply.startsWith("HTTP/1.1 " + status + ' '), reply.left(100).constData());
    RpcTestClient client;
    QVERIFY(client.connectTo(server->port()));
    QVERIFY(client.call("GetFiliOL", {}).contains("result"));
    QVERIFY(exchange(port, "GET /metrics HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    QCOMPARE(server->terminate(), 0);
}

// Slow clients at one address take a few places only, and lose them within
// the short deadline of a request head: the scraper elsewhere is answered.
void tst_AppServerMetrics::slowClientsAtOneAddress()
{
    quint16 port = 0;
    auto server = startServer(&port);
    QVERIFY(server && port);
    QTcpSocket slow[16];
    for (QTcpSocket &s : slow) {
        QVERIFY(s.bind(QHostAddress(QStringLiteral("127.0.0.2"))));
        s.connectToHost(QStringLiteral("127.0.0.1"), port);
        QVERIFY(s.waitForConnected(5000));
        s.write("GET /metrics HTTP/1.1\r\nHost: x");
        s.flush();
    }
    QElapsedTimer timer;
    timer.start();
    QVERIFY(exchange(port, "GET /metrics HTTP/1.0\r\n\r\n").startsWith("HTTP/1.1 200 OK"));
    for (QTcpSocket &s : slow) {
        while (s.state() == QAbstractSocket::ConnectedState && timer.elapsed() < 10000)
            s.waitForDisconnected(100);
    }
    qInfo("16 slow clients at one address all cut after %lld ms", timer.elapsed());
    QVERIFY2(timer.elapsed() < 3500, qPrintable(QString::number(timer.elapsed())));
}

QTEST_GUILESS_MAIN(tst_AppServerMetrics)
#include "tst_appserver_metrics.moc"
