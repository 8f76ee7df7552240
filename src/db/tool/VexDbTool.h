#pragma once

#include <QStringList>
#include <QTextStream>

namespace VexDb {

// The vex-db command line: init and demo. Failures print one line on
// stderr and give a non-zero exit code.
class VexDbTool final
{
public:
    enum ExitCode { Ok = 0, Failed = 1, BadArguments = 2 };

    VexDbTool(QTextStream &out, QTextStream &err);
    int run(const QStringList &arguments);

private:
    int init(const QString &url);
    int demo(const QString &url, const QStringList &options);
    int fail(const QString &message, int code = Failed);
    static QString usage();

    QTextStream &m_out;
    QTextStream &m_err;
};

} // namespace VexDb
