#pragma once

#include <QList>
#include <QMetaObject>
#include <QWidget>

class TDataSource;
class QToolButton;

// First / prior / next / last over a data source's cursor.
class TDBNavigator : public QWidget
{
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget *parent = nullptr);
    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const { return m_source; }

    enum Button { nbFirst, nbPrior, nbNext, nbLast };
    QToolButton *button(int index) const;

private:
    void updateButtons();
    TDataSource *m_source = nullptr;
    QToolButton *m_buttons[4] = {};
    QList<QMetaObject::Connection> m_connections;
};
