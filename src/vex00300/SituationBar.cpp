#include "SituationBar.h"

#include "BranchSummary.h"

#include "controls/SystemColors.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QRect>

namespace {
constexpr int kMarkSize = 8;
constexpr int kMarkGap = 3;

QColor segmentColour(BarSegment::Kind kind)
{
    switch (kind) {
    case BarSegment::Equal: return SystemColors::clWindowText();
    case BarSegment::Above: return QColor(255, 0, 0);
    case BarSegment::Below: return QColor(0, 0, 255);
    case BarSegment::WithoutOrder: break;
    }
    return QColor(192, 192, 192);
}

struct AlertMark
{
    BranchCounts::Count count;
    QColor colour;
    const char *word;
};

const AlertMark kMarks[] = {
    {BranchCounts::OverdueWithoutOrder, QColor(230, 140, 0), "sem pedido vencidas"},
    {BranchCounts::OverdueShipping, QColor(160, 0, 170), "embarque vencido"},
    {BranchCounts::NegativeStock, QColor(150, 0, 0), "estoque negativo"},
};

const std::pair<BarSegment::Kind, const char *> kSegmentWords[] = {
    {BarSegment::Equal, "igual"},
    {BarSegment::Above, "maior"},
    {BarSegment::Below, "menor"},
    {BarSegment::WithoutOrder, "sem pedido"},
};
} // namespace

namespace SituationBar {

QLabel *swatch(const QColor &colour, QWidget *parent, bool round)
{
    auto *box = new QLabel(parent);
    box->setFixedSize(10, 10);
    box->setStyleSheet(QStringLiteral("background:%1; border:1px solid #808080;%2")
                           .arg(colour.name(), round ? QStringLiteral(" border-radius:5px;")
                                                     : QString()));
    return box;
}

QWidget *legend(QWidget *parent)
{
    auto *line = new QWidget(parent);
    line->setObjectName(QStringLiteral("panLegendaSituacao"));
    auto *row = new QHBoxLayout(line);
    row->setContentsMargins(6, 3, 6, 3);
    row->setSpacing(6);
    row->addWidget(new QLabel(QStringLiteral("Situação:"), line));
    const auto add = [&](const QColor &colour, const char *word, bool round) {
        row->addWidget(swatch(colour, line, round));
        row->addWidget(new QLabel(QString::fromUtf8(word), line));
        row->addSpacing(8);
    };
    for (const auto &[kind, word] : kSegmentWords)
        add(segmentColour(kind), word, false);
    for (const AlertMark &mark : kMarks)
        add(mark.colour, mark.word, true);
    row->addStretch(1);
    return line;
}

QColor alertBackground()
{
    return QColor(255, 226, 190);
}

QColor alertText()
{
    return QColor(150, 0, 0);
}

void paint(QPainter &painter, const QRect &rect, const BranchCounts &counts)
{
    const int marksWidth = int(std::size(kMarks)) * (kMarkSize + kMarkGap);
    const QRect bar = rect.adjusted(2, 2, -marksWidth - 2, -2);
    if (bar.width() <= 0 || bar.height() <= 0)
        return;
    painter.save();
    painter.setPen(Qt::NoPen);
    double start = 0;
    for (const BarSegment &part : BranchSummary::segments(counts)) {
        const int x0 = bar.left() + int(start * bar.width() + 0.5);
        start += part.share;
        const int x1 = bar.left() + int(start * bar.width() + 0.5);
        if (x1 > x0)
            painter.fillRect(QRect(x0, bar.top(), x1 - x0, bar.height()), segmentColour(part.kind));
    }
    painter.setPen(QColor(128, 128, 128));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(bar.adjusted(0, 0, -1, -1));
    int x = bar.right() + kMarkGap + 2;
    const int y = rect.center().y() - kMarkSize / 2;
    painter.setRenderHint(QPainter::Antialiasing);
    for (const AlertMark &mark : kMarks) {
        if (counts[mark.count] > 0) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(mark.colour);
            painter.drawEllipse(QRect(x, y, kMarkSize, kMarkSize));
        }
        x += kMarkSize + kMarkGap;
    }
    painter.restore();
}

} // namespace SituationBar
