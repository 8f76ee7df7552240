// The requests' situations on page "Solicitação" against the real server
// over the cascade's SQLite fixture (every date there is past today): the
// column, the quick filter and the cascade under it, and the stock in red.
#include "AppServerProcess.h"
#include "Cli_vex00300.h"
#include "TestSupport.h"

#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QtTest>

#include <memory>

class tst_RequestSituations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void quickFilter_data();
    void quickFilter();
    void filterAcrossVerifyAndFiltering();
    void negativeStock_data();
    void negativeStock();
    void unreachableServerLeavesANote(); // last: stops the server

private:
    QStringList column(TClientDataSet *ds, const QString &field) const;

    VexTest::AppServerProcess m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
};

void tst_RequestSituations::initTestCase()
{
    QString error;
    QVERIFY2(m_server.start(&error), qPrintable(error));
    m_window = VexTest::windowOnServer(m_server.port(), m_server.databaseUrl(), m_host);
    QVERIFY(m_window);
}

void tst_RequestSituations::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
    m_server.stop();
}

void tst_RequestSituations::init()
{
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFolhaDados);
    VexTest::confirmEverything(m_window);
}

QStringList tst_RequestSituations::column(TClientDataSet *ds, const QString &field) const
{
    if (!ds->Active())
        return {QStringLiteral("<closed>")};
    QStringList values;
    for (int row = 0; row < ds->RecordCount(); ++row) {
        TRecordScope scope(ds, row);
        values << ds->FieldByName(field)->DisplayText();
    }
    return values;
}

void tst_RequestSituations::quickFilter_data()
{
    QTest::addColumn<int>("branchRow");
    QTest::addColumn<RequestSituation>("situation");
    QTest::addColumn<QStringList>("requests"); // "number: situation"
    QTest::addColumn<QStringList>("orders");   // of the first request shown
    const QStringList closed{"<closed>"};
    const QString r1 = "R1: Igual, Embarque vencido";
    QTest::newRow("all") << 0 << RequestSituation::All
                         << QStringList{r1, "R2: Sem pedido vencida"} << QStringList{};
    QTest::newRow("overdue without an order")
        << 0 << RequestSituation::OverdueWithoutOrder << QStringList{"R2: Sem pedido vencida"}
        << closed;
    QTest::newRow("shipping overdue: its order's lines")
        << 0 << RequestSituation::OverdueShipping << QStringList{r1}
        << QStringList{"PED1", "PED2"};
    QTest::newRow("none negative: nothing below left on show")
        << 0 << RequestSituation::NegativeStock << QStringList{} << closed;
    QTest::newRow("other branch") << 1 << RequestSituation::OverdueShipping
                                  << QStringList{"R3: Igual, Embarque vencido"}
                                  << QStringList{"PED3"};
}

// From the second request (no order: nothing below), as page 1's count
// opens it: the first request shown brings its own order lines.
void tst_RequestSituations::quickFilter()
{
    QFETCH(int, branchRow);
    QFETCH(RequestSituation, situation);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, orders);
    TfrmAcomPOL *w = m_window;
    w->cdsFilial->MoveTo(branchRow);
    w->cdsSoli->Last();
    w->OpenRequestsFiltered(situation);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(w->pgcPadrao->currentWidget(), w->tshFormulario);
    QCOMPARE(w->cbxSituacao->currentIndex(), int(situation));
    QStringList shown = column(w->cdsSoli, "NRSOLICMP");
    const QStringList texts = column(w->cdsSoli, "SITUACAO");
    for (int i = 0; i < shown.size(); ++i)
        shown[i] += QStringLiteral(": ") + texts.at(i);
    QCOMPARE(shown, requests);
    if (!orders.isEmpty())
        QCOMPARE(column(w->cdsProd, "NRPEDEXOL"), orders);
}

void tst_RequestSituations::filterAcrossVerifyAndFiltering()
{
    TfrmAcomPOL *w = m_window;
    w->OpenRequestsFiltered(RequestSituation::OverdueWithoutOrder);
    w->mnuVerificar->trigger(); // F5 keeps the choice and asks again
    QTRY_COMPARE(column(w->cdsSoli, "SITUACAO"), QStringList{"Sem pedido vencida"});
    QCOMPARE(w->cbxSituacao->currentIndex(), int(RequestSituation::OverdueWithoutOrder));
    VexTest::confirmEverything(w); // new criteria: every request again
    QCOMPARE(w->cbxSituacao->currentIndex(), int(RequestSituation::All));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), (QStringList{"R1", "R2"}));
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
}

void tst_RequestSituations::negativeStock_data()
{
    QTest::addColumn<double>("reserved"); // of 100 in stock
    QTest::addColumn<bool>("negative");
    QTest::newRow("reserved beyond the stock") << 100.5 << true;
    QTest::newRow("all of it reserved") << 100.0 << false;
    QTest::newRow("some reserved") << 30.0 << false;
}

// The stock grid draws the available quantity in red exactly when the
// request's situation says "Estoque negativo".
void tst_RequestSituations::negativeStock()
{
    QFETCH(double, reserved);
    QFETCH(bool, negative);
    {
        QSqlQuery q(dtmDBGeral().adcGeral());
        q.prepare("UPDATE ESTOQUEOL SET QTRESERVESTOL = ? WHERE CDFILIOPELOG = '0100'"
                  " AND CDPRODUTO = 'P1' AND CDMARCA = 'M1'");
        q.addBindValue(reserved);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }
    TfrmAcomPOL *w = m_window;
    w->OpenRequestsFiltered(RequestSituation::All);
    w->mnuVerificar->trigger(); // the stock as it is now
    QCOMPARE(w->cdsProdOLESTOQ_DISPO->AsFloat(), 100 - reserved);
    w->OpenRequestsFiltered(RequestSituation::NegativeStock);
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), negative ? QStringList{"R1"} : QStringList{});
    w->OpenRequestsFiltered(RequestSituation::All);
    w->dbgSoli->setFocus();
    TDBGrid *grid = w->dbgProdOL;
    grid->resize(600, 80);
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
void tst_RequestSituations::unreachableServerLeavesANote()
{
    TfrmAcomPOL *w = m_window;
    w->cbxSituacao->setCurrentIndex(int(RequestSituation::All));
    m_server.kill();
    w->OpenRequestsFiltered(RequestSituation::OverdueShipping);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QVERIFY2(w->lblSituacaoNota->text().contains("F5"), qPrintable(w->lblSituacaoNota->text()));
    QCOMPARE(column(w->cdsSoli, "NRSOLICMP"), QStringList{});
    QCOMPARE(w->cbxSituacao->currentText(), QStringLiteral("Embarque vencido")); // no count
}

QTEST_MAIN(tst_RequestSituations)
#include "tst_request_situations.moc"
