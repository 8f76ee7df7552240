#pragma once

#include "ExportSheet.h"

#include <QList>
#include <QString>

class QIODevice;

enum class ExportFormat { Xlsx, Csv };

// Writes sheets to a spreadsheet file. The file is written beside the
// target under a temporary name and renamed over it only once complete, so
// a failure or a cancel leaves no half file and an existing file as it was.
namespace ExportFile {
// False when `progress` stopped it. Throws EVexError with a message fit to
// show (no permission, disk full, a row that could not be read, ...). CSV
// takes the first sheet.
bool write(const QString &path, ExportFormat format, const QList<ExportSheet *> &sheets,
           const ExportProgress &progress = {});

// "xlsx" / "csv", and back ("" or unknown text: XLSX).
QString formatName(ExportFormat format);
ExportFormat formatFromName(const QString &name);
} // namespace ExportFile

// The writers themselves, to an open path or device; used by ExportFile.
namespace ExportWriters {
// UTF-8 with BOM, ';' separators, decimal comma, dates dd/mm/yyyy, quoting
// per RFC 4180, CRLF line ends.
bool writeCsv(QIODevice &out, ExportSheet &sheet, const ExportProgress &progress);
// Constant-memory XLSX: bold frozen header with an autofilter, numbers
// "#,##0.000", dates "dd/mm/yyyy", one sheet each.
bool writeXlsx(const QString &path, const QList<ExportSheet *> &sheets,
               const ExportProgress &progress);
// One cell as CSV text, quoted when needed.
QString csvField(const ExportCell &cell);
} // namespace ExportWriters
