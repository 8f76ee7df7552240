// Building the tracking window: data sets, tool bar, pages, status line.
#include "Cli_vex00300.h"

#include "AcomPOLDataSets.h"
#include "ResizeBar.h"

#include "appserver/rdmAcomPOL.h"
#include "controls/SystemColors.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBText.h"
#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "net/TNetConnection.h"

#include <QAction>
#include <QFrame>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
QFont statusFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    font.setBold(true);
    return font;
}

QFont gridTitleFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPixelSize(11);
    return font;
}

// A funnel, in colour and greyed, for the filter button.
QPixmap funnelGlyph(const QColor &fill)
{
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QColor(0, 0, 0));
    painter.setBrush(fill);
    const QPoint funnel[] = {{2, 3}, {15, 3}, {10, 9}, {10, 15}, {7, 13}, {7, 9}};
    painter.drawPolygon(funnel, 6);
    return pixmap;
}

QLabel *statusLabel(const QString &text, int left, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(statusFont());
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, SystemColors::clWindowText());
    label->setPalette(palette);
    label->move(left, 2);
    label->adjustSize();
    return label;
}
} // namespace

void TfrmAcomPOL::createDataSets()
{
    using namespace AcomPOLDataSets;
    cdsFilial = new TClientDataSet(QStringLiteral("cdsFilial"), this);
    cdsSoli = new TClientDataSet(QStringLiteral("cdsSoli"), this);
    cdsProd = new TClientDataSet(QStringLiteral("cdsProd"), this);
    cdsProdOL = new TClientDataSet(QStringLiteral("cdsProdOL"), this);
    declareFields(*cdsFilial, filialFields());
    declareFields(*cdsSoli, soliFields());
    declareFields(*cdsProd, prodFields());
    declareFields(*cdsProdOL, prodOLFields());

    auto f = [](TClientDataSet *dataSet, const char *column) {
        return dataSet->FieldByName(QString::fromLatin1(column));
    };
    cdsFilialCDFILSOLI = f(cdsFilial, "CDFILSOLI");
    cdsFilialNMFILIAL = f(cdsFilial, "NMFILIAL");
    cdsSoliNRSOLICMP = f(cdsSoli, "NRSOLICMP");
    cdsSoliCDARVPROD = f(cdsSoli, "CDARVPROD");
    cdsSoliNMPRODUTO = f(cdsSoli, "NMPRODUTO");
    cdsSoliSGUNIDADE = f(cdsSoli, "SGUNIDADE");
    cdsSoliQTSOLIPROD = f(cdsSoli, "QTSOLIPROD");
    cdsSoliDTPROGENTR = f(cdsSoli, "DTPROGENTR");
    cdsSoliIDITMCONS = f(cdsSoli, "IDITMCONS");
    cdsSoliNRSOLCMPCONS = f(cdsSoli, "NRSOLCMPCONS");
    cdsSoliIDSOLIAPROV = f(cdsSoli, "IDSOLIAPROV");
    cdsSoliNMFILIAL = f(cdsSoli, "NMFILIAL");
    cdsSoliCDPRODUTO = f(cdsSoli, "CDPRODUTO");
    cdsSoliCDPRODESTO = f(cdsSoli, "CDPRODESTO");
    cdsSoliCDFILIOPELOG = f(cdsSoli, "CDFILIOPELOG");
    cdsSoliVRFATOCONV = f(cdsSoli, "VRFATOCONV");
    cdsSoliNRSEQUCONSOL = f(cdsSoli, "NRSEQUCONSOL");
    cdsSoliIDPEDIDOOL = f(cdsSoli, "IDPEDIDOOL");
    cdsProdCDARVPROD = f(cdsProd, "CDARVPROD");
    cdsProdNMPRODUTO = f(cdsProd, "NMPRODUTO");
    cdsProdSGUNIDADE = f(cdsProd, "SGUNIDADE");
    cdsProdQTPROGENPEOL = f(cdsProd, "QTPROGENPEOL");
    cdsProdDTPROGENPEOL = f(cdsProd, "DTPROGENPEOL");
    cdsProdNRPEDEXOL = f(cdsProd, "NRPEDEXOL");
    cdsProdIDBAIXENPEOL = f(cdsProd, "IDBAIXENPEOL");
    cdsProdIDBAIXAOLSAI = f(cdsProd, "IDBAIXAOLSAI");
    cdsProdCDFILDEST = f(cdsProd, "CDFILDEST");
    cdsProdCDFILLANC = f(cdsProd, "CDFILLANC");
    cdsProdCDMARCA = f(cdsProd, "CDMARCA");
    cdsProdDTPROGEMBARQ = f(cdsProd, "DTPROGEMBARQ");
    cdsProdCDPRODUTO = f(cdsProd, "CDPRODUTO");
    cdsProdVRFATOCONV = f(cdsProd, "VRFATOCONV");
    cdsProdOLPRODARVOL = f(cdsProdOL, "PRODARVOL");
    cdsProdOLQUANT_ESTOQUE = f(cdsProdOL, "QUANT_ESTOQUE");
    cdsProdOLESTOQ_DISPO = f(cdsProdOL, "ESTOQ_DISPO");
    cdsProdOLQTRESERVESTOL = f(cdsProdOL, "QTRESERVESTOL");
    cdsProdOLRESERVA_ITEM = f(cdsProdOL, "RESERVA_ITEM");

    dtsSoli = new TDataSource(this);
    dtsSoli->SetDataSet(cdsSoli);
    dtsProd = new TDataSource(this);
    dtsProd->SetDataSet(cdsProd);
    dtsProdOL = new TDataSource(this);
    dtsProdOL->SetDataSet(cdsProdOL);

    qryOL = new TADOIBQuery(QStringLiteral("qryOL"), this);
    qryOL->SQL = {QStringLiteral("SELECT NMFILIAL"), QStringLiteral("  FROM FILIAL"),
                  QStringLiteral(" WHERE CDFILIAL = :P_CDFILIAL"), QStringLiteral(" ")};
    qryOL->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(QString());
    qryOLNMFILIAL = qryOL->AddField(QStringLiteral("NMFILIAL"), TFieldType::ftString, 30);
    dtsOL = new TDataSource(this);
    dtsOL->SetDataSet(qryOL->Query());
}

void TfrmAcomPOL::createConnection()
{
    netAcomPOL = new TNetConnection(this);
    netAcomPOL->SetServerName(QString::fromLatin1(rdmAcomPOL::kServerName));
    netAcomPOL->SetThrowException(false);
    netAcomPOL->BeforeConnect = [this](TNetConnection *sender) {
        netAcomPOLBeforeConnect(sender);
    };
}

void TfrmAcomPOL::adjustToolBarAndMenu()
{
    lblCodTela->setText(QStringLiteral("VEX00300"));
    // 51 pixels in the classic font; wider only when the font here needs it.
    lblCodTela->resize(qMax(51, lblCodTela->sizeHint().width()), lblCodTela->height());

    sbtFiltro = new TButtonFlat(panMenu);
    sbtFiltro->setObjectName(QStringLiteral("sbtFiltro"));
    sbtFiltro->setGeometry(203, 4, 21, 21);
    sbtFiltro->setAutoRaise(true);
    sbtFiltro->SetHint(QStringLiteral("Filtrar"));
    QIcon glyph(funnelGlyph(QColor(255, 255, 0)));
    glyph.addPixmap(funnelGlyph(QColor(192, 192, 192)), QIcon::Disabled);
    sbtFiltro->setIcon(glyph);
    sbtFiltro->show();

    sbtImprimir->move(251, sbtImprimir->y());
    sbtImprimir->setEnabled(false);
    sbtAjuda->move(287, sbtAjuda->y());
    sbtFechar->move(323, sbtFechar->y());

    mnuOrdenar->setText(QStringLiteral("&Filtrar"));
    mnuOrdenar->setEnabled(true);
    mnuOrdenar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    mnuVerificar->setShortcut(QKeySequence(Qt::Key_F5));
    mnuProcurar->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
    sbtVerificar->SetHint(QStringLiteral("Verificar (F5)"));
    sbtProcurar->SetHint(QStringLiteral("Procurar (Ctrl+F)"));
}

void TfrmAcomPOL::buildBranchPage()
{
    pgcPadrao->setTabText(pgcPadrao->indexOf(tshFolhaDados), QStringLiteral("Filial Solicitante"));
    dtsPadrao->SetDataSet(cdsFilial);
    dbgPadrao->SetDataSource(dtsPadrao);
    dbgPadrao->AddColumn(QStringLiteral("CDFILSOLI"), 68);
    dbgPadrao->AddColumn(QStringLiteral("NMFILIAL"), 847);
    buildBranchCounts();
}

TDBGrid *TfrmAcomPOL::createDetailGrid(const QString &name, TDataSource *source,
                                       QWidget *parent)
{
    auto *grid = new TDBGrid(parent);
    grid->setObjectName(name); // its layout is kept under this name
    // However low its panel, the grid fills its box and scrolls its own rows.
    grid->setMinimumHeight(1);
    grid->SetDataSource(source);
    grid->SetBackground(SystemColors::clInfoBk());
    grid->SetTitleFont(gridTitleFont(), SystemColors::clWindowText());
    return grid;
}

namespace {
// The design heights of the page's panels: their first share of the page.
constexpr int kSoliHeight = 331;
constexpr int kProdHeight = 77;
constexpr int kProdOLHeight = 78;
constexpr int kPanelMinimum = 30;

// The page's height goes to its panels by weight, whatever they hold.
void shareHeight(QWidget *panel)
{
    panel->setSizePolicy(panel->sizePolicy().horizontalPolicy(), QSizePolicy::Ignored);
    panel->setMinimumHeight(kPanelMinimum);
}

// A lowered panel holding a borderless scroll box that a grid fills.
QFrame *gridPanel(const char *name, QScrollArea **scrollBox, QWidget *parent)
{
    auto *panel = new QFrame(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setLineWidth(1);
    shareHeight(panel);
    auto *layout = new QVBoxLayout(panel);
    layout->setContentsMargins(2, 2, 2, 2);
    *scrollBox = new QScrollArea(panel);
    (*scrollBox)->setFrameShape(QFrame::NoFrame);
    (*scrollBox)->setWidgetResizable(true);
    layout->addWidget(*scrollBox);
    return panel;
}
} // namespace

void TfrmAcomPOL::buildRequestPage()
{
    pgcPadrao->setTabText(pgcPadrao->indexOf(tshFormulario), QStringLiteral("Solicitação"));

    // The page stacks its panels from the top; they share its height.
    auto *stack = qobject_cast<QBoxLayout *>(tshFormulario->layout());
    if (stack)
        stack->removeWidget(panFormulario);
    else
        stack = new QVBoxLayout(tshFormulario);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(0);

    // The base panel's bevel and border width already set the scroll box 4
    // pixels in; only the height is this window's.
    shareHeight(panFormulario);
    dbgSoli = createDetailGrid(QStringLiteral("dbgSoli"), dtsSoli, nullptr);
    QWidget *contents = scbFormulario->widget();
    if (contents && contents->layout()) {
        contents->layout()->addWidget(dbgSoli);
    } else {
        scbFormulario->setWidgetResizable(true);
        scbFormulario->setWidget(dbgSoli);
    }

    Splitter1 = new ResizeBar(panFormulario, tshFormulario);
    panProd = gridPanel("panProd", &scbProd, tshFormulario);
    dbgProd = createDetailGrid(QStringLiteral("dbgProd"), dtsProd, nullptr);
    scbProd->setWidget(dbgProd);
    panProdOL = gridPanel("panProdOL", &scbProdOL, tshFormulario);
    dbgProdOL = createDetailGrid(QStringLiteral("dbgProdOL"), dtsProdOL, nullptr);
    scbProdOL->setWidget(dbgProdOL);
    Splitter2 = new ResizeBar(panProdOL, tshFormulario);

    stack->insertWidget(0, panFormulario, kSoliHeight);
    stack->insertWidget(1, Splitter1);
    stack->insertWidget(2, panProd, kProdHeight);
    stack->insertWidget(3, panProdOL, kProdOLHeight);
    stack->insertWidget(4, Splitter2);

    dbgSoli->AddColumn(QStringLiteral("NRSOLICMP"));
    dbgSoli->AddColumn(QStringLiteral("CDARVPROD"), 99);
    dbgSoli->AddColumn(QStringLiteral("NMPRODUTO"), 192);
    dbgSoli->AddColumn(QStringLiteral("SGUNIDADE"), 28);
    dbgSoli->AddColumn(QStringLiteral("VRFATOCONV"));
    dbgSoli->AddColumn(QStringLiteral("QTSOLIPROD"));
    dbgSoli->AddColumn(QStringLiteral("DTPROGENTR"), 82);
    for (const char *column : {"IDSOLIAPROV", "NRSOLCMPCONS", "CDFILIOPELOG", "NRSEQUCONSOL",
                               "IDPEDIDOOL"})
        dbgSoli->AddColumn(QString::fromLatin1(column));

    dbgProd->AddColumn(QStringLiteral("CDARVPROD"), 96);
    dbgProd->AddColumn(QStringLiteral("NMPRODUTO"), 300);
    dbgProd->AddColumn(QStringLiteral("SGUNIDADE"), 22);
    dbgProd->AddColumn(QStringLiteral("VRFATOCONV"));
    dbgProd->AddColumn(QStringLiteral("QTPROGENPEOL"));
    dbgProd->AddColumn(QStringLiteral("DTPROGENPEOL"), 89);
    dbgProd->AddColumn(QStringLiteral("NRPEDEXOL"));
    dbgProd->AddColumn(QStringLiteral("IDBAIXENPEOL"));
    dbgProd->AddColumn(QStringLiteral("IDBAIXAOLSAI"));
    dbgProd->AddColumn(QStringLiteral("DTPROGEMBARQ"), 98);
    dbgProd->AddColumn(QStringLiteral("CDPRODUTO"), -1, false);

    for (const char *column :
         {"PRODARVOL", "QUANT_ESTOQUE", "ESTOQ_DISPO", "QTRESERVESTOL", "RESERVA_ITEM"})
        dbgProdOL->AddColumn(QString::fromLatin1(column));
}

void TfrmAcomPOL::buildStatusLine()
{
    lblFilial = statusLabel(QStringLiteral("Filial Solicitante:"), 120, panNavigator);
    dbtNome->SetDataSource(dtsPadrao);
    dbtNome->SetDataField(QStringLiteral("NMFILIAL"));
    // Where the classic font is missing the bold label runs wider: the name
    // then starts just after it instead of under it.
    const int nameLeft = qMax(219, lblFilial->geometry().right() + 6);
    dbtNome->setGeometry(nameLeft, dbtNome->y(), 320, dbtNome->height());

    Label1 = statusLabel(QStringLiteral("Filial OL:"), 565, panNavigator);
    dbtOL = new TDBText(panNavigator);
    dbtOL->setObjectName(QStringLiteral("dbtOL"));
    dbtOL->setFont(statusFont());
    dbtOL->setGeometry(qMax(622, Label1->geometry().right() + 6), 2, 402, 13);
    dbtOL->SetDataSource(dtsOL);
    dbtOL->SetDataField(QStringLiteral("NMFILIAL"));
}
