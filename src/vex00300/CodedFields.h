#pragma once

#include <QString>
#include <QVariant>

// Rules that turn the coded columns of the tracking window into words, and
// the comparison behind the colouring of the ordered quantity. Widget-free.
// Each rule returns the message-table key whose text is shown; codes compare
// as whole, case-sensitive strings.
namespace CodedFields {

QString itemConsolKey(const QString &raw);     // IDITMCONS: "S" -> Gerou
QString yesNoKey(const QString &raw);          // IDSOLIAPROV, IDPEDIDOOL: "S" -> Sim
QString consolidatedKey(const QString &raw);   // NRSEQUCONSOL: non-empty -> Sim
QString deliveryModeKey(const QString &raw);   // CDFILIOPELOG: non-empty -> O_L
QString settlementKey(const QString &raw);     // IDBAIXENPEOL, IDBAIXAOLSAI

enum class QuantityComparison { Smaller, Equal, Greater };

// Ordered quantity x factor against requested quantity x factor, formed in
// extended precision and compared exactly; a null value counts as zero.
QuantityComparison compareQuantities(const QVariant &orderedQty, const QVariant &orderedFactor,
                                     const QVariant &requestedQty,
                                     const QVariant &requestedFactor);

// The quantity cell's tooltip: both quantities in base units and their
// difference (ordered minus requested), in the grid's "#,##0.000", on three
// lines; the same products as the colouring.
QString quantityHint(const QVariant &orderedQty, const QVariant &orderedFactor,
                     const QVariant &requestedQty, const QVariant &requestedFactor);

} // namespace CodedFields
