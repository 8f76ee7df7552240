#pragma once

#include <QString>

class TClientDataSet;

// Finds a text in a data set's rows, as the base window's search command does.
namespace RecordSearch {
// The first row after startRow (wrapping round to the rows before it, then
// startRow itself) where the display text of a visible field contains text,
// ignoring case. -1 when none does, text is blank or the data set is closed.
int findRow(TClientDataSet *dataSet, const QString &text, int startRow);
} // namespace RecordSearch
