#include "Cli_vex00301.h"

#include "UnitStrings.h"
#include "app/TApplication.h"
#include "controls/TBtnPesquisa.h"
#include "controls/TDateEditPlus.h"
#include "controls/TMaskEdit.h"
#include "data/TADOIBQuery.h"
#include "data/TField.h"
#include "forms/OptionsFile.h"
#include "services/Corvel.h"
#include "services/SafeCall.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace Cli_vex00301 {
QPointer<TfrmFiltroAcomPOL> frmFiltroAcomPOL;
bool boFiltroCriado = false;
QString stTFilSoli, stLFilSoli, stFilOL, stDtEntr, stDtSoli, stProd, stListaConsol,
    stTodasConsol;

namespace {
RunOnce initialization;
RunOnce finalization;

const NamedString kClearOrder[] = {
    {"stTodasConsol", &stTodasConsol}, {"stListaConsol", &stListaConsol},
    {"stProd", &stProd}, {"stDtSoli", &stDtSoli}, {"stDtEntr", &stDtEntr},
    {"stFilOL", &stFilOL}, {"stLFilSoli", &stLFilSoli}, {"stTFilSoli", &stTFilSoli},
};
} // namespace

void Initialization()
{
    if (!initialization.firstTime())
        return;
    boFiltroCriado = false;
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

void CriaFiltroAcomPOL()
{
    if (!boFiltroCriado) {
        if (frmFiltroAcomPOL.isNull())
            frmFiltroAcomPOL = TApplication::instance()->CreateDialog<TfrmFiltroAcomPOL>();
        boFiltroCriado = true;
    }
    // A dialog already on show is not shown modally a second time.
    if (frmFiltroAcomPOL.isNull() || frmFiltroAcomPOL->isVisible())
        return;
    frmFiltroAcomPOL->exec();
}
} // namespace Cli_vex00301

using namespace Cli_vex00301;

namespace {
const QString kT = QStringLiteral("T");
const QString kOptionLFilSoli = QStringLiteral("stLFilSoli");
} // namespace

TfrmFiltroAcomPOL::TfrmFiltroAcomPOL(QWidget *parent) : TfrmFiltroPadrao(parent)
{
    setWindowTitle(QStringLiteral("Filtro de Acompanhameto de Pedidos OL"));
    lblCodTela->setText(QStringLiteral("VEX00301"));
    msgPadrao.Lines = messageLines();
    buildCriteriaArea();
    createProductQueries();
    createLookupDataSets();
    wireEvents();
    wireLookups();
}

TfrmFiltroAcomPOL::~TfrmFiltroAcomPOL() = default;

void TfrmFiltroAcomPOL::FormCreate()
{
    TfrmFiltroPadrao::FormCreate();
    depEntrIni->Clear();
    depEntrFin->Clear();
    depSolIni->Clear();
    depSolFin->Clear();
    Dados_Filtro(false);
}

void TfrmFiltroAcomPOL::FormActivate()
{
    // The same mask again is no change: the codes and their names stay.
    auto applyMask = [](TMaskEdit *edit) {
        const QString mask = Corvel::DBPict(TPictType::ptProduto);
        if (edit->EditMask() != mask)
            edit->SetEditMask(mask);
    };
    applyMask(medProdutoInicial);
    applyMask(medProdutoFinal);
    qryProduto->FieldByName(QStringLiteral("CDARVPROD"))
        ->SetEditMask(Corvel::DBPict(TPictType::ptProduto));
    qryProduto1->FieldByName(QStringLiteral("CDARVPROD"))
        ->SetEditMask(Corvel::DBPict(TPictType::ptProduto));

    if (!rbtFilialLista->isChecked())
        btpFilial->setEnabled(false);
    if (!rbtConsolLista->isChecked())
        btpConsolidacao->setEnabled(false);

    stTFilSoli = kT;
    stFilOL = kT;
    stDtEntr = kT;
    stDtSoli = kT;
    stProd = kT;
    stTodasConsol = kT;
}

void TfrmFiltroAcomPOL::FormClose()
{
    TfrmFiltroPadrao::FormClose();
    boFiltroCriado = false;
}

void TfrmFiltroAcomPOL::Dados_Filtro(bool save)
{
    TFILIAL_DEST &saved = m_filtro.FilialDest;
    if (save) {
        saved.Lista = rbtFilialLista->isChecked();
        rbtFilialTodas->setChecked(!rbtFilialLista->isChecked());
        saved.stLista = stLFilSoli;
    } else {
        rbtFilialLista->setChecked(saved.Lista);
        rbtFilialTodas->setChecked(!rbtFilialLista->isChecked());
        stLFilSoli = saved.stLista;
    }
    update();
}

void TfrmFiltroAcomPOL::btfLoadOpcClick()
{
    TfrmFiltroPadrao::btfLoadOpcClick();
    stLFilSoli = OptionsFile::value(Opcoes, kOptionLFilSoli);
}

void TfrmFiltroAcomPOL::btfSaveOpcClick()
{
    OptionsFile::setValue(Opcoes, kOptionLFilSoli, stLFilSoli);
    TfrmFiltroPadrao::btfSaveOpcClick();
}

// The requesting-branch list lives in a variable, not in a control.
QStringList TfrmFiltroAcomPOL::ExtraOptionNames() const
{
    return {kOptionLFilSoli};
}

QList<TfrmFiltroPadrao::DateRange> TfrmFiltroAcomPOL::DateRanges() const
{
    return {{grbDataEnt->title(), depEntrIni, depEntrFin},
            {grbDataSol->title(), depSolIni, depSolFin}};
}

void TfrmFiltroAcomPOL::medFilOLChange(QObject *)
{
    edtFilOL->clear();
}

void TfrmFiltroAcomPOL::medProdutoInicialChange(QObject *)
{
    edtProdutoInicial->clear();
}

void TfrmFiltroAcomPOL::medProdutoFinalChange(QObject *)
{
    edtProdutoFinal->clear();
}

void TfrmFiltroAcomPOL::depEntrIniChange(QObject *)
{
    stDtEntr.clear();
}

void TfrmFiltroAcomPOL::depEntrFinChange(QObject *)
{
    stDtEntr.clear();
}

void TfrmFiltroAcomPOL::depSolIniChange(QObject *)
{
    stDtSoli.clear();
}

void TfrmFiltroAcomPOL::depSolFinChange(QObject *)
{
    stDtSoli.clear();
}

void TfrmFiltroAcomPOL::rbtFilialTodasClick(QObject *)
{
    btpFilial->setEnabled(rbtFilialLista->isChecked());
    stLFilSoli.clear();
    stTFilSoli = kT;
}

void TfrmFiltroAcomPOL::rbtFilialListaClick(QObject *)
{
    btpFilial->setEnabled(rbtFilialLista->isChecked());
    stLFilSoli.clear();
    stTFilSoli.clear();
}

void TfrmFiltroAcomPOL::rbtConsolTodasClick(QObject *)
{
    btpConsolidacao->setEnabled(rbtConsolLista->isChecked());
    stListaConsol.clear();
    stTodasConsol = kT;
    chbConsolSim->setChecked(true);
    chbConsolNao->setChecked(true);
    grbItemConsol->setEnabled(true);
    chbED->setChecked(true);
    chbOL->setChecked(true);
    grbStatus->setEnabled(true);
}

// A list of consolidations means consolidated items delivered through the
// operator: both groups are fixed and locked.
void TfrmFiltroAcomPOL::rbtConsolListaClick(QObject *)
{
    btpConsolidacao->setEnabled(rbtConsolLista->isChecked());
    stListaConsol.clear();
    stTodasConsol.clear();
    chbConsolSim->setChecked(true);
    chbConsolNao->setChecked(false);
    grbItemConsol->setEnabled(false);
    chbED->setChecked(false);
    chbOL->setChecked(true);
    grbStatus->setEnabled(false);
}

void TfrmFiltroAcomPOL::chbConsolSimClick(QObject *)
{
    if (!chbConsolSim->isChecked())
        rbtConsolTodas->setChecked(true);
}

// The quantity comparison applies only while generated orders are included.
void TfrmFiltroAcomPOL::chbGeradoSimClick(QObject *)
{
    chbPedMaior->setChecked(true);
    chbPedMenor->setChecked(true);
    chbPedIgual->setChecked(true);
    const bool on = chbGeradoSim->isChecked();
    grbQtdePedido->setEnabled(on);
    chbPedMaior->setEnabled(on);
    chbPedMenor->setEnabled(on);
    chbPedIgual->setEnabled(on);
}

void TfrmFiltroAcomPOL::keepRadioPairOneStop(QRadioButton *first, QRadioButton *second)
{
    // Only the selected button of a pair takes Tab; the arrow keys move
    // inside the pair.
    auto refresh = [first, second] {
        first->setFocusPolicy(first->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
        second->setFocusPolicy(second->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    refresh();
    connect(first, &QRadioButton::toggled, this, refresh);
}

void TfrmFiltroAcomPOL::wireEvents()
{
    auto onSelected = [this](QRadioButton *button, void (TfrmFiltroAcomPOL::*handler)(QObject *)) {
        connect(button, &QRadioButton::toggled, this, [this, button, handler](bool on) {
            if (on)
                SafeCall([&] { (this->*handler)(button); });
        });
    };
    onSelected(rbtFilialTodas, &TfrmFiltroAcomPOL::rbtFilialTodasClick);
    onSelected(rbtFilialLista, &TfrmFiltroAcomPOL::rbtFilialListaClick);
    onSelected(rbtConsolTodas, &TfrmFiltroAcomPOL::rbtConsolTodasClick);
    onSelected(rbtConsolLista, &TfrmFiltroAcomPOL::rbtConsolListaClick);

    auto onToggled = [this](QCheckBox *box, void (TfrmFiltroAcomPOL::*handler)(QObject *)) {
        connect(box, &QCheckBox::toggled, this,
                [this, box, handler] { SafeCall([&] { (this->*handler)(box); }); });
    };
    onToggled(chbConsolSim, &TfrmFiltroAcomPOL::chbConsolSimClick);
    onToggled(chbGeradoSim, &TfrmFiltroAcomPOL::chbGeradoSimClick);

    auto onChange = [this](TMaskEdit *edit, void (TfrmFiltroAcomPOL::*handler)(QObject *)) {
        edit->OnChange = [this, handler](TMaskEdit *sender) { (this->*handler)(sender); };
    };
    onChange(medFilOL, &TfrmFiltroAcomPOL::medFilOLChange);
    onChange(medProdutoInicial, &TfrmFiltroAcomPOL::medProdutoInicialChange);
    onChange(medProdutoFinal, &TfrmFiltroAcomPOL::medProdutoFinalChange);
    onChange(depEntrIni, &TfrmFiltroAcomPOL::depEntrIniChange);
    onChange(depEntrFin, &TfrmFiltroAcomPOL::depEntrFinChange);
    onChange(depSolIni, &TfrmFiltroAcomPOL::depSolIniChange);
    onChange(depSolFin, &TfrmFiltroAcomPOL::depSolFinChange);

    auto onExit = [this](TMaskEdit *edit, void (TfrmFiltroAcomPOL::*handler)(QObject *)) {
        edit->OnExit = [this, handler](TMaskEdit *sender) { (this->*handler)(sender); };
    };
    onExit(medFilOL, &TfrmFiltroAcomPOL::medFilOLExit);
    onExit(depEntrIni, &TfrmFiltroAcomPOL::depEntrIniExit);
    onExit(depEntrFin, &TfrmFiltroAcomPOL::depEntrFinExit);
    onExit(depSolIni, &TfrmFiltroAcomPOL::depSolIniExit);
    onExit(depSolFin, &TfrmFiltroAcomPOL::depSolFinExit);
    onExit(medProdutoInicial, &TfrmFiltroAcomPOL::medProdutoInicialExit);
    onExit(medProdutoFinal, &TfrmFiltroAcomPOL::medProdutoFinalExit);
}
