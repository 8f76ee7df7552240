// vex-screenshot: pictures of the filter dialog and of the tracking window
// filled from a running demo server, for the documentation.
//
//   vex-screenshot --server 127.0.0.1:7300 --database sqlite:demo.db --out docs
//
// Opens the screen as the host does and works the filter dialog as a user:
// types the operator code (the first one, or --ol) and a delivery range of
// --days around today, opens the requesting-branch multi-selection, and
// confirms with Ctrl+Enter; then finds a request with order products and
// saves both pages of the window.
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"

#include "app/TApplication.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "data/TClientDataSet.h"
#include "data/TdtmDBGeral.h"
#include "forms/MultiSelectDialog.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDeadlineTimer>
#include <QDir>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <functional>

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

void savePixmap(const QPixmap &pixmap, const QString &path)
{
    if (!pixmap.save(path))
        fail(QStringLiteral("cannot write ") + path);
    std::printf("%s\n", qPrintable(path));
}

void save(QWidget *widget, const QString &path)
{
    QApplication::processEvents();
    savePixmap(widget->grab(), path);
}

// A modal window drawn over the one that opened it.
QPixmap stacked(QWidget *below, QWidget *above)
{
    const QRect all = below->frameGeometry().united(above->frameGeometry());
    QPixmap pixmap(all.size());
    pixmap.fill(QColor(160, 160, 160));
    QPainter painter(&pixmap);
    painter.drawPixmap(below->geometry().topLeft() - all.topLeft(), below->grab());
    painter.drawPixmap(above->geometry().topLeft() - all.topLeft(), above->grab());
    return pixmap;
}

// Runs action on the modal window of type T once it is up and active.
template<class T>
void whenModal(std::function<void(T *)> action)
{
    auto *timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, action] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        if (!modal->isActiveWindow()) {
            modal->activateWindow();
            return;
        }
        timer->stop();
        timer->deleteLater();
        QApplication::processEvents();
        action(modal);
    });
    timer->start();
}

void typeInto(QWidget *edit, const QString &text)
{
    edit->setFocus(Qt::TabFocusReason);
    QTest::keyClick(edit, Qt::Key_Home);
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Tab);
    QApplication::processEvents();
}

void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center());
    QApplication::processEvents();
}

// What a user does in the filter dialog, with pictures on the way.
void workFilter(TfrmFiltroAcomPOL *dialog, const QString &ol, const QDate &from,
                const QDate &to, const QDir &out)
{
    save(dialog, out.filePath("vex00300-filtro.png"));
    click(dialog->rbtConsolLista);
    save(dialog, out.filePath("vex00300-filtro-lista.png"));
    click(dialog->rbtConsolTodas);

    typeInto(dialog->medFilOL, ol);
    typeInto(dialog->depEntrIni, from.toString(QStringLiteral("ddMMyyyy")));
    typeInto(dialog->depEntrFin, to.toString(QStringLiteral("ddMMyyyy")));

    click(dialog->rbtFilialLista);
    whenModal<MultiSelectDialog>([dialog, out](MultiSelectDialog *list) {
        QWidget *rows = list->focusWidget() ? list->focusWidget() : list;
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(rows, Qt::Key_Space);
            QTest::keyClick(rows, Qt::Key_Down);
        }
        // Off the dialog's centre, so the picture shows both.
        list->move(dialog->geometry().topLeft() + QPoint(150, 110));
        QApplication::processEvents();
        savePixmap(stacked(dialog, list), out.filePath("vex00300-lista-filiais.png"));
        list->reject();
    });
    dialog->btpFilial->Click();
    click(dialog->rbtFilialTodas);
    dialog->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog, 2000))
        qWarning("the filter dialog did not become active");
    QTest::keyClick(dialog->rbtFilialTodas, Qt::Key_Return, Qt::ControlModifier);
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
        const QDate today = QDate::currentDate();
        const QDir out(outDir);
        whenModal<TfrmFiltroAcomPOL>([&](TfrmFiltroAcomPOL *dialog) {
            workFilter(dialog, ol, today.addDays(-days / 2), today.addDays(days / 2), out);
        });
        // The window's first activation opens the filter dialog.
        Cli_vex00300::IniProc();
        TfrmAcomPOL *window = Cli_vex00300::frmAcomPOL;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(window->parentWidget()))
            sub->showMaximized();
        QDeadlineTimer deadline(60000);
        while ((Cli_vex00300::boPrimVez || Cli_vex00301::boFiltroCriado)
               && !deadline.hasExpired())
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        if (window->cdsFilial->IsEmpty())
            fail(QStringLiteral("the confirmation loaded no requesting branch"));
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
