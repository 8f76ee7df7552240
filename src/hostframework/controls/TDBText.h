#pragma once

#include <QLabel>
#include <QString>

class TDataLink;
class TDataSource;

// Label showing one field's display text of its data source's current row;
// empty while the data set is closed or empty.
class TDBText : public QLabel
{
    Q_OBJECT
public:
    explicit TDBText(QWidget *parent = nullptr);
    ~TDBText() override;

    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const;
    void SetDataField(const QString &fieldName);
    QString DataField() const { return m_fieldName; }

    void refresh();

private:
    TDataLink *m_link;
    QString m_fieldName;
};
