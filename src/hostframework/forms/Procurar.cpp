#include "Procurar.h"

#include "SearchDialog.h"
#include "controls/TDBGrid.h"
#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"

#include <QApplication>

namespace Procurar {

namespace {
bool searchable(const TClientDataSet *dataSet)
{
    return dataSet && dataSet->Active() && !dataSet->IsEmpty();
}
} // namespace

void Procura(TClientDataSet *dataSet, QWidget *parent)
{
    if (!searchable(dataSet))
        return;
    SearchDialog dialog(dataSet, parent ? parent : QApplication::activeWindow());
    dialog.exec();
}

void Procura(TDBGrid *grid, QWidget *parent)
{
    TClientDataSet *dataSet = grid && grid->DataSource() ? grid->DataSource()->DataSet()
                                                         : nullptr;
    if (!searchable(dataSet))
        return;
    QList<SearchDialog::Column> columns;
    const auto shown = grid->VisibleColumns();
    for (const TColumn *column : shown) {
        if (const TField *field = column->Field())
            columns.append({field->DisplayLabel(), field->FieldName()});
    }
    const int currentColumn = grid->currentIndex().column();
    const TColumn *current = grid->Columns().value(currentColumn);
    const TField *currentField = current && !grid->isColumnHidden(currentColumn)
        ? current->Field()
        : nullptr;
    SearchDialog dialog(dataSet, columns, currentField ? currentField->FieldName() : QString(),
                        parent ? parent : QApplication::activeWindow());
    dialog.exec();
}

} // namespace Procurar
