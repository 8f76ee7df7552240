#pragma once

#include "ExportSheet.h"
#include "TDataPacket.h"

#include <functional>

// The rows of a data packet as they came, through chosen columns: numbers
// and dates typed by the packet's field types; a column may give words of
// its own instead (its codes as a screen shows them).
class PacketSheet final : public ExportSheet
{
public:
    // The text of a cell from its whole row; a null QString leaves it empty.
    using Words = std::function<QString(const QVariantList &row)>;
    struct Column
    {
        QString packetName;
        QString title;
        Words words;
        int widthChars = 0; // 0: from the field's size and the title
    };

    // Throws EVexError naming a column the packet lacks.
    PacketSheet(const QString &name, TDataPacket packet, const QList<Column> &columns);

    QString name() const override { return m_name; }
    QList<ExportColumn> columns() const override;
    int rowCount() const override { return int(m_packet.rows.size()); }
    void readRow(int index, QList<ExportCell> &cells) const override;

    // Position of a packet column, for a Words function to read its row.
    int indexOf(const QString &packetName) const { return m_packet.columnIndex(packetName); }

private:
    QString m_name;
    TDataPacket m_packet;
    QList<Column> m_columns;
    QList<int> m_positions;
};
