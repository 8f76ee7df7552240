#pragma once

#include <QString>
#include <QStringList>

class TClientDataSet;

// Finds a text in a data set's rows, as the base window's search command
// does. Matching is TextMatch's: case and accents do not count.
namespace RecordSearch {
enum class TSearchMode { smContains, smStartsWith };
enum class TSearchDirection { sdForward, sdBackward };

struct TSearchOptions
{
    QString fieldName;        // one field; "" searches fieldNames
    // The fields searched when fieldName is "": the columns a grid shows.
    // Empty: every field whose own flag is visible.
    QStringList fieldNames;
    TSearchMode mode = TSearchMode::smContains;
    TSearchDirection direction = TSearchDirection::sdForward;
};

// The first row after startRow (wrapping round to the rows before it, then
// startRow itself) where the display text of a visible field contains text.
// A field with an edit mask also matches its code as stored, without the
// mask's literals. -1 when none does, text is blank or the data set is closed.
int findRow(TClientDataSet *dataSet, const QString &text, int startRow);
// The same with fields, a mode and a direction; backwards the search goes
// to the rows before startRow first, wrapping round from the last row.
// An unknown field name throws EVexError.
int findRow(TClientDataSet *dataSet, const QString &text, int startRow,
            const TSearchOptions &options);
} // namespace RecordSearch
