#pragma once

#include "RequestSituations.h"

#include "controls/TDBGrid.h"
#include "forms/TfrmPadrao.h"

#include <QHash>
#include <QJsonArray>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>

class AsyncCall;
class BranchSummary;
class BranchTotalsBar;
class QFrame;
struct BranchCounts;
struct TServerReply;
class QLabel;
class QScrollArea;
class ResizeBar;
class TADOIBQuery;
class TClientDataSet;
class TDataPacket;
class TDBRowCount;
class QAction;
class QComboBox;
class TField;
class TNetConnection;

// The order-tracking window: four linked levels (requesting branch ->
// purchase request -> order product -> stock at the logistics operator),
// each fetched from the application server when the row above changes.
class TfrmAcomPOL : public TfrmPadrao
{
    Q_OBJECT
public:
    explicit TfrmAcomPOL(QWidget *parent = nullptr);
    ~TfrmAcomPOL() override;

    // Criteria hand-over from the filter dialog: fourteen strings and four
    // date-times, stored in the unit-level criteria.
    void Var_filtro(const QString &stLFilSoli, const QString &stTFilSoli,
                    const QString &stFilOL, const QString &stDtEntr, const QString &stDtSoli,
                    const QString &stProdIni, const QString &stProdFin, const QString &stProd,
                    const QString &stListaConsol, const QString &stTodasConsol,
                    const QString &stStatus, const QString &stItemConsol,
                    const QString &stPedGerado, const QString &stQtdePedido,
                    double DtEntrIni, double DtEntrFin, double DtSolIni, double DtSolFin);

    // The branches' counts: asked in the background once their list is in,
    // with the criteria that list was asked with (GetFiliSoliGrid's); they
    // fill in when they arrive. An answer still on its way is dropped.
    void AskBranchCounts(const QJsonArray &criteria);

    // Opens the current branch on page "Solicitação", as Enter on the branch
    // grid does, showing only its requests in that situation (All: every one).
    // A failure of the cascade it sets off propagates, as from any move.
    void OpenRequestsFiltered(RequestSituation situation);

    // Tool bar, menu and status line additions
    TButtonFlat *sbtFiltro = nullptr;
    QLabel *lblFilial = nullptr;
    QLabel *Label1 = nullptr;
    TDBText *dbtOL = nullptr;

    // Row counts and the legend of the quantity colours
    TDBRowCount *lblQtdeFiliais = nullptr;
    TDBRowCount *lblQtdeSolicitacoes = nullptr;
    TDBRowCount *lblQtdeProdutos = nullptr;
    QWidget *panLegenda = nullptr;
    // Totals of the branch counts, or why there are none
    BranchTotalsBar *panTotais = nullptr;
    // Keyboard: pages and grids
    QAction *mnuProximaPagina = nullptr;
    QAction *mnuPaginaAnterior = nullptr;
    QAction *mnuProximaGrade = nullptr;
    QAction *mnuGradeAnterior = nullptr;
    // Shows or hides every count column of the branch page at once
    QAction *mnuContagens = nullptr;

    // Page "Solicitação"
    ResizeBar *Splitter1 = nullptr;
    QFrame *panProd = nullptr;
    QScrollArea *scbProd = nullptr;
    TDBGrid *dbgProd = nullptr;
    QFrame *panProdOL = nullptr;
    QScrollArea *scbProdOL = nullptr;
    TDBGrid *dbgProdOL = nullptr;
    ResizeBar *Splitter2 = nullptr;
    TDBGrid *dbgSoli = nullptr;
    // The requests' situation: quick filter above dbgSoli, its note, column
    QWidget *panSituacao = nullptr;
    QComboBox *cbxSituacao = nullptr;
    QLabel *lblSituacaoNota = nullptr;
    QAction *mnuSituacao = nullptr;

    // Connection, data sets, data sources, direct query
    TNetConnection *netAcomPOL = nullptr;
    TClientDataSet *cdsFilial = nullptr;
    TClientDataSet *cdsSoli = nullptr;
    TClientDataSet *cdsProd = nullptr;
    TClientDataSet *cdsProdOL = nullptr;
    TDataSource *dtsSoli = nullptr;
    TDataSource *dtsProd = nullptr;
    TDataSource *dtsProdOL = nullptr;
    TDataSource *dtsOL = nullptr;
    TADOIBQuery *qryOL = nullptr;

    // Fields
    TField *cdsFilialCDFILSOLI = nullptr;
    TField *cdsFilialNMFILIAL = nullptr;
    TField *cdsSoliNRSOLICMP = nullptr;
    TField *cdsSoliCDARVPROD = nullptr;
    TField *cdsSoliNMPRODUTO = nullptr;
    TField *cdsSoliSGUNIDADE = nullptr;
    TField *cdsSoliQTSOLIPROD = nullptr;
    TField *cdsSoliDTPROGENTR = nullptr;
    TField *cdsSoliIDITMCONS = nullptr;
    TField *cdsSoliNRSOLCMPCONS = nullptr;
    TField *cdsSoliIDSOLIAPROV = nullptr;
    TField *cdsSoliNMFILIAL = nullptr;
    TField *cdsSoliCDPRODUTO = nullptr;
    TField *cdsSoliCDPRODESTO = nullptr;
    TField *cdsSoliCDFILIOPELOG = nullptr;
    TField *cdsSoliVRFATOCONV = nullptr;
    TField *cdsSoliNRSEQUCONSOL = nullptr;
    TField *cdsSoliIDPEDIDOOL = nullptr;
    TField *cdsProdCDARVPROD = nullptr;
    TField *cdsProdNMPRODUTO = nullptr;
    TField *cdsProdSGUNIDADE = nullptr;
    TField *cdsProdQTPROGENPEOL = nullptr;
    TField *cdsProdDTPROGENPEOL = nullptr;
    TField *cdsProdNRPEDEXOL = nullptr;
    TField *cdsProdIDBAIXENPEOL = nullptr;
    TField *cdsProdIDBAIXAOLSAI = nullptr;
    TField *cdsProdCDFILDEST = nullptr;
    TField *cdsProdCDFILLANC = nullptr;
    TField *cdsProdCDMARCA = nullptr;
    TField *cdsProdDTPROGEMBARQ = nullptr;
    TField *cdsProdCDPRODUTO = nullptr;
    TField *cdsProdVRFATOCONV = nullptr;
    TField *cdsProdOLPRODARVOL = nullptr;
    TField *cdsProdOLQUANT_ESTOQUE = nullptr;
    TField *cdsProdOLESTOQ_DISPO = nullptr;
    TField *cdsProdOLQTRESERVESTOL = nullptr;
    TField *cdsProdOLRESERVA_ITEM = nullptr;
    TField *qryOLNMFILIAL = nullptr;

    // Event handlers, named after component and event.
    void FormCreate() override;
    void FormActivate() override;
    void FormClose(TCloseAction &action) override;
    void pgcPadraoChange() override;
    void dtsPadraoStateChange(TDataSource *sender) override;
    void netAcomPOLBeforeConnect(TNetConnection *sender);
    void sbtFiltroClick(QObject *sender);
    void mnuOrdenarClick() override;
    void sbtVerificarClick() override;
    void sbtProcurarClick() override;
    void cdsFilialAfterScroll(TClientDataSet *dataSet);
    void cdsSoliAfterScroll(TClientDataSet *dataSet);
    void cdsProdAfterScroll(TClientDataSet *dataSet);
    void cdsSoliIDITMCONSGetText(TField *sender, QString &text, bool displayText);
    void cdsSoliIDSOLIAPROVGetText(TField *sender, QString &text, bool displayText);
    void cdsSoliIDPEDIDOOLGetText(TField *sender, QString &text, bool displayText);
    void cdsSoliNRSEQUCONSOLGetText(TField *sender, QString &text, bool displayText);
    void cdsSoliCDFILIOPELOGGetText(TField *sender, QString &text, bool displayText);
    void cdsProdIDBAIXENPEOLGetText(TField *sender, QString &text, bool displayText);
    void cdsProdIDBAIXAOLSAIGetText(TField *sender, QString &text, bool displayText);
    void dbgProdDrawColumnCell(TDBGrid *sender, TCanvas &canvas, const QRect &rect,
                               int dataCol, TColumn *column, TGridDrawState state);
    void dbgProdOLDrawColumnCell(TDBGrid *sender, TCanvas &canvas, const QRect &rect,
                                 int dataCol, TColumn *column, TGridDrawState state);

    bool eventFilter(QObject *watched, QEvent *event) override;
    QStringList ExtraLayoutLines() const override;
    void RestoreExtraLayout(const QStringList &lines) override;

    // The window's message table, in order.
    static QStringList messageLines();

private:
    void createDataSets();
    void createConnection();
    void adjustToolBarAndMenu();
    void buildBranchPage();
    void buildRequestPage();
    void buildStatusLine();
    void buildComfort();
    void buildCounts();
    void buildLegend();
    void buildBranchCounts();
    void addBranchCountsCommand(QMenu *menu);
    void showBranchCounts(bool shown);
    void openBranchRequests(int column);
    bool branchCountsShown() const;
    void dropBranchCounts();
    void branchCountsArrived(const TServerReply &reply);
    const BranchCounts *branchCounts(const TClientDataSet *dataSet, int row) const;
    void dbgPadraoDrawColumnCell(TCanvas &canvas, const QRect &rect, TColumn *column,
                                 TGridDrawState state);
    void buildNavigation();
    void switchPage(int direction);
    void focusGrid(int direction);
    TDBGrid *createDetailGrid(const QString &name, TDataSource *source, QWidget *parent);
    void wireEvents();
    void closeLevel(TClientDataSet *dataSet);
    void closeLowerLevels();
    void closeLevelsBelow(TClientDataSet *dataSet);
    void verifyBranches();
    void verifyRequests();
    // Loads a level; during a verify it opens on the row that was current,
    // found by its key, and only that row loads the levels below.
    void loadLevel(TClientDataSet *dataSet, const TDataPacket &packet);
    QList<TClientDataSet *> levels() const;
    void keepCurrentRows(TClientDataSet *from);
    void openRequestPage();
    QList<QWidget *> stackedPanels() const;
    QList<int> panelWeights() const;
    void setPanelWeights(const QList<int> &weights);
    void dragPanel(int panel, int delta);
    void applyFilterCommandState();
    void setCodedText(TClientDataSet *dataSet, const QString &key, QString &text) const;

    // The requests' situations (Cli_vex00300Situation.cpp)
    void buildSituation();
    void resetSituationFilter();
    void requestsReloaded();
    bool wantsSituations() const;
    void ensureSituations();
    void askSituations();
    void situationsArrived(const TServerReply &reply);
    std::optional<int> situationOf(const TClientDataSet *ds, int row) const;
    void applySituationFilter();
    void showSituationCounts(bool known);

    RequestSituations m_situations;
    bool m_situationsCurrent = false; // asked for the requests on show
    QPointer<AsyncCall> m_situationsCall;
    quint64 m_situationsAsked = 0; // an older answer is dropped

    bool m_firstFilterOpen = false; // the first activation's dialog is showing
    // Key values of each level's current row while a verify reloads it.
    QHash<const TClientDataSet *, QVariantList> m_keptRows;
    QList<int> m_dragStart; // panel heights when a bar was taken
    std::unique_ptr<BranchSummary> m_branchSummary; // of the branches shown
    QPointer<AsyncCall> m_countsCall;               // the counts on their way
    quint64 m_countsAsked = 0; // which asking an answer belongs to
};

// Unit-level state of the tracking window's unit.
namespace Cli_vex00300 {
// A QPointer: closing the window frees it, and the next CriaAcomPOL must
// create a fresh one rather than show a dangling reference.
extern QPointer<TfrmAcomPOL> frmAcomPOL;
extern bool boStCriado;
extern bool boPrimVez;

extern QString stLFilSoli, stTFilSoli, stFilOL, stDtEntr, stDtSoli, stProdIni, stProdFin,
    stProd, stListaConsol, stTodasConsol, stStatus, stItemConsol, stPedGerado, stQtdePedido;
extern double DtEntrIni, DtEntrFin, DtSolIni, DtSolFin;

void CriaAcomPOL();
void IniProc();

void Initialization();
void Finalization();
// Names of the criteria strings in the order the finalization clears them.
QStringList FinalizationOrder();
} // namespace Cli_vex00300
