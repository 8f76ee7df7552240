// The branches' counts on page "Filial Solicitante" against a recording
// server: asked after the list, filled in when they come, dropped when the
// list they belong to is replaced, and a failure kept to a note.
#include "BranchTotalsBar.h"
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"
#include "RecordingServer.h"
#include "TestSupport.h"

#include "OleDate.h"
#include "app/TApplication.h"
#include "controls/TDBGrid.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "data/TdtmDBGeral.h"

#include <QAction>
#include <QDate>
#include <QJsonArray>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {
const char *const kCounts[] = {"QTITENS",     "QTCONSOL",    "QTPEDIDO",
                               "QTMAIOR",     "QTMENOR",     "QTIGUAL",
                               "QTATRASOPED", "QTATRASOEMB", "QTESTNEG"};

// GetResumoFiliais's packet: per branch, its nine counts in column order.
QJsonObject countsPacket(const QList<std::pair<QString, QList<int>>> &branches)
{
    QJsonArray fields{QJsonObject{{"name", "CDFILSOLI"}, {"type", "string"}, {"size", 4}},
                      QJsonObject{{"name", "NMFILIAL"}, {"type", "string"}, {"size", 30}}};
    for (const char *name : kCounts)
        fields.append(QJsonObject{{"name", name}, {"type", "integer"}});
    QJsonArray rows;
    for (const auto &[code, counts] : branches) {
        QJsonArray row{code, "Filial " + code};
        for (int n : counts)
            row.append(n);
        rows.append(row);
    }
    return {{"fields", fields}, {"rows", rows}};
}
} // namespace

class tst_BranchCounts : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void askedAfterTheListWithItsCriteria();
    void countsFillInByBranch();
    void failureLeavesANote_data();
    void failureLeavesANote();
    void newListDropsTheAnswerOnItsWay_data();
    void newListDropsTheAnswerOnItsWay();
    void sortsByACount();
    void twoColumnsOneCommandAway();

private:
    void verify() { m_window->mnuVerificar->trigger(); }
    QString cell(int row, const QString &column) const;
    QStringList column(const QString &name) const;

    std::unique_ptr<VexTest::HostFixture> m_host;
    RecordingServer m_server;
    QPointer<TfrmAcomPOL> m_window;
    QTemporaryDir m_dir;
};

void tst_BranchCounts::initTestCase()
{
    QVERIFY(m_server.start());
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(QStringLiteral("sqlite:") + m_dir.filePath("counts.db"));
    QSqlQuery q(dtmDBGeral().adcGeral());
    QVERIFY(q.exec("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))"));
    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(m_window);
    Cli_vex00300::boPrimVez = false;
    Cli_vex00301::frmFiltroAcomPOL =
        TApplication::instance()->CreateDialog<TfrmFiltroAcomPOL>();
}

void tst_BranchCounts::cleanupTestCase()
{
    delete Cli_vex00301::frmFiltroAcomPOL.data();
    delete m_window.data();
    m_host.reset();
}

void tst_BranchCounts::init()
{
    m_server.clearAnswers();
    m_server.setResult("GetFiliSoliGrid", VexTest::packetJson(AcomPOLDataSets::filialFields(),
        {{{"CDFILSOLI", "0001"}}, {{"CDFILSOLI", "0002"}}, {{"CDFILSOLI", "0003"}}}));
    m_server.setResult("GetSoli", VexTest::packetJson(AcomPOLDataSets::soliFields(), {}));
    TfrmFiltroAcomPOL *dialog = Cli_vex00301::frmFiltroAcomPOL;
    dialog->depEntrIni->SetDate(46000);
    dialog->depEntrFin->SetDate(46030);
    dialog->depSolIni->Clear();
    dialog->depSolFin->Clear();
    dialog->medProdutoInicial->SetText(QString());
    dialog->medProdutoFinal->SetText(QString());
    m_window->Var_filtro("", "T", "0100", "", "T", "", "", "T", "", "T", "T", "T", "T", "T",
                         46000, 46030, 0, 0);
    m_window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001", "0002", "0003"}));
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFolhaDados);
    m_window->cdsFilial->ClearSort();
    m_server.clearCalls();
    m_host->errors.clear();
    m_host->messages.clear();
}

QString tst_BranchCounts::cell(int row, const QString &column) const
{
    const QList<TColumn *> columns = m_window->dbgPadrao->Columns();
    for (int c = 0; c < columns.size(); ++c) {
        if (columns[c]->FieldName == column)
            return m_window->dbgPadrao->cellText(row, c);
    }
    return QStringLiteral("?");
}

QStringList tst_BranchCounts::column(const QString &name) const
{
    QStringList texts;
    for (int row = 0; row < m_window->cdsFilial->RecordCount(); ++row)
        texts << cell(row, name);
    return texts;
}

// The list comes first, alone; the counts follow with its eighteen
// criteria and today.
void tst_BranchCounts::askedAfterTheListWithItsCriteria()
{
    m_server.setResult("GetResumoFiliais", countsPacket({}));
    verify();
    QCOMPARE(m_server.methods(), (QStringList{"GetFiliSoliGrid", "GetSoli"}));
    QTRY_COMPARE(m_server.methods().size(), 3);
    QCOMPARE(m_server.methods().last(), QStringLiteral("GetResumoFiliais"));
    QJsonArray expected = m_server.calls().first().params;
    expected.append(OleDate::fromDate(QDate::currentDate()));
    QCOMPARE(m_server.calls().last().params, expected);
}

// Each row takes the counts of its own branch, whatever order they come
// in; a branch the answer leaves out stays empty; the totals are the sums.
void tst_BranchCounts::countsFillInByBranch()
{
    m_server.setResult("GetResumoFiliais",
                       countsPacket({{"0003", {12, 10, 9, 2, 3, 4, 1, 0, 2}},
                                     {"0001", {1500, 1, 1, 0, 0, 1, 0, 5, 0}}}));
    verify();
    QTRY_COMPARE(column("QTITENS"), (QStringList{"1.500", "", "12"}));
    QCOMPARE(column("QTATRASOEMB"), (QStringList{"5", "", "0"}));
    QCOMPARE(column("QTESTNEG"), (QStringList{"0", "", "2"}));
    QCOMPARE(m_window->panTotais->totalOf("QTITENS"), QStringLiteral("1.512"));
    QCOMPARE(m_window->panTotais->totalOf("QTATRASOPED"), QStringLiteral("1"));
    QVERIFY(m_window->panTotais->note().isEmpty());
    const QString hint = m_window->dbgPadrao->cellHint(2, 11);
    QVERIFY2(hint.contains(QStringLiteral("Sem pedido: 3 (25,0%)")), qPrintable(hint));
}

void tst_BranchCounts::failureLeavesANote_data()
{
    QTest::addColumn<QJsonObject>("packet"); // empty: an error answer
    QJsonObject noColumn = countsPacket({{"0001", {1, 1, 1, 1, 0, 0, 0, 0, 0}}});
    QJsonArray fields = noColumn["fields"].toArray();
    fields.removeLast();
    noColumn["fields"] = fields;
    QJsonObject shortRow = noColumn;
    shortRow["rows"] = QJsonArray{QJsonArray{"0001", "Filial"}};
    QTest::newRow("server error") << QJsonObject();
    QTest::newRow("a column missing") << noColumn;
    QTest::newRow("negative count") << countsPacket({{"0001", {1, 1, 1, -1, 0, 0, 0, 0, 0}}});
}

void tst_BranchCounts::failureLeavesANote()
{
    QFETCH(QJsonObject, packet);
    if (packet.isEmpty())
        m_server.setError("GetResumoFiliais", -32000, QStringLiteral("Banco indisponível"));
    else
        m_server.setResult("GetResumoFiliais", packet);
    verify();
    QTRY_VERIFY(!m_window->panTotais->note().isEmpty());
    QCOMPARE(column("QTITENS"), (QStringList{"", "", ""}));
    QVERIFY(m_window->panTotais->totalOf("QTITENS").isEmpty());
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QVERIFY(m_host->messages.isEmpty());
    QCOMPARE(m_window->cdsFilial->RecordCount(), 3);
}

// An answer that has not come back when the list is asked again (or
// closed for a new filtering) is never shown; the new one is.
void tst_BranchCounts::newListDropsTheAnswerOnItsWay_data()
{
    QTest::addColumn<bool>("refilter");
    QTest::newRow("verify again") << false;
    QTest::newRow("list closed") << true;
}

void tst_BranchCounts::newListDropsTheAnswerOnItsWay()
{
    QFETCH(bool, refilter);
    m_server.setResult("GetResumoFiliais",
                       countsPacket({{"0001", {7, 0, 0, 0, 0, 0, 0, 0, 0}}}));
    m_server.setDelay("GetResumoFiliais", 400);
    verify();
    QTRY_COMPARE(m_server.methods().count("GetResumoFiliais"), 1);
    m_server.setResult("GetResumoFiliais",
                       countsPacket({{"0001", {8, 0, 0, 0, 0, 0, 0, 0, 0}}}));
    m_server.setDelay("GetResumoFiliais", 0);
    if (refilter) {
        m_window->cdsFilial->Close();
        m_window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001"}));
        QTest::qWait(700);
        QCOMPARE(cell(0, "QTITENS"), QString());
        return;
    }
    verify();
    QTRY_COMPARE(cell(0, "QTITENS"), QStringLiteral("8"));
    QTest::qWait(700);
    QCOMPARE(cell(0, "QTITENS"), QStringLiteral("8"));
}

// A count column sorts like any other, and again once the counts arrive.
void tst_BranchCounts::sortsByACount()
{
    m_server.setResult("GetResumoFiliais",
                       countsPacket({{"0001", {5, 0, 0, 0, 0, 0, 2, 0, 0}},
                                     {"0002", {5, 0, 0, 0, 0, 0, 9, 0, 0}},
                                     {"0003", {5, 0, 0, 0, 0, 0, 0, 0, 0}}}));
    const int col = 8; // "Sem pedido vencidas"
    m_window->dbgPadrao->ToggleSort(col);
    m_window->dbgPadrao->ToggleSort(col); // descending
    verify();
    QTRY_COMPARE(column("QTATRASOPED"), (QStringList{"9", "2", "0"}));
    QCOMPARE(column("CDFILSOLI"), (QStringList{"0002", "0001", "0003"}));
    QVERIFY(m_window->dbgPadrao->LayoutLines().contains("dbgPadrao.sort=QTATRASOPED:desc"));
}

// One command hides every count (the code and name alone), kept with the
// grid's layout; the same command brings them back.
void tst_BranchCounts::twoColumnsOneCommandAway()
{
    m_window->mnuContagens->trigger();
    QCOMPARE(m_window->dbgPadrao->VisibleColumns().size(), 2);
    const QString columns = m_window->dbgPadrao->LayoutLines().first();
    QVERIFY2(columns.contains("QTITENS::oculta") && columns.contains("SITUACAO::oculta"),
             qPrintable(columns));
    m_window->dbgPadrao->RestoreLayout({columns});
    QCOMPARE(m_window->dbgPadrao->VisibleColumns().size(), 2);
    m_window->mnuContagens->trigger();
    QCOMPARE(m_window->dbgPadrao->VisibleColumns().size(), 12);
}

QTEST_MAIN(tst_BranchCounts)
#include "tst_branch_counts.moc"
