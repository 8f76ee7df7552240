#include "Procurar.h"

#include "SearchDialog.h"
#include "data/TClientDataSet.h"

namespace Procurar {

void Procura(TClientDataSet *dataSet, QWidget *parent)
{
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty())
        return;
    SearchDialog dialog(dataSet, parent);
    dialog.exec();
}

} // namespace Procurar
