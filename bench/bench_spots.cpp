// The per-line hot path: parse, classify and the two country lookups, over a realistic mix of
// node lines (skimmer CW, FT8, SSB and some node chatter).
#include "CTYDatabase.h"
#include "DXSpotParser.h"
#include "SpotTypeClassifier.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <random>

using namespace varnello;

namespace {

const CTYDatabase &database()
{
    static const CTYDatabase db =
        CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat")).database.value();
    return db;
}

QStringList homeCalls(std::mt19937 &rng, int count)
{
    QStringList prefixes;
    for (const auto &rule : database().prefixRules()) {
        if (rule.key.size() <= 3 && rule.key.back().isLetter())
            prefixes << rule.key;
    }
    QStringList calls;
    const char *letters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int i = 0; i < count; ++i) {
        QString call = prefixes[int(rng() % prefixes.size())];
        call += QChar(u'0' + int(rng() % 10));
        for (int n = 1 + int(rng() % 3); n > 0; --n)
            call += QLatin1Char(letters[rng() % 26]);
        calls << call;
    }
    return calls;
}

QString padded(QString s, int width)
{
    while (s.size() < width)
        s += QLatin1Char(' ');
    return s;
}

// 100,000 lines in the node's column layout, written to a temporary file so grep can be timed
// on the same input.
const QStringList &lines()
{
    static const QStringList all = [] {
        std::mt19937 rng(20261207);
        const QStringList calls = homeCalls(rng, 5000);
        const QStringList skimmers = homeCalls(rng, 120);
        auto pick = [&](const QStringList &l) { return l[int(rng() % l.size())]; };
        auto time = [&] {
            return QStringLiteral("%1Z").arg(int(rng() % 2400), 4, 10, QLatin1Char('0'));
        };
        QStringList out;
        for (int i = 0; i < 100000; ++i) {
            const int kind = int(rng() % 100);
            QString line;
            if (kind < 50) {
                const double f = 14000.0 + (rng() % 700) / 10.0;
                line =
                    padded(QStringLiteral("DX de %1-#:").arg(pick(skimmers)), 16) +
                    padded(QString::number(f, 'f', 1), 10) + QLatin1Char(' ') +
                    padded(pick(calls), 13) +
                    padded(
                        QStringLiteral("CW %1 dB %2 WPM CQ").arg(rng() % 40).arg(18 + rng() % 20),
                        31) +
                    time();
            } else if (kind < 75) {
                line = padded(QStringLiteral("DX de %1:").arg(pick(calls)), 16) + "14074.0  " +
                       padded(pick(calls), 13) +
                       padded(QStringLiteral("FT8 -%1 dB %2 Hz").arg(rng() % 24).arg(rng() % 3000),
                              31) +
                       time() + " JO01";
            } else if (kind < 95) {
                QString dx = pick(calls);
                if (rng() % 4 == 0)
                    dx = QStringLiteral("EA8/") + dx + QStringLiteral("/P");
                line = padded(QStringLiteral("DX de %1:").arg(pick(calls)), 16) +
                       padded(QString::number(14150.0 + (rng() % 2000) / 10.0, 'f', 1), 10) +
                       QLatin1Char(' ') + padded(dx, 13) +
                       padded(QStringLiteral("5/9 tnx QSO"), 31) + time();
            } else {
                line = (rng() % 2)
                           ? QStringLiteral("WWV de W0MU <18>:   SFI=150, A=5, K=1, No Storms")
                           : QStringLiteral("DL1ABC de NODE-2 07-Dec-2026 1234Z dxspider >");
            }
            out << line;
        }
        QFile f(QDir::temp().filePath(QStringLiteral("varnello_bench_spots_lines.txt")));
        if (f.open(QIODevice::WriteOnly)) {
            f.write(out.join(QLatin1Char('\n')).toUtf8() + '\n');
            fprintf(stderr, "lines written to %s\n", qPrintable(f.fileName()));
        }
        return out;
    }();
    return all;
}

void BM_ParseClassifyLookup(benchmark::State &state)
{
    const QStringList &input = lines();
    const CTYDatabase &db = database();
    int spots = 0;
    for (auto _ : state) {
        for (const QString &line : input) {
            auto r = DXSpotParser::parse(line, &db);
            if (r.spot) {
                r.spot->spotType = classifySpotType(*r.spot);
                ++spots;
            }
            benchmark::DoNotOptimize(r);
        }
    }
    state.SetItemsProcessed(state.iterations() * input.size());
    state.counters["spots"] = double(spots) / double(state.iterations());
}
BENCHMARK(BM_ParseClassifyLookup)->Unit(benchmark::kMillisecond);

void BM_ParseOnlyNoDatabase(benchmark::State &state)
{
    const QStringList &input = lines();
    for (auto _ : state) {
        for (const QString &line : input)
            benchmark::DoNotOptimize(DXSpotParser::parse(line, nullptr));
    }
    state.SetItemsProcessed(state.iterations() * input.size());
}
BENCHMARK(BM_ParseOnlyNoDatabase)->Unit(benchmark::kMillisecond);

void BM_ClassifyOnly(benchmark::State &state)
{
    std::vector<DXSpot> spots;
    for (const QString &line : lines()) {
        if (auto r = DXSpotParser::parse(line, nullptr); r.spot)
            spots.push_back(*r.spot);
    }
    for (auto _ : state) {
        for (const DXSpot &s : spots)
            benchmark::DoNotOptimize(classifySpotType(s));
    }
    state.SetItemsProcessed(state.iterations() * qint64(spots.size()));
}
BENCHMARK(BM_ClassifyOnly)->Unit(benchmark::kMillisecond);

} // namespace
