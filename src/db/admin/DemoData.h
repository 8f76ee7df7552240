#pragma once

#include <QDate>
#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace VexDb {

struct DemoOptions
{
    double scale = 1.0;   // 1 is about 20,000 request items
    quint32 seed = 1;
    QDate today;          // invalid: the current date
    bool replace = false; // clear existing rows instead of refusing
};

struct DemoCounts
{
    qint64 branches = 0;
    qint64 products = 0;
    qint64 consolidations = 0;
    qint64 requestItems = 0;
    qint64 orderLines = 0;
    qint64 stockRows = 0;
};

// Writes the deterministic demo company: the same seed, scale and day give
// the same rows. The schema is brought up to date first; the rows go in
// one transaction, so a failure leaves the tables as they were.
class DemoData final
{
public:
    using Progress = std::function<void(qint64 itemsDone, qint64 itemsTotal)>;

    static constexpr double kMinScale = 0.001;
    static constexpr double kMaxScale = 200.0;

    static bool write(QSqlDatabase &db, const DemoOptions &options, const Progress &progress,
                      DemoCounts *counts, QString *error);

    // Whether every demo table is empty; false with *error on failure.
    static bool isEmpty(QSqlDatabase &db, bool *empty, QString *error);
};

} // namespace VexDb
