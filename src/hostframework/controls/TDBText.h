#pragma once

#include <QLabel>
#include <QString>

class TDataSource;

// Label showing one field's display text of its data source's current row;
// empty while the data set is closed or empty.
class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget *parent = nullptr);

    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }
    void SetDataField(const QString &fieldName);
    QString DataField() const { return m_fieldName; }

    void refresh();

private:
    TDataSource *m_source = nullptr;
    QString m_fieldName;
    QMetaObject::Connection m_connections[3];
    QMetaObject::Connection m_fieldsConnection;
    QMetaObject::Connection m_sourceConnection;

    void attachDataSet();
};
