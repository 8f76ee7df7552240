// bench-appserver --database URL [--label TEXT] [--threads N] [--seconds S]
// Starts vex-appserver on the database, then prints per method: p50 and p99
// of the end-to-end call time from one loopback client, the same SQL timed
// directly on the database (executed and every value read through the
// server's own statement cache, nothing written), their ratio, and calls per
// second with 1, 8 and 32 concurrent clients. GetSoli is measured for one
// branch with every criterion open but the delivery dates: one day (today)
// and one week (today -3 .. +3); GetSituacaoSoli for that week and for a
// month. GetResumoFiliais for every branch of the operator, deliveries of
// the last 30 and 365 days, on today (no throughput runs: one call is
// heavy). VEX_APPSERVER names another server
// program to measure; a method it does not know is reported, not measured.
#include "Criteria.h"
#include "Database.h"
#include "SelectionSql.h"
#include "StatementCache.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTcpSocket>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>

namespace {

struct Call
{
    QJsonArray params;
    SqlStatement statement;
};

struct Method
{
    QString name;
    QList<Call> calls; // cycled through
    int latencyRuns;
    // One letter per SELECT column, read as the server reads it:
    // s text (integers too), f number, d date.
    const char *columns;
    bool throughput = true;
};

const char *const GridColumns = "ss";
const char *const SoliColumns = "ssssfdssssssssfs";
const char *const ProdColumns = "sssfdssssssdsf";
const char *const ProdOLColumns = "sffff";
const char *const ResumoColumns = "sssssssssss";
const char *const SituacaoColumns = "sss";

double ole(const QDate &d)
{
    return double(QDate(1899, 12, 30).daysTo(d));
}

QByteArray requestLine(const QString &method, const QJsonArray &params, int id)
{
    return QJsonDocument(QJsonObject{{"jsonrpc", "2.0"}, {"id", id},
                                     {"method", "VEX00300.rdmAcomPOL." + method},
                                     {"params", params}})
               .toJson(QJsonDocument::Compact)
           + '\n';
}

class Client
{
public:
    bool connect(quint16 port)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!m_socket.waitForConnected(5000))
            return false;
        m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return true;
    }
    // Returns the reply line (empty on failure).
    QByteArray call(const QByteArray &line)
    {
        m_socket.write(line);
        while (!m_socket.canReadLine()) {
            if (!m_socket.waitForReadyRead(60000))
                return {};
        }
        return m_socket.readLine();
    }

private:
    QTcpSocket m_socket;
};

double percentile(QList<double> v, double p)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v.at(std::min<qsizetype>(v.size() - 1, qsizetype(p * (v.size() - 1) + 0.5)));
}

QList<QVariantList> rows(QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    q.exec(sql);
    QList<QVariantList> out;
    while (q.next()) {
        QVariantList r;
        for (int i = 0; i < q.record().count(); ++i)
            r << q.value(i);
        out << r;
    }
    return out;
}

QJsonArray gridParams(const QString &ol)
{
    return {"", "T", ol, 0, 0, "T", 0, 0, "T", "", QString(20, u'Z'), "T", "", "T", "T", "T",
            "T", "T"};
}

Criteria allOpen(const QString &ol)
{
    RawCriteria raw;
    raw.filOL = ol;
    raw.stDtEntr = raw.stDtSoli = raw.stProd = raw.tFilSoli = raw.todasConsol = "T";
    raw.prodFin = QString(20, u'Z');
    raw.status = raw.itemConsol = raw.pedGerado = raw.qtdePedido = "T";
    return Criteria::fromRaw(raw);
}

QList<Method> buildMethods(QSqlDatabase &db)
{
    QList<Method> methods;
    const QString ol
        = rows(db, "SELECT CDFILIAL FROM FILIAL WHERE IDOPELOG = 'S' ORDER BY CDFILIAL")
              .value(0)
              .value(0)
              .toString();
    const QString branch = rows(db, "SELECT CDFILIAL FROM FILIAL WHERE CDFILIOPELOG = '" + ol
                                        + "' ORDER BY CDFILIAL")
                               .value(0).value(0).toString();
    methods.append({"GetFiliSoliGrid (all open)",
                    {{gridParams(ol), SelectionSql::filiSoliGrid(allOpen(ol))}}, 30, GridColumns});

    // GetSoli: one branch, deliveries of one day and of one week around
    // today, every other criterion open.
    const QDate today = QDate::currentDate();
    const auto soliCriteria = [&](int before, int after) {
        Criteria c = allOpen(ol);
        c.allDtEntr = false;
        c.entrIni = today.addDays(-before).toString(Qt::ISODate);
        c.entrFin = today.addDays(after).toString(Qt::ISODate);
        return c;
    };
    const auto soliParams = [&](int before, int after) {
        return QJsonArray{branch, ol, ole(today.addDays(-before)), ole(today.addDays(after)),
                          "", 0, 0, "T", "", QString(20, u'Z'), "T", "Entrega direta", "", "T",
                          "T", "T", "T", "T"};
    };
    const auto soliCall = [&](int before, int after) {
        return Call{soliParams(before, after),
                    SelectionSql::soli(branch, soliCriteria(before, after))};
    };
    methods.append({"GetSoli (1 branch, 1 day)", {soliCall(0, 0)}, 300, SoliColumns});
    methods.append({"GetSoli (1 branch, 7 days)", {soliCall(3, 3)}, 200, SoliColumns});
    // GetSituacaoSoli: the situations of the same requests, on today.
    const auto situacaoCall = [&](int before, int after) {
        return Call{soliParams(before, after) << ole(today),
                    SelectionSql::situacaoSoli(branch, soliCriteria(before, after),
                                               today.toString(Qt::ISODate))};
    };
    methods.append({"GetSituacaoSoli (7 days)", {situacaoCall(3, 3)}, 200,
                    SituacaoColumns});
    methods.append({"GetSituacaoSoli (31 days)", {situacaoCall(15, 15)}, 50,
                    SituacaoColumns});

    Method prod{"GetProd", {}, 3000, ProdColumns};
    for (const QVariantList &r : rows(db, "SELECT CDFILDEST, CDFILIOPELOG, CDPRODUTO, NRSEQUCONSOL"
                                          " FROM PEDIDOOL ORDER BY NRPEDEXOL LIMIT 200")) {
        const QString dest = r[0].toString(), fol = r[1].toString(), p = r[2].toString(),
                      c = r[3].toString();
        prod.calls.append({{dest, fol, 0, p, "T", c}, SelectionSql::prod(dest, fol, p, c)});
    }
    methods.append(prod);

    Method prodOL{"GetProdOL", {}, 3000, ProdOLColumns};
    for (const QVariantList &r :
         rows(db, "SELECT o.CDFILDEST, o.CDFILLANC, o.NRPEDEXOL, o.CDPRODUTO, o.CDMARCA,"
                  " o.CDFILIOPELOG FROM PEDIDOOL o WHERE EXISTS (SELECT 1 FROM ESTOQUEOL e"
                  " WHERE e.CDFILIOPELOG = o.CDFILIOPELOG AND e.CDPRODUTO = o.CDPRODUTO"
                  " AND e.CDMARCA = o.CDMARCA) ORDER BY o.NRPEDEXOL DESC LIMIT 200")) {
        SelectionSql::ProdOLKey key{r[0].toString(), r[1].toString(), r[2].toString(),
                                    r[3].toString(), r[4].toString(), r[5].toString()};
        prodOL.calls.append({{key.filDest, key.filLanc, key.pedido, 0, key.produto, key.marca,
                              key.filOL, 0},
                             SelectionSql::prodOL(key)});
    }
    methods.append(prodOL);

    // GetResumoFiliais: every branch, deliveries of the last days, counted
    // on today.
    const auto resumoCall = [&](int days) {
        Criteria c = allOpen(ol);
        c.allDtEntr = false;
        c.entrIni = today.addDays(1 - days).toString(Qt::ISODate);
        c.entrFin = today.toString(Qt::ISODate);
        QJsonArray params = gridParams(ol);
        params[3] = ole(today.addDays(1 - days));
        params[4] = ole(today);
        params[5] = "";
        params.append(ole(today));
        return Call{params, SelectionSql::resumoFiliais(c, today.toString(Qt::ISODate))};
    };
    methods.append({"GetResumoFiliais (30 days)", {resumoCall(30)}, 30, ResumoColumns, false});
    methods.append({"GetResumoFiliais (365 days)", {resumoCall(365)}, 7, ResumoColumns, false});

    Method vd{"GetVdFiliOL", {}, 3000, GridColumns};
    for (const QVariantList &r :
         rows(db, "SELECT CDFILIAL FROM FILIAL WHERE IDOPELOG = 'S' ORDER BY CDFILIAL"))
        vd.calls.append({{r[0].toString()}, SelectionSql::vdFiliOL(r[0].toString())});
    methods.append(vd);
    return methods;
}

// Runs the statement and reads every value through the server's own
// cursor, as the server does before writing its reply.
qsizetype runDirect(StatementCache &cache, const SqlStatement &st, const char *columns)
{
    SqlCursor &rows = cache.run(st);
    SqlCursorFinisher finisher(rows);
    const int width = int(qstrlen(columns));
    qsizetype n = 0;
    double sink = 0;
    while (rows.next()) {
        for (int i = 0; i < width; ++i) {
            if (rows.isNull(i))
                continue;
            switch (columns[i]) {
            case 'f': sink += rows.real(i); break;
            case 'd': sink += rows.day(i).day(); break;
            default: sink += double(rows.text(i).size());
            }
        }
        ++n;
    }
    return sink == -1 ? -1 : n; // keeps the reads
}

double callsPerSecond(quint16 port, const Method &m, int clients, double seconds)
{
    std::atomic<qint64> done{0};
    std::atomic<bool> failed{false};
    QList<QThread *> threads;
    for (int t = 0; t < clients; ++t) {
        threads << QThread::create([&, t] {
            Client c;
            if (!c.connect(port)) {
                failed = true;
                return;
            }
            QElapsedTimer timer;
            timer.start();
            for (int i = t; timer.elapsed() < seconds * 1000; ++i) {
                const Call &call = m.calls.at(i % m.calls.size());
                if (c.call(requestLine(m.name.section(u' ', 0, 0), call.params, i)).isEmpty()) {
                    failed = true;
                    return;
                }
                ++done;
            }
        });
    }
    QElapsedTimer wall;
    wall.start();
    for (QThread *t : threads)
        t->start();
    for (QThread *t : threads) {
        t->wait();
        delete t;
    }
    return failed ? -1 : done / (wall.nsecsElapsed() / 1e9);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addOptions({{"database", "Database URL.", "URL"},
                  {"label", "Name of the run.", "TEXT"},
                  {"threads", "Server worker threads.", "N", "2"},
                  {"seconds", "Seconds per throughput run.", "S", "1.5"}});
    p.process(app);
    const QString url = p.value("database");
    if (url.isEmpty()) {
        std::fprintf(stderr, "bench-appserver: falta --database URL\n");
        return 2;
    }
    QString error;
    QSqlDatabase db = VexDb::open(url, "bench-direct", &error);
    if (!db.isOpen()) {
        std::fprintf(stderr, "bench-appserver: %s\n", qPrintable(error));
        return 1;
    }
    StatementCache cache(db);
    const qint64 items = rows(db, "SELECT COUNT(*) FROM SOLICMP").value(0).value(0).toLongLong();
    const QList<Method> methods = buildMethods(db);

    QProcess server;
    const QString program = qEnvironmentVariable("VEX_APPSERVER", VEX_BIN_DIR "/vex-appserver");
    server.start(program,
                 {"--database", url, "--listen", "127.0.0.1:0", "--threads", p.value("threads")});
    server.waitForReadyRead(20000);
    const auto m = QRegularExpression(":(\\d+) ").match(QString::fromUtf8(server.readLine()));
    if (!m.hasMatch()) {
        std::fprintf(stderr, "bench-appserver: o servidor não iniciou\n");
        return 1;
    }
    const quint16 port = quint16(m.captured(1).toUInt());

    std::printf("\n== %s: %lld request items, server with %s threads ==\n",
                qPrintable(p.value("label")), items, qPrintable(p.value("threads")));
    std::printf("%-28s %6s %9s %9s %9s %9s %6s %8s %8s %8s\n", "method", "rows", "e2e p50",
                "e2e p99", "sql p50", "sql p99", "ratio", "1 cli/s", "8 cli/s", "32 cli/s");
    Client client;
    if (!client.connect(port))
        return 1;
    for (const Method &method : methods) {
        const QString wireName = method.name.section(u' ', 0, 0);
        const QByteArray probe = client.call(requestLine(wireName, method.calls.first().params, 0));
        if (probe.contains("\"code\":-32601")) {
            std::printf("%-28s not served by %s\n", qPrintable(method.name), qPrintable(program));
            continue;
        }
        QList<double> e2e, direct;
        qsizetype rowCount = 0;
        for (int i = 0; i < method.latencyRuns; ++i) {
            const Call &call = method.calls.at(i % method.calls.size());
            QElapsedTimer t;
            t.start();
            rowCount = runDirect(cache, call.statement, method.columns);
            direct << t.nsecsElapsed() / 1e6;
        }
        for (int i = 0; i < method.latencyRuns; ++i) {
            const Call &call = method.calls.at(i % method.calls.size());
            const QByteArray line = requestLine(wireName, call.params, i);
            QElapsedTimer t;
            t.start();
            const QByteArray reply = client.call(line);
            e2e << t.nsecsElapsed() / 1e6;
            if (!reply.contains("\"result\"")) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(method.name), reply.constData());
                return 1;
            }
        }
        const double seconds = p.value("seconds").toDouble();
        double rates[3] = {};
        const int clients[3] = {1, 8, 32};
        for (int k = 0; method.throughput && k < 3; ++k)
            rates[k] = callsPerSecond(port, method, clients[k], seconds);
        const double e50 = percentile(e2e, 0.5), s50 = percentile(direct, 0.5);
        std::printf("%-28s %6lld %9.3f %9.3f %9.3f %9.3f %6.2f %8.0f %8.0f %8.0f\n",
                    qPrintable(method.name), qlonglong(rowCount), e50, percentile(e2e, 0.99), s50,
                    percentile(direct, 0.99), s50 > 0 ? e50 / s50 : 0.0, rates[0], rates[1],
                    rates[2]);
        std::fflush(stdout);
    }
    server.terminate();
    server.waitForFinished(10000);
    return 0;
}
