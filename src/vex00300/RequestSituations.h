#pragma once

#include "RequestSituation.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

class TDataPacket;

// The situations of the requests of one branch on a reference day, by
// request key, as GetSituacaoSoli sends them (bits of ItemSituation), and
// what the request page shows and filters of them. Widget-free.
class RequestSituations final
{
public:
    // The quick filter's choices, in RequestSituation's order.
    static QStringList filterTitles();
    // "Igual, Embarque vencido": the order state ("Sem pedido", "Maior",
    // "Menor", "Igual"; "Sem pedido vencida" when also overdue), then the
    // other alerts that apply.
    static QString text(int bits);
    static bool matches(int bits, RequestSituation situation);

    // Replaces the situations; throws EDataPacketError for a packet without
    // the key or situation columns.
    void load(const TDataPacket &packet);
    void clear() { m_bits.clear(); }
    std::optional<int> bits(const QString &nrSoliCmp, const QString &cdProduto) const;
    int count(RequestSituation situation) const;

private:
    QHash<QString, int> m_bits; // NRSOLICMP '\n' CDPRODUTO
};
