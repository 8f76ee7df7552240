#include "ExportFile.h"

#include "OleDate.h"
#include "VexErrors.h"

#include <QIODevice>

namespace {
constexpr int ProgressEvery = 512;

QString numberText(double value)
{
    // Full precision, no grouping: what a Brazilian spreadsheet reads back
    // as the same number.
    QString text = QString::number(value, 'g', 15);
    text.replace(u'.', u',');
    return text;
}


// A text a spreadsheet would take for a formula is kept as text.
bool looksLikeFormula(const QString &text)
{
    return !text.isEmpty() && QStringView(u"=+-@").contains(text.front());
}

QString quoted(QString text)
{
    if (looksLikeFormula(text))
        text.prepend(u'\'');
    const bool needsQuotes = text.contains(u';') || text.contains(u'"')
        || text.contains(u'\n') || text.contains(u'\r') || text.startsWith(u' ')
        || text.endsWith(u' ');
    if (!needsQuotes)
        return text;
    text.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + text + u'"';
}

void writeLine(QIODevice &out, const QStringList &fields)
{
    const QByteArray line = (fields.join(u';') + QStringLiteral("\r\n")).toUtf8();
    if (out.write(line) != line.size())
        throw EVexError(QStringLiteral("Falha ao gravar: %1").arg(out.errorString()));
}
} // namespace

namespace ExportWriters {

QString csvField(const ExportCell &cell)
{
    switch (cell.kind) {
    case ExportCell::Kind::Text: return quoted(cell.text);
    case ExportCell::Kind::Number: return numberText(cell.number);
    case ExportCell::Kind::Date: return OleDate::toDisplayText(cell.number);
    case ExportCell::Kind::Count: return QString::number(qint64(cell.number));
    case ExportCell::Kind::Empty: break;
    }
    return {};
}

bool writeCsv(QIODevice &out, ExportSheet &sheet, const ExportProgress &progress)
{
    static const QByteArray Bom("\xEF\xBB\xBF");
    if (out.write(Bom) != Bom.size())
        throw EVexError(QStringLiteral("Falha ao gravar: %1").arg(out.errorString()));
    QStringList fields;
    for (const ExportColumn &column : sheet.columns())
        fields << quoted(column.title);
    writeLine(out, fields);
    QList<ExportCell> cells;
    qint64 done = 0;
    int parts = 0;
    do {
        const int rows = sheet.rowCount();
        const qint64 total = estimatedRows(done + rows, ++parts, sheet.partCount(), done + rows);
        for (int r = 0; r < rows; ++r, ++done) {
            if (progress && done % ProgressEvery == 0 && !progress(done, total))
                return false;
            sheet.readRow(r, cells);
            fields.clear();
            for (const ExportCell &cell : std::as_const(cells))
                fields << csvField(cell);
            writeLine(out, fields);
        }
    } while (sheet.nextPart());
    return !progress || progress(done, done);
}

} // namespace ExportWriters
