// The four-level cascade of the tracking window: each level is fetched from
// the application server when the current row of the level above changes.
#include "Cli_vex00300.h"

#include "Cli_vex00301.h"
#include "WaitAnimationScope.h"

#include "appserver/rdmAcomPOL.h"
#include "controls/TButtonFlat.h"
#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TField.h"
#include "services/Consiste.h"
#include "services/SafeCall.h"

#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcAcomPOL, "vex.vex00300", QtInfoMsg)

using namespace Cli_vex00300;

namespace {
constexpr int kProductCodeWidth = 20;
} // namespace

void TfrmAcomPOL::wireEvents()
{
    cdsFilial->AfterScroll = [this](TClientDataSet *ds) { cdsFilialAfterScroll(ds); };
    cdsSoli->AfterScroll = [this](TClientDataSet *ds) { cdsSoliAfterScroll(ds); };
    cdsProd->AfterScroll = [this](TClientDataSet *ds) { cdsProdAfterScroll(ds); };

    auto text = [this](auto handler) {
        return [this, handler](TField *f, QString &t, bool d) { (this->*handler)(f, t, d); };
    };
    cdsSoliIDITMCONS->OnGetText = text(&TfrmAcomPOL::cdsSoliIDITMCONSGetText);
    cdsSoliIDSOLIAPROV->OnGetText = text(&TfrmAcomPOL::cdsSoliIDSOLIAPROVGetText);
    cdsSoliIDPEDIDOOL->OnGetText = text(&TfrmAcomPOL::cdsSoliIDPEDIDOOLGetText);
    cdsSoliNRSEQUCONSOL->OnGetText = text(&TfrmAcomPOL::cdsSoliNRSEQUCONSOLGetText);
    cdsSoliCDFILIOPELOG->OnGetText = text(&TfrmAcomPOL::cdsSoliCDFILIOPELOGGetText);
    cdsProdIDBAIXENPEOL->OnGetText = text(&TfrmAcomPOL::cdsProdIDBAIXENPEOLGetText);
    cdsProdIDBAIXAOLSAI->OnGetText = text(&TfrmAcomPOL::cdsProdIDBAIXAOLSAIGetText);

    dbgProd->OnDrawColumnCell = [this](TDBGrid *grid, TCanvas &canvas, const QRect &rect,
                                       int col, TColumn *column, TGridDrawState state) {
        dbgProdDrawColumnCell(grid, canvas, rect, col, column, state);
    };

    connect(sbtFiltro, &QToolButton::clicked, this,
            [this] { SafeCall([this] { sbtFiltroClick(sbtFiltro); }); });
}

void TfrmAcomPOL::cdsFilialAfterScroll(TClientDataSet *)
{
    WaitAnimationScope wait(this);
    const QString prodFin =
        stProdFin + Consiste::Replicate(QStringLiteral("Z"), kProductCodeWidth - stProdFin.size());
    const QString cdFilSoli = cdsFilialCDFILSOLI->AsString();
    qCDebug(lcAcomPOL) << "GetSoli" << cdFilSoli;
    const TServerReply reply = rdmAcomPOL::GetSoli(
        *netAcomPOL, cdFilSoli, stFilOL, DtEntrIni, DtEntrFin, stDtEntr, DtSolIni, DtSolFin,
        stDtSoli, stProdIni, prodFin, stProd, msgPadrao.Msg(QStringLiteral("ED")),
        stListaConsol, stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido);
    loadLevel(cdsSoli, Consiste::CheckResultServ(reply, true, 0));
    // A branch without requests raises no after-scroll below it: the product
    // and stock rows of the previous branch must not stay on show.
    if (cdsSoli->IsEmpty())
        closeLowerLevels();
}

void TfrmAcomPOL::cdsSoliAfterScroll(TClientDataSet *)
{
    closeLowerLevels();
    if (Consiste::EmptyString(cdsSoliNRSEQUCONSOL->AsString()))
        return; // not consolidated: no order to show
    WaitAnimationScope wait(this);
    qCDebug(lcAcomPOL) << "GetProd" << cdsSoliNRSEQUCONSOL->AsString();
    const TServerReply reply = rdmAcomPOL::GetProd(
        *netAcomPOL, cdsFilialCDFILSOLI->AsString(), stFilOL, cdsSoliDTPROGENTR->AsDateTime(),
        cdsSoliCDPRODESTO->AsString(), stQtdePedido, cdsSoliNRSEQUCONSOL->AsString());
    loadLevel(cdsProd, Consiste::CheckResultServ(reply, true, 0));
}

void TfrmAcomPOL::cdsProdAfterScroll(TClientDataSet *)
{
    WaitAnimationScope wait(this);
    qCDebug(lcAcomPOL) << "GetProdOL" << cdsProdCDPRODUTO->AsString();
    const TServerReply reply = rdmAcomPOL::GetProdOL(
        *netAcomPOL, cdsProdCDFILDEST->AsString(), cdsProdCDFILLANC->AsString(),
        cdsProdNRPEDEXOL->AsString(), cdsSoliDTPROGENTR->AsDateTime(),
        cdsProdCDPRODUTO->AsString(), cdsProdCDMARCA->AsString(), stFilOL,
        cdsProdDTPROGEMBARQ->AsDateTime());
    loadLevel(cdsProdOL, Consiste::CheckResultServ(reply, true, 0));
}

void TfrmAcomPOL::closeLevel(TClientDataSet *dataSet)
{
    if (dataSet->Active())
        dataSet->Close();
}

void TfrmAcomPOL::closeLowerLevels()
{
    closeLevelsBelow(cdsSoli);
}

void TfrmAcomPOL::closeLevelsBelow(TClientDataSet *dataSet)
{
    const QList<TClientDataSet *> all = levels();
    for (qsizetype i = all.indexOf(dataSet) + 1; i > 0 && i < all.size(); ++i)
        closeLevel(all.at(i));
}

QList<TClientDataSet *> TfrmAcomPOL::levels() const
{
    return {cdsFilial, cdsSoli, cdsProd, cdsProdOL};
}

void TfrmAcomPOL::sbtFiltroClick(QObject *)
{
    closeLevel(cdsProdOL);
    closeLevel(cdsProd);
    closeLevel(cdsSoli);
    closeLevel(cdsFilial);
    Cli_vex00301::CriaFiltroAcomPOL();
}

void TfrmAcomPOL::mnuOrdenarClick()
{
    sbtFiltroClick(sbtFiltro);
}
