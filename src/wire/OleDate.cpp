#include "OleDate.h"

#include <cmath>

namespace {

constexpr qint64 kMsecsPerDay = 86400000;
// Day counts of 0100-01-01 and 9999-12-31, the range an OLE date covers.
constexpr double kMinDays = -657434.0;
constexpr double kMaxDays = 2958465.0;

QDate epoch()
{
    return QDate(1899, 12, 30);
}

// Splits an OLE day count into its day and time of day. The fraction is the
// time of day whatever the sign: -1.25 is 1899-12-29 06:00.
bool split(double oleDays, QDate *date, QTime *time)
{
    if (!std::isfinite(oleDays) || oleDays < kMinDays - 1 || oleDays >= kMaxDays + 1)
        return false;
    const double whole = std::trunc(oleDays);
    qint64 msecs = std::llround(std::fabs(oleDays - whole) * kMsecsPerDay);
    qint64 day = qint64(whole);
    if (msecs >= kMsecsPerDay) { // rounding carried into the next day
        msecs -= kMsecsPerDay;
        ++day;
    }
    *date = epoch().addDays(day);
    *time = QTime::fromMSecsSinceStartOfDay(int(msecs));
    return date->isValid();
}

} // namespace

namespace OleDate {

double fromDate(const QDate &date)
{
    return date.isValid() ? double(epoch().daysTo(date)) : 0.0;
}

double fromDateTime(const QDateTime &dateTime)
{
    if (!dateTime.isValid())
        return 0.0;
    const double days = fromDate(dateTime.date());
    const double fraction = double(dateTime.time().msecsSinceStartOfDay()) / kMsecsPerDay;
    return days < 0 ? days - fraction : days + fraction;
}

QDate toDate(double oleDays)
{
    QDate date;
    QTime time;
    if (!std::isfinite(oleDays) || !split(std::trunc(oleDays), &date, &time))
        return {};
    return date;
}

QDateTime toDateTime(double oleDays)
{
    QDate date;
    QTime time;
    if (!split(oleDays, &date, &time))
        return {};
    return QDateTime(date, time);
}

QString toDisplayText(double oleDays)
{
    QDate date;
    QTime time;
    if (!split(oleDays, &date, &time))
        return {};
    QString text = date.toString(QStringLiteral("dd/MM/yyyy"));
    if (time.msecsSinceStartOfDay() != 0)
        text += time.toString(QStringLiteral(" hh:mm:ss"));
    return text;
}

} // namespace OleDate
