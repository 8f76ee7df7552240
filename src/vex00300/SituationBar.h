#pragma once

#include <QColor>

class QPainter;
class QRect;
struct BranchCounts;

// The picture of a branch's items: one bar of equal, greater, smaller and
// without an order, in the colours of the quantity legend, and a mark for
// each alert that is not zero.
namespace SituationBar {
void paint(QPainter &painter, const QRect &rect, const BranchCounts &counts);
// Where an alert count above zero stands out.
QColor alertBackground();
QColor alertText();
} // namespace SituationBar
