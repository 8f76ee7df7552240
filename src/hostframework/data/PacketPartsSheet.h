#pragma once

#include "PacketSheet.h"

#include <functional>
#include <memory>

// A sheet of data packets that come one after another (a server call
// each), only one of them held at a time: what a whole filtering needs,
// whose single reply could hold the host's memory many times over.
class PacketPartsSheet final : public ExportSheet
{
public:
    using Load = std::function<TDataPacket(int part)>;
    using Columns = std::function<QList<PacketSheet::Column>(const TDataPacket &)>;

    // Loads the first part at once; `parts` must be at least 1. The header
    // is the first part's. Throws EVexError as `load` and PacketSheet do.
    PacketPartsSheet(const QString &name, int parts, Load load, Columns columns);

    QString name() const override { return m_name; }
    QList<ExportColumn> columns() const override { return m_header; }
    int rowCount() const override { return m_part->rowCount(); }
    void readRow(int index, QList<ExportCell> &cells) const override;
    bool nextPart() override;
    int partCount() const override { return m_parts; }

private:
    void loadPart(int part);

    QString m_name;
    int m_parts;
    int m_current = 0;
    Load m_load;
    Columns m_columns;
    std::unique_ptr<PacketSheet> m_part;
    QList<ExportColumn> m_header;
};
