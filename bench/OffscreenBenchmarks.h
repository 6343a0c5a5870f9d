#pragma once

// The main of a benchmark that builds widgets: they need an application, and
// a benchmark needs no display.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QtGlobal>

namespace quillcast::bench {

inline int runOffscreenBenchmarks(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace quillcast::bench
