#include "PacketSheet.h"

#include "VexErrors.h"

#include <algorithm>

PacketSheet::PacketSheet(const QString &name, TDataPacket packet, const QList<Column> &columns)
    : m_name(name), m_packet(std::move(packet)), m_columns(columns)
{
    for (const Column &c : m_columns) {
        const int position = m_packet.columnIndex(c.packetName);
        if (position < 0)
            throw EVexError(QStringLiteral("A resposta do servidor não tem a coluna %1.")
                                .arg(c.packetName));
        m_positions << position;
    }
}

QList<ExportColumn> PacketSheet::columns() const
{
    QList<ExportColumn> columns;
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const Column &c = m_columns.at(i);
        const TPacketField &field = m_packet.fields.at(m_positions.at(i));
        int width = c.widthChars;
        if (width <= 0) {
            const int content = field.type == TFieldType::ftString ? field.size : 12;
            width = std::clamp(std::max<int>(content, int(c.title.size())) + 2, 6, 50);
        }
        columns.append({c.title, width});
    }
    return columns;
}

void PacketSheet::readRow(int index, QList<ExportCell> &cells) const
{
    const QVariantList &row = m_packet.rows.at(index);
    cells.clear();
    for (qsizetype i = 0; i < m_columns.size(); ++i) {
        const int position = m_positions.at(i);
        if (const Words &words = m_columns.at(i).words) {
            const QString text = words(row);
            cells.append(text.isNull() ? ExportCell{} : ExportCell::ofText(text));
            continue;
        }
        const QVariant &value = row.at(position);
        if (value.isNull()) {
            cells.append(ExportCell{});
            continue;
        }
        switch (m_packet.fields.at(position).type) {
        case TFieldType::ftFloat:
        case TFieldType::ftInteger: cells.append(ExportCell::ofNumber(value.toDouble())); break;
        case TFieldType::ftDateTime: cells.append(ExportCell::ofDate(value.toDouble())); break;
        default: cells.append(ExportCell::ofText(value.toString()));
        }
    }
}
