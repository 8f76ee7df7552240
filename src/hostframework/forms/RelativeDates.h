#pragma once

#include <QString>

#include <optional>

// Dates of a filter's options kept as days from the day the options are
// used ("de hoje −7 a hoje +30"). A date control so kept has, beside its
// date of the day it was saved (what older programs read), an entry
// "<control>.hoje=<days>".
namespace RelativeDates {
QString entryName(const QString &control);
bool isEntryName(const QString &name);
QString controlOf(const QString &entryName);
// The days a value holds; none for what is not a whole number of at most
// a century either way.
std::optional<int> days(const QString &value);
QString dayText(int days);             // "hoje", "hoje +30", "hoje −7"
QString spanText(int first, int last); // "de hoje −7 a hoje +30"
} // namespace RelativeDates
