#include "Pesqlista.h"

#include "MultiSelectDialog.h"
#include "data/KeyList.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"
#include "services/HostDisplays.h"

#include <QApplication>

namespace Pesqlista {

bool PesquisaLista(TDataSource *source, const QString &keyField, const QString &title,
                   bool marcaTodos, QString &list)
{
    TClientDataSet *dataSet = source ? source->DataSet() : nullptr;
    if (!dataSet || !dataSet->Active() || dataSet->IsEmpty()) {
        HostDisplays::showMessage(QStringLiteral("Nenhum registro para selecionar."));
        return false;
    }
    QStringList marked = KeyList::decode(list);
    if (marked.isEmpty() && marcaTodos) {
        TField *key = dataSet->FieldByName(keyField);
        for (int row = 0; row < dataSet->RecordCount(); ++row) {
            TRecordScope scope(dataSet, row);
            marked << key->AsString().trimmed();
        }
    }
    MultiSelectDialog dialog(dataSet, keyField, title, marked, QApplication::activeWindow());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    list = dialog.EncodedList();
    return true;
}

} // namespace Pesqlista
