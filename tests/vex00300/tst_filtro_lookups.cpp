// What the filter dialog sends to the application server, argument by
// argument: the branch check on leaving the box, the two multi-selections
// and the confirmation; and the calls it must not make.
#include "Cli_vex00300.h"
#include "Cli_vex00301.h"
#include "FilterDriver.h"
#include "RecordingServer.h"
#include "TestSupport.h"

#include "OleDate.h"
#include "app/TApplication.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "controls/WaitAnimation.h"
#include "data/TClientDataSet.h"
#include "forms/MultiSelectDialog.h"
#include "forms/OptionPresets.h"

#include <QJsonArray>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using VexTest::FilterDriver;

namespace {
const QString kZ20(20, u'Z');

QString day(const QDate &date)
{
    return QString::number(OleDate::fromDate(date));
}

QString day(int y, int m, int d)
{
    return day(QDate(y, m, d));
}

// Params as text: strings as they are, numbers in their shortest form.
QStringList texts(const QJsonArray &params)
{
    QStringList out;
    for (const QJsonValue &value : params)
        out << (value.isDouble() ? QString::number(value.toDouble()) : value.toString());
    return out;
}

QJsonObject packet(const QList<AcomPOLDataSets::FieldDef> &fields,
                   const QList<QVariantMap> &rows = {})
{
    return VexTest::packetJson(fields, rows);
}
} // namespace

class tst_FiltroLookups : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();
    void branchExit_data();
    void branchExit();
    void listLookups_data();
    void listLookups();
    void confirmation_data();
    void confirmation();
    void handOver();
    void failedCheckSendsNothing();
    void failedCallKeepsCriteria();
    void emptyAnswerCloses();
    void keyboardConfirm_data();
    void keyboardConfirm();
    void presetAtOpening();

private:
    void openDialog();
    QStringList callsOf(const QString &method) const;
    // Marks every row of the next multi-selection and confirms it.
    void pickAllInNextList();

    QTemporaryDir m_dir;
    RecordingServer m_server;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
    QPointer<TfrmFiltroAcomPOL> m_dialog;
    std::unique_ptr<FilterDriver> m_driver;
};

void tst_FiltroLookups::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    QVERIFY(m_server.start());
    VexTest::useServerPort(m_server.port());
    m_host = std::make_unique<VexTest::HostFixture>();
    VexTest::openProductDatabase(m_dir);
    m_window = m_host->application->CreateForm<TfrmAcomPOL>();
    Cli_vex00300::frmAcomPOL = m_window;
    Cli_vex00300::boPrimVez = false; // the tests open their own dialog
    using namespace AcomPOLDataSets;
    m_server.setResult("GetVdFiliOL", packet(vdFiliOLFields()));
    m_server.setResult("GetVdFiliOL|0001",
                       packet(vdFiliOLFields(),
                              {{{"CDFILIOPELOG", "0001"}, {"NMFILIAL", "OL Um"}}}));
    m_server.setResult("GetPesqFilial",
                       packet(pesqFilialFields(), {{{"IDMARCADO", "N"}, {"CDFILIAL", "0010"}},
                                                   {{"IDMARCADO", "N"}, {"CDFILIAL", "0011"}}}));
    m_server.setResult("GetPesqConsol",
                       packet(consolidacaoFields(),
                              {{{"IDMARCADO", "N"}, {"NRSEQUCONSOL", "000000000012345"}}}));
    m_server.setResult("GetFiliSoliGrid", VexTest::branchPacket({"0010"}).toJson());
    m_server.setResult("GetSoli", packet(soliFields()));
}

void tst_FiltroLookups::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
}

void tst_FiltroLookups::init()
{
    openDialog();
    m_server.clearCalls();
    m_host->messages.clear();
    m_host->errors.clear();
}

void tst_FiltroLookups::openDialog()
{
    for (const QString &name : Cli_vex00301::FinalizationOrder())
        FilterDriver::unitString(name)->clear();
    m_dialog = m_host->application->CreateDialog<TfrmFiltroAcomPOL>();
    m_driver = std::make_unique<FilterDriver>(m_dialog);
    m_dialog->show();
    // A late activation of the host's main window may take the first one
    // back: the dialog must hold it before anything is typed.
    for (int i = 0; i < 3; ++i) {
        m_dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog));
        QTest::qWait(50);
    }
    QTRY_VERIFY(QApplication::activeWindow() == m_dialog.data());
}

void tst_FiltroLookups::cleanup()
{
    delete m_dialog.data();
    QCOMPARE(WaitAnimation::depth(), 0);
}

QStringList tst_FiltroLookups::callsOf(const QString &method) const
{
    QStringList out;
    for (const RecordingServer::Call &call : m_server.calls()) {
        if (call.method.endsWith(u'.' + method))
            out << texts(call.params).join(u'|');
    }
    return out;
}

void tst_FiltroLookups::pickAllInNextList()
{
    auto *timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [timer] {
        auto *list = qobject_cast<MultiSelectDialog *>(QApplication::activeModalWidget());
        if (!list)
            return;
        timer->deleteLater();
        timer->stop();
        list->MarcaTodos();
        list->accept();
    });
    timer->start(20);
}

void tst_FiltroLookups::branchExit_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("message");
    QTest::newRow("short code fitted and found")
        << "1" << "0001" << "medFilOL~0001 edtFilOL~OL_Um $stFilOL=0001" << "";
    QTest::newRow("not registered")
        << "9" << "0009" << "medFilOL~0009 edtFilOL~ $stFilOL=T" << "Filial OL não cadastrada.";
    QTest::newRow("blank") << "" << "" << "medFilOL~ $stFilOL=T" << "";
}

void tst_FiltroLookups::branchExit()
{
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    QFETCH(QString, expected);
    QFETCH(QString, message);
    m_driver->run("type medFilOL " + typed + "; key Tab");
    QTRY_COMPARE(callsOf("GetVdFiliOL"), sent.isEmpty() ? QStringList() : QStringList{sent});
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join(u'\n')));
    QTRY_COMPARE(m_host->messages.join('\n'), message);
    QTest::qWait(30);
    QCOMPARE(m_driver->focusName() == "medFilOL", !message.isEmpty());
    const QStringList wrong = m_driver->mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void tst_FiltroLookups::listLookups_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");
    const QString ol = "fill medFilOL 0001;";
    QTest::newRow("branches need the operator")
        << "click rbtFilialLista; btpFilial" << "GetPesqFilial" << QStringList()
        << "Filial OL deve ser informada." << "$stLFilSoli=";
    QTest::newRow("branches picked")
        << ol + "click rbtFilialLista; btpFilial" << "GetPesqFilial" << QStringList{"0001"} << ""
        << "$stLFilSoli=0010,0011";
    QTest::newRow("consolidations need a date")
        << ol + "click rbtConsolLista; btpConsolidacao" << "GetPesqConsol" << QStringList()
        << "Data de entrega ou data de solicitação deve ser informada." << "$stListaConsol=";
    QTest::newRow("consolidations need the operator")
        << "type depEntrIni 01032025; type depEntrFin 05032025; click rbtConsolLista;"
           "btpConsolidacao"
        << "GetPesqConsol" << QStringList() << "Filial OL deve ser informada." << "";
    QTest::newRow("consolidations, bad range")
        << ol + "type depEntrIni 05032025; type depEntrFin 01032025; click rbtConsolLista;"
                "btpConsolidacao"
        << "GetPesqConsol" << QStringList()
        << "Data de entrega inicial deve ser menor que a data de entrega final." << "";
    QTest::newRow("consolidations by delivery")
        << ol + "type depEntrIni 01032025; type depEntrFin 05032025; click rbtConsolLista;"
                "btpConsolidacao"
        << "GetPesqConsol"
        << QStringList{"0001|" + day(2025, 3, 1) + '|' + day(2025, 3, 5) + "||0|0|T"} << ""
        << "$stListaConsol=000000000012345 $stDtEntr= $stDtSoli=T";
    QTest::newRow("consolidations by request")
        << ol + "type depSolIni 01032025; type depSolFin 01032025; click rbtConsolLista;"
                "btpConsolidacao"
        << "GetPesqConsol"
        << QStringList{"0001|0|0|T|" + day(2025, 3, 1) + '|' + day(2025, 3, 1) + '|'} << ""
        << "$stListaConsol=000000000012345";
}

void tst_FiltroLookups::listLookups()
{
    QFETCH(QString, steps);
    QFETCH(QString, method);
    QFETCH(QStringList, calls);
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QStringList driven = steps.split(u';');
    const QString button = driven.takeLast().trimmed();
    m_driver->run(driven.join(u';'));
    QCoreApplication::processEvents();
    m_host->messages.clear();
    pickAllInNextList();
    qobject_cast<TBtnPesquisa *>(m_driver->control(button))->Click();
    QCOMPARE(callsOf(method), calls);
    QCOMPARE(m_host->messages.join('\n'), message);
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    const QStringList wrong = m_driver->mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void tst_FiltroLookups::confirmation_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected"); // the 18 arguments of GetFiliSoliGrid
    const QString base = "fill medFilOL 0001; type depEntrIni 01032025; type depEntrFin 05032025;";
    const QString d = day(2025, 3, 1) + '|' + day(2025, 3, 5) + "||0|0|T|";
    auto args = [&](const QString &prod, const QString &rest) {
        return "|T|0001|" + d + prod + "||T|" + rest;
    };
    QTest::newRow("defaults") << base << args("|" + kZ20 + "|T", "T|T|T|T");
    QTest::newRow("three-character final product")
        << base + "fill medProdutoInicial 010; fill medProdutoFinal 010"
        << "|T|0001|" + d + "010|010" + QString(17, u'Z') + "||" + "|T|T|T|T|T";
    QTest::newRow("only OL") << base + "click chbED" << args("|" + kZ20 + "|T", "N|T|T|T");
    QTest::newRow("only ED") << base + "click chbOL" << args("|" + kZ20 + "|T", "S|T|T|T");
    QTest::newRow("no generated order")
        << base + "click chbGeradoSim" << args("|" + kZ20 + "|T", "T|T|N|T");
    const QStringList boxes = {"chbPedMaior", "chbPedMenor", "chbPedIgual"};
    const QList<QPair<QString, QString>> quantities = {
        {"A", "011"}, {"B", "101"}, {"C", "110"}, {"D", "010"},
        {"E", "100"}, {"F", "001"}, {"T", "000"}}; // 1: unchecked by a click
    for (const auto &[code, clicks] : quantities) {
        QString steps = base;
        for (int i = 0; i < 3; ++i) {
            if (clicks[i] == u'1')
                steps += "click " + boxes[i] + ';';
        }
        QTest::addRow("quantity %s", qPrintable(code))
            << steps << args("|" + kZ20 + "|T", "T|T|T|" + code);
    }
    QTest::newRow("Lista for consolidations")
        << base + "click rbtConsolLista; $stListaConsol=000000000012345"
        << "|T|0001|" + d + "|" + kZ20 + "|T|000000000012345||N|S|T|T";
    QTest::newRow("Todas after a list")
        << base + "click rbtFilialLista; $stLFilSoli=0010; click rbtFilialTodas;"
                  "$stLFilSoli=0010"
        << args("|" + kZ20 + "|T", "T|T|T|T");
    QTest::newRow("branch list") << base + "click rbtFilialLista; $stLFilSoli=0010,0011"
                                 << "0010,0011||0001|" + d + "|" + kZ20 + "|T||T|T|T|T|T";
}

void tst_FiltroLookups::confirmation()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    m_driver->run(steps);
    m_driver->run("focus chbPedIgual; key Ctrl+Return");
    QVERIFY2(m_host->messages.isEmpty(), qPrintable(m_host->messages.join('\n')));
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    QCOMPARE(callsOf("GetFiliSoliGrid"), QStringList{expected});
    QVERIFY(!m_dialog->isVisible());
    QCOMPARE(m_window->cdsFilial->RecordCount(), 1);
}

// The window receives the criteria in its own order, the final product as typed.
void tst_FiltroLookups::handOver()
{
    m_driver->run("fill medFilOL 0001; type depSolIni 02032025; type depSolFin 03032025;"
                  "fill medProdutoInicial 01020001; fill medProdutoFinal 0102; click chbOL;"
                  "focus chbPedIgual; key Ctrl+Return");
    using namespace Cli_vex00300;
    const QStringList got = {stLFilSoli, stTFilSoli, stFilOL, stDtEntr, stDtSoli,
                             stProdIni,  stProdFin,  stProd,  stListaConsol, stTodasConsol,
                             stStatus,   stItemConsol, stPedGerado, stQtdePedido,
                             QString::number(DtEntrIni), QString::number(DtEntrFin),
                             QString::number(DtSolIni), QString::number(DtSolFin)};
    QCOMPARE(got, (QStringList{"", "T", "0001", "T", "", "01020001", "0102", "", "", "T", "S",
                               "T", "T", "T", "0", "0", day(2025, 3, 2), day(2025, 3, 3)}));
}

void tst_FiltroLookups::failedCheckSendsNothing()
{
    m_driver->run("type depEntrIni 01032025; type depEntrFin 05032025; focus chbPedIgual;"
                  "key Ctrl+Return");
    QCOMPARE(m_host->messages, QStringList{"Filial OL deve ser informada."});
    QVERIFY(m_server.calls().isEmpty());
    QVERIFY(m_dialog->isVisible());
}

void tst_FiltroLookups::failedCallKeepsCriteria()
{
    m_window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0077", "0078"}));
    Cli_vex00300::stFilOL = "0100";
    m_server.setError("GetFiliSoliGrid", -32000, "Banco de dados indisponível.");
    m_driver->run("fill medFilOL 0001; type depEntrIni 01032025; type depEntrFin 05032025;"
                  "focus chbPedIgual; key Ctrl+Return");
    m_server.setResult("GetFiliSoliGrid", VexTest::branchPacket({"0010"}).toJson());
    QCOMPARE(m_host->errors, QStringList{"Banco de dados indisponível."});
    QVERIFY(m_dialog->isVisible());
    QCOMPARE(Cli_vex00300::stFilOL, QStringLiteral("0001"));
    QCOMPARE(m_window->cdsFilial->RecordCount(), 2);
    QCOMPARE(m_window->cdsFilialCDFILSOLI->AsString(), QStringLiteral("0077"));
}

void tst_FiltroLookups::emptyAnswerCloses()
{
    m_server.setResult("GetFiliSoliGrid", VexTest::branchPacket({}).toJson());
    m_driver->run("fill medFilOL 0001; type depEntrIni 01032025; type depEntrFin 05032025;"
                  "focus chbPedIgual; key Ctrl+Return");
    m_server.setResult("GetFiliSoliGrid", VexTest::branchPacket({"0010"}).toJson());
    QVERIFY(!m_dialog->isVisible());
    QVERIFY(m_window->cdsFilial->IsEmpty());
    QVERIFY(m_host->messages.isEmpty() && m_host->errors.isEmpty());
}

// Ctrl+Enter leaves the edit first, as a person expects: a code typed and
// not yet checked is fitted and checked before the criteria go out, and a
// refusal stops the confirmation with the focus in that edit.
void tst_FiltroLookups::keyboardConfirm_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("checked"); // GetVdFiliOL calls
    QTest::addColumn<QStringList>("sent");    // GetFiliSoliGrid calls
    QTest::addColumn<QString>("focus");       // "" once the dialog closed
    // "focus" lets the checks of the edits left so far run.
    const QString dates = "type depEntrIni 01032025; type depEntrFin 05032025; focus chbED;";
    const QString args = "|T|0001|" + day(2025, 3, 1) + '|' + day(2025, 3, 5) + "||0|0|T||" + kZ20
                         + "|T||T|T|T|T|T";
    QTest::newRow("operator typed, confirmed at once")
        << dates + "type medFilOL 1" << QStringList{"0001"} << QStringList{args} << "";
    QTest::newRow("operator not registered")
        << dates + "type medFilOL 9" << QStringList{"0009"} << QStringList() << "medFilOL";
    QTest::newRow("product not registered")
        << dates + "fill medFilOL 0001; type medProdutoInicial 09090009" << QStringList()
        << QStringList() << "medProdutoInicial";
}

void tst_FiltroLookups::keyboardConfirm()
{
    QFETCH(QString, steps);
    QFETCH(QStringList, checked);
    QFETCH(QStringList, sent);
    QFETCH(QString, focus);
    m_driver->run(steps + "; key Ctrl+Return");
    QCOMPARE(callsOf("GetVdFiliOL"), checked);
    QCOMPARE(callsOf("GetFiliSoliGrid"), sent);
    QCOMPARE(m_dialog->isVisible(), !focus.isEmpty());
    QCOMPARE(m_host->messages.size() + m_host->errors.size(), focus.isEmpty() ? 0 : 1);
    if (!focus.isEmpty())
        QCOMPARE(m_driver->focusName(), focus);
}

// A set marked "Usar ao abrir" gives the controls, and sends the criteria,
// of the same set loaded with the button once the dialog is open: a product
// range, a branch list and dates relative to today.
void tst_FiltroLookups::presetAtOpening()
{
    const QString screen = QStringLiteral("VEX00301");
    const QDate today = QDate::currentDate();
    m_driver->run("fill medFilOL 0001; type medProdutoInicial 01020001;"
                  "type medProdutoFinal 01020002; click rbtFilialLista; $stLFilSoli=0010,0011;"
                  "type depEntrIni " + today.addDays(-7).toString("ddMMyyyy")
                  + "; type depEntrFin " + today.addDays(30).toString("ddMMyyyy"));
    m_dialog->SetPresetName(QStringLiteral("Manhã"));
    m_dialog->SetRelativeRanges({QStringLiteral("depEntrIni")});
    m_driver->run("click btfSaveOpc");
    QStringList seen[2];
    for (int byButton = 0; byButton < 2; ++byButton) {
        delete m_dialog.data();
        OptionPresets::setDefault(screen, byButton ? QString() : QStringLiteral("Manhã"));
        openDialog();
        if (byButton) {
            m_dialog->SetPresetName(QStringLiteral("Manhã"));
            m_driver->run("click btfLoadOpc");
        }
        QTRY_COMPARE(m_driver->mismatches("medProdutoFinal~01.02.0002"), QStringList());
        m_server.clearCalls();
        m_driver->run("focus chbPedIgual; key Ctrl+Return");
        seen[byButton] << m_dialog->medProdutoInicial->Text() << callsOf("GetFiliSoliGrid");
    }
    OptionPresets::remove(screen, QStringLiteral("Manhã"));
    QVERIFY2(m_host->messages.isEmpty(), qPrintable(m_host->messages.join('\n')));
    QCOMPARE(seen[0], seen[1]);
    QCOMPARE(seen[0], (QStringList{"01.02.0001", "0010,0011||0001|" + day(today.addDays(-7))
                                                     + '|' + day(today.addDays(30))
                                                     + "||0|0|T|01020001|01020002"
                                                     + QString(12, u'Z') + "|||T|T|T|T|T"}));
}

QTEST_MAIN(tst_FiltroLookups)
#include "tst_filtro_lookups.moc"
