#pragma once

#include <QString>

// Numeric display formats ("#,##0.000", "0.00", "#,##0") with Brazilian
// separators: '.' groups thousands, ',' marks decimals.
namespace DisplayFormat {
QString formatFloat(const QString &format, double value);
// Unformatted number as a field shows it without a display format: up to 15
// significant digits, ',' for decimals, no grouping.
QString formatGeneral(double value);
} // namespace DisplayFormat
