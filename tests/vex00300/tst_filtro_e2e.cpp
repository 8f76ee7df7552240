// The main job against the real application server: the screen opens, the
// filter dialog comes up by itself, a user types and picks the criteria and
// confirms, and all four levels fill.
#include "AppServerProcess.h"
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"
#include "FilterDriver.h"
#include "TestSupport.h"

#include "Database.h"
#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "forms/MultiSelectDialog.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
// A consolidation run whose number fills the column's 15 characters, and
// one request of a third branch that it took, with its order line.
const char *const kLongConsolidation[] = {
    "INSERT INTO CONSOLOL VALUES ('202503000000001', '0100', '2025-03-01', '2025-03-07')",
    "INSERT INTO SOLICMP (NRSOLICMP, CDPRODUTO, CDFILSOLI, DTSOLICMP, DTPROGENTR, QTSOLIPROD,"
    " VRFATOCONV, IDSOLIAPROV, CDFILIOPELOG, CDPRODESTO, NRSEQUCONSOL, NRSOLCMPCONS,"
    " IDITMCONS) VALUES ('R4', 'P1', '0003', '2025-03-05', '2025-03-15', 7, 1, 'S', '0100',"
    " 'P1', '202503000000001', 'K4', 'S')",
    "INSERT INTO PEDIDOOL (NRPEDEXOL, CDFILDEST, CDPRODUTO, CDMARCA, CDFILLANC, CDFILIOPELOG,"
    " NRSEQUCONSOL, QTPROGENPEOL, VRFATOCONV, DTPROGENPEOL, DTPROGEMBARQ, IDBAIXENPEOL,"
    " IDBAIXAOLSAI, QTRESERVITEM) VALUES ('PED4', '0003', 'P1', 'M1', '0003', '0100',"
    " '202503000000001', 7, 1, '2025-03-12', '2025-03-13', NULL, NULL, 2)",
};

QStringList column(TClientDataSet *ds, const char *field)
{
    if (!ds->Active())
        return {QStringLiteral("<closed>")};
    QStringList values;
    for (int row = 0; row < ds->RecordCount(); ++row) {
        TRecordScope scope(ds, row);
        values << ds->FieldByName(QLatin1String(field))->AsString();
    }
    return values;
}

// Runs action once a modal window of type T is up.
template<class T>
void whenModal(QObject *owner, std::function<void(T *)> action)
{
    auto *timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, owner, [timer, action] {
        auto *modal = qobject_cast<T *>(QApplication::activeModalWidget());
        if (!modal)
            return;
        if (!modal->isActiveWindow()) {
            modal->activateWindow();
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start(20);
}

// Keys to the multi-selection: Space marks the current row, Down moves.
void markRows(MultiSelectDialog *list, const QString &keys)
{
    for (const QChar key : keys) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : list, key == u'x' ? Qt::Key_Space : Qt::Key_Down);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}
} // namespace

class tst_FiltroE2E : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void mainJob_data();
    void mainJob();
    void keyboardWalk();

private:
    VexTest::AppServerProcess m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
};

void tst_FiltroE2E::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    {
        QSqlDatabase db = VexDb::open(m_server.databaseUrl(), "e2e-extra", &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        QSqlQuery q(db);
        for (const char *sql : kLongConsolidation)
            QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase("e2e-extra");
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(m_server.databaseUrl());
}

void tst_FiltroE2E::cleanupTestCase()
{
    delete Cli_vex00300::frmAcomPOL.data();
    m_host.reset();
}

void tst_FiltroE2E::mainJob_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("listKeys");   // marks in the multi-selection
    QTest::addColumn<QStringList>("branches");
    QTest::addColumn<QStringList>("requests"); // of the first branch
    QTest::addColumn<QStringList>("orders");
    QTest::addColumn<QStringList>("stock");
    const QString ol = "type medFilOL 100; key Tab;"
                       "type depEntrIni 01032025; key Tab; type depEntrFin 31032025; key Tab;";
    QTest::newRow("branches picked")
        << ol + "key Tab; key Tab; key Right; key F2"
        << "xddx" << QStringList{"0001", "0003"} << QStringList{"R1", "R2"}
        << QStringList{"PED1", "PED2"} << QStringList{"100"};
    QTest::newRow("a 15-character consolidation")
        << ol + "click rbtFilialTodas; focus rbtConsolTodas; key Right; key F2" << "x"
        << QStringList{"0003"} << QStringList{"R4"} << QStringList{"PED4"} << QStringList{"100"};
    // Last, so that the keyboard walk below starts from every branch.
    QTest::newRow("every branch") << ol + "click rbtConsolTodas" << ""
                                  << QStringList{"0001", "0002", "0003"}
                                  << QStringList{"R1", "R2"} << QStringList{"PED1", "PED2"}
                                  << QStringList{"100"};
}

void tst_FiltroE2E::mainJob()
{
    QFETCH(QString, steps);
    QFETCH(QString, listKeys);
    QFETCH(QStringList, branches);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, orders);
    QFETCH(QStringList, stock);
    m_host->errors.clear();
    m_host->messages.clear();
    bool driven = false;
    whenModal<TfrmFiltroAcomPOL>(this, [&](TfrmFiltroAcomPOL *dialog) {
        VexTest::FilterDriver driver(dialog);
        if (!listKeys.isEmpty())
            whenModal<MultiSelectDialog>(this, [&](MultiSelectDialog *list) {
                markRows(list, listKeys);
            });
        driver.run(steps);
        // The offscreen platform does not give the activation back when the
        // multi-selection closes, as a window manager does.
        dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(dialog));
        driver.run("focus chbPedIgual; key Ctrl+Return");
        driven = true;
        if (dialog->isVisible())
            dialog->reject(); // a failed confirmation must not hang the test
    });
    // The first opening comes from the window's first activation; later ones
    // from its filter command.
    if (!Cli_vex00300::frmAcomPOL)
        Cli_vex00300::IniProc();
    else
        Cli_vex00300::frmAcomPOL->sbtFiltroClick(nullptr);
    QTRY_VERIFY_WITH_TIMEOUT(driven && !Cli_vex00301::boFiltroCriado, 20000);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QVERIFY2(m_host->messages.isEmpty(), qPrintable(m_host->messages.join('\n')));
    TfrmAcomPOL *w = Cli_vex00300::frmAcomPOL;
    QCOMPARE(Cli_vex00300::stFilOL, QStringLiteral("0100"));
    QCOMPARE(column(w->cdsFilial, "CDFILSOLI"), branches);
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), requests);
    QCOMPARE(column(w->cdsProd, "NRPEDEXOL"), orders);
    QCOMPARE(column(w->cdsProdOL, "QUANT_ESTOQUE"), stock);
    if (requests == QStringList{"R4"})
        QCOMPARE(w->cdsSoliNRSEQUCONSOL->AsString(), QStringLiteral("202503000000001"));
}

// After a filtering done from the keyboard, every level is reached with keys
// alone: rows, Enter into the requests, F6 through the grids, pages, F5.
void tst_FiltroE2E::keyboardWalk()
{
    TfrmAcomPOL *w = Cli_vex00300::frmAcomPOL;
    QVERIFY(w);
    QWidget *top = w->window();
    top->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(top));
    w->pgcPadrao->setCurrentWidget(w->tshFolhaDados);
    w->dbgPadrao->setFocus();
    QTRY_VERIFY(w->dbgPadrao->hasFocus());
    auto key = [](int k, Qt::KeyboardModifiers m = Qt::NoModifier) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(k), m);
    };
    key(Qt::Key_Home);
    key(Qt::Key_Down);
    QCOMPARE(w->cdsFilialCDFILSOLI->AsString(), QStringLiteral("0002"));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), QStringList{"R3"});
    key(Qt::Key_Return);
    QCOMPARE(w->pgcPadrao->currentWidget(), w->tshFormulario);
    QTRY_VERIFY(w->dbgSoli->hasFocus());
    key(Qt::Key_F6);
    QTRY_VERIFY(w->dbgProd->hasFocus());
    QCOMPARE(column(w->cdsProd, "NRPEDEXOL"), QStringList{"PED3"});
    key(Qt::Key_F6);
    QTRY_VERIFY(w->dbgProdOL->hasFocus());
    QCOMPARE(column(w->cdsProdOL, "QUANT_ESTOQUE"), QStringList{"70"});
    key(Qt::Key_F6, Qt::ShiftModifier);
    QTRY_VERIFY(w->dbgProd->hasFocus());
    key(Qt::Key_F5); // the requests of the current branch again
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), QStringList{"R3"});
    key(Qt::Key_PageUp, Qt::ControlModifier);
    QCOMPARE(w->pgcPadrao->currentWidget(), w->tshFolhaDados);
    QTRY_VERIFY(w->dbgPadrao->hasFocus());
    QCOMPARE(w->cdsFilialCDFILSOLI->AsString(), QStringLiteral("0002"));
}

QTEST_MAIN(tst_FiltroE2E)
#include "tst_filtro_e2e.moc"
