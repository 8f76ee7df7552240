#pragma once

#include "forms/TfrmFiltroPadrao.h"

#include <QPointer>
#include <QString>
#include <QStringList>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class TADOIBQuery;
class TBtnPesquisa;
class TClientDataSet;
class TDataSource;
class TDateEditPlus;
class TMaskEdit;

// The saved requesting-branch choice: whether "Lista" was selected, and the list.
struct TFILIAL_DEST
{
    bool Lista = false;
    QString stLista;
};

struct TFILTRO
{
    TFILIAL_DEST FilialDest;
};

// The filter dialog of the tracking window: modal, created once and shown
// again with its last values each time the filter is reopened.
class TfrmFiltroAcomPOL : public TfrmFiltroPadrao
{
    Q_OBJECT
public:
    explicit TfrmFiltroAcomPOL(QWidget *parent = nullptr);
    ~TfrmFiltroAcomPOL() override;

    // The dialog's message table, in order.
    static QStringList messageLines();

    // Logistics-operator branch
    QGroupBox *grbFilOL = nullptr;
    QLabel *lblFilOL = nullptr;
    TMaskEdit *medFilOL = nullptr;
    TBtnPesquisa *btnFilOL = nullptr;
    QLineEdit *edtFilOL = nullptr;
    // Delivery and request dates
    QGroupBox *grbDataEnt = nullptr;
    QLabel *lblDtEntr = nullptr;
    TDateEditPlus *depEntrIni = nullptr;
    QLabel *lblDtFin = nullptr;
    TDateEditPlus *depEntrFin = nullptr;
    QGroupBox *grbDataSol = nullptr;
    QLabel *lblDtSolIni = nullptr;
    TDateEditPlus *depSolIni = nullptr;
    QLabel *lblDtSolFin = nullptr;
    TDateEditPlus *depSolFin = nullptr;
    // Requesting branches and consolidations
    QGroupBox *grbFilSoli = nullptr;
    QRadioButton *rbtFilialTodas = nullptr;
    QRadioButton *rbtFilialLista = nullptr;
    TBtnPesquisa *btpFilial = nullptr;
    QGroupBox *grbConsolidacao = nullptr;
    QRadioButton *rbtConsolTodas = nullptr;
    QRadioButton *rbtConsolLista = nullptr;
    TBtnPesquisa *btpConsolidacao = nullptr;
    // Product range
    QGroupBox *grbProd = nullptr;
    QLabel *Label9 = nullptr;
    TMaskEdit *medProdutoInicial = nullptr;
    TBtnPesquisa *btnPesqProdutoInicial = nullptr;
    QLineEdit *edtProdutoInicial = nullptr;
    QLabel *Label10 = nullptr;
    TMaskEdit *medProdutoFinal = nullptr;
    TBtnPesquisa *btnPesqProdutoFinal = nullptr;
    QLineEdit *edtProdutoFinal = nullptr;
    // Check-box groups
    QGroupBox *grbStatus = nullptr;
    QCheckBox *chbED = nullptr;
    QCheckBox *chbOL = nullptr;
    QGroupBox *grbItemConsol = nullptr;
    QCheckBox *chbConsolSim = nullptr;
    QCheckBox *chbConsolNao = nullptr;
    QGroupBox *grbPedidoGerado = nullptr;
    QCheckBox *chbGeradoSim = nullptr;
    QCheckBox *chbGeradoNao = nullptr;
    QGroupBox *grbQtdePedido = nullptr;
    QCheckBox *chbPedMaior = nullptr;
    QCheckBox *chbPedMenor = nullptr;
    QCheckBox *chbPedIgual = nullptr;

    // Product queries and their data sources
    TADOIBQuery *qryProduto = nullptr;
    TADOIBQuery *qryProduto1 = nullptr;
    TDataSource *dtsProdutoPesq = nullptr;
    TDataSource *dtsProduto = nullptr;
    TDataSource *dtsProduto__ = nullptr;

    // Lookup data sets filled from the application server
    TClientDataSet *cdsFiliOL = nullptr;
    TClientDataSet *cdsVdFiliOL = nullptr;
    TClientDataSet *cdsFilial = nullptr;
    TClientDataSet *cdsConsolidacao = nullptr;
    TDataSource *dtsFiliOL = nullptr;
    TDataSource *dtsVdFiliOL = nullptr;
    TDataSource *dtsFilial = nullptr;
    TDataSource *dtsConsolidacao = nullptr;

    // Event handlers, named after component and event.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose() override;
    void btfLoadOpcClick() override;
    void btfSaveOpcClick() override;
    void sbtConfirmaClick() override;
    void medFilOLChange(QObject *sender);
    void medProdutoInicialChange(QObject *sender);
    void medProdutoFinalChange(QObject *sender);
    void depEntrIniChange(QObject *sender);
    void depEntrFinChange(QObject *sender);
    void depSolIniChange(QObject *sender);
    void depSolFinChange(QObject *sender);
    void rbtFilialTodasClick(QObject *sender);
    void rbtFilialListaClick(QObject *sender);
    void rbtConsolTodasClick(QObject *sender);
    void rbtConsolListaClick(QObject *sender);
    void chbConsolSimClick(QObject *sender);
    void chbGeradoSimClick(QObject *sender);
    void depEntrIniExit(QObject *sender);
    void depEntrFinExit(QObject *sender);
    void depSolIniExit(QObject *sender);
    void depSolFinExit(QObject *sender);
    void medProdutoInicialExit(QObject *sender);
    void medProdutoFinalExit(QObject *sender);
    void medFilOLExit(QObject *sender);
    void btnFilOLBeforePesq(QObject *sender, bool &cancel);
    void btnFilOLAfterPesq(QObject *sender);
    void btpFilialClick(QObject *sender);
    void btpConsolidacaoClick(QObject *sender);
    void btnPesqProdutoInicialBeforePesq(QObject *sender, bool &cancel);
    void btnPesqProdutoInicialAfterPesq(QObject *sender);
    void btnPesqProdutoFinalBeforePesq(QObject *sender, bool &cancel);
    void btnPesqProdutoFinalAfterPesq(QObject *sender);

    QStringList ExtraOptionNames() const override;
    QList<DateRange> DateRanges() const override;

    // true saves the requesting-branch choice, false restores it.
    void Dados_Filtro(bool save);

    // Checks; a failed rule focuses its control, shows its message and
    // ends the caller (Consiste::MensErro).
    void Validacoes();
    void Vd_FilialOL();
    void Vd_Datas();
    void Vd_CdProdIni();
    void Vd_CdProdFim();

private:
    void buildCriteriaArea();
    void buildBranchGroup();
    void buildDateGroups();
    void buildListGroups();
    void buildProductGroup();
    void buildCheckGroups();
    void buildTabOrder();
    void createProductQueries();
    void createLookupDataSets();
    void wireEvents();
    void wireLookups();
    void keepRadioPairOneStop(QRadioButton *first, QRadioButton *second);
    [[noreturn]] void fail(QWidget *control, const QString &key);
    void checkProduct(TMaskEdit *edit, TDataSource *source, TADOIBQuery *query,
                      QLineEdit *nameBox);
    double date(TDateEditPlus *edit);
    void encodeChoices();

    TFILTRO m_filtro;
    QString FStatus;
    QString FItemConsol;
    QString FPedGerado;
    QString FQtdePedido;
};

// Unit-level state of the filter dialog's unit.
namespace Cli_vex00301 {
extern QPointer<TfrmFiltroAcomPOL> frmFiltroAcomPOL;
// True from just before each modal show until that dialog closes.
extern bool boFiltroCriado;
// The dialog's working copies of the criteria.
extern QString stTFilSoli, stLFilSoli, stFilOL, stDtEntr, stDtSoli, stProd, stListaConsol,
    stTodasConsol;

void CriaFiltroAcomPOL();

void Initialization();
void Finalization();
// Names of the working strings in the order the finalization clears them.
QStringList FinalizationOrder();
} // namespace Cli_vex00301
