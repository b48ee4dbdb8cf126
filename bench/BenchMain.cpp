// The one main of every benchmark: several benchmarked classes are QObjects with timers and
// sockets, so an application object must exist before any benchmark runs.
#include <benchmark/benchmark.h>
#ifdef VARNELLO_BENCH_WIDGETS
#include <QApplication>
using BenchApplication = QApplication;
#else
#include <QCoreApplication>
using BenchApplication = QCoreApplication;
#endif

int main(int argc, char **argv)
{
#ifdef VARNELLO_BENCH_WIDGETS
    // Window benchmarks measure our own work, not a display server's.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    BenchApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
