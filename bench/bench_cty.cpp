// Country file: parse of the built-in file and the callsign lookup.
#include "CTYDatabase.h"

#include <QFile>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <random>

using namespace varnello;

namespace {

QByteArray builtInBytes()
{
    QFile f(QStringLiteral(":/resources/cty_wt.dat"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void BM_ParseBuiltInCountryFile(benchmark::State &state)
{
    const QByteArray bytes = builtInBytes();
    for (auto _ : state) {
        auto r = CTYDatabase::parse(bytes);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_ParseBuiltInCountryFile)->Unit(benchmark::kMillisecond);

// Callsigns as spots carry them: plain, portable, skimmer-marked, exact entries, lower case.
QStringList sampleCalls(const CTYDatabase &db)
{
    std::mt19937 rng(7);
    QStringList calls;
    const auto &prefixes = db.prefixRules();
    const auto &exact = db.exactRules();
    for (int i = 0; i < 20000; ++i) {
        const QString base = prefixes[rng() % prefixes.size()].key + QStringLiteral("1ABC");
        switch (rng() % 8) {
        case 0:
            calls << exact[rng() % exact.size()].key;
            break;
        case 1:
            calls << base + QStringLiteral("/P");
            break;
        case 2:
            calls << QStringLiteral("EA8/") + base + QStringLiteral("/P");
            break;
        case 3:
            calls << base + QStringLiteral("-#");
            break;
        case 4:
            calls << base.toLower();
            break;
        default:
            calls << base;
            break;
        }
    }
    return calls;
}

void BM_Lookup(benchmark::State &state)
{
    const CTYDatabase db = CTYDatabase::parse(builtInBytes()).database.value();
    const QStringList calls = sampleCalls(db);
    for (auto _ : state) {
        for (const QString &c : calls)
            benchmark::DoNotOptimize(db.lookup(c));
    }
    state.SetItemsProcessed(state.iterations() * calls.size());
    state.counters["ns_per_lookup"] =
        benchmark::Counter(double(state.iterations() * calls.size()),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Lookup)->Unit(benchmark::kMillisecond);

} // namespace
