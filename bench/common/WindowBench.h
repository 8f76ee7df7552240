#pragma once

// The main of a benchmark of the tracking window: an offscreen MDI host and
// one run per scale of the command line. Header-only: the kit itself has no
// widgets, the window benchmarks do.
#include "BenchKit.h"

#include "app/TApplication.h"
#include "services/Exceptions.h"

#include <QApplication>
#include <QMainWindow>
#include <QMdiArea>

namespace BenchKit {
inline int windowBenchMain(int argc, char **argv, const QString &description,
                           int defaultSamples, void (*runScale)(double, const Options &))
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const Options options = parse(app.arguments(), description, defaultSamples);
    QMainWindow mainWindow;
    auto *area = new QMdiArea(&mainWindow);
    mainWindow.setCentralWidget(area);
    TApplication application(area);
    try {
        for (double scale : options.scales)
            runScale(scale, options);
    } catch (const EVexError &e) {
        fail(e.message());
    }
    return 0;
}
} // namespace BenchKit
