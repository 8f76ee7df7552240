#pragma once

#include <QLabel>
#include <QString>

class TDataLink;
class TDataSource;

// "16 filiais", "1.052 solicitações": how many rows a data source's data set
// holds, in the noun the screen gives; empty while the data set is closed.
class TDBRowCount : public QLabel
{
    Q_OBJECT
public:
    explicit TDBRowCount(QWidget *parent = nullptr);
    ~TDBRowCount() override;

    void SetDataSource(TDataSource *source);
    void SetNouns(const QString &singular, const QString &plural);
    static QString CountText(int count, const QString &singular, const QString &plural);

private:
    void refresh();

    TDataLink *m_link;
    QString m_singular;
    QString m_plural;
};
