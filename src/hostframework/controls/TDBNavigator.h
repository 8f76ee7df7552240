#pragma once

#include <QWidget>

class TDataLink;
class TDataSource;
class QToolButton;

// First / prior / next / last over a data source's cursor.
class TDBNavigator : public QWidget
{
    Q_OBJECT
public:
    explicit TDBNavigator(QWidget *parent = nullptr);
    ~TDBNavigator() override;
    void SetDataSource(TDataSource *source);
    TDataSource *DataSource() const;

    enum Button { nbFirst, nbPrior, nbNext, nbLast };
    QToolButton *button(int index) const;

private:
    void updateButtons();
    TDataLink *m_link;
    QToolButton *m_buttons[4] = {};
};
