#pragma once

#include "ExportSheet.h"

#include <QList>

class TClientDataSet;
class TField;

// The rows of a data set, in its current order, through chosen fields: the
// field's label as title; numbers and dates typed; text as the field shows
// it (edit mask, get-text words).
class DataSetSheet final : public ExportSheet
{
public:
    DataSetSheet(const QString &name, TClientDataSet *dataSet, const QList<TField *> &fields);

    QString name() const override { return m_name; }
    QList<ExportColumn> columns() const override;
    int rowCount() const override;
    void readRow(int index, QList<ExportCell> &cells) const override;

    // One field's cell at the data set's active record.
    static ExportCell cellOf(const TField *field);

private:
    QString m_name;
    TClientDataSet *m_dataSet;
    QList<TField *> m_fields;
};
