#include "PacketPartsSheet.h"

PacketPartsSheet::PacketPartsSheet(const QString &name, int parts, Load load, Columns columns)
    : m_name(name), m_parts(std::max(parts, 1)), m_load(std::move(load)),
      m_columns(std::move(columns))
{
    loadPart(0);
    m_header = m_part->columns();
}

void PacketPartsSheet::readRow(int index, QList<ExportCell> &cells) const
{
    m_part->readRow(index, cells);
}

bool PacketPartsSheet::nextPart()
{
    if (m_current + 1 >= m_parts)
        return false;
    loadPart(m_current + 1);
    return true;
}

void PacketPartsSheet::loadPart(int part)
{
    m_part.reset(); // the last part's rows go before the next one's come
    TDataPacket packet = m_load(part);
    const QList<PacketSheet::Column> columns = m_columns(packet);
    m_part = std::make_unique<PacketSheet>(m_name, std::move(packet), columns);
    m_current = part;
}
