// bench-export --database URL [--label TEXT] [--operator CODE] [--month YYYY-MM]
//              [--months N] [--by-branch]
// "Toda a filtragem" for one operator and one month of requests (every other
// criterion open): the chain's query read through the server's own cursor,
// the same rows through vex-appserver to a client packet, then written to
// XLSX and to CSV. Prints rows, seconds and the peak memory of this process
// (the host's side) after each step. --by-branch fetches the chain one
// branch at a time while writing, as the window does.
#include "Criteria.h"
#include "Database.h"
#include "SelectionSql.h"
#include "StatementCache.h"

#include "data/ExportFile.h"
#include "data/PacketPartsSheet.h"
#include "data/PacketSheet.h"
#include "net/TNetConnection.h"
#include "services/Consiste.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

double ole(const QDate &d)
{
    return double(QDate(1899, 12, 30).daysTo(d));
}

double peakMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpression hwm(QStringLiteral("VmHWM:\\s+(\\d+) kB"));
    const auto m = hwm.match(QString::fromLatin1(status.readAll()));
    return m.hasMatch() ? m.captured(1).toDouble() / 1024 : -1;
}

// Every value read as the server reads it before writing its reply.
qsizetype bareQuery(StatementCache &cache, const SqlStatement &st)
{
    const QList<TPacketField> &fields = SelectionSql::Columns::cadeiaPedidos().packetFields();
    SqlCursor &rows = cache.run(st);
    SqlCursorFinisher finisher(rows);
    qsizetype n = 0;
    double sink = 0;
    while (rows.next()) {
        for (int i = 0; i < fields.size(); ++i) {
            if (rows.isNull(i))
                continue;
            switch (fields.at(i).type) {
            case TFieldType::ftFloat: sink += rows.real(i); break;
            case TFieldType::ftDateTime: sink += rows.day(i).day(); break;
            default: sink += double(rows.text(i).size());
            }
        }
        ++n;
    }
    return sink == -1 ? -1 : n;
}

QString firstOperator(QSqlDatabase &db)
{
    QSqlQuery q(db);
    q.exec(QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE IDOPELOG = 'S' ORDER BY CDFILIAL"));
    return q.next() ? q.value(0).toString() : QString();
}

double seconds(const QElapsedTimer &t)
{
    return t.nsecsElapsed() / 1e9;
}

QList<PacketSheet::Column> everyColumn(const TDataPacket &packet)
{
    QList<PacketSheet::Column> columns;
    for (const TPacketField &f : packet.fields)
        columns.append({f.name, f.name, {}});
    return columns;
}

// The branches of the criteria, then each one's chain when its turn comes.
std::unique_ptr<ExportSheet> byBranch(TNetConnection &net, const QJsonArray &params)
{
    const TDataPacket grid = Consiste::CheckResultServ(
        net.Call(QStringLiteral("GetFiliSoliGrid"), params), true, 0);
    QStringList branches;
    for (const QVariantList &row : grid.rows)
        branches << row.at(grid.columnIndex(QStringLiteral("CDFILSOLI"))).toString();
    const auto load = [&net, params, branches](int part) {
        QJsonArray one = params;
        one[0] = branches.at(part);
        one[1] = QString();
        return Consiste::CheckResultServ(net.Call(QStringLiteral("GetCadeiaPedidos"), one),
                                         true, 0);
    };
    return std::make_unique<PacketPartsSheet>(QStringLiteral("Toda a filtragem"),
                                              int(branches.size()), load, everyColumn);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser p;
    p.addOptions({{"database", "Database URL.", "URL"},
                  {"label", "Name of the run.", "TEXT"},
                  {"operator", "Logistics operator (default: the first).", "CODE"},
                  {"month", "Requests from this month (default: the current one).", "YYYY-MM"},
                  {"months", "Months of requests (default 1).", "N", "1"},
                  {"by-branch", "Fetch the chain branch by branch while writing."}});
    p.process(app);
    const QString url = p.value("database");
    QString error;
    QSqlDatabase db = VexDb::open(url, "bench-direct", &error);
    if (url.isEmpty() || !db.isOpen()) {
        std::fprintf(stderr, "bench-export: %s\n",
                     url.isEmpty() ? "falta --database URL" : qPrintable(error));
        return 2;
    }
    const QString ol = p.isSet("operator") ? p.value("operator") : firstOperator(db);
    const QDate first = p.isSet("month")
        ? QDate::fromString(p.value("month") + "-01", Qt::ISODate)
        : QDate(QDate::currentDate().year(), QDate::currentDate().month(), 1);
    const QDate last = first.addMonths(std::max(1, p.value("months").toInt())).addDays(-1);

    RawCriteria raw;
    raw.filOL = ol;
    raw.stDtEntr = raw.stProd = raw.tFilSoli = raw.todasConsol = "T";
    raw.solIni = ole(first);
    raw.solFin = ole(last);
    raw.prodFin = QString(20, u'Z');
    raw.status = raw.itemConsol = raw.pedGerado = raw.qtdePedido = "T";
    StatementCache cache(db);
    QElapsedTimer t;
    t.start();
    const SqlStatement chain = SelectionSql::cadeiaPedidos(Criteria::fromRaw(raw));
    const qsizetype bareRows = bareQuery(cache, chain);
    const double bare = seconds(t);

    QProcess server;
    server.start(VEX_BIN_DIR "/vex-appserver",
                 {"--database", url, "--listen", "127.0.0.1:0", "--threads", "1",
                  "--max-reply-bytes", QString::number(qint64(1) << 32)});
    server.waitForReadyRead(20000);
    const auto m = QRegularExpression(":(\\d+) ").match(QString::fromUtf8(server.readLine()));
    if (!m.hasMatch()) {
        std::fprintf(stderr, "bench-export: o servidor não iniciou\n");
        return 1;
    }
    TNetConnection net;
    net.SetServerName(QStringLiteral("VEX00300.rdmAcomPOL"));
    net.SetHost(QStringLiteral("127.0.0.1"));
    net.SetPort(m.captured(1).toInt());
    net.SetCallTimeoutMs(30 * 60 * 1000);
    const QJsonArray params{"", "T", ol, 0, 0, "T", ole(first), ole(last), "", "",
                            QString(20, u'Z'), "T", "", "T", "T", "T", "T", "T"};
    const double before = peakMB();
    QTemporaryDir dir;
    std::printf("\n== %s: operator %s, requests %s to %s, %lld rows%s ==\n",
                qPrintable(p.value("label")), qPrintable(ol),
                qPrintable(first.toString("yyyy-MM-dd")), qPrintable(last.toString("yyyy-MM-dd")),
                qlonglong(bareRows), p.isSet("by-branch") ? ", branch by branch" : "");
    std::printf("%-34s %10s %10s\n", "step", "seconds", "peak MB");
    std::printf("%-34s %10.3f %10.1f\n", "bare query through the cursor", bare, before);
    const auto write = [&](ExportSheet &sheet, ExportFormat format) {
        const QString path = dir.filePath("cadeia." + ExportFile::formatName(format));
        t.restart();
        ExportFile::write(path, format, {&sheet});
        const double took = seconds(t);
        std::printf("%-34s %10.3f %10.1f  (%.1f MB file)\n",
                    qPrintable("write " + ExportFile::formatName(format).toUpper()), took,
                    peakMB(), QFileInfo(path).size() / 1048576.0);
    };
    if (p.isSet("by-branch")) {
        for (const ExportFormat format : {ExportFormat::Xlsx, ExportFormat::Csv})
            write(*byBranch(net, params), format); // fetching included
        server.terminate();
        server.waitForFinished(10000);
        return 0;
    }
    t.restart();
    TServerReply reply = net.Call(QStringLiteral("GetCadeiaPedidos"), params);
    const double call = seconds(t);
    t.restart();
    TDataPacket packet = Consiste::CheckResultServ(reply, true, 0);
    reply = {};
    const double load = seconds(t);
    const double fetched = peakMB();
    const QList<PacketSheet::Column> columns = everyColumn(packet);
    PacketSheet sheet(QStringLiteral("Toda a filtragem"), std::move(packet), columns);
    std::printf("%-34s %10.3f %10s  (%.2fx the bare query)\n", "GetCadeiaPedidos call", call, "",
                call / bare);
    std::printf("%-34s %10.3f %10.1f\n", "reply to packet", load, fetched);
    for (const ExportFormat format : {ExportFormat::Xlsx, ExportFormat::Csv})
        write(sheet, format);
    server.terminate();
    server.waitForFinished(10000);
    return 0;
}
