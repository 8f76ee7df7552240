#pragma once

#include <QDate>
#include <QDateTime>

// Date-times travel and are stored in memory as OLE Automation day counts:
// whole part days since 1899-12-30, fraction the time of day.
namespace OleDate {
double fromDate(const QDate &date);
double fromDateTime(const QDateTime &dateTime);
QDate toDate(double oleDays);          // whole day (fraction dropped)
QDateTime toDateTime(double oleDays);  // local, millisecond precision
// Platform default rendering: "dd/MM/yyyy", plus " hh:mm:ss" when the time
// of day is not midnight.
QString toDisplayText(double oleDays);
} // namespace OleDate
