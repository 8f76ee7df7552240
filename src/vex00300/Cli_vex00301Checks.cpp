// The filter dialog's checks: the rules of a confirmation, the date rules
// and the exit checks of the date and product edits.
#include "Cli_vex00301.h"

#include "controls/TDateEditPlus.h"
#include "controls/TExitCheck.h"
#include "controls/TMaskEdit.h"
#include "data/TADOIBQuery.h"
#include "data/TDataSource.h"
#include "services/Consiste.h"
#include "services/Lib00210.h"
#include "services/Tabvalid.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

using namespace Cli_vex00301;

namespace {
const QString kT = QStringLiteral("T");
} // namespace

QStringList TfrmFiltroAcomPOL::messageLines()
{
    return {
        QStringLiteral("ProdIni_vazio|Produto Inicial não informado."),
        QStringLiteral("ProdFin_vazio|Produto Final não informado."),
        QStringLiteral("Fili_deve|Filial OL deve ser informada."),
        QStringLiteral("GetFili|Carregando Filiais Solicitantes"),
        QStringLiteral("Prod_N_Exist|Este produto não existe."),
        QStringLiteral("Dt_NEntr_In|Data de entrega inicial deve ser informada."),
        QStringLiteral("Dt_NEntr_Fin|Data de entrega final deve ser informada."),
        QStringLiteral("Dt_Entr_InMFin|Data de entrega inicial deve ser menor que a data de "
                       "entrega final."),
        QStringLiteral("Dt_NSoli_In|Data da solicitação inicial deve ser informada."),
        QStringLiteral("Dt_NSoli_Fin|Data de solicitação final deve ser informada."),
        QStringLiteral("Dt_Soli_InMFin|Data de solicitação inicial deve ser menor que a data de "
                       "solicitação final."),
        QStringLiteral("FilSoli_N_Inf|Filial de solicitante deve ser informada."),
        QStringLiteral("ProdIni_M_ProdFin|Produto inicial deve ser menor que o produto final."),
        QStringLiteral("FiliOL_N|Filial OL deve ser informada."),
        QStringLiteral("FiliOL_NE|Filial OL não cadastrada."),
        QStringLiteral("Infor_dt|Data de entrega ou data de solicitação deve ser informada."),
        QStringLiteral("ProdFin_N_Inf|Produto final deve ser informado."),
        QStringLiteral("PROD_FIM_MENOR|Produto final deve ser maior ou igual ao produto inicial."),
        QStringLiteral("GetConsol|Carregando Consolidações..."),
        QStringLiteral("Consolidacao|Consolidação"),
        QStringLiteral("Consol_N_Inf|Consolidação não informada."),
        QStringLiteral("Informar_status|Status deve ser informado."),
        QStringLiteral("Inf_itemConsol|Item Consolidado deve ser informado."),
        QStringLiteral("Inf_PedGerado|Pedido Gerado deve ser informado."),
        QStringLiteral("Inf_QtdPedido|Qtde. do Pedido deve ser informada."),
    };
}

// The text of a refused edit is selected: typing replaces it.
void TfrmFiltroAcomPOL::fail(QWidget *control, const QString &key)
{
    TExitCheck::Refocus(control);
    Consiste::MensErro(msgPadrao.Msg(key), true);
}

void TfrmFiltroAcomPOL::Validacoes()
{
    Vd_FilialOL();
    Vd_Datas();

    if (rbtFilialLista->isChecked() && stLFilSoli.isEmpty())
        fail(rbtFilialLista, QStringLiteral("FilSoli_N_Inf"));
    stTFilSoli.clear();
    if (rbtFilialTodas->isChecked()) {
        stTFilSoli = kT;
        stLFilSoli.clear();
    }

    if (rbtConsolLista->isChecked() && stListaConsol.isEmpty())
        fail(rbtConsolLista, QStringLiteral("Consol_N_Inf"));
    stTodasConsol.clear();
    if (rbtConsolTodas->isChecked()) {
        stTodasConsol = kT;
        stListaConsol.clear();
    }

    const bool iniBlank = medProdutoInicial->IsBlank();
    const bool finBlank = medProdutoFinal->IsBlank();
    stProd = iniBlank && finBlank ? kT : QString();
    if (iniBlank && !finBlank)
        fail(medProdutoInicial, QStringLiteral("ProdIni_vazio"));
    if (finBlank && !iniBlank)
        fail(medProdutoFinal, QStringLiteral("ProdFin_vazio"));

    if (!chbED->isChecked() && !chbOL->isChecked())
        fail(chbED, QStringLiteral("Informar_status"));
    if (!chbConsolSim->isChecked() && !chbConsolNao->isChecked())
        fail(chbConsolSim, QStringLiteral("Inf_itemConsol"));
    if (!chbGeradoSim->isChecked() && !chbGeradoNao->isChecked())
        fail(chbGeradoSim, QStringLiteral("Inf_PedGerado"));
    if (!chbPedMaior->isChecked() && !chbPedMenor->isChecked() && !chbPedIgual->isChecked())
        fail(chbPedMaior, QStringLiteral("Inf_QtdPedido"));
}

void TfrmFiltroAcomPOL::Vd_FilialOL()
{
    if (medFilOL->IsBlank())
        fail(medFilOL, QStringLiteral("FiliOL_N"));
}

void TfrmFiltroAcomPOL::Vd_Datas()
{
    const bool entrIni = !depEntrIni->IsBlank();
    const bool entrFin = !depEntrFin->IsBlank();
    stDtEntr = !entrIni && !entrFin ? kT : QString();
    if (!entrIni && entrFin)
        fail(depEntrIni, QStringLiteral("Dt_NEntr_In"));
    if (!entrFin && entrIni)
        fail(depEntrFin, QStringLiteral("Dt_NEntr_Fin"));
    // GetDate itself refuses a half-typed or impossible date, with the
    // focus on that edit.
    if (entrIni && entrFin && date(depEntrFin) < date(depEntrIni))
        fail(depEntrIni, QStringLiteral("Dt_Entr_InMFin"));

    const bool solIni = !depSolIni->IsBlank();
    const bool solFin = !depSolFin->IsBlank();
    stDtSoli = !solIni && !solFin ? kT : QString();
    if (!solIni && solFin)
        fail(depSolIni, QStringLiteral("Dt_NSoli_In"));
    if (!solFin && solIni)
        fail(depSolFin, QStringLiteral("Dt_NSoli_Fin"));
    if (solIni && solFin && date(depSolFin) < date(depSolIni))
        fail(depSolIni, QStringLiteral("Dt_Soli_InMFin"));

    if (!entrIni && !entrFin && !solIni && !solFin)
        fail(depEntrIni, QStringLiteral("Infor_dt"));
}

// A date that cannot be read is reported on its own edit, never compared.
double TfrmFiltroAcomPOL::date(TDateEditPlus *edit)
{
    if (!edit->IsValidDate())
        TExitCheck::Refocus(edit);
    return edit->GetDate();
}

void TfrmFiltroAcomPOL::depEntrIniExit(QObject *)
{
    depEntrIni->CheckValidDate();
}

void TfrmFiltroAcomPOL::depEntrFinExit(QObject *)
{
    depEntrFin->CheckValidDate();
}

void TfrmFiltroAcomPOL::depSolIniExit(QObject *)
{
    depSolIni->CheckValidDate();
}

void TfrmFiltroAcomPOL::depSolFinExit(QObject *)
{
    depSolFin->CheckValidDate();
}

void TfrmFiltroAcomPOL::medProdutoInicialExit(QObject *)
{
    Vd_CdProdIni();
}

void TfrmFiltroAcomPOL::medProdutoFinalExit(QObject *)
{
    Vd_CdProdFim();
}

void TfrmFiltroAcomPOL::Vd_CdProdIni()
{
    checkProduct(medProdutoInicial, dtsProduto__, qryProduto, edtProdutoInicial);
}

void TfrmFiltroAcomPOL::Vd_CdProdFim()
{
    checkProduct(medProdutoFinal, dtsProduto, qryProduto1, edtProdutoFinal);
}

// The name box changes only once both calls have passed; on a refusal the
// exit check puts the focus back on the edit.
void TfrmFiltroAcomPOL::checkProduct(TMaskEdit *edit, TDataSource *source, TADOIBQuery *query,
                                     QLineEdit *nameBox)
{
    if (edit->IsBlank())
        return;
    // A code typed before any search: the query has not been read yet.
    if (!query->Active())
        query->Open();
    QString code = edit->Text();
    Tabvalid::ValidEx(source, TPictType::ptProduto, code, {}, QString(), true);
    const QStringList produto = Lib00210::Dados_Produto(code);
    nameBox->setText(produto.value(0));
}
