#include "BranchSummarySheet.h"

QList<ExportColumn> BranchSummarySheet::columns() const
{
    QList<ExportColumn> list{{QStringLiteral("Filial Solicitante"), 10},
                             {QStringLiteral("Nome"), 30}};
    for (const CountColumn &column : countColumns())
        list.append({QString::fromUtf8(column.title), 12});
    return list;
}

void BranchSummarySheet::readRow(int index, QList<ExportCell> &cells) const
{
    const QStringList codes = m_summary.codes();
    const bool totalRow = index >= codes.size();
    BranchCounts counts;
    if (totalRow) {
        counts = m_summary.total();
        cells = {ExportCell::ofText(QStringLiteral("Total")), ExportCell()};
    } else {
        const QString code = codes.at(index);
        counts = *m_summary.find(code);
        cells = {ExportCell::ofText(code), ExportCell::ofText(m_summary.name(code))};
    }
    for (const CountColumn &column : countColumns())
        cells << ExportCell::ofCount(counts[column.count]);
}
