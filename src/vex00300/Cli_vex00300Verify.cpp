// Verify and search on the tracking window: both work on the level of the
// active page, with the criteria of the last confirmed filtering.
#include "Cli_vex00300.h"

#include "Cli_vex00301.h"
#include "WaitAnimationScope.h"

#include "appserver/rdmAcomPOL.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "forms/Procurar.h"
#include "services/Consiste.h"

#include <QTabWidget>

using namespace Cli_vex00300;

namespace {
constexpr int kProductCodeWidth = 20;

QString paddedFinalProduct(const QString &code)
{
    return code + Consiste::Replicate(QStringLiteral("Z"), kProductCodeWidth - code.size());
}

// The dates and the product range as the filter dialog holds them. The
// dialog lives on after its first confirmation; a window filled without it
// (there is then nothing else to read) falls back on the stored copies.
struct DialogRange
{
    double entrIni, entrFin, solIni, solFin;
    QString prodIni, prodFin;
};

DialogRange dialogRange()
{
    TfrmFiltroAcomPOL *dialog = Cli_vex00301::frmFiltroAcomPOL;
    if (!dialog)
        return {DtEntrIni, DtEntrFin, DtSolIni, DtSolFin, stProdIni, stProdFin};
    return {dialog->depEntrIni->GetDate(), dialog->depEntrFin->GetDate(),
            dialog->depSolIni->GetDate(),  dialog->depSolFin->GetDate(),
            dialog->medProdutoInicial->Value(), dialog->medProdutoFinal->Value()};
}
} // namespace

void TfrmAcomPOL::sbtVerificarClick()
{
    if (pgcPadrao->currentWidget() == tshFolhaDados)
        verifyBranches();
    else
        verifyRequests();
}

void TfrmAcomPOL::verifyBranches()
{
    WaitAnimationScope wait(this, msgPadrao.Msg(QStringLiteral("Get_Data")));
    const DialogRange range = dialogRange();
    const TServerReply reply = rdmAcomPOL::GetFiliSoliGrid(
        *netAcomPOL, stLFilSoli, stTFilSoli, stFilOL, range.entrIni, range.entrFin, stDtEntr,
        range.solIni, range.solFin, stDtSoli, range.prodIni, paddedFinalProduct(range.prodFin),
        stProd, stListaConsol, stTodasConsol, stStatus, stItemConsol, stPedGerado,
        stQtdePedido);
    cdsFilial->LoadFromPacket(Consiste::CheckResultServ(reply, true, 0));
}

void TfrmAcomPOL::verifyRequests()
{
    WaitAnimationScope wait(this);
    const TServerReply reply = rdmAcomPOL::GetSoli(
        *netAcomPOL, cdsFilialCDFILSOLI->AsString(), stFilOL, DtEntrIni, DtEntrFin, stDtEntr,
        DtSolIni, DtSolFin, stDtSoli, stProdIni, paddedFinalProduct(stProdFin), stProd,
        msgPadrao.Msg(QStringLiteral("ED")), stListaConsol, stTodasConsol, stStatus,
        stItemConsol, stPedGerado, stQtdePedido);
    cdsSoli->LoadFromPacket(Consiste::CheckResultServ(reply, true, 0));
}

void TfrmAcomPOL::sbtProcurarClick()
{
    if (pgcPadrao->currentWidget() == tshFolhaDados) {
        TfrmPadrao::sbtProcurarClick();
        return;
    }
    // On the request page the search is always over the requests, whichever
    // grid has the focus, in the columns their grid shows.
    TClientDataSet *requests = dtsSoli->DataSet();
    if (requests && requests->Active())
        Procurar::Procura(dbgSoli, this);
}
