// bench-confirm: how long the filter dialog's confirmation takes, from the
// click on its confirm button to the stock grid loaded, against the real
// application server on a demo database.
//
//   bench-confirm [--scales 1,20] [--database URL] [--samples N] [--days N]
//
// For each scale a demo SQLite database is made with vex-db (or --database
// is used as it is) and vex-appserver is started on it. The dialog holds
// the first operator and a delivery range of --days around today; each
// sample clicks sbtConfirma: checks, hand-over, GetFiliSoliGrid, and the
// cascade down to cdsProdOL that the branch list sets off. Then, from the
// same click, until the branches' counts (asked in the background once the
// list is in) are shown under the grid.
#include "WindowBench.h"
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"
#include "BranchTotalsBar.h"

#include "app/TApplication.h"
#include "controls/TButtonFlat.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "data/TdtmDBGeral.h"
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

void print(const char *what, double scale, const Percentiles &p)
{
    std::printf("scale %-5g %-30s n=%-5d p50 %8.2f ms  p99 %8.2f ms\n", scale, what, p.count,
                p.p50, p.p99);
}

double elapsedMs(const QElapsedTimer &timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// The event loop turns, as it would for a person, until the counts (or a
// note saying why there are none) are on show.
bool waitForCounts(TfrmAcomPOL *window)
{
    QDeadlineTimer deadline(60000);
    while (window->panTotais->totalOf(QStringLiteral("QTITENS")).isEmpty()
           && window->panTotais->note().isEmpty()) {
        if (deadline.hasExpired())
            return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return window->panTotais->note().isEmpty();
}

void runScale(double scale, const Options &options)
{
    QTemporaryDir dir;
    QProcess server;
    openDemo(scale, options, dir, server);

    TApplication *application = TApplication::instance();
    auto *window = application->CreateForm<TfrmAcomPOL>();
    Cli_vex00300::frmAcomPOL = window;
    Cli_vex00300::boPrimVez = false; // the dialog is worked here, not opened modally
    auto *dialog = application->CreateDialog<TfrmFiltroAcomPOL>();
    dialog->show();
    QApplication::processEvents();
    dialog->medFilOL->SetText(firstOperator());
    const QDate today = QDate::currentDate();
    dialog->depEntrIni->SetDate(today.addDays(-options.days / 2));
    dialog->depEntrFin->SetDate(today.addDays(options.days / 2));

    std::vector<double> confirm;
    std::vector<double> counts;
    int reachedStock = 0;
    int branches = 0;
    for (int i = 0; i < options.samples; ++i) {
        if (!dialog->isVisible())
            dialog->show();
        window->cdsFilial->Close();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        dialog->sbtConfirma->click();
        const double ms = elapsedMs(timer);
        if (dialog->isVisible())
            fail(QStringLiteral("the confirmation failed; see the log"));
        confirm.push_back(ms);
        if (!waitForCounts(window))
            fail(QStringLiteral("no counts: %1").arg(window->panTotais->note()));
        counts.push_back(elapsedMs(timer));
        reachedStock += window->cdsProdOL->Active();
        branches = window->cdsFilial->RecordCount();
    }
    std::printf("scale %g: %d branches, %d of %d confirmations reached the stock level\n",
                scale, branches, reachedStock, options.samples);
    print("click -> stock grid loaded", scale, percentiles(confirm));
    print("click -> branch counts shown", scale, percentiles(counts));
    std::fflush(stdout);
    delete dialog;
    delete window;
    server.terminate();
    server.waitForFinished(10000);
}

} // namespace

int main(int argc, char **argv)
{
    return BenchKit::windowBenchMain(argc, argv,
                                     QStringLiteral("Times the filter dialog's confirmation."), 50, runScale);
}
