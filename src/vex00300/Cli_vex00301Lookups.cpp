// The filter dialog's lookups: the logistics branch (pick list or typed
// code), the requesting branches and consolidations (multi-selections) and
// the two products (pick lists over the product table).
#include "Cli_vex00301.h"

#include "AcomPOLDataSets.h"
#include "Cli_vex00300.h"
#include "WaitAnimationScope.h"

#include "appserver/rdmAcomPOL.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TADOIBQuery.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "data/TdtmDBGeral.h"
#include "forms/Pesqlista.h"
#include "services/Consiste.h"
#include "services/Exceptions.h"

#include <QLineEdit>
#include <QRadioButton>

using namespace Cli_vex00301;

namespace {
const QString kEmptyProduct =
    QStringLiteral("Não há produto cadastrado que possua relacionamento para o OL.");

TDataSource *sourceOf(TClientDataSet *dataSet, QObject *parent)
{
    auto *source = new TDataSource(parent);
    source->SetDataSet(dataSet);
    return source;
}

void declareProductFields(TADOIBQuery *query)
{
    query->AddField(QStringLiteral("CDARVPROD"), TFieldType::ftString, 20)
        ->SetDisplayLabel(QStringLiteral("Código"));
    TField *cdProduto = query->AddField(QStringLiteral("CDPRODUTO"), TFieldType::ftString, 10);
    cdProduto->SetRequired(true);
    cdProduto->SetVisible(false);
    query->AddField(QStringLiteral("NMPRODUTO"), TFieldType::ftString, 50)
        ->SetDisplayLabel(QStringLiteral("Nome"));
}

TADOIBQuery *productQuery(const char *name, QObject *parent)
{
    auto *query = new TADOIBQuery(QLatin1String(name), parent);
    query->SQL = {QStringLiteral("SELECT"),         QStringLiteral("   CDPRODUTO,"),
                  QStringLiteral("   CDARVPROD,"),  QStringLiteral("   NMPRODUTO,"),
                  QStringLiteral("   CDNVPRODUTO"), QStringLiteral("FROM"),
                  QStringLiteral("   PRODUTO"),     QStringLiteral("ORDER BY"),
                  QStringLiteral("   CDARVPROD")};
    const QStringList shortText = {QStringLiteral("SELECT CDARVPROD, CDPRODUTO, NMPRODUTO"),
                                   QStringLiteral("FROM PRODUTO"),
                                   QStringLiteral("ORDER BY CDARVPROD")};
    query->SQL_ORACLE = shortText;
    query->SQL_MSSQL = shortText;
    declareProductFields(query);
    return query;
}

// The dialog makes its server calls through the tracking window's connection.
TNetConnection &connection()
{
    TfrmAcomPOL *window = Cli_vex00300::frmAcomPOL;
    if (!window || !window->netAcomPOL)
        throw EVexError(QStringLiteral("A tela de acompanhamento não está aberta."));
    return *window->netAcomPOL;
}
} // namespace

void TfrmFiltroAcomPOL::createProductQueries()
{
    qryProduto = productQuery("qryProduto", this);
    qryProduto1 = productQuery("qryProduto1", this);
    dtsProdutoPesq = sourceOf(qryProduto->Query(), this);
    dtsProduto = sourceOf(qryProduto1->Query(), this);
    dtsProduto__ = sourceOf(qryProduto->Query(), this);
}

void TfrmFiltroAcomPOL::createLookupDataSets()
{
    using namespace AcomPOLDataSets;
    cdsFiliOL = new TClientDataSet(QStringLiteral("cdsFiliOL"), this);
    declareFields(*cdsFiliOL, filiOLFields());
    cdsVdFiliOL = new TClientDataSet(QStringLiteral("cdsVdFiliOL"), this);
    declareFields(*cdsVdFiliOL, vdFiliOLFields());
    cdsFilial = new TClientDataSet(QStringLiteral("cdsFilial"), this);
    declareFields(*cdsFilial, pesqFilialFields());
    cdsConsolidacao = new TClientDataSet(QStringLiteral("cdsConsolidacao"), this);
    declareFields(*cdsConsolidacao, consolidacaoFields());
    dtsFiliOL = sourceOf(cdsFiliOL, this);
    dtsVdFiliOL = sourceOf(cdsVdFiliOL, this);
    dtsFilial = sourceOf(cdsFilial, this);
    dtsConsolidacao = sourceOf(cdsConsolidacao, this);
}

void TfrmFiltroAcomPOL::wireLookups()
{
    btnFilOL->SetAssociate(medFilOL);
    btnFilOL->SetTitle(QStringLiteral("Filial OL"));
    btnFilOL->SetDataSource(dtsFiliOL);
    btnFilOL->SetEmptyError(QStringLiteral("Não há Filial OL cadastrada."));
    btnFilOL->OnBeforePesq = [this](TBtnPesquisa *b, bool &go) { btnFilOLBeforePesq(b, go); };
    btnFilOL->OnAfterPesq = [this](TBtnPesquisa *b) { btnFilOLAfterPesq(b); };

    btpFilial->SetAssociate(rbtFilialLista);
    btpFilial->SetTitle(QStringLiteral("Filial Destino"));
    btpFilial->SetDataSource(dtsFilial);
    btpFilial->SetEmptyError(QStringLiteral("Não há filial cadastrada."));
    btpFilial->OnClick = [this](TBtnPesquisa *b) { btpFilialClick(b); };

    btpConsolidacao->SetAssociate(rbtConsolLista);
    btpConsolidacao->SetTitle(QStringLiteral("Consolidação"));
    btpConsolidacao->SetDataSource(dtsConsolidacao);
    btpConsolidacao->SetEmptyError(QStringLiteral("Não há consolidação cadastrada."));
    btpConsolidacao->OnClick = [this](TBtnPesquisa *b) { btpConsolidacaoClick(b); };

    btnPesqProdutoInicial->SetAssociate(medProdutoInicial);
    btnPesqProdutoInicial->SetTitle(QStringLiteral("Produto"));
    btnPesqProdutoInicial->SetDataSource(dtsProdutoPesq);
    btnPesqProdutoInicial->SetFieldCodigo(QStringLiteral("CDPRODUTO"));
    btnPesqProdutoInicial->SetFieldNome(QStringLiteral("NMPRODUTO"));
    btnPesqProdutoInicial->SetPesqType(TPesqType::ptArvore);
    btnPesqProdutoInicial->SetPesqChave(true);
    btnPesqProdutoInicial->SetEmptyError(kEmptyProduct);
    btnPesqProdutoInicial->OnBeforePesq = [this](TBtnPesquisa *b, bool &go) {
        btnPesqProdutoInicialBeforePesq(b, go);
    };
    btnPesqProdutoInicial->OnAfterPesq = [this](TBtnPesquisa *b) {
        btnPesqProdutoInicialAfterPesq(b);
    };

    btnPesqProdutoFinal->SetAssociate(medProdutoFinal);
    btnPesqProdutoFinal->SetTitle(QStringLiteral("Produto"));
    btnPesqProdutoFinal->SetDataSource(dtsProduto);
    btnPesqProdutoFinal->SetFieldCodigo(QStringLiteral("CDPRODUTO"));
    btnPesqProdutoFinal->SetFieldNome(QStringLiteral("NMPRODUTO"));
    btnPesqProdutoFinal->SetEmptyError(kEmptyProduct);
    btnPesqProdutoFinal->OnBeforePesq = [this](TBtnPesquisa *b, bool &go) {
        btnPesqProdutoFinalBeforePesq(b, go);
    };
    btnPesqProdutoFinal->OnAfterPesq = [this](TBtnPesquisa *b) {
        btnPesqProdutoFinalAfterPesq(b);
    };
}

void TfrmFiltroAcomPOL::btnFilOLBeforePesq(QObject *, bool &)
{
    WaitAnimationScope wait(this, msgPadrao.Msg(QStringLiteral("GetFili")));
    cdsFiliOL->LoadFromPacket(
        Consiste::CheckResultServ(rdmAcomPOL::GetFiliOL(connection()), true, 0));
}

void TfrmFiltroAcomPOL::btnFilOLAfterPesq(QObject *)
{
    medFilOL->SetText(cdsFiliOL->FieldByName(QStringLiteral("CDFILIOPELOG"))->AsString());
    edtFilOL->setText(cdsFiliOL->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
}

// On a failure the exit check puts the focus back on the box.
void TfrmFiltroAcomPOL::medFilOLExit(QObject *)
{
    if (Consiste::EmptyString(medFilOL->Text()))
        return;
    cdsVdFiliOL->Close();
    {
        WaitAnimationScope wait(this, msgPadrao.Msg(QStringLiteral("GetFili")));
        medFilOL->SetText(Consiste::Ajusta(medFilOL->Text(), 4));
        cdsVdFiliOL->LoadFromPacket(Consiste::CheckResultServ(
            rdmAcomPOL::GetVdFiliOL(connection(), medFilOL->Text()), true, 0));
    }
    const QString code = cdsVdFiliOL->FieldByName(QStringLiteral("CDFILIOPELOG"))->AsString();
    if (code.isEmpty())
        Consiste::MensErro(msgPadrao.Msg(QStringLiteral("FiliOL_NE")), true);
    medFilOL->SetText(code);
    edtFilOL->setText(cdsVdFiliOL->FieldByName(QStringLiteral("NMFILIAL"))->AsString());
    stFilOL = code;
}

void TfrmFiltroAcomPOL::btpFilialClick(QObject *)
{
    Vd_FilialOL();
    {
        WaitAnimationScope wait(this, msgPadrao.Msg(QStringLiteral("GetFili")));
        cdsFilial->LoadFromPacket(Consiste::CheckResultServ(
            rdmAcomPOL::GetPesqFilial(connection(), medFilOL->Text()), true, 0));
    }
    Pesqlista::PesquisaLista(dtsFilial, QStringLiteral("CDFILIAL"),
                             QStringLiteral("Filial Solicitante"), false, stLFilSoli);
}

void TfrmFiltroAcomPOL::btpConsolidacaoClick(QObject *)
{
    Vd_FilialOL();
    Vd_Datas();
    {
        WaitAnimationScope wait(this, msgPadrao.Msg(QStringLiteral("GetConsol")));
        cdsConsolidacao->LoadFromPacket(Consiste::CheckResultServ(
            rdmAcomPOL::GetPesqConsol(connection(), medFilOL->Text(), depEntrIni->GetDate(),
                                      depEntrFin->GetDate(), stDtEntr, depSolIni->GetDate(),
                                      depSolFin->GetDate(), stDtSoli),
            true, 0));
    }
    Pesqlista::PesquisaLista(dtsConsolidacao, QStringLiteral("NRSEQUCONSOL"),
                             msgPadrao.Msg(QStringLiteral("Consolidacao")), false, stListaConsol);
}

// Every search reads the product table afresh.
void TfrmFiltroAcomPOL::btnPesqProdutoInicialBeforePesq(QObject *, bool &)
{
    qryProduto->Close();
    qryProduto->Open();
}

void TfrmFiltroAcomPOL::btnPesqProdutoInicialAfterPesq(QObject *)
{
    medProdutoInicial->SetText(qryProduto->FieldByName(QStringLiteral("CDARVPROD"))->EditText());
    edtProdutoInicial->setText(qryProduto->FieldByName(QStringLiteral("NMPRODUTO"))->AsString());
}

void TfrmFiltroAcomPOL::btnPesqProdutoFinalBeforePesq(QObject *, bool &)
{
    qryProduto1->Close();
    qryProduto1->Open();
}

void TfrmFiltroAcomPOL::btnPesqProdutoFinalAfterPesq(QObject *)
{
    medProdutoFinal->SetText(qryProduto1->FieldByName(QStringLiteral("CDARVPROD"))->EditText());
    edtProdutoFinal->setText(qryProduto1->FieldByName(QStringLiteral("NMPRODUTO"))->AsString());
}
