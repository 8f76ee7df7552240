#include "RelativeDates.h"

namespace RelativeDates {

namespace {
const QLatin1String kSuffix(".hoje");
constexpr int kMaxDays = 36525;
} // namespace

QString entryName(const QString &control)
{
    return control + kSuffix;
}

bool isEntryName(const QString &name)
{
    return name.endsWith(kSuffix) && name.size() > kSuffix.size();
}

QString controlOf(const QString &entryName)
{
    return isEntryName(entryName) ? entryName.chopped(kSuffix.size()) : QString();
}

std::optional<int> days(const QString &value)
{
    bool ok = false;
    const int n = value.trimmed().toInt(&ok);
    if (!ok || n < -kMaxDays || n > kMaxDays)
        return std::nullopt;
    return n;
}

QString dayText(int days)
{
    if (days == 0)
        return QStringLiteral("hoje");
    // A true minus sign, as the sum reads on paper.
    return QStringLiteral("hoje %1%2").arg(days > 0 ? u'+' : QChar(0x2212)).arg(qAbs(days));
}

QString spanText(int first, int last)
{
    return QStringLiteral("de %1 a %2").arg(dayText(first), dayText(last));
}

} // namespace RelativeDates
