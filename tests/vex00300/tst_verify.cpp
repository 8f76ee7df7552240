// Verify and search on the tracking window against a recording server: what
// each page reloads, with which arguments, and what stays as it was.
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"
#include "RecordingServer.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "controls/TDBGrid.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "controls/WaitAnimation.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "forms/SearchDialog.h"

#include <QAction>
#include <QComboBox>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using AcomPOLDataSets::soliFields;

namespace {
QVariantMap request(const char *nr)
{
    return {{"NRSOLICMP", nr}, {"NRSEQUCONSOL", ""}, {"CDARVPROD", "0102030001"}};
}
} // namespace

class tst_Verify : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void branchPageSendsTheLastFiltering_data();
    void branchPageSendsTheLastFiltering();
    void requestPageReloadsTheCurrentBranch();
    void keepsEachLevelsRow_data();
    void keepsEachLevelsRow();
    void emptyLevelClosesTheLevelsBelow_data();
    void emptyLevelClosesTheLevelsBelow();
    void failureKeepsTheRows();
    void withoutTheDialogTheStoredRangeServes();
    void searchOnTheRequestPageSearchesRequests_data();
    void searchOnTheRequestPageSearchesRequests();

private:
    bool situationsAsked(const QString &branch) const;
    void filter(const QString &prodFin);

    std::unique_ptr<VexTest::HostFixture> m_host;
    RecordingServer m_server;
    QPointer<TfrmAcomPOL> m_window;
    QTemporaryDir m_dir;
};

void tst_Verify::initTestCase()
{
    QVERIFY(m_server.start());
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();
    dtmDBGeral().Open(QStringLiteral("sqlite:") + m_dir.filePath("verify.db"));
    QSqlQuery q(dtmDBGeral().adcGeral());
    QVERIFY(q.exec("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, NMFILIAL VARCHAR(30))"));
    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(m_window);
    Cli_vex00300::boPrimVez = false; // the first activation's dialog is not tested here
    Cli_vex00301::frmFiltroAcomPOL =
        TApplication::instance()->CreateDialog<TfrmFiltroAcomPOL>();
}

void tst_Verify::cleanupTestCase()
{
    delete Cli_vex00301::frmFiltroAcomPOL.data();
    delete m_window.data();
    m_host.reset();
}

void tst_Verify::init()
{
    using VexTest::packetJson;
    m_server.clearAnswers();
    m_server.setResult("GetFiliSoliGrid", VexTest::packetJson(AcomPOLDataSets::filialFields(),
        {{{"CDFILSOLI", "0001"}}, {{"CDFILSOLI", "0002"}}, {{"CDFILSOLI", "0003"}}}));
    m_server.setResult("GetSoli|0001", packetJson(soliFields(), {request("R1")}));
    m_server.setResult("GetSoli|0002", packetJson(soliFields(), {request("R2")}));
    QVariantMap beans = request("R4");
    beans.insert(QVariantMap{{"NMPRODUTO", "Feijão Preto 1 kg"}, {"QTSOLIPROD", 1234.5},
                             {"DTPROGENTR", 46001.0}, {"IDSOLIAPROV", "S"},
                             {"CDARVPROD", "0203040005"}});
    m_server.setResult("GetSoli|0003",
                       packetJson(soliFields(), {request("R3"), beans, request("R5")}));
    filter(QStringLiteral("0102"));
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFolhaDados);
    m_server.clearCalls();
    m_host->errors.clear();
}

// A confirmed filtering: the dialog's controls and the window's criteria
// agree, as the confirmation leaves them.
void tst_Verify::filter(const QString &prodFin)
{
    TfrmFiltroAcomPOL *dialog = Cli_vex00301::frmFiltroAcomPOL;
    dialog->depEntrIni->SetDate(46000);
    dialog->depEntrFin->SetDate(46030);
    dialog->depSolIni->Clear();
    dialog->depSolFin->Clear();
    dialog->medProdutoInicial->SetText(QStringLiteral("01"));
    dialog->medProdutoFinal->SetText(prodFin);
    m_window->Var_filtro("0001,0003", "", "0100", "", "T", "01", prodFin, "", "", "T", "N", "S",
                         "T", "C", 46000, 46030, 0, 0);
    m_window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001", "0002", "0003"}));
}

void tst_Verify::branchPageSendsTheLastFiltering_data()
{
    QTest::addColumn<QString>("prodFin");
    QTest::addColumn<QString>("sent");
    QTest::newRow("empty") << "" << QString(20, u'Z');
    QTest::newRow("three characters") << "010" << "010" + QString(17, u'Z');
    QTest::newRow("twenty characters") << "01234567890123456789" << "01234567890123456789";
}

void tst_Verify::branchPageSendsTheLastFiltering()
{
    QFETCH(QString, prodFin);
    QFETCH(QString, sent);
    TfrmFiltroAcomPOL *dialog = Cli_vex00301::frmFiltroAcomPOL;
    dialog->medProdutoFinal->SetEditMask(QString()); // twenty characters fit no picture
    filter(prodFin);
    m_window->cdsFilial->MoveTo(2);
    m_server.clearCalls();
    m_window->mnuVerificar->trigger();
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    const QList<RecordingServer::Call> calls = m_server.calls();
    QCOMPARE(m_server.methods().value(0), QStringLiteral("GetFiliSoliGrid"));
    const QJsonArray expected{"0001,0003", "", "0100", 46000.0, 46030.0, "", 0.0, 0.0, "T",
                              "01", sent, "", "", "T", "N", "S", "T", "C"};
    QCOMPARE(calls[0].params, expected);
    // The branch list stays on the branch that was current, and the cascade
    // asks for that branch alone.
    QCOMPARE(m_window->cdsFilial->CurrentRow(), 2);
    QCOMPARE(m_server.methods(), (QStringList{"GetFiliSoliGrid", "GetSoli"}));
    QCOMPARE(calls.value(1).params.first().toString(), QStringLiteral("0003"));
    QCOMPARE(WaitAnimation::depth(), 0);
}

// The request page asks for its requests' situations on its own, in the
// background, on a connection of its own: let that call in before counting.
bool tst_Verify::situationsAsked(const QString &branch) const
{
    for (const RecordingServer::Call &call : m_server.calls()) {
        if (call.method.endsWith(u"GetSituacaoSoli") && call.params.at(0).toString() == branch)
            return true;
    }
    return false;
}

void tst_Verify::requestPageReloadsTheCurrentBranch()
{
    m_window->cdsFilial->MoveTo(2);
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFormulario);
    m_window->cdsSoli->MoveTo(2);
    QTRY_VERIFY(situationsAsked("0003"));
    m_server.clearCalls();
    m_window->mnuVerificar->trigger();
    QCOMPARE(m_server.methods().first(), QStringLiteral("GetSoli"));
    const QJsonArray params = m_server.calls().first().params;
    QCOMPARE(params.first().toString(), QStringLiteral("0003"));
    QCOMPARE(params.at(9).toString(), "0102" + QString(16, u'Z'));
    QCOMPARE(params.at(11).toString(), QStringLiteral("Entrega direta"));
    QCOMPARE(m_window->cdsFilial->CurrentRow(), 2); // the branch level is not touched
    QCOMPARE(m_window->cdsSoliNRSOLICMP->AsString(), QStringLiteral("R5"));
}

// F5 keeps each level's row when its key is still there, asking the server
// only for that row's levels below; a row gone gives the first row.
void tst_Verify::keepsEachLevelsRow_data()
{
    QTest::addColumn<bool>("requestPage");
    QTest::addColumn<QString>("changed"); // a reply's key, then the rows it now holds
    QTest::addColumn<QString>("shown");   // branch/request after F5
    QTest::addColumn<QString>("calls");
    const QString both = "GetFiliSoliGrid 0001,0003|GetSoli 0003";
    QTest::newRow("branch page, both kept") << false << "" << "0003/R4" << both;
    QTest::newRow("branch page, branch gone") << false << "GetFiliSoliGrid 0001 0002"
        << "0001/R1" << "GetFiliSoliGrid 0001,0003|GetSoli 0001";
    QTest::newRow("branch page, request gone") << false << "GetSoli|0003 R3 R5" << "0003/R3"
                                               << both;
    QTest::newRow("request page, kept") << true << "" << "0003/R4" << "GetSoli 0003";
    QTest::newRow("request page, request gone") << true << "GetSoli|0003 R5 R3" << "0003/R5"
                                                << "GetSoli 0003";
}

void tst_Verify::keepsEachLevelsRow()
{
    QFETCH(bool, requestPage);
    QFETCH(QString, changed);
    QFETCH(QString, shown);
    QFETCH(QString, calls);
    m_window->cdsFilial->MoveTo(2);
    m_window->cdsSoli->MoveTo(1); // R4
    const QStringList reply = changed.split(u' ', Qt::SkipEmptyParts);
    QList<QVariantMap> rows;
    for (const QString &key : reply.mid(1)) {
        rows << (key.startsWith(u'R') ? request(qPrintable(key))
                                      : QVariantMap{{"CDFILSOLI", key}});
    }
    if (!reply.isEmpty())
        m_server.setResult(reply[0], VexTest::packetJson(reply[0].startsWith(u"GetSoli")
                                                             ? soliFields()
                                                             : AcomPOLDataSets::filialFields(),
                                                         rows));
    m_window->pgcPadrao->setCurrentIndex(requestPage ? 1 : 0);
    m_server.clearCalls();
    m_window->mnuVerificar->trigger();
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(m_window->cdsFilialCDFILSOLI->AsString() + u'/'
                 + m_window->cdsSoliNRSOLICMP->AsString(), shown);
    QStringList sent;
    for (const RecordingServer::Call &call : m_server.calls()) {
        if (!call.method.endsWith(u"GetSituacaoSoli")) // the page's own, in the background
            sent << call.method.section(u'.', -1) + u' ' + call.params.first().toString();
    }
    QCOMPARE(sent.join(u'|'), calls);
}

// A level that a verify loads empty closes every level below it.
void tst_Verify::emptyLevelClosesTheLevelsBelow_data()
{
    QTest::addColumn<QString>("emptied"); // on the page that reloads it
    QTest::newRow("no branch left") << "GetFiliSoliGrid";
    QTest::newRow("no request left") << "GetSoli|0001";
}

void tst_Verify::emptyLevelClosesTheLevelsBelow()
{
    QFETCH(QString, emptied);
    QVariantMap consolidated = request("R1");
    consolidated.insert("NRSEQUCONSOL", "C1");
    m_server.setResult("GetSoli|0001", VexTest::packetJson(soliFields(), {consolidated}));
    m_server.setResult("GetProd", VexTest::packetJson(AcomPOLDataSets::prodFields(), {{}}));
    m_server.setResult("GetProdOL", VexTest::packetJson(AcomPOLDataSets::prodOLFields(), {{}}));
    filter(QStringLiteral("0102"));
    QVERIFY(m_window->cdsProdOL->RecordCount() == 1);
    const bool requests = emptied.startsWith(u"GetSoli");
    m_server.setResult(emptied, VexTest::packetJson(requests ? soliFields()
                                                             : AcomPOLDataSets::filialFields(),
                                                    {}));
    m_window->pgcPadrao->setCurrentIndex(requests ? 1 : 0);
    m_window->mnuVerificar->trigger();
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(m_window->cdsSoli->Active(), requests);
    QVERIFY(!m_window->cdsProd->Active() && !m_window->cdsProdOL->Active());
}

void tst_Verify::failureKeepsTheRows()
{
    m_server.setError("GetFiliSoliGrid", -32000, QStringLiteral("Banco de dados indisponível"));
    m_window->mnuVerificar->trigger();
    QCOMPARE(m_host->errors, QStringList{"Banco de dados indisponível"});
    QCOMPARE(WaitAnimation::depth(), 0);
    QVERIFY(!WaitAnimation::visible());
    QCOMPARE(m_window->cdsFilial->RecordCount(), 3);
    QCOMPARE(m_window->cdsSoliNRSOLICMP->AsString(), QStringLiteral("R1"));
}

// A window filled without the dialog (it has never been created) verifies
// with the criteria it stored rather than failing.
void tst_Verify::withoutTheDialogTheStoredRangeServes()
{
    QPointer<TfrmFiltroAcomPOL> dialog = Cli_vex00301::frmFiltroAcomPOL;
    Cli_vex00301::frmFiltroAcomPOL = nullptr;
    m_window->mnuVerificar->trigger();
    Cli_vex00301::frmFiltroAcomPOL = dialog;
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    const QJsonArray params = m_server.calls().value(0).params;
    QCOMPARE(params.at(3).toDouble(), 46000.0);
    QCOMPARE(params.at(9).toString(), QStringLiteral("01"));
    QCOMPARE(params.at(10).toString(), "0102" + QString(16, u'Z'));
}

// Every column of the request grid can be searched, whatever the field's
// own flag or type, without minding accents; the current column comes chosen.
void tst_Verify::searchOnTheRequestPageSearchesRequests_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("column"); // "" all
    QTest::addColumn<QString>("found");
    QTest::newRow("request number") << "R5" << "NRSOLICMP" << "R5";
    QTest::newRow("product name without accent") << "feijao" << "" << "R4";
    QTest::newRow("quantity as shown") << "1.234,5" << "QTSOLIPROD" << "R4";
    QTest::newRow("date as shown") << "10/12/2025" << "DTPROGENTR" << "R4";
    QTest::newRow("coded word") << "sim" << "IDSOLIAPROV" << "R4";
    QTest::newRow("code as shown") << "02.03.04" << "CDARVPROD" << "R4";
    QTest::newRow("code as stored") << "0203040005" << "CDARVPROD" << "R4";
}

void tst_Verify::searchOnTheRequestPageSearchesRequests()
{
    QFETCH(QString, typed);
    QFETCH(QString, column);
    QFETCH(QString, found);
    m_window->cdsFilial->MoveTo(2);
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFormulario);
    m_window->dbgSoli->setCurrentIndex(m_window->dbgSoli->model()->index(0, 2));
    m_window->cdsSoliCDARVPROD->SetEditMask(QStringLiteral("99.99.99.9999;0;_"));
    m_window->dbgProd->setFocus();
    QTRY_VERIFY(situationsAsked("0003"));
    m_server.clearCalls();
    VexTest::ModalCloser closer;
    QString chosen;
    int columns = 0;
    bool moved = false;
    closer.onFound = [&](QWidget *modal) {
        if (auto *search = qobject_cast<SearchDialog *>(modal)) {
            auto *field = modal->findChild<QComboBox *>("cbxCampo");
            chosen = field->currentData().toString();
            columns = field->count() - 1;
            search->SetFieldName(column);
            search->SetText(typed);
            moved = search->FindNext();
        }
    };
    m_window->mnuProcurar->trigger();
    QVERIFY2(closer.closed() == 1, qPrintable(closer.titles().join('|')));
    QCOMPARE(chosen, QStringLiteral("NMPRODUTO")); // the grid's current column
    QCOMPARE(columns, 12);
    QVERIFY(moved);
    QCOMPARE(m_window->cdsSoliNRSOLICMP->AsString(), found);
    QCOMPARE(m_server.methods(), QStringList{}); // a search asks the server nothing
}

QTEST_MAIN(tst_Verify)
#include "tst_verify.moc"
