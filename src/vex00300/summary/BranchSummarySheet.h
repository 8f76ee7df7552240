#pragma once

#include "BranchSummary.h"

#include "data/ExportSheet.h"

// The sheet "Resumo": the counts of every branch and a total row.
class BranchSummarySheet final : public ExportSheet
{
public:
    explicit BranchSummarySheet(BranchSummary summary) : m_summary(std::move(summary)) {}

    QString name() const override { return QStringLiteral("Resumo"); }
    QList<ExportColumn> columns() const override;
    int rowCount() const override { return int(m_summary.codes().size()) + 1; }
    void readRow(int index, QList<ExportCell> &cells) const override;

private:
    BranchSummary m_summary;
};
