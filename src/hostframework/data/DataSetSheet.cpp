#include "DataSetSheet.h"

#include "TClientDataSet.h"
#include "TField.h"

#include <algorithm>

DataSetSheet::DataSetSheet(const QString &name, TClientDataSet *dataSet,
                           const QList<TField *> &fields)
    : m_name(name), m_dataSet(dataSet), m_fields(fields)
{
}

QList<ExportColumn> DataSetSheet::columns() const
{
    QList<ExportColumn> columns;
    for (const TField *field : m_fields) {
        const QString title = field->DisplayLabel();
        const int width = std::max<int>(field->DisplayWidth(), int(title.size()));
        columns.append({title, std::clamp(width + 2, 6, 60)});
    }
    return columns;
}

int DataSetSheet::rowCount() const
{
    return m_dataSet->Active() ? m_dataSet->RecordCount() : 0;
}

ExportCell DataSetSheet::cellOf(const TField *field)
{
    // A field with words for its codes shows them even for a null value.
    if (!field->OnGetText && field->IsNull())
        return {};
    switch (field->DataType()) {
    case TFieldType::ftFloat:
    case TFieldType::ftInteger:
        if (!field->OnGetText)
            return ExportCell::ofNumber(field->AsFloat());
        break;
    case TFieldType::ftDateTime:
        if (!field->OnGetText)
            return ExportCell::ofDate(field->AsDateTime());
        break;
    default: break;
    }
    return ExportCell::ofText(field->DisplayText());
}

void DataSetSheet::readRow(int index, QList<ExportCell> &cells) const
{
    TRecordScope scope(m_dataSet, index);
    cells.clear();
    for (const TField *field : m_fields)
        cells.append(cellOf(field));
}
