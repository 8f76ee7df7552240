#include "Procurar.h"

#include "SearchDialog.h"
#include "data/TClientDataSet.h"

#include <QApplication>

namespace Procurar {

void Procura(TClientDataSet *dataSet, QWidget *parent)
{
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty())
        return;
    SearchDialog dialog(dataSet, parent ? parent : QApplication::activeWindow());
    dialog.exec();
}

} // namespace Procurar
