#include "TDataLink.h"

#include "TClientDataSet.h"
#include "TDataSource.h"

#include <QLoggingCategory>

#include <exception>

Q_LOGGING_CATEGORY(lcDataLink, "vex.data.link", QtInfoMsg)

TDataLink::TDataLink(QObject *parent) : QObject(parent)
{
}

TDataLink::~TDataLink()
{
    // The owner's callbacks capture the owner, which is being destroyed.
    OnDataChanged = nullptr;
    OnRecordChanged = nullptr;
    OnLayoutChanged = nullptr;
}

TClientDataSet *TDataLink::DataSet() const
{
    return m_source ? m_source->DataSet() : nullptr;
}

bool TDataLink::Active() const
{
    const TClientDataSet *ds = DataSet();
    return ds && ds->Active();
}

void TDataLink::SetDataSource(TDataSource *source)
{
    if (source == m_source)
        return;
    for (auto &connection : m_sourceConnections)
        disconnect(connection);
    m_source = source;
    if (m_source) {
        m_sourceConnections[0] = connect(m_source, &TDataSource::dataSetChanged, this,
                                         &TDataLink::attachDataSet);
        m_sourceConnections[1] = connect(m_source, &QObject::destroyed, this, [this] {
            // The QPointer is already null; only the data set is left to drop.
            detachDataSet();
            notify(OnDataChanged);
        });
    }
    attachDataSet();
}

void TDataLink::detachDataSet()
{
    for (auto &connection : m_dataSetConnections)
        disconnect(connection);
}

void TDataLink::attachDataSet()
{
    detachDataSet();
    if (TClientDataSet *ds = DataSet()) {
        auto changed = [this] { notify(OnDataChanged); };
        m_dataSetConnections[0] = connect(ds, &TClientDataSet::dataReset, this, changed);
        m_dataSetConnections[1] = connect(ds, &TClientDataSet::stateChanged, this, changed);
        m_dataSetConnections[2] = connect(ds, &TClientDataSet::currentRowChanged, this,
                                          [this] { notify(OnRecordChanged); });
        m_dataSetConnections[3] = connect(ds, &TClientDataSet::fieldsChanged, this,
                                          [this] { notify(OnLayoutChanged); });
    }
    notify(OnDataChanged);
}

void TDataLink::notify(const std::function<void()> &callback) const
{
    if (!callback)
        return;
    try {
        callback();
    } catch (const std::exception &e) {
        qCWarning(lcDataLink) << parent() << "data view update failed:" << e.what();
    } catch (...) {
        qCWarning(lcDataLink) << parent() << "data view update failed";
    }
}
