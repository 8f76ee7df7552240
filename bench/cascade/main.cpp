// bench-cascade: how long the tracking window's cascade takes against the
// real application server on a demo database.
//
//   bench-cascade [--scales 1,20] [--database URL] [--samples N] [--days N]
//
// For each scale a demo SQLite database is made with vex-db (or --database
// is used as it is), vex-appserver is started on it, and the window runs:
// "cascade": loading cdsFilial with the branch list until cdsProdOL is
// loaded; "row move": moving to the next request row until its stock level
// is loaded (consolidated requests, which fetch products and stock).
#include "WindowBench.h"
#include "Cli_vex00300.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "OleDate.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "services/Consiste.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace BenchKit;

namespace {

void print(const char *what, double scale, const Percentiles &p, double target)
{
    std::printf("scale %-5g %-30s n=%-5d p50 %8.2f ms  p99 %8.2f ms  (target < %g ms)\n",
                scale, what, p.count, p.p50, p.p99, target);
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

void runScale(double scale, const Options &options)
{
    QTemporaryDir dir;
    QProcess server;
    openDemo(scale, options, dir, server);

    TfrmAcomPOL *window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    const QString ol = firstOperator();
    const double today = OleDate::fromDate(QDate::currentDate());
    const double from = today - options.days / 2, to = today + options.days / 2;
    window->Var_filtro("", "T", ol, "", "T", "", "", "T", "", "T", "T", "T", "T", "T", from, to,
                       0, 0);

    // The confirmation's own call, then the cascade it sets off.
    std::vector<double> confirm, cascade, moves;
    TDataPacket branches;
    for (int i = 0; i < std::max(5, options.samples / 10); ++i) {
        QElapsedTimer timer;
        timer.start();
        branches = Consiste::CheckResultServ(
            rdmAcomPOL::GetFiliSoliGrid(*window->netAcomPOL, "", "T", ol, from, to, "", 0, 0,
                                        "T", "", QString(20, u'Z'), "T", "", "T", "T", "T",
                                        "T", "T"),
            true, 0);
        confirm.push_back(elapsedMs(timer));
    }
    // Put first a branch whose first request goes down to the stock level,
    // so every sample is the whole cascade.
    window->cdsFilial->LoadFromPacket(branches);
    for (int b = 0; b < window->cdsFilial->RecordCount(); ++b) {
        window->cdsFilial->MoveTo(b);
        if (window->cdsProdOL->Active()) {
            branches.rows.move(b, 0);
            break;
        }
    }
    int reachedStock = 0;
    for (int i = 0; i < options.samples; ++i) {
        QElapsedTimer timer;
        timer.start();
        window->cdsFilial->LoadFromPacket(branches);
        cascade.push_back(elapsedMs(timer));
        reachedStock += window->cdsProdOL->Active();
    }
    // Row moves over the requests of every branch, consolidated ones only.
    for (int b = 0; b < window->cdsFilial->RecordCount() && int(moves.size()) < options.samples;
         ++b) {
        window->cdsFilial->MoveTo(b);
        for (int r = 1; r < window->cdsSoli->RecordCount() && int(moves.size()) < options.samples;
             ++r) {
            QElapsedTimer timer;
            timer.start();
            window->cdsSoli->MoveTo(r);
            const double ms = elapsedMs(timer);
            if (window->cdsProd->Active())
                moves.push_back(ms);
        }
    }
    std::printf("scale %g: %d branches, %d of %d cascades reached the stock level\n", scale,
                window->cdsFilial->RecordCount(), reachedStock, options.samples);
    print("GetFiliSoliGrid", scale, percentiles(confirm), 50);
    print("cascade (cdsFilial..cdsProdOL)", scale, percentiles(cascade), 50);
    print("row move (request..stock)", scale, percentiles(moves), 5);
    std::fflush(stdout);
    delete window;
    server.terminate();
    server.waitForFinished(10000);
}

} // namespace

int main(int argc, char **argv)
{
    return BenchKit::windowBenchMain(argc, argv,
                                     QStringLiteral("Times the tracking window's cascade."), 200,
                                     runScale);
}
