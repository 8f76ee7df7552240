#pragma once

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QRect>
#include <QString>

// Drawing surface handed to cell-draw handlers: a brush for fills, a font
// with a colour for text.
class TCanvas final
{
public:
    explicit TCanvas(QPainter *painter) : m_painter(painter) {}

    struct TBrush { QColor Color; };
    struct TFont { QColor Color; QFont Font; };
    TBrush Brush;
    TFont Font;

    void FillRect(const QRect &rect);
    void TextOut(int x, int y, const QString &text); // y is the top of the text
    void DrawFocusRect(const QRect &rect);
    QPainter *painter() const { return m_painter; }

private:
    QPainter *m_painter;
};
