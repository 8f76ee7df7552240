// The whole cascade against the real application server on a small SQLite
// database: what the confirmation loads into the branch level flows down to
// the stock level, and moving rows re-fetches the right level. The requests'
// situations (every date of the fixture is past today) filter the requests
// with the cascade under them, and mark negative stock in red.
#include "AppServerProcess.h"
#include "Cli_vex00300.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TDBGrid.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "services/Consiste.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QtTest>

#include <memory>

class tst_CascadeE2E : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void confirmationFillsAllLevels();
    void branchMove_data();
    void branchMove();
    void requestMoveRefetchesProducts();
    void verifyShowsARequestAddedMeanwhile();
    void quickFilter_data();
    void quickFilter();
    void filterAcrossVerifyAndFiltering();
    void negativeStock_data();
    void negativeStock();
    void unreachableServerLeavesANote(); // last: stops the server

private:
    void confirm();
    QStringList column(TClientDataSet *ds, const QString &field) const;

    VexTest::AppServerProcess m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
};

void tst_CascadeE2E::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    const QString dbUrl = m_server.databaseUrl();
    const quint16 port = m_server.port();
    VexTest::useServerPort(port);
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(dbUrl);
    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(m_window && m_window->netAcomPOL);
    // The tests confirm for the dialog: waiting for an answer in the
    // background must not let the first activation open it.
    Cli_vex00300::boPrimVez = false;
}

void tst_CascadeE2E::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
    m_server.stop();
}

void tst_CascadeE2E::init()
{
    confirm();
}

// What the filter's confirmation does: criteria to the window, then the
// branch list into cdsFilial, which sets off the cascade.
void tst_CascadeE2E::confirm()
{
    VexTest::confirmEverything(m_window);
}

QStringList tst_CascadeE2E::column(TClientDataSet *ds, const QString &field) const
{
    QStringList values;
    if (!ds->Active())
        return {QStringLiteral("<closed>")};
    const int keep = ds->CurrentRow();
    for (int row = 0; row < ds->RecordCount(); ++row) {
        TRecordScope scope(ds, row);
        values << ds->FieldByName(field)->AsString();
    }
    Q_UNUSED(keep)
    return values;
}

void tst_CascadeE2E::confirmationFillsAllLevels()
{
    TfrmAcomPOL *w = m_window;
    QCOMPARE(column(w->cdsFilial, "CDFILSOLI"), (QStringList{"0001", "0002"}));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), (QStringList{"R1", "R2"}));
    QCOMPARE(column(w->cdsProd, "NRPEDEXOL"), (QStringList{"PED1", "PED2"}));
    QCOMPARE(column(w->cdsProdOL, "QUANT_ESTOQUE"), QStringList{"100"});
    QCOMPARE(w->cdsProdOLESTOQ_DISPO->AsFloat(), 70.0);
    QCOMPARE(w->cdsProdOLRESERVA_ITEM->AsFloat(), 3.0);
    QCOMPARE(w->cdsSoliNRSEQUCONSOL->DisplayText(), QStringLiteral("Sim"));
    QCOMPARE(w->cdsSoliCDFILIOPELOG->DisplayText(), QStringLiteral("OL"));
    QCOMPARE(w->cdsProdIDBAIXENPEOL->DisplayText(), QStringLiteral("Baixa Parcial"));
    QCOMPARE(w->dbtOL->text(), QStringLiteral("Operador Campinas"));
}

void tst_CascadeE2E::branchMove_data()
{
    QTest::addColumn<int>("branchRow");
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("orders");
    QTest::addColumn<QString>("stock");
    QTest::newRow("second branch") << 1 << QStringList{"R3"} << QStringList{"PED3"} << "70";
    QTest::newRow("back to the first") << 0 << QStringList{"R1", "R2"}
                                       << QStringList{"PED1", "PED2"} << "100";
}

void tst_CascadeE2E::branchMove()
{
    QFETCH(int, branchRow);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, orders);
    QFETCH(QString, stock);
    TfrmAcomPOL *w = m_window;
    w->cdsFilial->MoveTo(1);
    w->cdsFilial->MoveTo(branchRow);
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), requests);
    QCOMPARE(column(w->cdsProd, "NRPEDEXOL"), orders);
    QCOMPARE(column(w->cdsProdOL, "QUANT_ESTOQUE"), QStringList{stock});
}

void tst_CascadeE2E::requestMoveRefetchesProducts()
{
    TfrmAcomPOL *w = m_window;
    w->cdsProd->MoveTo(1);
    QCOMPARE(column(w->cdsProdOL, "QUANT_ESTOQUE"), QStringList{"50"});
    QCOMPARE(w->cdsProdOLRESERVA_ITEM->AsFloat(), 0.0);
    w->cdsSoli->MoveTo(1); // not consolidated
    QVERIFY(!w->cdsProd->Active());
    QVERIFY(!w->cdsProdOL->Active());
    w->cdsSoli->MoveTo(0);
    QCOMPARE(column(w->cdsProd, "NRPEDEXOL"), (QStringList{"PED1", "PED2"}));
}

// Someone enters a request for the current branch after the filtering; F5
// on the request page fetches it from the database through the server.
void tst_CascadeE2E::verifyShowsARequestAddedMeanwhile()
{
    TfrmAcomPOL *w = m_window;
    w->cdsFilial->MoveTo(1);
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), QStringList{"R3"});
    {
        QSqlQuery q(dtmDBGeral().adcGeral());
        QVERIFY2(q.exec("INSERT INTO SOLICMP (NRSOLICMP, CDPRODUTO, CDFILSOLI, DTSOLICMP,"
                        " DTPROGENTR, QTSOLIPROD, VRFATOCONV, IDSOLIAPROV, CDFILIOPELOG,"
                        " CDPRODESTO, IDITMCONS) VALUES ('R9', 'P1', '0002', '2025-03-05',"
                        " '2025-03-15', 2, 1, 'N', '0100', 'P1', 'N')"),
                 qPrintable(q.lastError().text()));
    }
    w->pgcPadrao->setCurrentWidget(w->tshFormulario);
    w->mnuVerificar->trigger();
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), (QStringList{"R3", "R9"}));
    QCOMPARE(w->cdsFilialCDFILSOLI->AsString(), QStringLiteral("0002"));
    w->pgcPadrao->setCurrentWidget(w->tshFolhaDados);
}

void tst_CascadeE2E::quickFilter_data()
{
    QTest::addColumn<int>("branchRow");
    QTest::addColumn<RequestSituation>("situation");
    QTest::addColumn<QStringList>("requests"); // "number: situation"
    QTest::addColumn<QStringList>("orders");   // of the first request shown
    const QStringList closed{"<closed>"};
    const QString r1 = "R1: Igual, Embarque vencido", r2 = "R2: Sem pedido vencida";
    QTest::newRow("all: the last request stays current")
        << 0 << RequestSituation::All << QStringList{r1, r2} << closed;
    QTest::newRow("overdue without an order")
        << 0 << RequestSituation::OverdueWithoutOrder << QStringList{r2} << closed;
    QTest::newRow("shipping overdue: its order's lines")
        << 0 << RequestSituation::OverdueShipping << QStringList{r1}
        << QStringList{"PED1", "PED2"};
    QTest::newRow("none negative: nothing below left on show")
        << 0 << RequestSituation::NegativeStock << QStringList{} << closed;
    QTest::newRow("other branch") << 1 << RequestSituation::OverdueShipping
                                  << QStringList{"R3: Igual, Embarque vencido"}
                                  << QStringList{"PED3"};
}

// From the last request (no order: nothing below), as page 1's count opens
// it: the first request shown brings its own order lines.
void tst_CascadeE2E::quickFilter()
{
    QFETCH(int, branchRow);
    QFETCH(RequestSituation, situation);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, orders);
    TfrmAcomPOL *w = m_window;
    w->cdsFilial->MoveTo(branchRow);
    w->cdsSoli->Last();
    w->OpenRequestsFiltered(situation);
    QCOMPARE(w->pgcPadrao->currentWidget(), w->tshFormulario);
    QCOMPARE(w->cbxSituacao->currentIndex(), int(situation));
    const auto shown = [w] {
        QStringList rows;
        for (int row = 0; row < w->cdsSoli->RecordCount(); ++row)
            rows << w->cdsSoli->RawValue(row, w->cdsSoliNRSOLICMP->Index()).toString() + ": "
                    + w->dbgSoli->cellText(row, 12);
        return rows;
    };
    QTRY_COMPARE(shown(), requests);
    QTRY_COMPARE(column(w->cdsProd, "NRPEDEXOL"), orders);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
}

void tst_CascadeE2E::filterAcrossVerifyAndFiltering()
{
    TfrmAcomPOL *w = m_window;
    w->OpenRequestsFiltered(RequestSituation::OverdueWithoutOrder);
    w->mnuVerificar->trigger(); // F5 keeps the choice and asks again
    QTRY_COMPARE(w->dbgSoli->cellText(0, 12), QStringLiteral("Sem pedido vencida"));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), QStringList{"R2"});
    confirm(); // new criteria: every request again
    QCOMPARE(w->cbxSituacao->currentIndex(), int(RequestSituation::All));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), (QStringList{"R1", "R2"}));
}

void tst_CascadeE2E::negativeStock_data()
{
    QTest::addColumn<double>("reserved"); // of 100 in stock
    QTest::addColumn<bool>("negative");
    QTest::newRow("reserved beyond the stock") << 100.5 << true;
    QTest::newRow("all of it reserved") << 100.0 << false;
    QTest::newRow("as the fixture has it") << 30.0 << false;
}

// The stock grid draws the available quantity in red exactly when the
// request's situation says "Estoque negativo".
void tst_CascadeE2E::negativeStock()
{
    QFETCH(double, reserved);
    QFETCH(bool, negative);
    QSqlQuery q(dtmDBGeral().adcGeral());
    q.prepare("UPDATE ESTOQUEOL SET QTRESERVESTOL = ? WHERE CDPRODUTO = 'P1' AND CDMARCA = 'M1'");
    q.addBindValue(reserved);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    TfrmAcomPOL *w = m_window;
    w->OpenRequestsFiltered(RequestSituation::NegativeStock);
    w->mnuVerificar->trigger(); // the stock as it is now
    QTRY_COMPARE(column(w->cdsSoli, "NRSOLICMP"), negative ? QStringList{"R1"} : QStringList{});
    w->OpenRequestsFiltered(RequestSituation::All);
    QTRY_COMPARE(w->cdsProdOLESTOQ_DISPO->AsFloat(), 100 - reserved);
    TDBGrid *grid = w->dbgProdOL;
    const QRect cell = grid->visualRect(grid->model()->index(0, 2));
    const QImage shot = grid->viewport()->grab().toImage().copy(cell);
    int red = 0;
    for (int y = 0; y < shot.height(); ++y) {
        for (int x = 0; x < shot.width(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            red += c.red() > 200 && c.green() < 80 && c.blue() < 80;
        }
    }
    QCOMPARE(red > 0, negative);
}

// Situations unknown: a filter shows no request, counts none, and a note
// says why, with no error box.
void tst_CascadeE2E::unreachableServerLeavesANote()
{
    TfrmAcomPOL *w = m_window;
    w->OpenRequestsFiltered(RequestSituation::OverdueShipping);
    m_server.kill();
    // The branch's requests again, none consolidated: nothing below is asked.
    w->cdsSoli->LoadFromPacket(VexTest::packetFor(
        AcomPOLDataSets::soliFields(), {{{"NRSOLICMP", "R2"}, {"CDPRODUTO", "P2"}}}));
    QTRY_VERIFY2(w->lblSituacaoNota->text().contains("F5"),
                 qPrintable(w->lblSituacaoNota->text()));
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), QStringList{});
    QCOMPARE(w->cbxSituacao->currentText(), QStringLiteral("Embarque vencido")); // no count
}

QTEST_MAIN(tst_CascadeE2E)
#include "tst_cascade_e2e.moc"
