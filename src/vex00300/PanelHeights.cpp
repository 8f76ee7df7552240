#include "PanelHeights.h"

#include <QtGlobal>

namespace PanelHeights {

namespace {
// Nearest first; at an equal distance, the panel below goes first.
QList<int> othersByDistance(int index, int count)
{
    QList<int> others;
    for (int distance = 1; distance < count; ++distance) {
        if (index + distance < count)
            others << index + distance;
        if (index - distance >= 0)
            others << index - distance;
    }
    return others;
}
} // namespace

QList<int> moveBoundary(QList<int> heights, int index, int delta, int minimum)
{
    const int count = int(heights.size());
    if (index < 0 || index >= count || count < 2 || delta == 0)
        return heights;
    const QList<int> others = othersByDistance(index, count);
    if (delta > 0) {
        int wanted = delta;
        for (const int other : others) {
            const int given = qMin(wanted, qMax(0, heights[other] - minimum));
            heights[other] -= given;
            heights[index] += given;
            wanted -= given;
        }
    } else {
        const int given = qMin(-delta, qMax(0, heights[index] - minimum));
        heights[index] -= given;
        heights[others.first()] += given;
    }
    return heights;
}

} // namespace PanelHeights
