#include "TDBText.h"

#include "data/TClientDataSet.h"
#include "data/TDataLink.h"
#include "data/TField.h"

TDBText::TDBText(QWidget *parent) : QLabel(parent), m_link(new TDataLink(this))
{
    setTextFormat(Qt::PlainText);
    m_link->OnDataChanged = [this] { refresh(); };
    m_link->OnRecordChanged = [this] { refresh(); };
    m_link->OnLayoutChanged = [this] { refresh(); };
}

TDBText::~TDBText()
{
    delete m_link;
}

void TDBText::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
}

TDataSource *TDBText::DataSource() const
{
    return m_link->DataSource();
}

void TDBText::SetDataField(const QString &fieldName)
{
    m_fieldName = fieldName;
    refresh();
}

void TDBText::refresh()
{
    const TClientDataSet *ds = m_link->DataSet();
    const TField *field = ds ? ds->FindField(m_fieldName) : nullptr;
    if (!field || !ds->Active() || ds->IsEmpty()) {
        setText(QString());
        return;
    }
    setText(field->ViewText());
}
