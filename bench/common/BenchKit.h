#pragma once

#include <QString>

#include <vector>

class QProcess;

// What the window benchmarks share: a demo company, a real server over it,
// and percentiles of the timings.
namespace BenchKit {
QString binPath(const QString &name); // a program beside the benchmark
bool makeDemo(const QString &url, double scale);
quint16 startServer(QProcess &server, const QString &url); // 0 when it did not start
QString firstOperator(); // through dtmDBGeral

struct Percentiles
{
    double p50 = 0, p99 = 0;
    int count = 0;
};
Percentiles percentiles(std::vector<double> values);
} // namespace BenchKit
