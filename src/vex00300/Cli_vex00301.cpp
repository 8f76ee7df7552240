#include "Cli_vex00301.h"

#include "UnitStrings.h"
#include "app/TApplication.h"

#include <QLabel>

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

TfrmFiltroAcomPOL::TfrmFiltroAcomPOL(QWidget *parent) : TfrmFiltroPadrao(parent)
{
    setWindowTitle(QStringLiteral("Filtro de Acompanhameto de Pedidos OL"));
    lblCodTela->setText(QStringLiteral("VEX00301"));
}

void TfrmFiltroAcomPOL::FormClose()
{
    TfrmFiltroPadrao::FormClose();
    Cli_vex00301::boFiltroCriado = false;
}
