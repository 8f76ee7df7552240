#pragma once

#include "BatchInserter.h"
#include "DemoCatalog.h"
#include "DemoData.h"
#include "DemoRandom.h"

#include <QHash>
#include <QMap>
#include <QSet>

#include <memory>

namespace VexDb {

// Produces the demo rows week by week and streams them into the tables, so
// memory stays flat whatever the scale.
class DemoGenerator final
{
public:
    DemoGenerator(QSqlDatabase &db, const DemoOptions &options);
    ~DemoGenerator();

    bool run(const DemoData::Progress &progress, QString *error);
    DemoCounts counts() const;

private:
    struct Request
    {
        int branch = 0;
        QString number;
        QDate date;
        QDate delivery;
        QString op;        // empty: direct delivery
        bool approved = false;
    };
    struct Run
    {
        QString code;
        QString consolidatedRequest;
        QString order;
    };

    bool writeBranches();
    bool writeProducts();
    bool writeWeek(const QDate &weekStart);
    bool writeConsolidations(const QDate &weekStart);
    bool writeRequest(const QDate &weekStart, int branch, int items);
    bool writeItem(const Request &req, int item, const QDate &weekStart);
    bool writeOrder(const Request &req, const Run &run, int stockItem, int quantity, int factor);
    bool writeOrderLine(const Request &req, const Run &run, int stockItem, const QString &brand,
                        int quantity, int factor);
    bool writeStock();
    const Run *takeRun(const Request &req, int stockItem, const QDate &weekStart);
    QString runCode(int op, const QDate &weekStart, int run) const;
    int siblingOf(int item);
    QString nextNumber(qint64 *counter) const;
    bool failed(BatchInserter &inserter);

    QSqlDatabase &m_db;
    DemoOptions m_options;
    DemoCatalog m_catalog;
    DemoRandom m_rng;
    QStringList m_operators;
    QList<int> m_requesting;          // catalog branch indexes
    QHash<int, QList<int>> m_siblings; // subgroup -> item indexes
    int m_runsPerWeek = 1;
    QDate m_firstWeek;
    int m_weeks = 0;
    qint64 m_itemsTarget = 0;
    qint64 m_requestSeq = 0;
    qint64 m_consolidatedSeq = 0;
    qint64 m_orderSeq = 0;
    // Per week: (run, branch, stock product) taken, and the runs' numbers.
    QSet<quint64> m_taken;
    QHash<quint64, Run> m_runs;
    // operator|product|brand -> base units reserved by open order lines.
    QMap<QString, double> m_reserved;
    QString m_error;

    std::unique_ptr<BatchInserter> m_filial, m_produto, m_consolol, m_solicmp, m_pedidool,
        m_estoqueol;
};

} // namespace VexDb
