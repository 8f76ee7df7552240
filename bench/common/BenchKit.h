#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

class QProcess;
class QTemporaryDir;

// What the window benchmarks share: a demo company, a real server over it,
// and percentiles of the timings.
namespace BenchKit {
// The window benchmarks' command line: --scales, --database, --samples, --days.
struct Options
{
    QList<double> scales{1, 20};
    QString database;
    int samples = 50;
    int days = 30;
};
Options parse(const QStringList &arguments, const QString &description, int defaultSamples);
// One line on stderr, named after the program, and exit 1.
[[noreturn]] void fail(const QString &reason);

QString binPath(const QString &name); // a program beside the benchmark
bool makeDemo(const QString &url, double scale);
// 0 when it did not start; extra: more flags (TLS, sign-in).
quint16 startServer(QProcess &server, const QString &url, const QStringList &extra = {});
QString firstOperator(); // through dtmDBGeral
// The database of --database, or a fresh demo of that scale in dir; a server
// over it that the host's connection points at, and dtmDBGeral open on it.
// Fails the benchmark when either cannot start. Returns the database URL.
QString openDemo(double scale, const Options &options, const QTemporaryDir &dir,
                 QProcess &server);

struct Percentiles
{
    double p50 = 0, p99 = 0;
    int count = 0;
};
Percentiles percentiles(std::vector<double> values);
} // namespace BenchKit
