#include "TDataSource.h"

#include "TClientDataSet.h"

TDataSource::TDataSource(QObject *parent)
    : QObject(parent)
{
}

TClientDataSet *TDataSource::DataSet() const
{
    return m_dataSet;
}

TDataSetState TDataSource::State() const
{
    return m_dataSet ? m_dataSet->State() : TDataSetState::dsInactive;
}

void TDataSource::SetDataSet(TClientDataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    const TDataSetState before = State();
    if (m_dataSet) {
        m_dataSet->m_sources.removeAll(QPointer<TDataSource>(this));
        disconnect(m_connection);
    }
    m_dataSet = dataSet;
    if (dataSet) {
        dataSet->m_sources.append(QPointer<TDataSource>(this));
        m_connection = connect(dataSet, &QObject::destroyed, this, [this] {
            Q_EMIT dataSetChanged();
            Q_EMIT stateChanged(TDataSetState::dsInactive);
        });
    }
    Q_EMIT dataSetChanged();
    if (State() != before)
        dataSetStateChanged(State());
}

void TDataSource::dataSetStateChanged(TDataSetState state)
{
    if (OnStateChange)
        OnStateChange(this);
    Q_EMIT stateChanged(state);
}
