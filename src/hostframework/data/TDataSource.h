#pragma once

#include "TDataSetState.h"

#include <QObject>
#include <QPointer>

#include <functional>

class TClientDataSet;

// Links a data set to views; reports the data set's state changes.
class TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr);

    TClientDataSet *DataSet() const;
    void SetDataSet(TClientDataSet *dataSet);
    TDataSetState State() const; // dsInactive without a data set

    // Runs synchronously on every state change of the data set.
    std::function<void(TDataSource *sender)> OnStateChange;

Q_SIGNALS:
    void stateChanged(TDataSetState state);
    void dataSetChanged();

private:
    friend class TClientDataSet;
    void dataSetStateChanged(TDataSetState state);

    QPointer<TClientDataSet> m_dataSet;
    QMetaObject::Connection m_connection;
};
