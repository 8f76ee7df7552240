#include "Cli_vex00300.h"

#include "BranchSummary.h"
#include "Cli_vex00300Export.h"
#include "Cli_vex00301.h"
#include "CodedFields.h"

#include "app/Screen.h"
#include "UnitStrings.h"
#include "app/TApplication.h"
#include "controls/SystemColors.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "controls/TDBNavigator.h"
#include "data/DisplayFormat.h"
#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "net/TNetConnection.h"
#include "services/Corvel.h"

#include <QAction>
#include <QMdiSubWindow>
#include <QScopeGuard>
#include <QTabWidget>

namespace Cli_vex00300 {
QPointer<TfrmAcomPOL> frmAcomPOL;
bool boStCriado = false;
bool boPrimVez = false;
QString stLFilSoli, stTFilSoli, stFilOL, stDtEntr, stDtSoli, stProdIni, stProdFin, stProd,
    stListaConsol, stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido;
double DtEntrIni = 0, DtEntrFin = 0, DtSolIni = 0, DtSolFin = 0;

namespace {
RunOnce initialization;
RunOnce finalization;

// The window's criteria are cleared last-declared first.
const NamedString kClearOrder[] = {
    {"stQtdePedido", &stQtdePedido}, {"stPedGerado", &stPedGerado},
    {"stItemConsol", &stItemConsol}, {"stStatus", &stStatus},
    {"stTodasConsol", &stTodasConsol}, {"stListaConsol", &stListaConsol},
    {"stProd", &stProd}, {"stProdFin", &stProdFin}, {"stProdIni", &stProdIni},
    {"stDtSoli", &stDtSoli}, {"stDtEntr", &stDtEntr}, {"stFilOL", &stFilOL},
    {"stTFilSoli", &stTFilSoli}, {"stLFilSoli", &stLFilSoli},
};
} // namespace

void Initialization()
{
    // Only the count: every variable of this unit starts zeroed at load.
    initialization.firstTime();
}

void Finalization()
{
    if (finalization.firstTime())
        clearInOrder(kClearOrder);
}

QStringList FinalizationOrder()
{
    return namesInOrder(kClearOrder);
}

void CriaAcomPOL()
{
    Screen::SetCursor(Screen::crHourGlass);
    const auto restoreCursor = qScopeGuard([] { Screen::SetCursor(Screen::crDefault); });
    TApplication *app = TApplication::instance();
    if (!boStCriado || frmAcomPOL.isNull()) {
        frmAcomPOL = app->CreateForm<TfrmAcomPOL>();
        boStCriado = true;
        if (auto *sub = qobject_cast<QMdiSubWindow *>(frmAcomPOL->parentWidget()))
            sub->move(266, 93);
    }
    app->ShowForm(frmAcomPOL);
}

void IniProc()
{
    CriaAcomPOL();
}
} // namespace Cli_vex00300

using namespace Cli_vex00300;

TfrmAcomPOL::TfrmAcomPOL(QWidget *parent) : TfrmPadrao(parent)
{
    setWindowTitle(QStringLiteral("Acompanhamento de Pedidos OL"));
    msgPadrao.Lines = messageLines();
    createDataSets();
    createConnection();
    adjustToolBarAndMenu();
    buildBranchPage();
    buildRequestPage();
    buildStatusLine();
    wireEvents();
    buildComfort();
    buildSituation();
    Cli_vex00300Export::install(this);
}

TfrmAcomPOL::~TfrmAcomPOL()
{
    // The data sets die with the window: their after-scroll handlers point
    // into it and must not run while it is being torn down.
    for (TClientDataSet *dataSet : {cdsFilial, cdsSoli, cdsProd, cdsProdOL})
        dataSet->AfterScroll = nullptr;
    cdsFilial->disconnect(this);
    dtsPadrao->SetDataSet(nullptr);
}

QStringList TfrmAcomPOL::messageLines()
{
    return {
        QStringLiteral("N_Gerou|Não gerou pedido OL"),
        QStringLiteral("Gerou|Gerou pedido OL"),
        QStringLiteral("ED|Entrega direta"),
        QStringLiteral("Sim|Sim"),
        QStringLiteral("Nao|Não"),
        QStringLiteral("Aberto|Em Aberto"),
        QStringLiteral("Baixa_P|Baixa Parcial"),
        QStringLiteral("Baixa_T|Baixa Total"),
        QStringLiteral("Baixa_M|Baixa Manual"),
        QStringLiteral("E_D|ED"),
        QStringLiteral("O_L|OL"),
    };
}

void TfrmAcomPOL::FormCreate()
{
    TfrmPadrao::FormCreate();
    netAcomPOL->SetConnected(true);
    boPrimVez = true;
}

void TfrmAcomPOL::netAcomPOLBeforeConnect(TNetConnection *sender)
{
    sender->SetHost(Corvel::WebURL());
    sender->SetPort(Corvel::WebPort());
}

void TfrmAcomPOL::FormActivate()
{
    cdsSoliCDARVPROD->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    cdsProdCDARVPROD->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    cdsProdOLPRODARVOL->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    // Closing the modal dialog re-activates this window before the dialog's
    // call has returned; that activation must not open a second dialog.
    if (!boPrimVez || m_firstFilterOpen)
        return;
    m_firstFilterOpen = true;
    const auto reset = qScopeGuard([this] { m_firstFilterOpen = false; });
    Cli_vex00301::CriaFiltroAcomPOL();
    boPrimVez = false;
}

void TfrmAcomPOL::FormClose(TCloseAction &action)
{
    TfrmPadrao::FormClose(action);
    netAcomPOL->SetConnected(false);
}

void TfrmAcomPOL::Var_filtro(const QString &stLFilSoli, const QString &stTFilSoli,
                             const QString &stFilOL, const QString &stDtEntr,
                             const QString &stDtSoli, const QString &stProdIni,
                             const QString &stProdFin, const QString &stProd,
                             const QString &stListaConsol, const QString &stTodasConsol,
                             const QString &stStatus, const QString &stItemConsol,
                             const QString &stPedGerado, const QString &stQtdePedido,
                             double DtEntrIni, double DtEntrFin, double DtSolIni,
                             double DtSolFin)
{
    Cli_vex00300::stLFilSoli = stLFilSoli;
    Cli_vex00300::stTFilSoli = stTFilSoli;
    Cli_vex00300::stFilOL = stFilOL;
    Cli_vex00300::stDtEntr = stDtEntr;
    Cli_vex00300::stDtSoli = stDtSoli;
    Cli_vex00300::stProdIni = stProdIni;
    Cli_vex00300::stProdFin = stProdFin;
    Cli_vex00300::stProd = stProd;
    Cli_vex00300::stListaConsol = stListaConsol;
    Cli_vex00300::stTodasConsol = stTodasConsol;
    Cli_vex00300::stStatus = stStatus;
    Cli_vex00300::stItemConsol = stItemConsol;
    Cli_vex00300::stPedGerado = stPedGerado;
    Cli_vex00300::stQtdePedido = stQtdePedido;
    Cli_vex00300::DtEntrIni = DtEntrIni;
    Cli_vex00300::DtEntrFin = DtEntrFin;
    Cli_vex00300::DtSolIni = DtSolIni;
    Cli_vex00300::DtSolFin = DtSolFin;

    resetSituationFilter(); // new criteria: every request on show again
    qryOL->Close();
    qryOL->ParamByName(QStringLiteral("P_CDFILIAL"))->SetAsString(Cli_vex00300::stFilOL);
    qryOL->Open();
}

void TfrmAcomPOL::pgcPadraoChange()
{
    TfrmPadrao::pgcPadraoChange();
    applyFilterCommandState();
}

void TfrmAcomPOL::applyFilterCommandState()
{
    mnuOrdenar->setEnabled(pgcPadrao->currentWidget() == tshFolhaDados);
    sbtFiltro->setEnabled(mnuOrdenar->isEnabled());
}

void TfrmAcomPOL::dtsPadraoStateChange(TDataSource *)
{
    if (!sbtFiltro || !cdsFilial)
        return; // still being built
    const QList<TCommandPair> pairs = CommandPairs();
    // Incluir, Alterar, Excluir, Gravar, Cancelar: this window edits nothing.
    for (int i = 0; i < 5 && i < pairs.size(); ++i)
        pairs[i].menuItem->setEnabled(false);
    const bool browsing = dtsPadrao->State() == TDataSetState::dsBrowse;
    const bool hasRows = browsing && !cdsFilial->IsEmpty();
    mnuProcurar->setEnabled(hasRows);
    mnuVerificar->setEnabled(hasRows);
    mnuOrdenar->setEnabled(pgcPadrao->currentWidget() == tshFolhaDados);
    for (const TCommandPair &pair : pairs)
        pair.button->setEnabled(pair.menuItem->isEnabled());
    sbtFiltro->setEnabled(mnuOrdenar->isEnabled());
    dbnPadrao->setEnabled(browsing);
}

void TfrmAcomPOL::setCodedText(TClientDataSet *dataSet, const QString &key,
                               QString &text) const
{
    if (dataSet->IsEmpty())
        return;
    text = msgPadrao.Msg(key);
}

void TfrmAcomPOL::cdsSoliIDITMCONSGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsSoli, CodedFields::itemConsolKey(sender->AsString()), text);
}

void TfrmAcomPOL::cdsSoliIDSOLIAPROVGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsSoli, CodedFields::yesNoKey(sender->AsString()), text);
}

void TfrmAcomPOL::cdsSoliIDPEDIDOOLGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsSoli, CodedFields::yesNoKey(sender->AsString()), text);
}

void TfrmAcomPOL::cdsSoliNRSEQUCONSOLGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsSoli, CodedFields::consolidatedKey(sender->AsString()), text);
}

void TfrmAcomPOL::cdsSoliCDFILIOPELOGGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsSoli, CodedFields::deliveryModeKey(sender->AsString()), text);
}

void TfrmAcomPOL::cdsProdIDBAIXENPEOLGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsProd, CodedFields::settlementKey(sender->AsString()), text);
}

void TfrmAcomPOL::cdsProdIDBAIXAOLSAIGetText(TField *sender, QString &text, bool)
{
    setCodedText(cdsProd, CodedFields::settlementKey(sender->AsString()), text);
}

void TfrmAcomPOL::dbgProdDrawColumnCell(TDBGrid *, TCanvas &canvas, const QRect &rect, int,
                                        TColumn *column, TGridDrawState state)
{
    if (!column || column->FieldName != QLatin1String("QTPROGENPEOL"))
        return;
    canvas.FillRect(rect);
    using CodedFields::QuantityComparison;
    switch (CodedFields::compareQuantities(cdsProdQTPROGENPEOL->Value(),
                                           cdsProdVRFATOCONV->Value(),
                                           cdsSoliQTSOLIPROD->Value(),
                                           cdsSoliVRFATOCONV->Value())) {
    case QuantityComparison::Greater:
        canvas.Font.Color = QColor(255, 0, 0);
        break;
    case QuantityComparison::Equal:
        canvas.Font.Color = SystemColors::clWindowText();
        break;
    case QuantityComparison::Smaller:
        canvas.Font.Color = QColor(0, 0, 255);
        break;
    }
    if (state.testFlag(TGridDrawStateFlag::gdSelected)) {
        canvas.Brush.Color = SystemColors::clHighlight();
        canvas.Font.Color = SystemColors::clCaptionText();
    } else {
        canvas.Brush.Color = SystemColors::clInfoBk();
    }
    if (state.testFlag(TGridDrawStateFlag::gdFocused))
        canvas.DrawFocusRect(rect);
    canvas.TextOut(rect.left() + 2, rect.top() + 2, cdsProdQTPROGENPEOL->EditText());
}
