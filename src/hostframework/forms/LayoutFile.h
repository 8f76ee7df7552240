#pragma once

#include <QString>
#include <QStringList>

// A screen's layout for the user: grid columns, sort, splitters and window
// size, as "name=value" lines in <config>/layout/<screen>.ini, written
// atomically. A file that cannot be read is ignored with a warning: a layout
// is a comfort, never a reason for a screen not to open.
namespace LayoutFile {
QString pathFor(const QString &screenCode); // throws EVexError for a bad code
QStringList read(const QString &screenCode);
void write(const QString &screenCode, const QStringList &lines); // throws EVexError
} // namespace LayoutFile
