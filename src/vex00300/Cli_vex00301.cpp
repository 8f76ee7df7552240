#include "Cli_vex00301.h"

#include "app/TApplication.h"

#include <QLabel>

namespace Cli_vex00301 {
QPointer<TfrmFiltroAcomPOL> frmFiltroAcomPOL;
bool boFiltroCriado = false;
QString stTFilSoli, stLFilSoli, stFilOL, stDtEntr, stDtSoli, stProd, stListaConsol,
    stTodasConsol;

namespace {
int initializationCount = 0;
int finalizationCount = 0;

struct NamedString
{
    const char *name;
    QString *value;
};

const NamedString kClearOrder[] = {
    {"stTodasConsol", &stTodasConsol}, {"stListaConsol", &stListaConsol},
    {"stProd", &stProd}, {"stDtSoli", &stDtSoli}, {"stDtEntr", &stDtEntr},
    {"stFilOL", &stFilOL}, {"stLFilSoli", &stLFilSoli}, {"stTFilSoli", &stTFilSoli},
};
} // namespace

void Initialization()
{
    if (initializationCount++ != 0)
        return;
    boFiltroCriado = false;
}

void Finalization()
{
    if (finalizationCount++ != 0)
        return;
    for (const NamedString &entry : kClearOrder)
        entry.value->clear();
}

QStringList FinalizationOrder()
{
    QStringList names;
    for (const NamedString &entry : kClearOrder)
        names << QString::fromLatin1(entry.name);
    return names;
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
