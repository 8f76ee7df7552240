#include "TDBRowCount.h"

#include "data/TClientDataSet.h"
#include "data/TDataLink.h"

#include <QLocale>

TDBRowCount::TDBRowCount(QWidget *parent) : QLabel(parent), m_link(new TDataLink(this))
{
    setTextFormat(Qt::PlainText);
    m_link->OnDataChanged = [this] { refresh(); };
}

TDBRowCount::~TDBRowCount()
{
    delete m_link;
}

void TDBRowCount::SetDataSource(TDataSource *source)
{
    m_link->SetDataSource(source);
    refresh();
}

void TDBRowCount::SetNouns(const QString &singular, const QString &plural)
{
    m_singular = singular;
    m_plural = plural;
    refresh();
}

QString TDBRowCount::CountText(int count, const QString &singular, const QString &plural)
{
    const QString number = QLocale(QLocale::Portuguese, QLocale::Brazil).toString(count);
    return number + u' ' + (count == 1 ? singular : plural);
}

void TDBRowCount::refresh()
{
    const TClientDataSet *ds = m_link->DataSet();
    setText(ds && ds->Active() ? CountText(ds->RecordCount(), m_singular, m_plural) : QString());
}
