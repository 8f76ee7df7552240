#pragma once

#include <QString>
#include <QStringList>

// Named sets of a filter's options, per user and screen: one options file a
// set in <config>/options/<screen>/, and the one to apply when the dialog is
// created. The unnamed set is the screen's single options file of old
// (<config>/<screen>.opc), so options saved before named sets still load.
namespace OptionPresets {
// Throws EVexError for a bad screen code or a name with '/', '\\' or a line
// break, or longer than 60 characters.
QString pathFor(const QString &screenCode, const QString &name);
QStringList names(const QString &screenCode); // sorted, the unnamed set left out
void remove(const QString &screenCode, const QString &name);
QString defaultName(const QString &screenCode); // "" when none is marked
void setDefault(const QString &screenCode, const QString &name); // "" unmarks
} // namespace OptionPresets
