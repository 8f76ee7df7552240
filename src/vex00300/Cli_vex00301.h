#pragma once

#include "forms/TfrmFiltroPadrao.h"

#include <QPointer>
#include <QString>
#include <QStringList>

// The filter dialog of the tracking window: modal, created once and shown
// again with its last values each time the filter is reopened.
class TfrmFiltroAcomPOL : public TfrmFiltroPadrao
{
    Q_OBJECT
public:
    explicit TfrmFiltroAcomPOL(QWidget *parent = nullptr);

    void FormClose() override;
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
