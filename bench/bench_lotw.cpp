// LoTW list: validation of a full-size list and the per-spot lookup.

#include "CTYFileManager.h"
#include "LoTWActivityLookup.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

using namespace varnello;

namespace {

const QDateTime kNow(QDate(2026, 12, 7), QTime(12, 0), Qt::UTC);
constexpr int kLines = 250'000;

QByteArray callsign(int i)
{
    static const char *const kPrefixes[] = {"K", "W", "N", "G", "DL", "VK", "JA", "EA", "F", "I"};
    QByteArray call = kPrefixes[i % 10];
    call += char('0' + (i / 10) % 10);
    int rest = i / 100;
    for (int n = 0; n < 3 && (n < 2 || rest > 0); ++n) {
        call += char('A' + rest % 26);
        rest /= 26;
    }
    return call;
}

// About 6.5 MB: 250,000 distinct calls, 55 % of them active within the last year.
const QByteArray &fullSizeList()
{
    static const QByteArray list = [] {
        QByteArray out;
        out.reserve(qsizetype(kLines) * 27);
        for (int i = 0; i < kLines; ++i) {
            out += callsign(i);
            out += (i % 20) < 11 ? ",2026-06-01," : ",2024-03-15,";
            out += "12:34:56\n";
        }
        return out;
    }();
    return list;
}

void BM_ValidateLoTWList(benchmark::State &state)
{
    const QByteArray &list = fullSizeList();
    qint64 keys = 0;
    for (auto _ : state) {
        auto outcome = CTYFileManager::validateLoTWActivityData(list, kNow);
        if (!outcome.ok())
            state.SkipWithError("list refused");
        keys = outcome.ok() ? outcome.value().recentUploads.size() : 0;
        benchmark::DoNotOptimize(keys);
    }
    state.counters["list_MB"] = double(list.size()) / 1e6;
    state.counters["kept_keys"] = double(keys);
    state.SetBytesProcessed(state.iterations() * list.size());
}
BENCHMARK(BM_ValidateLoTWList)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Heap held by the validation result, relative to the list size (the bytes themselves are the
// caller's). Transient use on top of it is one 256 Ki-character decode buffer.
void BM_ValidateLoTWListMemory(benchmark::State &state)
{
    const QByteArray &list = fullSizeList();
    double extraRatio = 0;
    for (auto _ : state) {
        malloc_trim(0);
        const size_t before = mallinfo2().uordblks;
        auto outcome = CTYFileManager::validateLoTWActivityData(list, kNow);
        const size_t after = mallinfo2().uordblks;
        benchmark::DoNotOptimize(outcome);
        extraRatio = double(after - before) / double(list.size());
    }
    state.counters["extra_heap_x_file_size"] = extraRatio;
}
BENCHMARK(BM_ValidateLoTWListMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

void fillLookup()
{
    static bool filled = false;
    if (filled)
        return;
    auto outcome = CTYFileManager::validateLoTWActivityData(fullSizeList(), kNow);
    LoTWActivityLookup::shared().replaceAll(outcome.value().recentUploads);
    filled = true;
}

void BM_HasRecentUpload(benchmark::State &state)
{
    fillLookup();
    // Calls as spots carry them: half found, half not.
    QList<QString> calls;
    for (int i = 0; i < 1024; ++i)
        calls << QString::fromLatin1(callsign(i * 97 % kLines));
    std::size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoTWActivityLookup::shared().hasRecentUpload(calls[n++ & 1023]));
    }
}
BENCHMARK(BM_HasRecentUpload);

void BM_HasRecentUploadPortable(benchmark::State &state)
{
    fillLookup();
    QList<QString> calls;
    for (int i = 0; i < 1024; ++i)
        calls << QStringLiteral("EA8/") + QString::fromLatin1(callsign(i * 97 % kLines)) +
                     QStringLiteral("/P");
    std::size_t n = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(LoTWActivityLookup::shared().hasRecentUpload(calls[n++ & 1023]));
    }
}
BENCHMARK(BM_HasRecentUploadPortable);

} // namespace
