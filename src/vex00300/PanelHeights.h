#pragma once

#include <QList>

// The panels of a page stacked one over the other share the page's height:
// each keeps a weight (its height when the user last set it), and the page
// gives each its share. A bar between panels moves their boundary; the
// total stays, so the bar follows the mouse. Widget-free.
namespace PanelHeights {
// Panel `index` grows by delta (or shrinks, when negative). Growing takes
// from the other panels, nearest first, none going under minimum;
// shrinking, never under minimum, gives to the nearest one.
QList<int> moveBoundary(QList<int> heights, int index, int delta, int minimum);
} // namespace PanelHeights
