#pragma once

#include <QString>
#include <QStringList>

// A screen's saved filter options: one "name=value" line each, UTF-8, in the
// user's configuration folder. Values are escaped so a line stays a line.
namespace OptionsFile {
// <AppConfigLocation>/<screenCode>.opc; throws EVexError for a code that is
// empty or not made of letters, digits, '_' and '-'.
QString pathFor(const QString &screenCode);

// Throws EVexError naming the file and the reason (missing, unreadable, not
// UTF-8, a line without '='); nothing is returned half read.
QStringList read(const QString &path);
// Writes through a temporary file renamed over the old one: a failure leaves
// the previous file as it was. Throws EVexError naming the file and reason.
void write(const QString &path, const QStringList &lines);

// name=value lines helpers; names are matched exactly.
QString value(const QStringList &lines, const QString &name, bool *found = nullptr);
void setValue(QStringList &lines, const QString &name, const QString &value);
} // namespace OptionsFile
