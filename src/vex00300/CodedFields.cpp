#include "CodedFields.h"

#include "data/DisplayFormat.h"

namespace CodedFields {

QString itemConsolKey(const QString &raw)
{
    return raw == u"S" ? QStringLiteral("Gerou") : QStringLiteral("N_Gerou");
}

QString yesNoKey(const QString &raw)
{
    return raw == u"S" ? QStringLiteral("Sim") : QStringLiteral("Nao");
}

QString consolidatedKey(const QString &raw)
{
    return raw.isEmpty() ? QStringLiteral("Nao") : QStringLiteral("Sim");
}

QString deliveryModeKey(const QString &raw)
{
    return raw.isEmpty() ? QStringLiteral("E_D") : QStringLiteral("O_L");
}

QString settlementKey(const QString &raw)
{
    if (raw == u"3")
        return QStringLiteral("Baixa_M");
    if (raw == u"2")
        return QStringLiteral("Baixa_T");
    if (raw == u"1")
        return QStringLiteral("Baixa_P");
    return QStringLiteral("Aberto");
}

namespace {
long double asExtended(const QVariant &value)
{
    return value.isNull() ? 0.0L : static_cast<long double>(value.toDouble());
}
} // namespace

QuantityComparison compareQuantities(const QVariant &orderedQty, const QVariant &orderedFactor,
                                     const QVariant &requestedQty,
                                     const QVariant &requestedFactor)
{
    const long double ordered = asExtended(orderedQty) * asExtended(orderedFactor);
    const long double requested = asExtended(requestedQty) * asExtended(requestedFactor);
    if (ordered > requested)
        return QuantityComparison::Greater;
    if (ordered < requested)
        return QuantityComparison::Smaller;
    return QuantityComparison::Equal;
}

QString quantityHint(const QVariant &orderedQty, const QVariant &orderedFactor,
                     const QVariant &requestedQty, const QVariant &requestedFactor)
{
    const long double ordered = asExtended(orderedQty) * asExtended(orderedFactor);
    const long double requested = asExtended(requestedQty) * asExtended(requestedFactor);
    const QString format = QStringLiteral("#,##0.000");
    auto text = [&format](long double value) {
        return DisplayFormat::formatFloat(format, double(value));
    };
    return QStringLiteral("Pedido (unidade base): %1\nSolicitado (unidade base): %2\n"
                          "Diferença: %3")
        .arg(text(ordered), text(requested), text(ordered - requested));
}

} // namespace CodedFields
