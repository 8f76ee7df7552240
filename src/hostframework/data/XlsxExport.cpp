#include "ExportFile.h"

#include "VexErrors.h"

#include <QFileInfo>

#include <xlsxwriter.h>

#include <memory>

namespace {
constexpr int ProgressEvery = 512;
constexpr int MaxSheetName = 31;

struct WorkbookCloser
{
    void operator()(lxw_workbook *book) const
    {
        if (book)
            workbook_close(book);
    }
};
using Workbook = std::unique_ptr<lxw_workbook, WorkbookCloser>;

QString sheetName(const QString &name, int index)
{
    QString clean = name;
    for (const QChar c : QStringView(u"[]:*?/\\"))
        clean.replace(c, u'-');
    clean = clean.left(MaxSheetName).trimmed();
    return clean.isEmpty() ? QStringLiteral("Planilha %1").arg(index + 1) : clean;
}

void check(lxw_error error, const QString &what)
{
    if (error != LXW_NO_ERROR)
        throw EVexError(QStringLiteral("Falha ao gravar a planilha (%1): %2")
                            .arg(what, QString::fromUtf8(lxw_strerror(error))));
}

struct Formats
{
    lxw_format *header, *number, *date, *count;
};

Formats makeFormats(lxw_workbook *book)
{
    Formats f{workbook_add_format(book), workbook_add_format(book), workbook_add_format(book),
              workbook_add_format(book)};
    format_set_bold(f.header);
    format_set_num_format(f.number, "#,##0.000");
    format_set_num_format(f.date, "dd/mm/yyyy");
    format_set_num_format(f.count, "#,##0");
    return f;
}

lxw_worksheet *addSheet(lxw_workbook *book, const ExportSheet &sheet, int index,
                        const Formats &f)
{
    const QByteArray name = sheetName(sheet.name(), index).toUtf8();
    lxw_worksheet *ws = workbook_add_worksheet(book, name.constData());
    if (!ws)
        throw EVexError(QStringLiteral("Nome de planilha inválido: %1").arg(sheet.name()));
    const QList<ExportColumn> columns = sheet.columns();
    for (int c = 0; c < columns.size(); ++c) {
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c), columns.at(c).widthChars, nullptr);
        const QByteArray title = columns.at(c).title.toUtf8();
        check(worksheet_write_string(ws, 0, lxw_col_t(c), title.constData(), f.header),
              QStringLiteral("título"));
    }
    worksheet_freeze_panes(ws, 1, 0);
    return ws;
}

// Over every row written, known only at the end for a sheet in parts.
void addAutofilter(lxw_worksheet *ws, qint64 rows, int columns)
{
    if (columns > 0)
        worksheet_autofilter(ws, 0, 0, lxw_row_t(std::max<qint64>(rows, 1)),
                             lxw_col_t(columns - 1));
}

void writeCell(lxw_worksheet *ws, lxw_row_t row, lxw_col_t col, const ExportCell &cell,
               const Formats &f)
{
    lxw_error error = LXW_NO_ERROR;
    switch (cell.kind) {
    case ExportCell::Kind::Text: {
        const QByteArray text = cell.text.toUtf8();
        error = worksheet_write_string(ws, row, col, text.constData(), nullptr);
        break;
    }
    case ExportCell::Kind::Number:
        error = worksheet_write_number(ws, row, col, cell.number, f.number);
        break;
    case ExportCell::Kind::Count:
        error = worksheet_write_number(ws, row, col, cell.number, f.count);
        break;
    case ExportCell::Kind::Date:
        // OLE day counts are the spreadsheet's own date serials after 1900-02-28.
        error = worksheet_write_number(ws, row, col, cell.number, f.date);
        break;
    case ExportCell::Kind::Empty: break;
    }
    check(error, QStringLiteral("linha %1").arg(row));
}
} // namespace

namespace ExportWriters {

bool writeXlsx(const QString &path, const QList<ExportSheet *> &sheets,
               const ExportProgress &progress)
{
    // Constant memory: each row goes to a temporary file in the target's own
    // folder as it is written, so no sheet is ever held whole.
    const QByteArray tmpdir = QFileInfo(path).absolutePath().toUtf8();
    const QByteArray file = path.toUtf8();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char *>(tmpdir.constData());
    Workbook book(workbook_new_opt(file.constData(), &options));
    if (!book)
        throw EVexError(QStringLiteral("Não foi possível criar a planilha %1.").arg(path));
    const Formats formats = makeFormats(book.get());
    qint64 total = 0;
    for (const ExportSheet *sheet : sheets)
        total += estimatedRows(sheet->rowCount(), 1, sheet->partCount(), sheet->rowCount());
    qint64 done = 0;
    QList<ExportCell> cells;
    for (int s = 0; s < sheets.size(); ++s) {
        ExportSheet &sheet = *sheets.at(s);
        lxw_worksheet *ws = addSheet(book.get(), sheet, s, formats);
        qint64 written = 0; // of this sheet
        qint64 estimate = estimatedRows(sheet.rowCount(), 1, sheet.partCount(), 0);
        int parts = 0;
        do {
            const int rows = sheet.rowCount();
            if (parts++ > 0) { // a new part sharpens the estimate
                const qint64 sharper =
                    estimatedRows(written + rows, parts, sheet.partCount(), written + rows);
                total += sharper - estimate;
                estimate = sharper;
            }
            for (int r = 0; r < rows; ++r, ++done, ++written) {
                if (progress && done % ProgressEvery == 0 && !progress(done, total))
                    return false;
                sheet.readRow(r, cells);
                for (int c = 0; c < cells.size(); ++c)
                    writeCell(ws, lxw_row_t(written + 1), lxw_col_t(c), cells.at(c), formats);
            }
        } while (sheet.nextPart());
        addAutofilter(ws, written, int(sheet.columns().size()));
    }
    total = done;
    check(workbook_close(book.release()), QStringLiteral("fechamento"));
    return !progress || progress(total, total);
}

} // namespace ExportWriters
