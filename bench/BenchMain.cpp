// The one main of every benchmark: several benchmarked classes are QObjects with timers and
// sockets, so an application object must exist before any benchmark runs. Widget benchmarks
// (built with VARNELLO_BENCH_WIDGETS) get a QApplication on the offscreen platform.
#ifdef VARNELLO_BENCH_WIDGETS
#include <QApplication>
#else
#include <QCoreApplication>
#endif
#include <benchmark/benchmark.h>

int main(int argc, char **argv)
{
#ifdef VARNELLO_BENCH_WIDGETS
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv);
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
