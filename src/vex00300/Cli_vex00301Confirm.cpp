// The filter dialog's confirmation: checks, criteria to the tracking
// window, the requesting branches from the server into the window.
#include "Cli_vex00301.h"

#include "Cli_vex00300.h"
#include "WaitAnimationScope.h"

#include "appserver/rdmAcomPOL.h"
#include "controls/TDBGrid.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "services/Consiste.h"
#include "services/Exceptions.h"

#include <QCheckBox>

using namespace Cli_vex00301;

namespace {
constexpr int kProductCodeWidth = 20;

// "S" for the first box alone, "N" for the second alone, "T" for both.
QString pairCode(const QCheckBox *yes, const QCheckBox *no)
{
    if (yes->isChecked() && no->isChecked())
        return QStringLiteral("T");
    return yes->isChecked() ? QStringLiteral("S") : QStringLiteral("N");
}

QString quantityCode(bool maior, bool menor, bool igual)
{
    if (maior && menor && igual)
        return QStringLiteral("T");
    if (maior && menor)
        return QStringLiteral("F");
    if (menor && igual)
        return QStringLiteral("E");
    if (maior && igual)
        return QStringLiteral("D");
    if (igual)
        return QStringLiteral("C");
    return menor ? QStringLiteral("B") : QStringLiteral("A");
}

// The grid column that shows a field gets the focus, as a field's
// FocusControl does.
void focusControl(QWidget *form, TField *field)
{
    const auto grids = form->findChildren<TDBGrid *>();
    for (TDBGrid *grid : grids) {
        if (!grid->DataSource() || grid->DataSource()->DataSet() != field->DataSet())
            continue;
        const QList<TColumn *> columns = grid->Columns();
        for (qsizetype col = 0; col < columns.size(); ++col) {
            if (columns[col]->FieldName != field->FieldName())
                continue;
            grid->setFocus(Qt::OtherFocusReason);
            const QModelIndex current = grid->currentIndex();
            grid->setCurrentIndex(grid->model()->index(qMax(0, current.row()), int(col)));
            return;
        }
    }
}
} // namespace

void TfrmFiltroAcomPOL::encodeChoices()
{
    FStatus = pairCode(chbED, chbOL);
    FItemConsol = pairCode(chbConsolSim, chbConsolNao);
    FPedGerado = pairCode(chbGeradoSim, chbGeradoNao);
    FQtdePedido = quantityCode(chbPedMaior->isChecked(), chbPedMenor->isChecked(),
                               chbPedIgual->isChecked());
}

void TfrmFiltroAcomPOL::sbtConfirmaClick()
{
    TfrmAcomPOL *window = Cli_vex00300::frmAcomPOL;
    if (!window)
        throw EVexError(QStringLiteral("A tela de acompanhamento não está aberta."));
    Validacoes();
    FStatus.clear();
    FItemConsol.clear();
    FPedGerado.clear();
    FQtdePedido.clear();
    stFilOL = medFilOL->Text();
    Dados_Filtro(true);
    encodeChoices();

    // Products travel in their stored form, without the mask's literals.
    const QString prodIni = medProdutoInicial->Value();
    const QString prodFin = medProdutoFinal->Value();
    const double entrIni = depEntrIni->GetDate();
    const double entrFin = depEntrFin->GetDate();
    const double solIni = depSolIni->GetDate();
    const double solFin = depSolFin->GetDate();
    window->Var_filtro(stLFilSoli, stTFilSoli, stFilOL, stDtEntr, stDtSoli, prodIni, prodFin,
                       stProd, stListaConsol, stTodasConsol, FStatus, FItemConsol, FPedGerado,
                       FQtdePedido, entrIni, entrFin, solIni, solFin);
    const QString paddedFin =
        prodFin + Consiste::Replicate(QStringLiteral("Z"), kProductCodeWidth - prodFin.size());
    const QJsonArray criteria = rdmAcomPOL::FiliSoliCriteria(
        stLFilSoli, stTFilSoli, stFilOL, entrIni, entrFin, stDtEntr, solIni, solFin, stDtSoli,
        prodIni, paddedFin, stProd, stListaConsol, stTodasConsol, FStatus, FItemConsol,
        FPedGerado, FQtdePedido);
    {
        WaitAnimationScope wait(window, window->msgPadrao.Msg(QStringLiteral("Get_Data")));
        const TServerReply reply = rdmAcomPOL::GetFiliSoliGrid(*window->netAcomPOL, criteria);
        window->cdsFilial->LoadFromPacket(Consiste::CheckResultServ(reply, true, 0));
    }
    window->AskBranchCounts(criteria);
    if (!window->cdsFilial->IsEmpty())
        focusControl(window, window->cdsFilialCDFILSOLI);
    window->repaint();
    accept();
}
