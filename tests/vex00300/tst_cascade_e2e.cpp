// The whole cascade against the real application server on a small SQLite
// database: what the confirmation loads into the branch level flows down to
// the stock level, and moving rows re-fetches the right level.
#include "Cli_vex00300.h"
#include "TestSupport.h"

#include "Database.h"
#include "Schema.h"
#include "app/TApplication.h"
#include "appserver/rdmAcomPOL.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "services/Consiste.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const char *const kFixture[] = {
    "INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDOPELOG, CDFILIOPELOG) VALUES"
    " ('0100', 'Operador Campinas', 'S', NULL),"
    " ('0001', 'Jundiaí', 'N', '0100'),"
    " ('0002', 'Sorocaba', 'N', '0100'),"
    " ('0003', 'Piracicaba', 'N', '0100')",
    "INSERT INTO PRODUTO VALUES ('P1', '0102030001', 'Arroz agulhinha 5 kg', 3, 'FD'),"
    " ('P2', '0102030002', 'Feijão carioca 1 kg', 3, 'FD')",
    "INSERT INTO CONSOLOL VALUES ('C1', '0100', '2025-03-01', '2025-03-07')",
    "INSERT INTO SOLICMP (NRSOLICMP, CDPRODUTO, CDFILSOLI, DTSOLICMP, DTPROGENTR, QTSOLIPROD,"
    " VRFATOCONV, IDSOLIAPROV, CDFILIOPELOG, CDPRODESTO, NRSEQUCONSOL, NRSOLCMPCONS,"
    " IDITMCONS) VALUES"
    " ('R1', 'P1', '0001', '2025-03-02', '2025-03-10', 5, 2, 'S', '0100', 'P1', 'C1', 'K1', 'S'),"
    " ('R2', 'P2', '0001', '2025-03-03', '2025-03-20', 4, 1, 'N', '0100', 'P2', NULL, NULL, 'N'),"
    " ('R3', 'P2', '0002', '2025-03-04', '2025-03-12', 8, 1, 'S', '0100', 'P2', 'C1', 'K2', 'S')",
    "INSERT INTO PEDIDOOL (NRPEDEXOL, CDFILDEST, CDPRODUTO, CDMARCA, CDFILLANC, CDFILIOPELOG,"
    " NRSEQUCONSOL, QTPROGENPEOL, VRFATOCONV, DTPROGENPEOL, DTPROGEMBARQ, IDBAIXENPEOL,"
    " IDBAIXAOLSAI, QTRESERVITEM) VALUES"
    " ('PED1', '0001', 'P1', 'M1', '0001', '0100', 'C1', 6, 1, '2025-03-08', '2025-03-09',"
    "  '1', NULL, 3),"
    " ('PED2', '0001', 'P1', 'M2', '0001', '0100', 'C1', 4, 1, '2025-03-08', '2025-03-09',"
    "  '2', '3', 0),"
    " ('PED3', '0002', 'P2', 'M1', '0002', '0100', 'C1', 8, 1, '2025-03-10', '2025-03-11',"
    "  NULL, NULL, 8)",
    "INSERT INTO ESTOQUEOL VALUES ('0100', 'P1', 'M1', 'P1', 100, 30),"
    " ('0100', 'P1', 'M2', 'P1', 50, 0), ('0100', 'P2', 'M1', 'P2', 70, 10)",
};
} // namespace

class tst_CascadeE2E : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void confirmationFillsAllLevels();
    void branchMove_data();
    void branchMove();
    void requestMoveRefetchesProducts();

private:
    void confirm();
    QStringList column(TClientDataSet *ds, const QString &field) const;

    QTemporaryDir m_dir;
    QProcess m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
};

void tst_CascadeE2E::initTestCase()
{
    const QString dbUrl = QStringLiteral("sqlite:") + m_dir.filePath("e2e.db");
    {
        QString error;
        QSqlDatabase db = VexDb::open(dbUrl, QStringLiteral("e2e-setup"), &error);
        QVERIFY2(db.isOpen(), qPrintable(error));
        QVERIFY2(VexDb::Schema::migrate(db, &error), qPrintable(error));
        QSqlQuery q(db);
        for (const char *sql : kFixture)
            QVERIFY2(q.exec(QString::fromUtf8(sql)), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("e2e-setup"));

    const QString program = QStringLiteral(VEX_BIN_DIR "/vex-appserver");
    QVERIFY2(QFile::exists(program), "bin/vex-appserver is not built");
    m_server.setProgram(program);
    m_server.setArguments({"--database", dbUrl, "--listen", "127.0.0.1:0"});
    m_server.setProcessChannelMode(QProcess::MergedChannels);
    m_server.start();
    QVERIFY2(m_server.waitForStarted(), qPrintable(m_server.errorString()));
    quint16 port = 0;
    const QRegularExpression portPattern(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
    QDeadlineTimer deadline(15000);
    QByteArray output;
    while (!port && !deadline.hasExpired() && m_server.state() == QProcess::Running) {
        m_server.waitForReadyRead(200);
        output += m_server.readAll();
        const auto match = portPattern.match(QString::fromUtf8(output));
        if (match.hasMatch())
            port = quint16(match.captured(1).toUInt());
    }
    QVERIFY2(port, output.constData());

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
    if (m_server.state() == QProcess::Running) {
        m_server.terminate();
        if (!m_server.waitForFinished(10000))
            m_server.kill();
    }
}

void tst_CascadeE2E::init()
{
    confirm();
}

// What the filter's confirmation does: criteria to the window, then the
// branch list into cdsFilial, which sets off the cascade.
void tst_CascadeE2E::confirm()
{
    m_window->Var_filtro("", "T", "0100", "T", "T", "", "", "T", "", "T", "T", "T", "T", "T",
                         0, 0, 0, 0);
    const TServerReply reply = rdmAcomPOL::GetFiliSoliGrid(
        *m_window->netAcomPOL, "", "T", "0100", 0, 0, "T", 0, 0, "T", "", QString(20, u'Z'),
        "T", "", "T", "T", "T", "T", "T");
    m_window->cdsFilial->LoadFromPacket(Consiste::CheckResultServ(reply, true, 0));
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

QTEST_MAIN(tst_CascadeE2E)
#include "tst_cascade_e2e.moc"
