#include "VexDbTool.h"

#include <QCoreApplication>
#include <QLoggingCategory>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vex-db"));
    // Failures reach the user as one line from the tool itself.
    QLoggingCategory::setFilterRules(QStringLiteral("vex.db.debug=false\nvex.db.info=false"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return VexDb::VexDbTool(out, err).run(QCoreApplication::arguments().mid(1));
}
