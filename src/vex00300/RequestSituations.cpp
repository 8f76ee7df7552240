#include "RequestSituations.h"

#include "ItemSituation.h"
#include "TDataPacket.h"
#include "VexErrors.h"

namespace {
QString key(const QString &nrSoliCmp, const QString &cdProduto)
{
    return nrSoliCmp + u'\n' + cdProduto;
}

int column(const TDataPacket &packet, const char *name)
{
    const int index = packet.columnIndex(QString::fromLatin1(name));
    if (index < 0)
        throw EDataPacketError(
            QStringLiteral("Coluna %1 ausente na situação das solicitações")
                .arg(QString::fromLatin1(name)));
    return index;
}
} // namespace

QStringList RequestSituations::filterTitles()
{
    return {QStringLiteral("Todas"),           QStringLiteral("Sem pedido vencidas"),
            QStringLiteral("Embarque vencido"), QStringLiteral("Estoque negativo"),
            QStringLiteral("Maior"),           QStringLiteral("Menor")};
}

QString RequestSituations::text(int bits)
{
    using namespace ItemSituation;
    QStringList parts;
    if (bits & DeliveryOverdue)
        parts << QStringLiteral("Sem pedido vencida");
    else if (!(bits & Ordered))
        parts << QStringLiteral("Sem pedido");
    else if (bits & OrderedGreater)
        parts << QStringLiteral("Maior");
    else if (bits & OrderedSmaller)
        parts << QStringLiteral("Menor");
    else
        parts << QStringLiteral("Igual");
    if (bits & ShippingOverdue)
        parts << QStringLiteral("Embarque vencido");
    if (bits & NegativeStock)
        parts << QStringLiteral("Estoque negativo");
    return parts.join(QStringLiteral(", "));
}

bool RequestSituations::matches(int bits, RequestSituation situation)
{
    using namespace ItemSituation;
    switch (situation) {
    case RequestSituation::All: return true;
    case RequestSituation::OverdueWithoutOrder: return bits & DeliveryOverdue;
    case RequestSituation::OverdueShipping: return bits & ShippingOverdue;
    case RequestSituation::NegativeStock: return bits & NegativeStock;
    case RequestSituation::Above: return bits & OrderedGreater;
    case RequestSituation::Below: return bits & OrderedSmaller;
    }
    return false;
}

void RequestSituations::load(const TDataPacket &packet)
{
    const int request = column(packet, "NRSOLICMP");
    const int product = column(packet, "CDPRODUTO");
    const int situation = column(packet, "IDSITUACAO");
    QHash<QString, int> bits;
    bits.reserve(packet.rows.size());
    for (const QVariantList &row : packet.rows) {
        bits.insert(key(row.value(request).toString(), row.value(product).toString()),
                    row.value(situation).toInt());
    }
    m_bits = std::move(bits);
}

std::optional<int> RequestSituations::bits(const QString &nrSoliCmp,
                                           const QString &cdProduto) const
{
    const auto it = m_bits.constFind(key(nrSoliCmp, cdProduto));
    if (it == m_bits.cend())
        return std::nullopt;
    return *it;
}

int RequestSituations::count(RequestSituation situation) const
{
    int n = 0;
    for (const int bits : m_bits)
        n += matches(bits, situation);
    return n;
}
