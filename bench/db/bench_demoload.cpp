// Times the demo load: bench_demoload URL [SCALE]. The database must be
// empty or hold demo rows (they are replaced). Prints seconds and rows/s.
#include "Database.h"
#include "DemoData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("vex.db.debug=false"));
    QTextStream out(stdout);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        out << "usage: bench_demoload URL [SCALE]\n";
        return 2;
    }
    VexDb::DemoOptions options;
    options.scale = args.size() > 2 ? args.at(2).toDouble() : 5.0;
    options.replace = true;
    options.today = QDate(2025, 6, 15);
    QString error;
    QSqlDatabase db = VexDb::open(args.at(1), QStringLiteral("bench"), &error);
    if (!db.isOpen()) {
        out << error << '\n';
        return 1;
    }
    VexDb::DemoCounts counts;
    QElapsedTimer timer;
    timer.start();
    if (!VexDb::DemoData::write(db, options, {}, &counts, &error)) {
        out << error << '\n';
        return 1;
    }
    const double seconds = timer.elapsed() / 1000.0;
    const qint64 rows = counts.requestItems + counts.orderLines + counts.consolidations
                        + counts.stockRows;
    out << QStringLiteral("%1 scale %2: %3 request items, %4 rows in %5 s, %6 rows/s\n")
               .arg(db.driverName())
               .arg(options.scale)
               .arg(counts.requestItems)
               .arg(rows)
               .arg(seconds, 0, 'f', 1)
               .arg(qint64(rows / qMax(seconds, 0.001)));
    return 0;
}
