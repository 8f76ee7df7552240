#include "BranchSummary.h"

#include "VexErrors.h"

#include <QLocale>

#include <cmath>

namespace {
constexpr const char *kCodeColumn = "CDFILSOLI";
constexpr const char *kNameColumn = "NMFILIAL";

int requiredColumn(const TDataPacket &packet, const char *name)
{
    const int at = packet.columnIndex(QLatin1String(name));
    if (at < 0) {
        throw EDataPacketError(
            QStringLiteral("Resumo das filiais sem a coluna %1.").arg(QLatin1String(name)));
    }
    return at;
}

// A count travels as a number; anything but a whole one from 0 up is a
// broken answer, never a figure to show.
qint64 countOf(const QVariant &value, const char *column)
{
    const double number = value.toDouble();
    if (value.isNull() || !std::isfinite(number) || number < 0 || number != std::floor(number)
        || number > 1e15) {
        throw EDataPacketError(QStringLiteral("Resumo das filiais com contagem inválida em %1.")
                                   .arg(QLatin1String(column)));
    }
    return qint64(number);
}

const char *segmentTitle(BarSegment::Kind kind)
{
    switch (kind) {
    case BarSegment::Equal: return "Igual";
    case BarSegment::Above: return "Maior";
    case BarSegment::Below: return "Menor";
    case BarSegment::WithoutOrder: break;
    }
    return "Sem pedido";
}

QString shareText(qint64 count, qint64 items)
{
    const QLocale locale(QLocale::Portuguese, QLocale::Brazil);
    const double share = items > 0 ? 100.0 * double(count) / double(items) : 0.0;
    return QStringLiteral("%1 (%2%)").arg(locale.toString(count), locale.toString(share, 'f', 1));
}
} // namespace

BranchCounts &BranchCounts::operator+=(const BranchCounts &other)
{
    for (size_t i = 0; i < values.size(); ++i)
        values[i] += other.values[i];
    return *this;
}

const std::array<CountColumn, BranchCounts::CountKinds> &countColumns()
{
    static const std::array<CountColumn, BranchCounts::CountKinds> columns{{
        {BranchCounts::Items, "QTITENS", "Itens", false},
        {BranchCounts::Consolidated, "QTCONSOL", "Consolidados", false},
        {BranchCounts::Ordered, "QTPEDIDO", "Com pedido", false},
        {BranchCounts::Above, "QTMAIOR", "Maior", false},
        {BranchCounts::Below, "QTMENOR", "Menor", false},
        {BranchCounts::Equal, "QTIGUAL", "Igual", false},
        {BranchCounts::OverdueWithoutOrder, "QTATRASOPED", "Sem pedido vencidas", true},
        {BranchCounts::OverdueShipping, "QTATRASOEMB", "Embarque vencido", true},
        {BranchCounts::NegativeStock, "QTESTNEG", "Estoque negativo", true},
    }};
    return columns;
}

BranchSummary BranchSummary::fromPacket(const TDataPacket &packet)
{
    const int code = requiredColumn(packet, kCodeColumn);
    const int name = requiredColumn(packet, kNameColumn);
    std::array<int, BranchCounts::CountKinds> at{};
    for (const CountColumn &column : countColumns())
        at[size_t(column.count)] = requiredColumn(packet, column.name);
    BranchSummary summary;
    for (const QVariantList &row : packet.rows) {
        BranchCounts counts;
        for (const CountColumn &column : countColumns()) {
            counts.values[size_t(column.count)] =
                countOf(row.value(at[size_t(column.count)]), column.name);
        }
        const QString branch = row.value(code).toString();
        if (!summary.m_counts.contains(branch))
            summary.m_codes << branch;
        summary.m_names.insert(branch, row.value(name).toString());
        summary.m_counts.insert(branch, counts);
    }
    return summary;
}

const BranchCounts *BranchSummary::find(const QString &code) const
{
    const auto it = m_counts.constFind(code);
    return it == m_counts.constEnd() ? nullptr : &it.value();
}

BranchCounts BranchSummary::total() const
{
    BranchCounts sum;
    for (const BranchCounts &counts : m_counts)
        sum += counts;
    return sum;
}

QList<BarSegment> BranchSummary::segments(const BranchCounts &counts)
{
    const qint64 items = counts[BranchCounts::Items];
    const auto share = [items](qint64 n) { return items > 0 ? double(n) / double(items) : 0.0; };
    QList<BarSegment> parts;
    const std::pair<BarSegment::Kind, qint64> order[] = {
        {BarSegment::Equal, counts[BranchCounts::Equal]},
        {BarSegment::Above, counts[BranchCounts::Above]},
        {BarSegment::Below, counts[BranchCounts::Below]},
        {BarSegment::WithoutOrder, counts.withoutOrder()},
    };
    for (const auto &[kind, n] : order)
        parts.append({kind, n, share(n)});
    return parts;
}

QString BranchSummary::hint(const BranchCounts &counts)
{
    const qint64 items = counts[BranchCounts::Items];
    QStringList lines{QStringLiteral("Itens: %1")
                          .arg(QLocale(QLocale::Portuguese, QLocale::Brazil).toString(items))};
    for (const BarSegment &part : segments(counts)) {
        lines << QStringLiteral("%1: %2").arg(QLatin1String(segmentTitle(part.kind)),
                                              shareText(part.count, items));
    }
    for (const CountColumn &column : countColumns()) {
        if (column.alert) {
            lines << QStringLiteral("%1: %2").arg(QString::fromUtf8(column.title),
                                                  shareText(counts[column.count], items));
        }
    }
    return lines.join(u'\n');
}
