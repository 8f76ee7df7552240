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

#include <QScopeGuard>
#include <QTabWidget>

#include <utility>

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

// The columns that tell one row of a level from the others.
QStringList keyColumns(int level)
{
    static const QList<QStringList> keys{
        {QStringLiteral("CDFILSOLI")},
        {QStringLiteral("NRSOLICMP"), QStringLiteral("CDPRODUTO")},
        {QStringLiteral("NRPEDEXOL"), QStringLiteral("CDFILDEST"), QStringLiteral("CDPRODUTO"),
         QStringLiteral("CDMARCA")},
        {QStringLiteral("PRODARVOL")},
    };
    return keys.value(level);
}

QVariantList currentKey(const TClientDataSet *dataSet, const QStringList &columns)
{
    QVariantList key;
    for (const QString &column : columns)
        key << dataSet->FieldByName(column)->Value();
    return key;
}

int rowWithKey(TClientDataSet *dataSet, const QStringList &columns, const QVariantList &key)
{
    for (int row = 0; row < dataSet->RecordCount(); ++row) {
        TRecordScope scope(dataSet, row);
        if (currentKey(dataSet, columns) == key)
            return row;
    }
    return -1;
}
} // namespace

void TfrmAcomPOL::sbtVerificarClick()
{
    // Whatever happens, the kept rows serve this verify only.
    const auto forget = qScopeGuard([this] { m_keptRows.clear(); });
    if (pgcPadrao->currentWidget() == tshFolhaDados) {
        keepCurrentRows(cdsFilial);
        verifyBranches();
    } else {
        keepCurrentRows(cdsSoli);
        verifyRequests();
    }
}

void TfrmAcomPOL::keepCurrentRows(TClientDataSet *from)
{
    m_keptRows.clear();
    const QList<TClientDataSet *> all = levels();
    for (qsizetype level = all.indexOf(from); level >= 0 && level < all.size(); ++level) {
        const TClientDataSet *dataSet = all.at(level);
        if (!dataSet->Active() || dataSet->CurrentRow() < 0)
            break;
        m_keptRows.insert(dataSet, currentKey(dataSet, keyColumns(int(level))));
    }
}

void TfrmAcomPOL::loadLevel(TClientDataSet *dataSet, const TDataPacket &packet)
{
    const QVariantList kept = m_keptRows.take(dataSet);
    if (kept.isEmpty()) {
        dataSet->LoadFromPacket(packet);
        return;
    }
    // The load must not fetch the levels below for its first row: only the
    // row that was current is asked for, once.
    auto afterScroll = std::exchange(dataSet->AfterScroll, nullptr);
    {
        const auto restore = qScopeGuard([&] { dataSet->AfterScroll = afterScroll; });
        dataSet->LoadFromPacket(packet);
        const int row = rowWithKey(dataSet, keyColumns(int(levels().indexOf(dataSet))), kept);
        if (row >= 0)
            dataSet->MoveTo(row);
        else
            m_keptRows.clear(); // gone: the first row, and the levels below start afresh
    }
    if (dataSet->CurrentRow() >= 0 && afterScroll)
        afterScroll(dataSet);
}

void TfrmAcomPOL::verifyBranches()
{
    WaitAnimationScope wait(this, msgPadrao.Msg(QStringLiteral("Get_Data")));
    const DialogRange range = dialogRange();
    const QJsonArray criteria = rdmAcomPOL::FiliSoliCriteria(
        stLFilSoli, stTFilSoli, stFilOL, range.entrIni, range.entrFin, stDtEntr, range.solIni,
        range.solFin, stDtSoli, range.prodIni, paddedFinalProduct(range.prodFin), stProd,
        stListaConsol, stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido);
    loadLevel(cdsFilial,
              Consiste::CheckResultServ(rdmAcomPOL::GetFiliSoliGrid(*netAcomPOL, criteria),
                                        true, 0));
    // No branch left: nothing below may stay on show.
    if (cdsFilial->IsEmpty())
        closeLevelsBelow(cdsFilial);
    AskBranchCounts(criteria);
}

void TfrmAcomPOL::verifyRequests()
{
    WaitAnimationScope wait(this);
    const TServerReply reply = rdmAcomPOL::GetSoli(
        *netAcomPOL, cdsFilialCDFILSOLI->AsString(), stFilOL, DtEntrIni, DtEntrFin, stDtEntr,
        DtSolIni, DtSolFin, stDtSoli, stProdIni, paddedFinalProduct(stProdFin), stProd,
        msgPadrao.Msg(QStringLiteral("ED")), stListaConsol, stTodasConsol, stStatus,
        stItemConsol, stPedGerado, stQtdePedido);
    loadLevel(cdsSoli, Consiste::CheckResultServ(reply, true, 0));
    if (cdsSoli->IsEmpty())
        closeLevelsBelow(cdsSoli);
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
