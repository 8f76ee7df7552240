// The filter dialog driven from the keyboard and the mouse: first state,
// the rules between controls, option memory, the checks and their focus,
// the exit checks of the product codes (on a SQLite product table).
#include "Cli_vex00301.h"
#include "FilterDriver.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "controls/TMaskEdit.h"
#include "data/TADOIBQuery.h"
#include "data/TField.h"
#include "forms/OptionsFile.h"
#include "services/Corvel.h"
#include "services/SafeCall.h"

#include <QCheckBox>
#include <QRadioButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using VexTest::FilterDriver;

class tst_Filtro : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void firstOpening();
    void captionsFit();
    void bottomEdgeClean();
    void tabOrder();
    void rules_data();
    void rules();
    void reopenKeepsValues();
    void options_data();
    void options();
    void checks_data();
    void checks();
    void productExit_data();
    void productExit();

private:
    void open();
    QString validate();

    QTemporaryDir m_dir;
    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmFiltroAcomPOL> m_dialog;
    std::unique_ptr<FilterDriver> m_driver;
};

void tst_Filtro::initTestCase()
{
    QStandardPaths::setTestModeEnabled(true);
    m_host = std::make_unique<VexTest::HostFixture>();
    VexTest::openProductDatabase(m_dir);
}

void tst_Filtro::init()
{
    for (const QString &name : Cli_vex00301::FinalizationOrder())
        FilterDriver::unitString(name)->clear();
    m_dialog = m_host->application->CreateDialog<TfrmFiltroAcomPOL>();
    QFile::remove(m_dialog->optionsPath());
    m_driver = std::make_unique<FilterDriver>(m_dialog);
    m_host->messages.clear();
    m_host->errors.clear();
    open();
}

void tst_Filtro::cleanup()
{
    if (m_dialog)
        QFile::remove(m_dialog->optionsPath());
    delete m_dialog.data();
}

void tst_Filtro::open()
{
    m_dialog->show();
    m_dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_dialog));
}

// What the confirmation's checks say: the message shown, or "" when all pass.
QString tst_Filtro::validate()
{
    QCoreApplication::processEvents();
    m_host->messages.clear();
    SafeCall([this] { m_dialog->Validacoes(); });
    return m_host->messages.join(u'\n');
}

void tst_Filtro::firstOpening()
{
    QCOMPARE(m_dialog->windowTitle(), QStringLiteral("Filtro de Acompanhameto de Pedidos OL"));
    QCOMPARE(m_dialog->lblCodTela->text(), QStringLiteral("VEX00301"));
    QCOMPARE(m_dialog->size(), QSize(445, 392));
    QCOMPARE(m_dialog->grbFiltroPadrao->size(), QSize(390, 392));
    QCOMPARE(m_dialog->panMenu->geometry().left(), 390);
    QCOMPARE(m_dialog->grbItemConsol->parentWidget(), m_dialog.data());
    QCOMPARE(m_dialog->grbItemConsol->geometry(), QRect(159, 243, 123, 65));
    QCOMPARE(m_driver->focusName(), QStringLiteral("medFilOL"));
    const QStringList wrong = m_driver->mismatches(
        "rbtFilialTodas=1 rbtFilialLista=0 rbtConsolTodas=1 rbtConsolLista=0 "
        "btpFilial:off btpConsolidacao:off btnFilOL:on btnPesqProdutoInicial:on "
        "chbED=1 chbOL=1 chbConsolSim=1 chbConsolNao=1 chbGeradoSim=1 chbGeradoNao=1 "
        "chbPedMaior=1 chbPedMenor=1 chbPedIgual=1 grbStatus:on grbItemConsol:on "
        "grbQtdePedido:on chbPedIgual:on medFilOL:on edtFilOL:off edtProdutoInicial:off "
        "edtProdutoFinal:off medFilOL~ edtFilOL~ depEntrIni~ depEntrFin~ depSolIni~ depSolFin~ "
        "medProdutoInicial~ medProdutoFinal~ $stTFilSoli=T $stFilOL=T $stDtEntr=T "
        "$stDtSoli=T $stProd=T $stTodasConsol=T $stLFilSoli= $stListaConsol=");
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
    // The product-code picture on both edits and on the code of both queries.
    const QString mask = Corvel::DBPict(TPictType::ptProduto);
    QCOMPARE(m_dialog->medProdutoInicial->EditMask(), mask);
    QCOMPARE(m_dialog->medProdutoFinal->EditMask(), mask);
    QCOMPARE(m_dialog->qryProduto->FieldByName("CDARVPROD")->EditMask(), mask);
    QCOMPARE(m_dialog->qryProduto1->FieldByName("CDARVPROD")->EditMask(), mask);
}

// Every caption is drawn whole inside its control, and every control
// inside its group.
void tst_Filtro::captionsFit()
{
    const auto widgets = m_dialog->grbFiltroPadrao->findChildren<QWidget *>()
                         << m_dialog->grbItemConsol->findChildren<QWidget *>();
    int checked = 0;
    for (QWidget *widget : widgets) {
        if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_"))
            continue;
        QWidget *parent = widget->parentWidget();
        QVERIFY2(QRect(QPoint(), parent->size()).contains(widget->geometry()),
                 qPrintable(widget->objectName() + " leaves its group"));
        if (auto *box = qobject_cast<QGroupBox *>(widget)) {
            const int title = box->fontMetrics().horizontalAdvance(box->title());
            QVERIFY2(title + 16 <= box->width(), qPrintable(box->objectName()));
        } else if (qobject_cast<QLabel *>(widget) || qobject_cast<QCheckBox *>(widget)
                   || qobject_cast<QRadioButton *>(widget)) {
            QVERIFY2(widget->sizeHint().width() <= widget->width(),
                     qPrintable(widget->objectName() + " is clipped"));
        }
        for (QWidget *other : parent->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            const QString pair = widget->objectName() + '/' + other->objectName();
            // The list button is drawn over the right end of its group.
            if (other == widget || other->objectName().isEmpty()
                || pair == "btpFilial/grbFilSoli" || pair == "grbFilSoli/btpFilial")
                continue;
            QVERIFY2(!other->geometry().intersects(widget->geometry()), qPrintable(pair));
        }
        ++checked;
    }
    QVERIFY(checked > 40);
}

// Below the last group the criteria area shows the dialog's background
// only: no frame lines cut off by the bottom edge.
void tst_Filtro::bottomEdgeClean()
{
    const QImage shot = m_dialog->grab().toImage();
    const QColor background = m_dialog->palette().color(QPalette::Window);
    const int y = m_dialog->grbFiltroPadrao->height() - 2;
    for (int x = 0; x < m_dialog->grbFiltroPadrao->width(); ++x)
        QVERIFY2(shot.pixelColor(x, y) == background, qPrintable(QString::number(x)));
}

// Tab walks the reading order; a radio pair is one stop, its selected button.
void tst_Filtro::tabOrder()
{
    const QStringList expected = {
        "medFilOL",     "depEntrIni",   "depEntrFin",   "depSolIni",    "depSolFin",
        "rbtFilialTodas", "rbtConsolTodas", "medProdutoInicial", "medProdutoFinal", "chbED",
        "chbOL",        "chbConsolSim", "chbConsolNao", "chbGeradoSim", "chbGeradoNao",
        "chbPedMaior",  "chbPedMenor",  "chbPedIgual"};
    QStringList walked{m_driver->focusName()};
    for (int i = 1; i < expected.size(); ++i) {
        m_driver->run("key Tab");
        walked << m_driver->focusName();
    }
    QCOMPARE(walked, expected);
    m_driver->run("focus rbtConsolTodas; key Right");
    QCOMPARE(m_driver->focusName(), QStringLiteral("rbtConsolLista"));
    QVERIFY(m_driver->mismatches("rbtConsolLista=1 chbED=0").isEmpty());
    m_driver->run("focus medProdutoInicial; key Shift+Tab");
    QCOMPARE(m_driver->focusName(), QStringLiteral("rbtConsolLista"));
}

void tst_Filtro::rules_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("expected");
    QTest::newRow("branches Lista") << "$stLFilSoli=0001; click rbtFilialLista"
                                    << "btpFilial:on $stLFilSoli= $stTFilSoli=";
    QTest::newRow("branches Todas again")
        << "click rbtFilialLista; $stLFilSoli=0001,0002; click rbtFilialTodas"
        << "btpFilial:off $stLFilSoli= $stTFilSoli=T";
    QTest::newRow("consolidations Lista")
        << "$stListaConsol=C1; $stTodasConsol=T; click rbtConsolLista"
        << "btpConsolidacao:on chbConsolSim=1 chbConsolNao=0 chbED=0 chbOL=1 "
           "grbItemConsol:off chbConsolSim:off grbStatus:off chbOL:off "
           "$stListaConsol= $stTodasConsol=";
    QTest::newRow("consolidations Todas again")
        << "click rbtConsolLista; $stListaConsol=C1; click rbtConsolTodas"
        << "btpConsolidacao:off chbConsolSim=1 chbConsolNao=1 chbED=1 chbOL=1 "
           "grbItemConsol:on chbConsolNao:on grbStatus:on $stListaConsol= $stTodasConsol=T";
    QTest::newRow("Sim unchecked by code under Lista")
        << "click rbtConsolLista; set chbConsolSim 0"
        << "rbtConsolTodas=1 chbConsolSim=1 chbConsolNao=1 chbED=1 grbStatus:on";
    QTest::newRow("Sim unchecked under Todas")
        << "$stListaConsol=C9; click chbConsolSim"
        << "chbConsolSim=0 chbConsolNao=1 rbtConsolTodas=1 $stListaConsol=C9";
    QTest::newRow("selected again by code fires nothing")
        << "$stLFilSoli=0001; set rbtFilialTodas 1; set chbGeradoSim 1; click chbPedMaior"
        << "$stLFilSoli=0001 chbPedMaior=0 grbQtdePedido:on";
    QTest::newRow("Pedido Gerado Sim off")
        << "click chbGeradoSim"
        << "grbQtdePedido:off chbPedMaior:off chbPedMenor:off chbPedIgual:off "
           "chbPedMaior=1 chbPedMenor=1 chbPedIgual=1";
    QTest::newRow("Pedido Gerado Sim on again")
        << "click chbGeradoSim; click chbGeradoSim"
        << "grbQtdePedido:on chbPedMaior:on chbPedIgual:on chbPedMaior=1 chbPedMenor=1 "
           "chbPedIgual=1";
    QTest::newRow("any click re-checks the three")
        << "click chbPedMaior; click chbPedIgual; click chbGeradoSim; click chbGeradoSim"
        << "chbPedMaior=1 chbPedMenor=1 chbPedIgual=1 grbQtdePedido:on";
    QTest::newRow("space on the focused box")
        << "focus chbGeradoSim; key Space" << "chbGeradoSim=0 grbQtdePedido:off";
}

void tst_Filtro::rules()
{
    QFETCH(QString, steps);
    QFETCH(QString, expected);
    m_driver->run(steps);
    const QStringList wrong = m_driver->mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

// Closing keeps every value; the next activation resets the six flags and
// re-applies the product mask without losing a code or its name.
void tst_Filtro::reopenKeepsValues()
{
    m_driver->run("type medFilOL 0100; type depEntrIni 01032025; type depEntrFin 02032025;"
                  "click rbtFilialLista; $stLFilSoli=0001,0002; click chbOL;"
                  "type medProdutoInicial 01020001; key Tab");
    QTRY_COMPARE(m_dialog->edtProdutoInicial->text(), QStringLiteral("Arroz agulhinha 5 kg"));
    m_dialog->reject();
    QVERIFY(!m_dialog->isVisible());
    for (const char *flag : {"stTFilSoli", "stFilOL", "stDtEntr", "stDtSoli", "stProd",
                             "stTodasConsol"})
        FilterDriver::unitString(flag)->clear();
    open();
    const QStringList wrong = m_driver->mismatches(
        "medFilOL~0100 depEntrIni~01/03/2025 depEntrFin~02/03/2025 rbtFilialLista=1 "
        "btpFilial:on chbOL=0 medProdutoInicial~01.02.0001 "
        "edtProdutoInicial~Arroz_agulhinha_5_kg $stLFilSoli=0001,0002 "
        "$stTFilSoli=T $stFilOL=T $stDtEntr=T $stDtSoli=T $stProd=T $stTodasConsol=T");
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void tst_Filtro::options_data()
{
    QTest::addColumn<QString>("beforeSave");
    QTest::addColumn<bool>("dropEntry");
    QTest::addColumn<QString>("beforeLoad");
    QTest::addColumn<QString>("expected");
    QTest::newRow("branch list restored after the radio")
        << "click rbtFilialLista; $stLFilSoli=0001,0002" << false << "click rbtFilialTodas"
        << "rbtFilialLista=1 btpFilial:on $stLFilSoli=0001,0002";
    QTest::newRow("no entry, no list")
        << "click rbtFilialLista; $stLFilSoli=0001,0002" << true << "click rbtFilialTodas"
        << "rbtFilialLista=1 $stLFilSoli=";
    QTest::newRow("empty list saved") << "click rbtFilialLista" << false << "$stLFilSoli=0009"
                                      << "rbtFilialLista=1 $stLFilSoli=";
    QTest::newRow("consolidations Lista over Todas")
        << "click rbtConsolLista" << false << "click rbtConsolTodas; click chbConsolNao"
        << "rbtConsolLista=1 chbConsolSim=1 chbConsolNao=0 chbED=0 chbOL=1 "
           "grbItemConsol:off grbStatus:off btpConsolidacao:on";
    QTest::newRow("Todas with Sim unchecked over Lista")
        << "click chbConsolSim" << false << "click rbtConsolLista"
        << "rbtConsolTodas=1 chbConsolSim=0 chbConsolNao=1 chbED=1 grbItemConsol:on "
           "grbStatus:on btpConsolidacao:off";
    QTest::newRow("quantity boxes as saved")
        << "click chbPedMaior" << false << "click chbGeradoSim"
        << "chbGeradoSim=1 chbPedMaior=0 chbPedMenor=1 grbQtdePedido:on";
    QTest::newRow("Pedido Gerado off as saved")
        << "click chbGeradoSim" << false << "click chbGeradoSim; click chbPedMenor"
        << "chbGeradoSim=0 chbPedMenor=1 grbQtdePedido:off";
}

void tst_Filtro::options()
{
    QFETCH(QString, beforeSave);
    QFETCH(bool, dropEntry);
    QFETCH(QString, beforeLoad);
    QFETCH(QString, expected);
    m_driver->run(beforeSave);
    m_driver->run("click btfSaveOpc");
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    const QString path = m_dialog->optionsPath();
    QStringList lines = OptionsFile::read(path);
    QVERIFY(!OptionsFile::value(lines, "stLFilSoli").isNull() || dropEntry
            || Cli_vex00301::stLFilSoli.isEmpty());
    if (dropEntry) {
        lines.erase(std::remove_if(lines.begin(), lines.end(),
                                   [](const QString &l) { return l.startsWith("stLFilSoli="); }),
                    lines.end());
        OptionsFile::write(path, lines);
    }
    m_driver->run(beforeLoad);
    m_driver->run("click btfLoadOpc");
    QVERIFY2(m_host->errors.isEmpty(), qPrintable(m_host->errors.join('\n')));
    // The list is the dialog's own entry: loaded, not reported as left out.
    QVERIFY2(m_host->messages.isEmpty(), qPrintable(m_host->messages.join('\n')));
    const QStringList wrong = m_driver->mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void tst_Filtro::checks_data()
{
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<QString>("expected");
    const QString ol = "type medFilOL 0100;";
    const QString entr = ol + "type depEntrIni 01032025; type depEntrFin 05032025;";
    QTest::newRow("branch and dates blank")
        << "" << "Filial OL deve ser informada." << "medFilOL" << "";
    QTest::newRow("same day passes")
        << ol + "type depEntrIni 01032025; type depEntrFin 01032025" << "" << ""
        << "$stDtEntr= $stDtSoli=T $stProd=T $stTFilSoli=T $stTodasConsol=T";
    QTest::newRow("final the day before")
        << ol + "type depEntrIni 02032025; type depEntrFin 01032025"
        << "Data de entrega inicial deve ser menor que a data de entrega final."
        << "depEntrIni" << "$stDtEntr=";
    QTest::newRow("delivery final only") << ol + "type depEntrFin 01032025"
                                         << "Data de entrega inicial deve ser informada."
                                         << "depEntrIni" << "";
    QTest::newRow("delivery initial only") << ol + "type depEntrIni 01032025"
                                           << "Data de entrega final deve ser informada."
                                           << "depEntrFin" << "";
    QTest::newRow("request range only")
        << ol + "type depSolIni 01032025; type depSolFin 01042025" << "" << ""
        << "$stDtEntr=T $stDtSoli=";
    QTest::newRow("request initial only")
        << entr + "type depSolIni 01032025" << "Data de solicitação final deve ser informada."
        << "depSolFin" << "$stDtEntr=";
    QTest::newRow("request final only")
        << entr + "type depSolFin 01032025" << "Data da solicitação inicial deve ser informada."
        << "depSolIni" << "";
    QTest::newRow("request reversed")
        << ol + "type depSolIni 02032025; type depSolFin 01032025"
        << "Data de solicitação inicial deve ser menor que a data de solicitação final."
        << "depSolIni" << "";
    QTest::newRow("all dates blank")
        << ol << "Data de entrega ou data de solicitação deve ser informada." << "depEntrIni"
        << "$stDtEntr=T $stDtSoli=T";
    QTest::newRow("branch list not picked")
        << entr + "click rbtFilialLista" << "Filial de solicitante deve ser informada."
        << "rbtFilialLista" << "";
    QTest::newRow("branch list dropped by switching")
        << entr + "click rbtFilialLista; $stLFilSoli=0001; click rbtFilialTodas;"
                  "click rbtFilialLista"
        << "Filial de solicitante deve ser informada." << "rbtFilialLista" << "";
    QTest::newRow("branch list kept")
        << entr + "click rbtFilialLista; $stLFilSoli=0001" << "" << ""
        << "$stLFilSoli=0001 $stTFilSoli=";
    QTest::newRow("Todas drops a list left behind")
        << entr + "$stLFilSoli=0001; $stListaConsol=C1; $stTFilSoli=; $stTodasConsol="
        << "" << "" << "$stLFilSoli= $stTFilSoli=T $stListaConsol= $stTodasConsol=T";
    QTest::newRow("consolidation list not picked")
        << entr + "click rbtConsolLista" << "Consolidação não informada." << "rbtConsolLista"
        << "";
    QTest::newRow("initial product only")
        << entr + "type medProdutoInicial 01020001" << "Produto Final não informado."
        << "medProdutoFinal" << "$stProd=";
    QTest::newRow("final product only")
        << entr + "type medProdutoFinal 01020001" << "Produto Inicial não informado."
        << "medProdutoInicial" << "$stProd=";
    QTest::newRow("initial after final passes")
        << entr + "type medProdutoInicial 01020002; type medProdutoFinal 01020001" << "" << ""
        << "$stProd=";
    QTest::newRow("status blank") << entr + "click chbED; click chbOL"
                                  << "Status deve ser informado." << "chbED" << "";
    QTest::newRow("item blank") << entr + "click chbConsolSim; click chbConsolNao"
                                << "Item Consolidado deve ser informado." << "chbConsolSim"
                                << "";
    QTest::newRow("generated blank") << entr + "click chbGeradoSim; click chbGeradoNao"
                                     << "Pedido Gerado deve ser informado." << "chbGeradoSim"
                                     << "";
    QTest::newRow("quantity blank")
        << entr + "click chbPedMaior; click chbPedMenor; click chbPedIgual"
        << "Qtde. do Pedido deve ser informada." << "chbPedMaior" << "";
    QTest::newRow("quantity blank, status first")
        << entr + "click chbPedMaior; click chbPedMenor; click chbPedIgual; click chbED;"
                  "click chbOL"
        << "Status deve ser informado." << "chbED" << "";
}

void tst_Filtro::checks()
{
    QFETCH(QString, steps);
    QFETCH(QString, message);
    QFETCH(QString, focus);
    QFETCH(QString, expected);
    m_driver->run(steps + ";focus chbPedIgual");
    QCOMPARE(validate(), message);
    if (!focus.isEmpty())
        QCOMPARE(m_driver->focusName(), focus);
    // A refused entry is selected: what is typed next replaces it.
    auto *edit = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    if (!message.isEmpty() && edit && !edit->text().isEmpty())
        QCOMPARE(edit->selectedText(), edit->displayText());
    const QStringList wrong = m_driver->mismatches(expected);
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

void tst_Filtro::productExit_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("refused");
    QTest::newRow("initial known") << "medProdutoInicial" << "01020001"
                                   << "Arroz agulhinha 5 kg" << false;
    QTest::newRow("initial unknown") << "medProdutoInicial" << "09090009" << "antes" << true;
    QTest::newRow("initial blank") << "medProdutoInicial" << "" << "antes" << false;
    QTest::newRow("final known") << "medProdutoFinal" << "01020002" << "Feijão carioca 1 kg"
                                 << false;
    QTest::newRow("final unknown") << "medProdutoFinal" << "0909" << "antes" << true;
}

void tst_Filtro::productExit()
{
    QFETCH(QString, edit);
    QFETCH(QString, code);
    QFETCH(QString, name);
    QFETCH(bool, refused);
    const QString nameBox = edit == "medProdutoInicial" ? "edtProdutoInicial" : "edtProdutoFinal";
    m_driver->run("type " + edit + ' ' + code + "; fill " + nameBox + " antes; key Tab");
    QTRY_COMPARE(qobject_cast<QLineEdit *>(m_driver->control(nameBox))->text(), name);
    QTest::qWait(50);
    QCOMPARE(m_driver->focusName() == edit, refused);
    QCOMPARE(m_host->errors.size(), refused ? 1 : 0);
    QVERIFY(m_host->messages.isEmpty());
}

QTEST_MAIN(tst_Filtro)
#include "tst_filtro.moc"
