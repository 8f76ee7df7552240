// The whole cascade against the real application server on a small SQLite
// database: what the confirmation loads into the branch level flows down to
// the stock level, and moving rows re-fetches the right level.
#include "AppServerProcess.h"
#include "Cli_vex00300.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "services/Consiste.h"

#include <QAction>
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

QTEST_MAIN(tst_CascadeE2E)
#include "tst_cascade_e2e.moc"
