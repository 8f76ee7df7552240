#pragma once

#include <QList>
#include <QString>

#include <functional>

// One cell of an export: a text, a number, a whole count, a date-time (OLE
// days) or none.
struct ExportCell
{
    enum class Kind { Empty, Text, Number, Date, Count };
    Kind kind = Kind::Empty;
    QString text;
    double number = 0;

    static ExportCell ofText(const QString &t) { return {Kind::Text, t, 0}; }
    static ExportCell ofNumber(double n) { return {Kind::Number, {}, n}; }
    static ExportCell ofDate(double oleDays) { return {Kind::Date, {}, oleDays}; }
    static ExportCell ofCount(qint64 n) { return {Kind::Count, {}, double(n)}; }
};

struct ExportColumn
{
    QString title;
    int widthChars = 10; // a sensible width for a spreadsheet column
};

// What an export writes: one named sheet of titled columns and rows, read
// one row at a time so a writer holds no more than a row.
class ExportSheet
{
public:
    virtual ~ExportSheet() = default;
    virtual QString name() const = 0;
    virtual QList<ExportColumn> columns() const = 0;
    virtual int rowCount() const = 0;
    // The cells of row `index`, in column order; may throw EVexError.
    virtual void readRow(int index, QList<ExportCell> &cells) const = 0;

    // A sheet may come in parts, one held at a time (a server call each):
    // rowCount() and readRow() are then of the current part, and nextPart()
    // drops it for the next one; false after the last. May throw EVexError.
    virtual bool nextPart() { return false; }
    // The parts in all, the current one included.
    virtual int partCount() const { return 1; }
};

// For progress over a sheet in parts: the rows of the parts seen so far,
// spread over all of them; never less than what is known to come.
inline qint64 estimatedRows(qint64 rowsSeen, int partsSeen, int parts, qint64 known)
{
    const qint64 spread = partsSeen > 0 ? rowsSeen * parts / partsSeen : rowsSeen;
    return spread > known ? spread : known;
}

// Told the rows written so far and the total, now and then; false stops the
// export (nothing is left written).
using ExportProgress = std::function<bool(qint64 done, qint64 total)>;
