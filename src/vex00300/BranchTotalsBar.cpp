#include "BranchTotalsBar.h"

#include "controls/TDBGrid.h"

#include <QHeaderView>
#include <QPainter>
#include <QScrollBar>

namespace {
constexpr int kMargin = 2;
} // namespace

BranchTotalsBar::BranchTotalsBar(TDBGrid *grid, QWidget *parent)
    : QWidget(parent), m_grid(grid)
{
    setObjectName(QStringLiteral("panTotais"));
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
    setFixedHeight(fontMetrics().height() + 2 * kMargin + 2);
    QHeaderView *header = grid->horizontalHeader();
    const auto repaint = [this] { update(); };
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(grid->horizontalScrollBar(), &QScrollBar::valueChanged, this, repaint);
    connect(grid, &TDBGrid::layoutChanged, this, repaint);
}

void BranchTotalsBar::setTotals(const QString &title, const QHash<QString, QString> &texts)
{
    m_title = title;
    m_texts = texts;
    update();
}

void BranchTotalsBar::setNote(const QString &note)
{
    m_note = note;
    setToolTip(note);
    update();
}

void BranchTotalsBar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawLine(0, 0, width(), 0);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect inner = rect().adjusted(kMargin, 1, -kMargin, 0);
    if (!m_note.isEmpty()) {
        painter.drawText(inner, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(m_note, Qt::ElideRight, inner.width()));
        return;
    }
    const QHeaderView *header = m_grid->horizontalHeader();
    // A sibling, not an ancestor: compare both on the screen.
    const int left = m_grid->viewport()->mapToGlobal(QPoint(0, 0)).x() - mapToGlobal(QPoint()).x();
    bool first = true;
    for (TColumn *column : m_grid->VisibleColumns()) {
        const int logical = int(m_grid->Columns().indexOf(column));
        const QRect cell(left + header->sectionViewportPosition(logical), 1,
                         header->sectionSize(logical), height() - 1);
        const QRect text = cell.adjusted(kMargin, 0, -kMargin, 0);
        if (first && !m_title.isEmpty())
            painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, m_title);
        first = false;
        if (OnPaintCell)
            OnPaintCell(painter, column->FieldName, cell.adjusted(0, 2, 0, -2));
        const QString total = m_texts.value(column->FieldName);
        if (!total.isEmpty())
            painter.drawText(text, Qt::AlignRight | Qt::AlignVCenter, total);
    }
}
