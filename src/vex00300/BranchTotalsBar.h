#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

#include <functional>

class TDBGrid;

// The line under the branch grid: each column's total under the column,
// following its width, order and scrolling; or a short note instead.
class BranchTotalsBar final : public QWidget
{
    Q_OBJECT
public:
    explicit BranchTotalsBar(TDBGrid *grid, QWidget *parent = nullptr);

    // Totals by column name; the title goes under the first column shown.
    void setTotals(const QString &title, const QHash<QString, QString> &texts);
    void setNote(const QString &note); // replaces the totals while not empty
    QString note() const { return m_note; }
    QString totalOf(const QString &column) const { return m_texts.value(column); }
    // Draws a column's own total (the bar of the situations) in its rect.
    std::function<void(QPainter &painter, const QString &column, const QRect &rect)> OnPaintCell;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    TDBGrid *m_grid;
    QString m_title;
    QHash<QString, QString> m_texts;
    QString m_note;
};
