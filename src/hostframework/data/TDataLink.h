#pragma once

#include "TDataSource.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>

class TClientDataSet;

// What a data-aware control follows: a data source and, through it, its data
// set. The connections live here, in one place, so that swapping the source
// or the data set, or either dying first, never leaves a control on a stale
// pointer. The owner's callbacks run synchronously; a failing one is logged,
// because they run inside whatever loaded or moved the data set.
class TDataLink final : public QObject
{
    Q_OBJECT
public:
    explicit TDataLink(QObject *parent = nullptr);
    ~TDataLink() override;

    TDataSource *DataSource() const { return m_source; }
    void SetDataSource(TDataSource *source);
    TClientDataSet *DataSet() const; // null without a source or a data set
    bool Active() const;             // the data set is open

    // Rows replaced, state changed, or the source or its data set changed.
    std::function<void()> OnDataChanged;
    // The current row moved.
    std::function<void()> OnRecordChanged;
    // A field's label, format or mask changed.
    std::function<void()> OnLayoutChanged;

private:
    void attachDataSet();
    void detachDataSet();
    void notify(const std::function<void()> &callback) const;

    QPointer<TDataSource> m_source;
    QMetaObject::Connection m_sourceConnections[2];
    QMetaObject::Connection m_dataSetConnections[4];
};
