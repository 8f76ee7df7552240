#pragma once

#include "BranchSummary.h"

#include <QColor>

class QLabel;
class QPainter;
class QRect;
class QWidget;

// The picture of a branch's items: one bar of equal, greater, smaller and
// without an order, in the colours of the quantity legend, and a mark for
// each alert that is not zero.
namespace SituationBar {
void paint(QPainter &painter, const QRect &rect, const BranchCounts &counts);
// What the bar and its marks mean, in a line of small swatches.
QWidget *legend(QWidget *parent);
// A colour sample for a legend.
QLabel *swatch(const QColor &colour, QWidget *parent, bool round = false);
// Where an alert count above zero stands out.
QColor alertBackground();
QColor alertText();
} // namespace SituationBar
