// Parse, classify and the two country lookups per line over a realistic generated transcript (a
// million lines), beside `grep -c '^DX de'` over the same file in the same run: how far the
// per-line work is from merely finding the spot lines.

#include "CTYDatabase.h"
#include "CTYLookupCache.h"
#include "Clock.h"
#include "DXSpotParser.h"
#include "NodeTranscript.h"
#include "SpotTypeClassifier.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

using namespace varnello;

namespace {

const CTYDatabase &database()
{
    return bench::builtInCountryDatabase();
}

struct Transcript {
    QTemporaryDir dir;
    QString path;
    QStringList lines;
    qsizetype spotLines = 0;

    Transcript()
    {
        lines = bench::realisticNodeLines(1'000'000, 20261207, &database());
        path = dir.path() + QStringLiteral("/transcript.txt");
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bench::joinedWithCrLf(lines));
        for (const QString &line : std::as_const(lines))
            spotLines += line.startsWith(QLatin1String("DX de")) ? 1 : 0;
    }
};

Transcript &transcript()
{
    static Transcript t;
    return t;
}

// The argument: whether the lookups go through a cache of recent answers, as the connection's
// do, or straight to the database every time.
void BM_ParseClassifyLookups_RealisticMix(benchmark::State &state)
{
    Transcript &t = transcript();
    const CTYDatabase &db = database();
    const Clock &clock = Clock::system();
    CTYLookupCache cache;
    CTYLookupCache *const lookups = state.range(0) != 0 ? &cache : nullptr;
    qsizetype spots = 0;
    for (auto _ : state) {
        spots = 0;
        for (const QString &line : std::as_const(t.lines)) {
            DXSpotParser::ParseResult result = DXSpotParser::parse(line, &db, clock, lookups);
            if (result.spot) {
                benchmark::DoNotOptimize(classifySpotType(*result.spot));
                ++spots;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * t.lines.size());
    state.counters["lines_per_s"] =
        benchmark::Counter(double(t.lines.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["spots"] = double(spots);
}
BENCHMARK(BM_ParseClassifyLookups_RealisticMix)
    ->ArgName("lookup_cache")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

// The same file through grep, as a separate process (its start-up included).
void BM_GrepCountSpotLines_SameFile(benchmark::State &state)
{
    Transcript &t = transcript();
    QString counted;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QProcess grep;
        grep.start(QStringLiteral("grep"),
                   {QStringLiteral("-c"), QStringLiteral("^DX de"), t.path});
        grep.waitForFinished(60'000);
        counted = QString::fromUtf8(grep.readAllStandardOutput()).trimmed();
        state.SetIterationTime(double(clock.nsecsElapsed()) / 1e9);
    }
    state.counters["lines_per_s"] =
        benchmark::Counter(double(t.lines.size()), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["spot_lines"] = counted.toDouble();
}
BENCHMARK(BM_GrepCountSpotLines_SameFile)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace
