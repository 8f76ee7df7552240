#include "TCanvas.h"

#include <QFontMetrics>
#include <QStyleOptionFocusRect>

void TCanvas::FillRect(const QRect &rect)
{
    m_painter->fillRect(rect, Brush.Color);
}

void TCanvas::TextOut(int x, int y, const QString &text)
{
    m_painter->save();
    m_painter->setFont(Font.Font);
    m_painter->setPen(Font.Color);
    const QFontMetrics metrics(Font.Font, m_painter->device());
    m_painter->drawText(QPoint(x, y + metrics.ascent()), text);
    m_painter->restore();
}

void TCanvas::DrawFocusRect(const QRect &rect)
{
    // A dotted frame in the inverse of the fill, as a focus rectangle is.
    m_painter->save();
    QColor inverse = Brush.Color.isValid() ? Brush.Color : QColor(Qt::white);
    inverse.setRgb(255 - inverse.red(), 255 - inverse.green(), 255 - inverse.blue());
    QPen pen(inverse, 1, Qt::DotLine);
    m_painter->setPen(pen);
    m_painter->setBrush(Qt::NoBrush);
    m_painter->drawRect(rect.adjusted(0, 0, -1, -1));
    m_painter->restore();
}
