// vex-screenshot: pictures of the tracking window filled from a running
// demo server, for the documentation.
//
//   vex-screenshot --server 127.0.0.1:7300 --database sqlite:demo.db --out docs
//
// Hands over criteria that match the demo data (the first logistics
// operator, deliveries within --days around --today), loads the branch list
// as the filter's confirmation does, finds a request with order products and
// saves both pages as PNG files.
#include "Cli_vex00300.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "OleDate.h"
#include "data/TClientDataSet.h"
#include "data/TdtmDBGeral.h"
#include "services/Consiste.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSqlQuery>
#include <QTabWidget>

#include <cstdio>

namespace {

[[noreturn]] void fail(const QString &reason)
{
    std::fprintf(stderr, "vex-screenshot: %s\n", qPrintable(reason));
    std::exit(1);
}

QString firstOperator()
{
    QSqlQuery q(dtmDBGeral().adcGeral());
    q.exec(QStringLiteral("SELECT CDFILIAL FROM FILIAL WHERE IDOPELOG = 'S' ORDER BY CDFILIAL"));
    return q.next() ? q.value(0).toString() : QString();
}

// Moves to the first request whose order has products: the page then shows
// all three grids filled.
bool showRequestWithProducts(TfrmAcomPOL *window)
{
    for (int b = 0; b < window->cdsFilial->RecordCount(); ++b) {
        window->cdsFilial->MoveTo(b);
        for (int r = 0; r < window->cdsSoli->RecordCount(); ++r) {
            window->cdsSoli->MoveTo(r);
            if (window->cdsProd->Active() && window->cdsProd->RecordCount() > 1)
                return true;
        }
    }
    return false;
}

void save(QWidget *widget, const QString &path)
{
    QApplication::processEvents();
    if (!widget->grab().save(path))
        fail(QStringLiteral("cannot write ") + path);
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Screenshots of the tracking window."));
    parser.addHelpOption();
    parser.addOption({"server", "Application server HOST:PORT (default 127.0.0.1:7300).", "addr"});
    parser.addOption({"database", "Database URL of the demo data (required).", "url"});
    parser.addOption({"out", "Folder for the PNG files (default docs).", "dir"});
    parser.addOption({"ol", "Logistics operator code (default: the first one).", "code"});
    parser.addOption({"days", "Delivery-date window around today (default 30).", "n"});
    parser.process(app);
    if (!parser.isSet("database"))
        fail(QStringLiteral("--database is required"));
    const QString server = parser.value("server").isEmpty() ? QStringLiteral("127.0.0.1:7300")
                                                             : parser.value("server");
    bool ok = false;
    const int port = server.section(u':', -1).toInt(&ok);
    if (!ok || port <= 0 || port > 65535)
        fail(QStringLiteral("bad --server: ") + server);
    const int days = parser.isSet("days") ? parser.value("days").toInt(&ok) : 30;
    if (!ok || days < 1)
        fail(QStringLiteral("bad --days"));
    const QString outDir = parser.value("out").isEmpty() ? QStringLiteral("docs")
                                                         : parser.value("out");
    if (!QDir().mkpath(outDir))
        fail(QStringLiteral("cannot create ") + outDir);

    HostConfig config = HostConfig::current();
    config.serverHost = server.section(u':', 0, -2);
    config.serverPort = port;
    HostConfig::setCurrent(config);

    QMainWindow mainWindow;
    auto *area = new QMdiArea(&mainWindow);
    mainWindow.setCentralWidget(area);
    mainWindow.resize(1080, 680);
    mainWindow.show();
    TApplication application(area);
    try {
        dtmDBGeral().Open(parser.value("database"));
        const QString ol = parser.isSet("ol") ? parser.value("ol") : firstOperator();
        if (ol.isEmpty())
            fail(QStringLiteral("the database has no logistics operator"));
        Cli_vex00300::boPrimVez = false;
        auto *window = application.CreateForm<TfrmAcomPOL>();
        Cli_vex00300::boPrimVez = false; // no filter dialog: the criteria come from here
        application.ShowForm(window);
        if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
            sub->showMaximized();

        const double today = OleDate::fromDate(QDate::currentDate());
        const double from = today - days / 2, to = today + days / 2;
        window->Var_filtro("", "T", ol, "", "T", "", "", "T", "", "T", "T", "T", "T", "T", from,
                           to, 0, 0);
        const TServerReply reply = rdmAcomPOL::GetFiliSoliGrid(
            *window->netAcomPOL, "", "T", ol, from, to, "", 0, 0, "T", "", QString(20, u'Z'),
            "T", "", "T", "T", "T", "T", "T");
        window->cdsFilial->LoadFromPacket(Consiste::CheckResultServ(reply, true, 0));
        save(&mainWindow, QDir(outDir).filePath("vex00300-filial-solicitante.png"));
        if (!showRequestWithProducts(window))
            std::fprintf(stderr, "vex-screenshot: no request with order products found\n");
        window->pgcPadrao->setCurrentWidget(window->tshFormulario);
        save(&mainWindow, QDir(outDir).filePath("vex00300-solicitacao.png"));
    } catch (const EVexError &e) {
        fail(e.message());
    }
    return 0;
}
