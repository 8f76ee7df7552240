// The tracking window's screen: data sets, coded words, quantity colouring,
// command enabling, layout and the criteria hand-over's branch name.
#include "Cli_vex00300.h"
#include "ResizeBar.h"
#include "TestSupport.h"

#include "app/TApplication.h"
#include "controls/SystemColors.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBNavigator.h"
#include "controls/TDBRowCount.h"
#include "controls/TDBText.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "services/HostConfig.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QMainWindow>
#include <QMdiSubWindow>
#include <QPainter>
#include <QScrollArea>
#include <QSqlError>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <set>

using AcomPOLDataSets::FieldDef;

namespace {
const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);
// Distinct palette entries, so a wrong role shows as a wrong colour.
const QColor kCaptionText(0, 200, 120);
const QColor kHighlightText(250, 250, 250);
const QColor kHighlight(40, 60, 160);
const QColor kWindowText(10, 10, 10);
} // namespace

class tst_AcomPOLScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void gridTitles_data();
    void gridTitles();
    void quantitiesShowThreeDecimals();
    void quantityTooltip_data();
    void quantityTooltip();
    void rowCounts();
    void codedWords_data();
    void codedWords();
    void noTextOnEmptyDataSet_data();
    void noTextOnEmptyDataSet();
    void quantityColour_data();
    void quantityColour();
    void otherColumnsKeepDefaultDrawing();
    void gridPaintsColouredQuantity();
    void commandEnabling_data();
    void commandEnabling();
    void pageChangeTogglesFilter();
    void masksSetAtActivation();
    void toolBar_data();
    void toolBar();
    void menuAndCaptions();
    void gridColumns_data();
    void gridColumns();
    void requestPageStack();
    void extraHeightGoesToTheGrids();
    void gridLayoutsKeptApart_data();
    void gridLayoutsKeptApart();
    void numbersLineUpRight_data();
    void numbersLineUpRight();
    void openRequestsOfABranch_data();
    void openRequestsOfABranch();
    void panelInsets_data();
    void panelInsets();
    void statusLine();
    void branchNameFromDatabase_data();
    void branchNameFromDatabase();

private:
    TClientDataSet *dataSetNamed(const QString &name) const;
    TDBGrid *gridNamed(const QString &name) const;
    void loadSoli(const QVariantMap &row);
    void loadProd(const QVariantMap &row);

    std::unique_ptr<VexTest::HostFixture> m_host;
    QPointer<TfrmAcomPOL> m_window;
    QTemporaryDir m_dir;
};

void tst_AcomPOLScreen::initTestCase()
{
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::BrightText, kCaptionText);
    palette.setColor(QPalette::HighlightedText, kHighlightText);
    palette.setColor(QPalette::Highlight, kHighlight);
    palette.setColor(QPalette::WindowText, kWindowText);
    QApplication::setPalette(palette);

    VexTest::useServerPort(VexTest::deadPort());
    m_host = std::make_unique<VexTest::HostFixture>();
    m_window = TApplication::instance()->CreateForm<TfrmAcomPOL>();
    QVERIFY(m_window);
    // Display only: the cascade is tst_cascade's.
    for (TClientDataSet *ds : {m_window->cdsFilial, m_window->cdsSoli, m_window->cdsProd})
        ds->AfterScroll = nullptr;
    Cli_vex00300::boPrimVez = false;
    TApplication::instance()->ShowForm(m_window);
}

void tst_AcomPOLScreen::cleanupTestCase()
{
    delete m_window.data();
    m_host.reset();
}

void tst_AcomPOLScreen::init()
{
    for (TClientDataSet *ds : {m_window->cdsProdOL, m_window->cdsProd, m_window->cdsSoli,
                               m_window->cdsFilial})
        ds->Close();
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFolhaDados);
}

TClientDataSet *tst_AcomPOLScreen::dataSetNamed(const QString &name) const
{
    if (name == u"cdsFilial")
        return m_window->cdsFilial;
    if (name == u"cdsSoli")
        return m_window->cdsSoli;
    if (name == u"cdsProd")
        return m_window->cdsProd;
    return m_window->cdsProdOL;
}

TDBGrid *tst_AcomPOLScreen::gridNamed(const QString &name) const
{
    if (name == u"dbgPadrao")
        return m_window->dbgPadrao;
    if (name == u"dbgSoli")
        return m_window->dbgSoli;
    if (name == u"dbgProd")
        return m_window->dbgProd;
    return m_window->dbgProdOL;
}

void tst_AcomPOLScreen::loadSoli(const QVariantMap &row)
{
    m_window->cdsSoli->LoadFromPacket(
        VexTest::packetFor(AcomPOLDataSets::soliFields(), {row}));
}

void tst_AcomPOLScreen::loadProd(const QVariantMap &row)
{
    m_window->cdsProd->LoadFromPacket(
        VexTest::packetFor(AcomPOLDataSets::prodFields(), {row}));
}

// What a person reads in the grids' headers, left to right; the field
// declarations themselves live in one table, AcomPOLDataSets.
void tst_AcomPOLScreen::gridTitles_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QStringList>("titles");
    QTest::newRow("dbgPadrao") << "dbgPadrao"
        << QStringList{"Código", "Nome", "Itens", "Consolidados", "Com pedido", "Maior",
                       "Menor", "Igual", "Sem pedido vencidas", "Embarque vencido",
                       "Estoque negativo", "Situação"};
    QTest::newRow("dbgSoli") << "dbgSoli"
        << QStringList{"Nº da Solicitação", "Produto", "Nome do Produto", "UN", "Fator Conv.",
                       "Quantidade", "Data de Entrega", "Aprovada", "Nº da Consolidação",
                       "Status", "Item Consolidado", "Pedido Gerado", "Situação"};
    QTest::newRow("dbgProd") << "dbgProd"
        << QStringList{"Produto do Pedido", "Nome do produto", "UN", "Fator Conv.",
                       "Quantidade", "Data de Entrega", "Nº Pedido", "Baixa de Entrada",
                       "Baixa de Saída", "Data de Embarque"};
    QTest::newRow("dbgProdOL") << "dbgProdOL"
        << QStringList{"Produto de Relacionamento OL", "Quantidade Total em Estoque",
                       "Estoque Disponível", "Estoque Reservado", "Qtde. Reservada do Item"};
}

void tst_AcomPOLScreen::gridTitles()
{
    QFETCH(QString, grid);
    QFETCH(QStringList, titles);
    TDBGrid *g = gridNamed(grid);
    QStringList shown;
    for (int i = 0; i < g->model()->columnCount(); ++i) {
        if (!g->isColumnHidden(i))
            shown << g->model()->headerData(i, Qt::Horizontal).toString();
    }
    QCOMPARE(shown, titles);
}

void tst_AcomPOLScreen::quantitiesShowThreeDecimals()
{
    QVariantMap row{{"QTSOLIPROD", 1234.5}, {"VRFATOCONV", 12.0}, {"NRSEQUCONSOL", ""}};
    loadSoli(row);
    QCOMPARE(m_window->cdsSoliQTSOLIPROD->DisplayText(), QString("1.234,500"));
    QCOMPARE(m_window->cdsSoliVRFATOCONV->DisplayText(), QString("12,000"));
}

void tst_AcomPOLScreen::codedWords_data()
{
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("raw");
    QTest::addColumn<QString>("text");

    const QVariant null;
    struct Case { const char *ds, *col; QVariant raw; const char *text; };
    const Case cases[] = {
        {"cdsSoli", "IDITMCONS", "S", "Gerou pedido OL"},
        {"cdsSoli", "IDITMCONS", "s", "Não gerou pedido OL"},
        {"cdsSoli", "IDITMCONS", "N", "Não gerou pedido OL"},
        {"cdsSoli", "IDITMCONS", "", "Não gerou pedido OL"},
        {"cdsSoli", "IDITMCONS", null, "Não gerou pedido OL"},
        {"cdsSoli", "IDSOLIAPROV", "S", "Sim"},
        {"cdsSoli", "IDSOLIAPROV", "s", "Não"},
        {"cdsSoli", "IDSOLIAPROV", "", "Não"},
        {"cdsSoli", "IDSOLIAPROV", null, "Não"},
        {"cdsSoli", "IDPEDIDOOL", "S", "Sim"},
        {"cdsSoli", "IDPEDIDOOL", "N", "Não"},
        {"cdsSoli", "IDPEDIDOOL", "s", "Não"},
        {"cdsSoli", "IDPEDIDOOL", null, "Não"},
        {"cdsSoli", "NRSEQUCONSOL", "0", "Sim"},
        {"cdsSoli", "NRSEQUCONSOL", "000123", "Sim"},
        {"cdsSoli", "NRSEQUCONSOL", "", "Não"},
        {"cdsSoli", "NRSEQUCONSOL", null, "Não"},
        {"cdsSoli", "CDFILIOPELOG", "0001", "OL"},
        {"cdsSoli", "CDFILIOPELOG", "", "ED"},
        {"cdsSoli", "CDFILIOPELOG", null, "ED"},
        {"cdsProd", "IDBAIXENPEOL", "3", "Baixa Manual"},
        {"cdsProd", "IDBAIXENPEOL", "2", "Baixa Total"},
        {"cdsProd", "IDBAIXENPEOL", "1", "Baixa Parcial"},
        {"cdsProd", "IDBAIXENPEOL", "4", "Em Aberto"},
        {"cdsProd", "IDBAIXENPEOL", "0", "Em Aberto"},
        {"cdsProd", "IDBAIXENPEOL", "", "Em Aberto"},
        {"cdsProd", "IDBAIXENPEOL", null, "Em Aberto"},
        {"cdsProd", "IDBAIXAOLSAI", "3", "Baixa Manual"},
        {"cdsProd", "IDBAIXAOLSAI", "2", "Baixa Total"},
        {"cdsProd", "IDBAIXAOLSAI", "1", "Baixa Parcial"},
        {"cdsProd", "IDBAIXAOLSAI", "4", "Em Aberto"},
        {"cdsProd", "IDBAIXAOLSAI", "", "Em Aberto"},
        {"cdsProd", "IDBAIXAOLSAI", null, "Em Aberto"},
    };
    for (const Case &c : cases) {
        const QString rawName = c.raw.isNull() ? QStringLiteral("null")
                                               : u'"' + c.raw.toString() + u'"';
        QTest::addRow("%s=%s", c.col, qPrintable(rawName))
            << QString::fromLatin1(c.ds) << QString::fromLatin1(c.col) << c.raw
            << QString::fromUtf8(c.text);
    }
}

void tst_AcomPOLScreen::codedWords()
{
    QFETCH(QString, dataSet);
    QFETCH(QString, column);
    QFETCH(QVariant, raw);
    QFETCH(QString, text);
    const QVariantMap row{{column, raw}};
    if (dataSet == u"cdsSoli")
        loadSoli(row);
    else
        loadProd(row);
    const TField *field = dataSetNamed(dataSet)->FieldByName(column);
    QCOMPARE(field->DisplayText(), text);
    QCOMPARE(field->EditText(), text);
    // The grid paints the same words.
    TDBGrid *grid = dataSet == u"cdsSoli" ? m_window->dbgSoli : m_window->dbgProd;
    for (int col = 0; col < grid->Columns().size(); ++col) {
        if (grid->Columns().at(col)->FieldName == column)
            QCOMPARE(grid->cellText(0, col), text);
    }
}

void tst_AcomPOLScreen::noTextOnEmptyDataSet_data()
{
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<QString>("column");
    for (const char *col : {"IDITMCONS", "IDSOLIAPROV", "IDPEDIDOOL", "NRSEQUCONSOL",
                            "CDFILIOPELOG"})
        QTest::addRow("cdsSoli.%s", col) << "cdsSoli" << QString::fromLatin1(col);
    for (const char *col : {"IDBAIXENPEOL", "IDBAIXAOLSAI"})
        QTest::addRow("cdsProd.%s", col) << "cdsProd" << QString::fromLatin1(col);
}

void tst_AcomPOLScreen::noTextOnEmptyDataSet()
{
    QFETCH(QString, dataSet);
    QFETCH(QString, column);
    TClientDataSet *ds = dataSetNamed(dataSet);
    const TField *field = ds->FieldByName(column);
    QCOMPARE(field->DisplayText(), QString()); // closed
    const auto specs = dataSet == u"cdsSoli" ? AcomPOLDataSets::soliFields()
                                             : AcomPOLDataSets::prodFields();
    ds->LoadFromPacket(VexTest::packetFor(specs, {}));
    QVERIFY(ds->Active());
    QCOMPARE(field->DisplayText(), QString());
    QCOMPARE(field->EditText(), QString());
}

void tst_AcomPOLScreen::quantityColour_data()
{
    QTest::addColumn<QVariant>("ordered");
    QTest::addColumn<QVariant>("orderedFactor");
    QTest::addColumn<QVariant>("requested");
    QTest::addColumn<QVariant>("requestedFactor");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<QColor>("colour");

    const QVariant null;
    QTest::newRow("10x1 = 5x2") << QVariant(10.0) << QVariant(1.0) << QVariant(5.0)
                                << QVariant(2.0) << false << kWindowText;
    QTest::newRow("10.001x1 > 5x2") << QVariant(10.001) << QVariant(1.0) << QVariant(5.0)
                                    << QVariant(2.0) << false << kRed;
    QTest::newRow("9.999x1 < 5x2") << QVariant(9.999) << QVariant(1.0) << QVariant(5.0)
                                   << QVariant(2.0) << false << kBlue;
    QTest::newRow("0.1x3 vs 0.3x1, no tolerance")
        << QVariant(0.1) << QVariant(3.0) << QVariant(0.3) << QVariant(1.0) << false << kRed;
    QTest::newRow("null factor counts zero") << QVariant(10.0) << null << QVariant(5.0)
                                             << QVariant(2.0) << false << kBlue;
    QTest::newRow("null requested counts zero") << QVariant(1.0) << QVariant(1.0) << null
                                                << QVariant(2.0) << false << kRed;
    QTest::newRow("both zero") << QVariant(0.0) << QVariant(1.0) << null << null << false
                               << kWindowText;
    QTest::newRow("selected greater") << QVariant(10.001) << QVariant(1.0) << QVariant(5.0)
                                      << QVariant(2.0) << true << kCaptionText;
    QTest::newRow("selected smaller") << QVariant(9.0) << QVariant(1.0) << QVariant(5.0)
                                      << QVariant(2.0) << true << kCaptionText;
}

void tst_AcomPOLScreen::quantityColour()
{
    QFETCH(QVariant, ordered);
    QFETCH(QVariant, orderedFactor);
    QFETCH(QVariant, requested);
    QFETCH(QVariant, requestedFactor);
    QFETCH(bool, selected);
    QFETCH(QColor, colour);

    loadSoli({{"QTSOLIPROD", requested}, {"VRFATOCONV", requestedFactor}});
    loadProd({{"QTPROGENPEOL", ordered}, {"VRFATOCONV", orderedFactor}});

    // The grid hands the handler a canvas with the cell's colour already
    // chosen: highlight on the selected cell, the grid colour elsewhere.
    const QColor cellColour = selected ? kHighlight : SystemColors::clInfoBk();
    QImage image(160, 24, QImage::Format_RGB32);
    image.fill(QColor(1, 2, 3));
    {
        QPainter painter(&image);
        TCanvas canvas(&painter);
        canvas.Brush.Color = cellColour;
        canvas.Font.Font.setPixelSize(16);
        canvas.Font.Font.setStyleStrategy(QFont::NoAntialias);
        canvas.Font.Color = QColor(7, 7, 7);
        TGridDrawState state;
        if (selected)
            state |= TGridDrawStateFlag::gdSelected;
        TColumn *column = m_window->dbgProd->Columns().at(4);
        QCOMPARE(column->FieldName, QStringLiteral("QTPROGENPEOL"));
        TRecordScope scope(m_window->cdsProd, 0);
        m_window->dbgProdDrawColumnCell(m_window->dbgProd, canvas, image.rect(), 4, column,
                                        state);
    }
    QCOMPARE(image.pixelColor(0, 0), cellColour);
    std::set<QRgb> inks;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != cellColour.rgb())
                inks.insert(image.pixel(x, y));
    QVERIFY2(!inks.empty(), "no text drawn");
    QVERIFY2(inks.count(colour.rgb()), qPrintable(QStringLiteral("colour %1 not drawn")
                                                      .arg(colour.name())));
    for (const QColor &other : {kRed, kBlue, kWindowText, kCaptionText, kHighlightText}) {
        if (other != colour)
            QVERIFY2(!inks.count(other.rgb()), qPrintable(other.name()));
    }
}

void tst_AcomPOLScreen::quantityTooltip_data()
{
    QTest::addColumn<QVariant>("ordered");
    QTest::addColumn<QVariant>("factor");
    QTest::addColumn<QVariant>("requested");
    QTest::addColumn<QString>("hint");
    QTest::newRow("10.000x1 against 5.000x2") << QVariant(10.0) << QVariant(1.0) << QVariant(5.0)
        << "Pedido (unidade base): 10,000\nSolicitado (unidade base): 10,000\nDiferença: 0,000";
    QTest::newRow("10.001 is over by a thousandth")
        << QVariant(10.001) << QVariant(1.0) << QVariant(5.0)
        << "Pedido (unidade base): 10,001\nSolicitado (unidade base): 10,000\nDiferença: 0,001";
    QTest::newRow("a null factor counts as zero") << QVariant(1234.0) << QVariant() << QVariant(5.0)
        << "Pedido (unidade base): 0,000\nSolicitado (unidade base): 10,000\nDiferença: -10,000";
}

// The quantity cell says, in base units, what the colour compares.
void tst_AcomPOLScreen::quantityTooltip()
{
    QFETCH(QVariant, ordered);
    QFETCH(QVariant, factor);
    QFETCH(QVariant, requested);
    QFETCH(QString, hint);
    loadSoli({{"QTSOLIPROD", requested}, {"VRFATOCONV", 2.0}});
    loadProd({{"QTPROGENPEOL", ordered}, {"VRFATOCONV", factor}});
    int quantityColumn = -1;
    for (int i = 0; i < m_window->dbgProd->Columns().size(); ++i) {
        if (m_window->dbgProd->Columns().at(i)->FieldName == QLatin1String("QTPROGENPEOL"))
            quantityColumn = i;
    }
    const QModelIndex cell = m_window->dbgProd->model()->index(0, quantityColumn);
    QCOMPARE(cell.data(Qt::ToolTipRole).toString(), hint);
    QCOMPARE(m_window->dbgProd->model()->index(0, 0).data(Qt::ToolTipRole).toString(), QString());
}

void tst_AcomPOLScreen::rowCounts()
{
    QCOMPARE(TDBRowCount::CountText(1052, "solicitação", "solicitações"),
             QStringLiteral("1.052 solicitações"));
    QCOMPARE(TDBRowCount::CountText(1, "filial", "filiais"), QStringLiteral("1 filial"));
    m_window->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001", "0002"}));
    QCOMPARE(m_window->lblQtdeFiliais->text(), QStringLiteral("2 filiais"));
    m_window->cdsFilial->Close();
    QCOMPARE(m_window->lblQtdeFiliais->text(), QString());
}

void tst_AcomPOLScreen::otherColumnsKeepDefaultDrawing()
{
    loadSoli({{"QTSOLIPROD", 1.0}, {"VRFATOCONV", 1.0}});
    loadProd({{"QTPROGENPEOL", 5.0}, {"VRFATOCONV", 1.0}, {"CDARVPROD", "123"}});
    const QList<TColumn *> columns = m_window->dbgProd->Columns();
    for (int col = 0; col < columns.size(); ++col) {
        if (columns.at(col)->FieldName == u"QTPROGENPEOL")
            continue;
        QImage image(60, 20, QImage::Format_RGB32);
        image.fill(QColor(9, 9, 9));
        const QImage before = image;
        {
            QPainter painter(&image);
            TCanvas canvas(&painter);
            canvas.Brush.Color = Qt::white;
            TRecordScope scope(m_window->cdsProd, 0);
            m_window->dbgProdDrawColumnCell(m_window->dbgProd, canvas, image.rect(), col,
                                            columns.at(col), TGridDrawState());
        }
        QVERIFY2(image == before, qPrintable(columns.at(col)->FieldName));
    }
}

void tst_AcomPOLScreen::gridPaintsColouredQuantity()
{
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFormulario);
    loadSoli({{"QTSOLIPROD", 5.0}, {"VRFATOCONV", 2.0}});
    m_window->cdsProd->LoadFromPacket(VexTest::packetFor(
        AcomPOLDataSets::prodFields(),
        {{{"QTPROGENPEOL", 10.0}, {"VRFATOCONV", 1.0}},
         {{"QTPROGENPEOL", 20.0}, {"VRFATOCONV", 1.0}},
         {{"QTPROGENPEOL", 1.0}, {"VRFATOCONV", 1.0}}}));
    TDBGrid *grid = m_window->dbgProd;
    const QSize minimum = m_window->panProd->minimumSize();
    const QSize maximum = m_window->panProd->maximumSize();
    m_window->panProd->setFixedHeight(200); // room for three rows
    QApplication::processEvents();
    const QImage shot = grid->viewport()->grab().toImage();
    m_window->panProd->setMinimumSize(minimum);
    m_window->panProd->setMaximumSize(maximum);
    // Text is antialiased here: look for clearly red or clearly blue ink.
    auto reddish = [](const QColor &c) {
        return c.red() > 160 && c.green() < 90 && c.blue() < 90;
    };
    auto bluish = [](const QColor &c) {
        return c.blue() > 160 && c.red() < 90 && c.green() < 90;
    };
    auto rowHas = [&](int row, auto ink) {
        const QRect cell = grid->visualRect(grid->model()->index(row, 4)) & shot.rect();
        for (int y = cell.top(); y <= cell.bottom(); ++y)
            for (int x = cell.left(); x <= cell.right(); ++x)
                if (ink(shot.pixelColor(x, y)))
                    return true;
        return false;
    };
    QVERIFY(rowHas(1, reddish));
    QVERIFY(rowHas(2, bluish));
    QVERIFY(!rowHas(1, bluish));
    QVERIFY(!rowHas(2, reddish));
    QCOMPARE(grid->cellText(1, 4), QStringLiteral("20,000"));
}

void tst_AcomPOLScreen::commandEnabling_data()
{
    QTest::addColumn<bool>("requestPage");
    QTest::addColumn<QString>("filial"); // closed, empty, rows
    QTest::addColumn<bool>("searchVerify");
    QTest::addColumn<bool>("filter");
    QTest::addColumn<bool>("navigator");

    for (bool page : {false, true}) {
        const char *p = page ? "Solicitação" : "Filial Solicitante";
        QTest::addRow("%s, closed", p) << page << "closed" << false << !page << false;
        QTest::addRow("%s, empty", p) << page << "empty" << false << !page << true;
        QTest::addRow("%s, rows", p) << page << "rows" << true << !page << true;
        QTest::addRow("%s, rows then closed", p) << page << "reclosed" << false << !page
                                                 << false;
    }
}

void tst_AcomPOLScreen::commandEnabling()
{
    QFETCH(bool, requestPage);
    QFETCH(QString, filial);
    QFETCH(bool, searchVerify);
    QFETCH(bool, filter);
    QFETCH(bool, navigator);

    TfrmAcomPOL *w = m_window;
    w->pgcPadrao->setCurrentWidget(requestPage ? w->tshFormulario : w->tshFolhaDados);
    if (filial == u"empty")
        w->cdsFilial->LoadFromPacket(VexTest::branchPacket({}));
    if (filial == u"rows" || filial == u"reclosed")
        w->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001", "0002"}));
    if (filial == u"reclosed")
        w->cdsFilial->Close();
    // Search and verify follow the branch list alone, whatever cdsSoli holds.
    QVERIFY(!w->cdsSoli->Active());

    const QList<TfrmPadrao::TCommandPair> pairs = w->CommandPairs();
    QCOMPARE(pairs.size(), 7);
    for (int i = 0; i < 5; ++i) {
        QVERIFY(!pairs[i].menuItem->isEnabled());
        QVERIFY(!pairs[i].button->isEnabled());
    }
    QCOMPARE(w->mnuProcurar->isEnabled(), searchVerify);
    QCOMPARE(w->sbtProcurar->isEnabled(), searchVerify);
    QCOMPARE(w->mnuVerificar->isEnabled(), searchVerify);
    QCOMPARE(w->sbtVerificar->isEnabled(), searchVerify);
    QCOMPARE(w->mnuOrdenar->isEnabled(), filter);
    QCOMPARE(w->sbtFiltro->isEnabled(), filter);
    QCOMPARE(w->dbnPadrao->isEnabled(), navigator);
    QVERIFY(!w->sbtImprimir->isEnabled());
}

void tst_AcomPOLScreen::pageChangeTogglesFilter()
{
    TfrmAcomPOL *w = m_window;
    w->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001"}));
    w->pgcPadrao->setCurrentWidget(w->tshFormulario);
    QVERIFY(!w->mnuOrdenar->isEnabled());
    QVERIFY(!w->sbtFiltro->isEnabled());
    QVERIFY(w->mnuVerificar->isEnabled()); // untouched by the page change
    w->pgcPadrao->setCurrentWidget(w->tshFolhaDados);
    QVERIFY(w->mnuOrdenar->isEnabled());
    QVERIFY(w->sbtFiltro->isEnabled());
}

void tst_AcomPOLScreen::masksSetAtActivation()
{
    const HostConfig saved = HostConfig::current();
    HostConfig config = saved;
    config.pictures[0] = QStringLiteral("99.999.9999;0;_");
    HostConfig::setCurrent(config);
    TfrmAcomPOL *w = m_window;
    for (TField *f : {w->cdsSoliCDARVPROD, w->cdsProdCDARVPROD, w->cdsProdOLPRODARVOL})
        f->SetEditMask(QString());

    w->FormActivate();
    HostConfig::setCurrent(saved);
    for (TField *f : {w->cdsSoliCDARVPROD, w->cdsProdCDARVPROD, w->cdsProdOLPRODARVOL})
        QCOMPARE(f->EditMask(), QStringLiteral("99.999.9999;0;_"));
    loadSoli({{"CDARVPROD", "123456789"}});
    QCOMPARE(w->cdsSoliCDARVPROD->DisplayText(), QStringLiteral("12.345.6789"));

    // Every activation sets them again, from the current picture.
    w->FormActivate();
    QCOMPARE(w->cdsProdCDARVPROD->EditMask(), HostConfig::current().picture(0));
}

void tst_AcomPOLScreen::toolBar_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<bool>("enabledAlways");
    QTest::newRow("sbtFiltro") << "sbtFiltro" << QRect(203, 4, 21, 21) << false;
    QTest::newRow("sbtImprimir") << "sbtImprimir" << QRect(251, 4, 21, 21) << false;
    QTest::newRow("sbtAjuda") << "sbtAjuda" << QRect(287, 4, 21, 21) << true;
    QTest::newRow("sbtFechar") << "sbtFechar" << QRect(323, 4, 21, 21) << true;
}

void tst_AcomPOLScreen::toolBar()
{
    QFETCH(QString, button);
    QFETCH(QRect, geometry);
    QFETCH(bool, enabledAlways);
    auto *b = m_window->panMenu->findChild<TButtonFlat *>(button);
    QVERIFY2(b, qPrintable(button));
    QCOMPARE(b->geometry(), geometry);
    if (enabledAlways)
        QVERIFY(b->isEnabled());
    if (button == u"sbtImprimir")
        QVERIFY(!b->isEnabled());
    if (button == u"sbtFiltro")
        QCOMPARE(b->toolTip(), QStringLiteral("Filtrar"));
}

void tst_AcomPOLScreen::menuAndCaptions()
{
    TfrmAcomPOL *w = m_window;
    QCOMPARE(w->windowTitle(), QStringLiteral("Acompanhamento de Pedidos OL"));
    QCOMPARE(w->lblCodTela->text(), QStringLiteral("VEX00300"));
    QCOMPARE(w->mnuOrdenar->text(), QStringLiteral("&Filtrar"));
    QCOMPARE(w->mnuOrdenar->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_L));
    QCOMPARE(w->pgcPadrao->tabText(w->pgcPadrao->indexOf(w->tshFolhaDados)),
             QStringLiteral("Filial Solicitante"));
    QCOMPARE(w->pgcPadrao->tabText(w->pgcPadrao->indexOf(w->tshFormulario)),
             QStringLiteral("Solicitação"));
    QCOMPARE(w->msgPadrao.Lines.size(), 11);
    QCOMPARE(w->msgPadrao.Msg(QStringLiteral("ED")), QStringLiteral("Entrega direta"));
    for (TDBGrid *grid : {w->dbgSoli, w->dbgProd, w->dbgProdOL}) {
        QCOMPARE(grid->palette().color(QPalette::Base), SystemColors::clInfoBk());
        QCOMPARE(grid->horizontalHeader()->font().pixelSize(), 11);
        QCOMPARE(grid->horizontalHeader()->font().family(), QStringLiteral("MS Sans Serif"));
    }
}

void tst_AcomPOLScreen::gridColumns_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<QStringList>("columns"); // "NAME:width" or "NAME" or "NAME:-hidden"
    QTest::newRow("dbgPadrao") << "dbgPadrao"
        << QStringList{"CDFILSOLI:68", "NMFILIAL:240", "QTITENS:64", "QTCONSOL:64",
                       "QTPEDIDO:64", "QTMAIOR:64", "QTMENOR:64", "QTIGUAL:64",
                       "QTATRASOPED:64", "QTATRASOEMB:64", "QTESTNEG:64", "SITUACAO:150"};
    QTest::newRow("dbgSoli") << "dbgSoli"
        << QStringList{"NRSOLICMP", "CDARVPROD:99", "NMPRODUTO:192", "SGUNIDADE:28",
                       "VRFATOCONV", "QTSOLIPROD", "DTPROGENTR:82", "IDSOLIAPROV",
                       "NRSOLCMPCONS", "CDFILIOPELOG", "NRSEQUCONSOL", "IDPEDIDOOL",
                       "SITUACAO:300"};
    QTest::newRow("dbgProd") << "dbgProd"
        << QStringList{"CDARVPROD:96", "NMPRODUTO:300", "SGUNIDADE:22", "VRFATOCONV",
                       "QTPROGENPEOL", "DTPROGENPEOL:89", "NRPEDEXOL", "IDBAIXENPEOL",
                       "IDBAIXAOLSAI", "DTPROGEMBARQ:98", "CDPRODUTO:hidden"};
    QTest::newRow("dbgProdOL") << "dbgProdOL"
        << QStringList{"PRODARVOL", "QUANT_ESTOQUE", "ESTOQ_DISPO", "QTRESERVESTOL",
                       "RESERVA_ITEM"};
}

void tst_AcomPOLScreen::gridColumns()
{
    QFETCH(QString, grid);
    QFETCH(QStringList, columns);
    const QList<TColumn *> actual = gridNamed(grid)->Columns();
    QCOMPARE(actual.size(), columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        const QString name = columns[i].section(u':', 0, 0);
        const QString extra = columns[i].section(u':', 1);
        QCOMPARE(actual[i]->FieldName, name);
        // The branch counts are no fields of cdsFilial: the grid works them out.
        QVERIFY2(actual[i]->Field() || actual[i]->CalcText || actual[i]->CalcValue,
                 qPrintable(name));
        QCOMPARE(actual[i]->Visible, extra != u"hidden");
        if (!extra.isEmpty() && extra != u"hidden")
            QCOMPARE(actual[i]->Width, extra.toInt());
        else
            QCOMPARE(actual[i]->Width, -1);
    }
}

void tst_AcomPOLScreen::requestPageStack()
{
    TfrmAcomPOL *w = m_window;
    auto *stack = qobject_cast<QBoxLayout *>(w->tshFormulario->layout());
    QVERIFY(stack);
    const QList<QWidget *> order{w->panSituacao, w->panFormulario, w->Splitter1, w->panProd,
                                 w->panProdOL, w->Splitter2};
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(stack->itemAt(i)->widget(), order[i]);
    // The design heights are the panels' shares of the page's height.
    const QList<QWidget *> panels{w->panFormulario, w->panProd, w->panProdOL};
    const QList<int> design{331, 77, 78};
    for (int i = 0; i < panels.size(); ++i)
        QCOMPARE(stack->stretch(stack->indexOf(panels[i])), design[i]);
    QCOMPARE(w->Splitter1->height(), 1);
    QCOMPARE(w->Splitter1->target(), w->panFormulario);
    QCOMPARE(w->Splitter2->target(), w->panProdOL);
    QVERIFY(w->panFormulario->isAncestorOf(w->dbgSoli));
    QVERIFY(w->panProd->isAncestorOf(w->dbgProd));
    QVERIFY(w->panProdOL->isAncestorOf(w->dbgProdOL));

    // Dragging the bar under the request grid moves the boundary under the
    // mouse: the request grid grows by what the product grid gives.
    w->pgcPadrao->setCurrentWidget(w->tshFormulario);
    QApplication::processEvents();
    QList<int> before;
    for (const QWidget *panel : panels)
        before << panel->height();
    QTest::mousePress(w->Splitter1, Qt::LeftButton, {}, QPoint(5, 0));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 30), w->Splitter1->mapToGlobal(QPointF(5, 30)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w->Splitter1, &move);
    QTest::mouseRelease(w->Splitter1, Qt::LeftButton, {}, QPoint(5, 30));
    QTRY_COMPARE(w->panFormulario->height(), before[0] + 30);
    QCOMPARE(w->panProd->height(), before[1] - 30);
    QCOMPARE(w->panProdOL->height(), before[2]);
    for (int i = 0; i < panels.size(); ++i)
        stack->setStretch(stack->indexOf(panels[i]), design[i]);
}

// A taller window gives all its extra height to the three grids, in their
// proportions, so that a maximized window shows more products and stock.
void tst_AcomPOLScreen::extraHeightGoesToTheGrids()
{
    TfrmAcomPOL *w = m_window;
    w->pgcPadrao->setCurrentWidget(w->tshFormulario);
    QMdiSubWindow *window = TApplication::instance()->subWindowOf(w);
    const QSize size = window->size();
    const QList<QWidget *> panels{w->panFormulario, w->panProd, w->panProdOL};
    auto heights = [&panels] {
        QApplication::processEvents();
        return QList<int>{panels[0]->height(), panels[1]->height(), panels[2]->height()};
    };
    const QList<int> before = heights();
    window->resize(size + QSize(0, 300));
    const QList<int> after = heights();
    window->resize(size);
    const int total = before[0] + before[1] + before[2] + 300;
    QCOMPARE(after[0] + after[1] + after[2], total);
    const QList<int> weights{331, 77, 78};
    for (int i = 0; i < 3; ++i)
        QVERIFY(after[i] > before[i] && qAbs(after[i] - total * weights[i] / 486.0) <= 2.0);
}

void tst_AcomPOLScreen::panelInsets_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<int>("inset"); // bevels plus border width
    QTest::addColumn<int>("panelHeight"); // its share of the page
    QTest::newRow("panFormulario") << "panFormulario" << 4 << 331;
    QTest::newRow("panProd") << "panProd" << 3 << 77;
    QTest::newRow("panProdOL") << "panProdOL" << 3 << 78;
}

void tst_AcomPOLScreen::panelInsets()
{
    QFETCH(QString, panel);
    QFETCH(int, inset);
    QFETCH(int, panelHeight);
    TfrmAcomPOL *w = m_window;
    w->pgcPadrao->setCurrentWidget(w->tshFormulario);
    QApplication::processEvents();
    QScrollArea *box = panel == u"panFormulario" ? w->scbFormulario
                       : panel == u"panProd"     ? w->scbProd
                                                 : w->scbProdOL;
    TDBGrid *grid = panel == u"panFormulario" ? w->dbgSoli
                    : panel == u"panProd"     ? w->dbgProd
                                              : w->dbgProdOL;
    auto *stack = qobject_cast<QBoxLayout *>(w->tshFormulario->layout());
    QCOMPARE(stack->stretch(stack->indexOf(box->parentWidget())), panelHeight);
    QCOMPARE(box->geometry().topLeft(), QPoint(inset, inset));
    QCOMPARE(box->height(), box->parentWidget()->height() - 2 * inset);
    QCOMPARE(box->width(), box->parentWidget()->width() - 2 * inset);
    QVERIFY(box->isAncestorOf(grid));
    // The grid fills its scroll box.
    QCOMPARE(grid->size(), box->viewport()->size());
}

void tst_AcomPOLScreen::statusLine()
{
    TfrmAcomPOL *w = m_window;
    QCOMPARE(w->lblFilial->text(), QStringLiteral("Filial Solicitante:"));
    QCOMPARE(w->lblFilial->pos(), QPoint(120, 2));
    QCOMPARE(w->Label1->text(), QStringLiteral("Filial OL:"));
    QCOMPARE(w->Label1->pos(), QPoint(565, 2));
    // The texts sit at their classic places unless the label runs wider.
    QCOMPARE(w->dbtOL->x(), qMax(622, w->Label1->geometry().right() + 6));
    QCOMPARE(w->dbtOL->geometry().size(), QSize(402, 13));
    QCOMPARE(w->dbtOL->y(), 2);
    QVERIFY(w->dbtOL->font().bold());
    QCOMPARE(w->dbtNome->x(), qMax(219, w->lblFilial->geometry().right() + 6));
    QVERIFY(w->dbtNome->x() > w->lblFilial->geometry().right());
    QCOMPARE(w->dbtNome->width(), 320);
    w->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0007"}));
    QCOMPARE(w->dbtNome->text(), QStringLiteral("Filial 0007"));
}

// Each grid keeps its own columns under its own name: a width set in one
// comes back in that one only, and untouched columns come back untouched.
void tst_AcomPOLScreen::gridLayoutsKeptApart_data()
{
    QTest::addColumn<QString>("grid");
    for (const char *grid : {"dbgPadrao", "dbgSoli", "dbgProd", "dbgProdOL"})
        QTest::newRow(grid) << grid;
}

void tst_AcomPOLScreen::gridLayoutsKeptApart()
{
    QFETCH(QString, grid);
    const QList<TDBGrid *> grids{m_window->dbgPadrao, m_window->dbgSoli, m_window->dbgProd,
                                 m_window->dbgProdOL};
    for (TDBGrid *g : grids)
        g->RestoreDesignLayout();
    gridNamed(grid)->horizontalHeader()->resizeSection(1, 123);
    QStringList lines;
    for (const TDBGrid *g : grids)
        lines << g->LayoutLines();
    for (TDBGrid *g : grids) {
        g->RestoreDesignLayout();
        g->RestoreLayout(lines);
        for (const TColumn *column : g->Columns()) {
            const bool set = g == gridNamed(grid) && column == g->Columns()[1];
            QCOMPARE(column->UserWidth, set ? 123 : -1);
        }
        g->RestoreDesignLayout();
    }
}

// Numbers and dates line up on the right in every grid; the quantity of
// the order products, which the window draws itself, stays on the left.
void tst_AcomPOLScreen::numbersLineUpRight_data()
{
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("right");
    QTest::newRow("dbgSoli factor") << "dbgSoli" << 4 << true;
    QTest::newRow("dbgSoli date") << "dbgSoli" << 6 << true;
    QTest::newRow("dbgSoli text") << "dbgSoli" << 2 << false;
    QTest::newRow("dbgProd date") << "dbgProd" << 5 << true;
    QTest::newRow("dbgProd drawn quantity") << "dbgProd" << 4 << false;
    QTest::newRow("dbgProdOL stock") << "dbgProdOL" << 2 << true;
}

void tst_AcomPOLScreen::numbersLineUpRight()
{
    QFETCH(QString, grid);
    QFETCH(int, column);
    QFETCH(bool, right);
    m_window->pgcPadrao->setCurrentWidget(m_window->tshFormulario);
    const QVariantMap values{{"VRFATOCONV", 1.0}, {"DTPROGENTR", 46000.0},
                             {"NMPRODUTO", "Feijão"}, {"QTPROGENPEOL", 5.0},
                             {"DTPROGENPEOL", 46000.0}};
    loadSoli(values);
    loadProd(values);
    m_window->cdsProdOL->LoadFromPacket(VexTest::packetFor(AcomPOLDataSets::prodOLFields(),
                                                           {{{"ESTOQ_DISPO", 5.0}}}));
    TDBGrid *g = gridNamed(grid);
    g->horizontalHeader()->resizeSection(column, 160);
    g->scrollTo(g->model()->index(0, column));
    g->clearFocus(); // the plain cell colour, not the highlight
    QApplication::processEvents();
    const QImage image = g->viewport()->grab().toImage();
    const QRect cell = g->visualRect(g->model()->index(0, column));
    int left = cell.right(), rightmost = cell.left();
    for (int y = cell.top() + 1; y < cell.bottom(); ++y) {
        for (int x = cell.left() + 1; x < cell.right(); ++x) {
            if (image.pixelColor(x, y) != image.pixelColor(cell.topLeft() + QPoint(1, 1))) {
                left = qMin(left, x);
                rightmost = qMax(rightmost, x);
            }
        }
    }
    QVERIFY2(left < rightmost, "no text drawn");
    QCOMPARE(cell.right() - rightmost < left - cell.left(), right);
    g->RestoreDesignLayout();
}

// Enter or a double click on a branch opens its requests, focus in their grid.
void tst_AcomPOLScreen::openRequestsOfABranch_data()
{
    QTest::addColumn<int>("key"); // 0: a double click on the second branch
    QTest::newRow("Enter") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
    QTest::newRow("double click") << 0;
}

void tst_AcomPOLScreen::openRequestsOfABranch()
{
    QFETCH(int, key);
    TfrmAcomPOL *w = m_window;
    w->cdsFilial->LoadFromPacket(VexTest::branchPacket({"0001", "0002"}));
    m_host->mainWindow->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host->mainWindow));
    w->dbgPadrao->setFocus();
    QWidget *view = w->dbgPadrao->viewport();
    const QPoint second = w->dbgPadrao->visualRect(w->dbgPadrao->model()->index(1, 1)).center();
    if (key) // a double click goes through the window, as the platform delivers it
        QTest::keyClick(w->dbgPadrao, Qt::Key(key));
    else
        QTest::mouseDClick(view->window()->windowHandle(), Qt::LeftButton, {},
                           view->mapTo(view->window(), second));
    QCOMPARE(w->cdsFilial->CurrentRow(), key ? 0 : 1);
    QCOMPARE(w->pgcPadrao->currentWidget(), w->tshFormulario);
    QTRY_VERIFY(w->dbgSoli->hasFocus());
}

void tst_AcomPOLScreen::branchNameFromDatabase_data()
{
    QTest::addColumn<QString>("stFilOL");
    QTest::addColumn<QString>("name");
    QTest::newRow("known") << "0100" << "Operador Campinas";
    QTest::newRow("other") << "0200" << "Operador Recife";
    QTest::newRow("unknown") << "9999" << "";
    QTest::newRow("quote in code") << "01'0" << "";
}

void tst_AcomPOLScreen::branchNameFromDatabase()
{
    QFETCH(QString, stFilOL);
    QFETCH(QString, name);
    if (!dtmDBGeral().Connected()) {
        QVERIFY(m_dir.isValid());
        dtmDBGeral().Open(QStringLiteral("sqlite:") + m_dir.filePath("screen.db"));
        QSqlQuery q(dtmDBGeral().adcGeral());
        QVERIFY2(q.exec("CREATE TABLE FILIAL (CDFILIAL VARCHAR(4) PRIMARY KEY, "
                        "NMFILIAL VARCHAR(30))"), qPrintable(q.lastError().text()));
        QVERIFY(q.exec("INSERT INTO FILIAL VALUES ('0100', 'Operador Campinas')"));
        QVERIFY(q.exec("INSERT INTO FILIAL VALUES ('0200', 'Operador Recife')"));
    }
    m_window->Var_filtro("0001,0002", "", stFilOL, "T", "", "A", "B", "", "", "T", "T", "S",
                         "N", "C", 45000, 45010, 44990, 45005);
    QCOMPARE(m_window->dbtOL->text(), name);
    QCOMPARE(m_window->qryOLNMFILIAL->AsString(), name);
    QCOMPARE(m_window->qryOLNMFILIAL->Size(), 30);
    namespace U = Cli_vex00300;
    const QStringList stored{U::stLFilSoli, U::stTFilSoli, U::stFilOL, U::stDtEntr,
                             U::stDtSoli, U::stProdIni, U::stProdFin, U::stProd,
                             U::stListaConsol, U::stTodasConsol, U::stStatus,
                             U::stItemConsol, U::stPedGerado, U::stQtdePedido};
    QCOMPARE(stored, (QStringList{"0001,0002", "", stFilOL, "T", "", "A", "B", "", "", "T",
                                  "T", "S", "N", "C"}));
    QCOMPARE(U::DtEntrIni, 45000.0);
    QCOMPARE(U::DtEntrFin, 45010.0);
    QCOMPARE(U::DtSolIni, 44990.0);
    QCOMPARE(U::DtSolFin, 45005.0);
}

QTEST_MAIN(tst_AcomPOLScreen)
#include "tst_acompol_screen.moc"
