// Grid tables: loading both tables and radius searches of several sizes.
#include "BenchSupport.h"
#include "GridDXCCDatabase.h"

#include <benchmark/benchmark.h>

using namespace varnello;

namespace {

void BM_LoadBothTables(benchmark::State &state)
{
    double before = 0;
    double after = 0;
    for (auto _ : state) {
        state.PauseTiming();
        before = bench::residentMiB();
        state.ResumeTiming();
        GridDXCCDatabase db;
        db.retainCachedTables();
        // A radius so small only the home cell counts: the time is the table load.
        auto r = db.searchNow(QStringLiteral("JO01MM"), 0.001, DistanceUnit::kilometres);
        benchmark::DoNotOptimize(r);
        state.PauseTiming();
        after = bench::residentMiB();
        state.ResumeTiming();
    }
    state.counters["resident_MB_added"] = after - before;
    state.counters["resident_MB_total"] = after;
    state.counters["peak_MB_total"] = bench::peakResidentMiB();
}
BENCHMARK(BM_LoadBothTables)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Search(benchmark::State &state, const char *grid, double km)
{
    GridDXCCDatabase db;
    db.retainCachedTables();
    db.searchNow(QString::fromLatin1(grid), 1, DistanceUnit::kilometres); // load once
    size_t found = 0;
    for (auto _ : state) {
        auto r = db.searchNow(QString::fromLatin1(grid), km, DistanceUnit::kilometres);
        found = size_t(r.adifNumbers.size());
        benchmark::DoNotOptimize(r);
    }
    state.counters["entities"] = double(found);
}
BENCHMARK_CAPTURE(BM_Search, JO01_100km, "JO01", 100.0)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Search, JO01_2000km, "JO01", 2000.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, JO01_20000km, "JO01", 20000.0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Search, AR09_500km_pole, "AR09", 500.0)->Unit(benchmark::kMillisecond);

} // namespace
