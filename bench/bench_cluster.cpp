// Throughput of the cluster connection's inbound path: received bytes -> decoding -> framing ->
// parse -> classify -> country lookups -> spot list insert (list at its cap), and the cost of a
// node that never sends a line end.

#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchSupport.h"
#include "BundledResources.h"
#include "CTYDatabase.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ClusterConnectionTestAccess.h"
#include "DXSpotParser.h"
#include "PromptPatterns.h"
#include "SpotTypeClassifier.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <array>
#include <memory>

using namespace varnello;

namespace {

struct Environment {
    QTemporaryDir dir;
    std::unique_ptr<AppPaths::Override> paths;
    std::unique_ptr<AppSettingsStore> store;
    std::unique_ptr<CTYFileManager> manager;

    Environment()
    {
        paths = std::make_unique<AppPaths::Override>(dir.path() + QStringLiteral("/Varnello"));
        store = std::make_unique<AppSettingsStore>(dir.path() + QStringLiteral("/Varnello"));
        manager = std::make_unique<CTYFileManager>();
    }

    std::unique_ptr<ClusterConnection> makeConnection()
    {
        ClusterConnectionEnvironment env;
        env.settings = store.get();
        auto connection = std::make_unique<ClusterConnection>(manager.get(), env);
        ClusterConnectionTestAccess::pretendLoggedIn(*connection);
        return connection;
    }
};

Environment &environment()
{
    static Environment env;
    return env;
}

// Callsigns that exercise the lookup: every prefix of the country file with a number and suffix.
QStringList callsignPool()
{
    QStringList pool;
    const auto &database = environment().manager->database();
    if (database) {
        for (const CTYDatabase::Rule &rule : database->prefixRules()) {
            if (rule.key.size() <= 3)
                pool.append(rule.key + (rule.key.back().isDigit() ? QStringLiteral("ABC")
                                                                  : QStringLiteral("1ABC")));
        }
    }
    if (pool.isEmpty())
        pool = {QStringLiteral("DL1ABC"), QStringLiteral("W1AW"), QStringLiteral("JA1XYZ")};
    return pool;
}

// About 10 MB of node output as a busy node with skimmer spots sends it: 90 % "DX de" lines
// (skimmer CW with "-#" spotters, FT8, SSB with a locator), the rest announcements, WWV and talk.
QByteArray recordedNodeOutput(qsizetype targetBytes, int *lineCount)
{
    QRandomGenerator random(20261207);
    const QStringList calls = callsignPool();
    const QStringList spotters{QStringLiteral("EA5WU-#"),  QStringLiteral("W3LPL-#"),
                               QStringLiteral("DK9IP-#"),  QStringLiteral("K1TTT"),
                               QStringLiteral("JA1ZGP-#"), QStringLiteral("G4ZFE")};
    QByteArray out;
    out.reserve(targetBytes + 200);
    int lines = 0;
    while (out.size() < targetBytes) {
        const int kind = random.bounded(100);
        const QString call = calls[random.bounded(calls.size())];
        const QString spotter = spotters[random.bounded(spotters.size())];
        const QString time =
            QStringLiteral("%1Z").arg(random.bounded(2400), 4, 10, QLatin1Char('0'));
        QString line;
        if (kind < 50) {
            line = QStringLiteral("DX de %1:%2%3  %4CW %5 dB %6 WPM CQ%7%8")
                       .arg(spotter, QString(18 - spotter.size(), u' '))
                       .arg(7000.0 + random.bounded(3000) / 10.0, 8, 'f', 1)
                       .arg(call.leftJustified(13))
                       .arg(random.bounded(40))
                       .arg(18 + random.bounded(20))
                       .arg(QString(13, u' '), time);
        } else if (kind < 75) {
            line = QStringLiteral("DX de %1:%2%3  %4FT8 -%5 dB %6 Hz%7%8")
                       .arg(spotter, QString(18 - spotter.size(), u' '))
                       .arg(14074.0 + random.bounded(30) / 10.0, 8, 'f', 1)
                       .arg(call.leftJustified(13))
                       .arg(random.bounded(24))
                       .arg(random.bounded(3000))
                       .arg(QString(12, u' '), time);
        } else if (kind < 90) {
            line = QStringLiteral("DX de %1:%2%3  %4up 5 tnx QSO 59%5%6 FN42")
                       .arg(spotter, QString(18 - spotter.size(), u' '))
                       .arg(14150.0 + random.bounded(2000) / 10.0, 8, 'f', 1)
                       .arg(call.leftJustified(13))
                       .arg(QString(14, u' '), time);
        } else if (kind < 94) {
            line = QStringLiteral("WWV de W0MU <18>:   SFI=140, A=5, K=1, No Storms -> No Storms");
        } else if (kind < 98) {
            line = QStringLiteral("To ALL de %1: contest this weekend, please QSY up").arg(spotter);
        } else {
            line = QStringLiteral("N0CALL de NODE  7-Dec-2026 1200Z dxspider >");
        }
        out += line.toUtf8();
        out += "\r\n";
        ++lines;
    }
    *lineCount = lines;
    return out;
}

void feed(ClusterConnection &connection, const QByteArray &data, qsizetype chunkBytes)
{
    for (qsizetype at = 0; at < data.size(); at += chunkBytes)
        ClusterConnectionTestAccess::receive(connection, data.mid(at, chunkBytes));
}

void BM_ReceivePipeline_10MB_ListAtCap(benchmark::State &state)
{
    int lineCount = 0;
    static const QByteArray data = recordedNodeOutput(10 * 1000 * 1000, &lineCount);
    static const int lines = lineCount;
    auto connection = environment().makeConnection();
    // Fill the spot list to its cap first, so every insert also trims.
    feed(*connection, data.left(1000 * 1000), ClusterConnection::receiveChunkBytes);
    if (connection->spots().size() < ClusterConnection::maximumSpots)
        feed(*connection, data.left(1000 * 1000), ClusterConnection::receiveChunkBytes);
    for (auto _ : state) {
        feed(*connection, data, ClusterConnection::receiveChunkBytes);
        benchmark::DoNotOptimize(connection->spots().size());
    }
    state.SetItemsProcessed(state.iterations() * lines);
    state.SetBytesProcessed(state.iterations() * data.size());
    state.counters["spots"] = static_cast<double>(connection->spots().size());
}
BENCHMARK(BM_ReceivePipeline_10MB_ListAtCap)->Unit(benchmark::kMillisecond)->Iterations(3);

// The floor: the same lines through the parser and the classifier alone, already split.
void BM_ParseAndClassifyOnly_10MB(benchmark::State &state)
{
    int lineCount = 0;
    const QByteArray data = recordedNodeOutput(10 * 1000 * 1000, &lineCount);
    const QStringList lines = QString::fromUtf8(data).split(QStringLiteral("\r\n"));
    const CTYDatabase *database =
        environment().manager->database() ? &*environment().manager->database() : nullptr;
    for (auto _ : state) {
        for (const QString &line : lines) {
            DXSpotParser::ParseResult result = DXSpotParser::parse(line, database);
            if (result.spot)
                benchmark::DoNotOptimize(classifySpotType(*result.spot));
        }
    }
    state.SetItemsProcessed(state.iterations() * lineCount);
}
BENCHMARK(BM_ParseAndClassifyOnly_10MB)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_NoLineEnd_1MB_In1KiBChunks(benchmark::State &state)
{
    const QByteArray chunk(1024, 'x');
    for (auto _ : state) {
        state.PauseTiming();
        auto connection = environment().makeConnection();
        state.ResumeTiming();
        for (int i = 0; i < 1024; ++i)
            ClusterConnectionTestAccess::receive(*connection, chunk);
        benchmark::DoNotOptimize(connection->lines().size());
        state.PauseTiming();
        connection.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(state.iterations() * 1024 * 1024);
}
BENCHMARK(BM_NoLineEnd_1MB_In1KiBChunks)->Unit(benchmark::kMillisecond);

// Lines at the line cap that look like the start of a prompt, with a long run of blanks: what one
// such line costs the event loop, before the login (every pattern runs) and after it. The
// argument picks the line; the counter is the time per line.
void BM_PromptLikeLineAtTheCap(benchmark::State &state)
{
    const bool loggedIn = state.range(1) != 0;
    const QByteArray blanks(ClusterConnection::maximumPartialLineLength - 20, ' ');
    const std::array<QByteArray, 4> lines{
        "N0CALL de " + blanks + "\r\n",
        "N0CALL de NODE" + blanks + ">\r\n",
        "(N0CALL) de " + blanks + "x\r\n",
        "N0CALL de " + blanks + "arc\r\n",
    };
    const QByteArray &line = lines[size_t(state.range(0))];
    auto connection = environment().makeConnection();
    if (!loggedIn)
        ClusterConnectionTestAccess::pretendCallsignSent(*connection);
    for (auto _ : state)
        ClusterConnectionTestAccess::receive(*connection, line);
    state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_PromptLikeLineAtTheCap)
    ->ArgsProduct({{0, 1, 2, 3}, {0, 1}})
    ->ArgNames({"line", "loggedIn"})
    ->Unit(benchmark::kMicrosecond);

// What each line pattern costs per character on a line of 250 as the login runs them on every
// line ending in ">": the node prompt, the generic and the widest prompt shape, the
// passing-traffic test and, for scale, the regular expression that test stands for. The line
// reads like talk up to its end, or is blanks up to its ">" (where that expression backtracks).
void BM_LinePatternPerCharacter(benchmark::State &state)
{
    const QString line = state.range(1) == 0 ? QStringLiteral("To ALL de K1ABC <18> ") +
                                                   QString(226, u' ') + QStringLiteral("hi >")
                                             : QString(249, u' ') + QStringLiteral(">");
    static const QRegularExpression talk(
        QStringLiteral(R"(^[\s\x07]*(?:[^\r\n<>]{1,250}>\s*)?(?:to\s+)?[a-z0-9/#-]+\s+de\s+)"
                       R"([a-z0-9/#-]+\s*(?:<[^<>\r\n]*>\s*)?:)"),
        QRegularExpression::CaseInsensitiveOption);
    const QString call = QStringLiteral("N0CALL");
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0:
            benchmark::DoNotOptimize(prompts::endsInNodePrompt(line, call, prompts::NodeKind::any));
            break;
        case 1:
            benchmark::DoNotOptimize(prompts::endsInGenericPrompt(line));
            break;
        case 2:
            benchmark::DoNotOptimize(prompts::endsInAnyPrompt(line));
            break;
        case 3:
            benchmark::DoNotOptimize(prompts::isUnsolicitedLine(line));
            break;
        default:
            benchmark::DoNotOptimize(talk.match(line).hasMatch());
            break;
        }
    }
    state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_LinePatternPerCharacter)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {0, 1}})
    ->ArgNames({"pattern", "blanks"})
    ->Unit(benchmark::kNanosecond);

// One 8 KB line with a prompt of ">" alone learned at the login, while nothing waits for a prompt:
// nothing but copies of the prompt, or a spot line padded with its comment to the same size. The
// counter is the time per line.
void BM_LearnedPromptCopiesLine_8KB(benchmark::State &state)
{
    const qsizetype size = 8 * 1024;
    QByteArray line;
    if (state.range(0) == 0) {
        line = QByteArray(size, '>');
    } else {
        line = "DX de K1ABC:     14025.0  EA8XX        up 1";
        line += QByteArray(size - line.size() - 6, ' ') + " 1200Z";
    }
    line += "\r\n";
    auto connection = environment().makeConnection();
    ClusterConnectionTestAccess::learnPrompt(*connection, QStringLiteral(">"));
    for (auto _ : state)
        ClusterConnectionTestAccess::receive(*connection, line);
    state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_LearnedPromptCopiesLine_8KB)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("spotLine")
    ->Unit(benchmark::kMicrosecond);

// One line of copies of the prompt the user set (or of the standard prompt, shape 4) ending in
// text that is no spot, 8 KB or 64 KB, arriving in one read or in reads of 8 bytes, while nothing
// waits for a prompt. The counters: the time per line, and the console lines it made (one: the line
// the node sent, shortened to its first 8 KB).
void BM_PromptCopiesLine(benchmark::State &state)
{
    static const std::array<const char *, 5> shapes{
        ">", "N0CALL de GB7TST >", "N0CALL de GB7TST: >", "N0CALL@GB7TST: 9-Dec-2026>",
        "N0CALL de GB7TST  9-Dec-2026 1200Z dxspider >"};
    const qsizetype shape = state.range(0);
    const QByteArray copy(shapes[shape]);
    const qsizetype size = state.range(1) * 1024;
    QByteArray line = copy.repeated(size / copy.size());
    line += "x\r\n";
    const qsizetype readBytes = state.range(2) > 0 ? state.range(2) : line.size();
    qsizetype consoleLines = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto connection = environment().makeConnection();
        if (shape < 4)
            ClusterConnectionTestAccess::learnPrompt(*connection, QString::fromLatin1(copy));
        state.ResumeTiming();
        for (qsizetype at = 0; at < line.size(); at += readBytes)
            ClusterConnectionTestAccess::receive(*connection, line.mid(at, readBytes));
        state.PauseTiming();
        consoleLines = connection->lines().size();
        connection.reset();
        state.ResumeTiming();
    }
    state.counters["consoleLines"] = double(consoleLines);
    state.SetBytesProcessed(state.iterations() * line.size());
}
BENCHMARK(BM_PromptCopiesLine)
    ->ArgsProduct({{0, 1, 2, 3, 4}, {8, 64}, {0, 8, 1}})
    ->ArgNames({"shape", "KB", "readBytes"})
    ->Unit(benchmark::kMillisecond);

void BM_NoLineEnd_10MB_ResidentGrowth(benchmark::State &state)
{
    const QByteArray chunk(ClusterConnection::receiveChunkBytes, 'x');
    for (auto _ : state) {
        auto connection = environment().makeConnection();
        const double before = bench::residentMiB();
        for (int i = 0; i < 160; ++i) // 10 MiB
            ClusterConnectionTestAccess::receive(*connection, chunk);
        state.counters["residentGrowthMiB"] = bench::residentMiB() - before;
        benchmark::DoNotOptimize(connection->lines().size());
    }
}
BENCHMARK(BM_NoLineEnd_10MB_ResidentGrowth)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
