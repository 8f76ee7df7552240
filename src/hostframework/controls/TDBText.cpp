#include "TDBText.h"

#include "data/TClientDataSet.h"
#include "data/TDataSource.h"
#include "data/TField.h"

TDBText::TDBText(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
}

void TDBText::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    disconnect(m_sourceConnection);
    m_source = source;
    if (m_source) {
        m_sourceConnection = connect(m_source, &TDataSource::dataSetChanged, this,
                                     &TDBText::attachDataSet);
        // The source may go before the label (a screen's members die in any order).
        connect(m_source, &QObject::destroyed, this, [this] {
            m_source = nullptr;
            refresh();
        });
    }
    attachDataSet();
}

void TDBText::SetDataField(const QString &fieldName)
{
    m_fieldName = fieldName;
    refresh();
}

void TDBText::attachDataSet()
{
    for (auto &connection : m_connections)
        disconnect(connection);
    disconnect(m_fieldsConnection);
    TClientDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    if (ds) {
        m_connections[0] = connect(ds, &TClientDataSet::dataReset, this, &TDBText::refresh);
        m_connections[1] = connect(ds, &TClientDataSet::currentRowChanged, this, &TDBText::refresh);
        m_connections[2] = connect(ds, &TClientDataSet::stateChanged, this, &TDBText::refresh);
        m_fieldsConnection = connect(ds, &TClientDataSet::fieldsChanged, this, &TDBText::refresh);
    }
    refresh();
}

void TDBText::refresh()
{
    const TClientDataSet *ds = m_source ? m_source->DataSet() : nullptr;
    const TField *field = ds ? ds->FindField(m_fieldName) : nullptr;
    if (!field || !ds->Active() || ds->IsEmpty()) {
        setText(QString());
        return;
    }
    setText(field->DisplayText());
}
