// A node that turns hostile right after the login: it answers none of the program's own commands
// and pours out, as fast as the socket takes, either text without a single line end or a storm of
// prompts that are not this client's, until the program has given up on the status and filter
// steps and asked for the recent spots. The step time-outs are a tenth of the real ones, so a run
// takes seconds (the node writes at socket speed, so the steps collect as much as their caps let
// them), or the real ones. Reported:
//   longest_gap_ms, p999_gap_ms  gaps of a precise 10 ms timer from the login to the end
//   ..._gap_cpu_ms               the main thread's CPU time within those gaps
//   rss_login_mib                resident memory at the login
//   rss_growth_peak_mib          the peak above it
//   rss_growth_kept_mib          what is still held one second after the node fell silent
//   hostile_mib                  what the node sent

#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchOutputs.h"
#include "BenchSupport.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "LoopbackNode.h"
#include "NodeTranscript.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <atomic>
#include <memory>
#include <sys/socket.h>
#include <thread>

using namespace varnello;

namespace {

const QByteArray prompt = "N0CALL de GB7TST  7-Dec-2026 1200Z dxspider >\r\n";

enum class Hostility { noLineEnds, promptStorm };

QByteArray hostilePayload(Hostility hostility, const CTYDatabase *database)
{
    if (hostility == Hostility::promptStorm)
        return QByteArray("K1ABC de GB7TST  7-Dec-2026 1200Z dxspider >").repeated(20'000);
    // Real node text, every line end turned into a blank.
    return bench::realisticNodeLines(20'000, 20261207, database).join(u' ').toUtf8();
}

// Logs the client in, then pours out the payload over and over; stops once the client asks for
// the recent spots (the steps before have given up) and from then on only reads.
void pourOut(bench::LoopbackNode &node, int socket, const QByteArray &payload,
             std::atomic<bool> &silent, std::atomic<qint64> &sentBytes)
{
    const auto write = [&](const QByteArray &bytes) {
        bench::LoopbackNode::writeAll(socket, bytes.constData(), bytes.size(), node);
    };
    write("Welcome to the benchmark node\r\nlogin: ");
    bench::LoopbackNode::readLine(socket, node);
    write(prompt);
    QByteArray commands;
    constexpr qsizetype piece = 16 * 1024;
    qsizetype at = 0;
    while (!node.stopping() && !silent) {
        char buffer[4096];
        for (ssize_t got; (got = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;)
            commands.append(buffer, got);
        if (commands.contains("sh/dx")) {
            silent = true;
            break;
        }
        const qsizetype size = std::min(piece, payload.size() - at);
        bench::LoopbackNode::writeAll(socket, payload.constData() + at, size, node);
        sentBytes += size;
        at = (at + size) % payload.size();
    }
    char sink[4096];
    while (!node.stopping() && ::recv(socket, sink, sizeof sink, 0) > 0) {
    }
}

// The main view over the connection, as the window has it.
std::unique_ptr<ContentView> viewOver(ClusterConnection &connection, AppSettingsStore &store,
                                      bench::AlertOutputs &outputs)
{
    ContentViewEnvironment environment;
    environment.settings = &store;
    environment.cluster = &connection;
    environment.observeNotificationHub = false;
    outputs.install(environment);
    return std::make_unique<ContentView>(environment);
}

void waitForOnNodeThread(std::chrono::milliseconds duration, const bench::LoopbackNode &node)
{
    const auto until = std::chrono::steady_clock::now() + duration;
    while (!node.stopping() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

void waitFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

void BM_HostileNodeAtStepTimeouts(benchmark::State &state)
{
    const auto hostility = Hostility(state.range(0));
    const bool realTimeouts = state.range(1) != 0;
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore store(dir.path() + QStringLiteral("/Varnello"));
    CTYFileManager manager;
    const QByteArray payload =
        hostilePayload(hostility, manager.database() ? &*manager.database() : nullptr);

    for (auto _ : state) {
        std::atomic<bool> silent{false};
        std::atomic<qint64> sentBytes{0};
        bench::LoopbackNode node([&](bench::LoopbackNode &self, int socket) {
            pourOut(self, socket, payload, silent, sentBytes);
        });
        ClusterConnectionEnvironment environment;
        environment.settings = &store;
        if (!realTimeouts) {
            environment.timing.stepReplyTimeout = std::chrono::milliseconds(1500);
            environment.timing.stepReplyTimeoutWithoutKnownPrompt = std::chrono::milliseconds(200);
        }
        ClusterConnection connection(&manager, environment);
        bench::AlertOutputs outputs;
        const std::unique_ptr<ContentView> view = viewOver(connection, store, outputs);

        bench::TimerGapProbe gaps;
        double loginMiB = -1;
        QObject::connect(&connection, &ClusterConnection::isLoggedInChanged, [&] {
            if (connection.isLoggedIn() && loginMiB < 0) {
                loginMiB = bench::residentMiB();
                gaps.measure();
            }
        });
        gaps.start();
        connection.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"),
                           QString(), ClusterNodeRole::primary, false, true,
                           ConnectionOrigin::manual);
        QEventLoop loop;
        QTimer watch;
        watch.setInterval(50);
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (silent)
                loop.quit();
        });
        QTimer::singleShot(120'000, &loop, &QEventLoop::quit);
        watch.start();
        loop.exec();
        if (!silent || loginMiB < 0) {
            state.SkipWithError("the steps never gave up");
            break;
        }
        // What the program still holds once it has worked through what arrived.
        waitFor(std::chrono::milliseconds(1000));
        gaps.stop();
        state.counters["longest_gap_ms"] = gaps.longestMs();
        state.counters["p999_gap_ms"] = gaps.p999Ms();
        state.counters["longest_gap_cpu_ms"] = gaps.longestCpuMs();
        state.counters["p999_gap_cpu_ms"] = gaps.p999CpuMs();
        state.counters["rss_login_mib"] = loginMiB;
        state.counters["rss_growth_peak_mib"] = bench::peakResidentMiB() - loginMiB;
        state.counters["rss_growth_kept_mib"] = bench::residentMiB() - loginMiB;
        state.counters["hostile_mib"] = double(sentBytes) / (1024.0 * 1024.0);
        connection.disconnect();
    }
}
// A DXSpider node whose user set a prompt of ">" alone: the client learns it at the login (the
// node answers every empty line and command with it). Once the steps are done the node sends, in
// one write, a line of that many copies of the prompt and then a spot. Reported: the longest gap
// of a precise 10 ms timer from that write until the spot is listed, the time until then, and the
// resident memory at the login, its peak growth and what is kept once the spot is in.
void BM_LearnedPromptFlood(benchmark::State &state)
{
    const qsizetype copies = state.range(0);
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore store(dir.path() + QStringLiteral("/Varnello"));
    CTYFileManager manager;
    for (auto _ : state) {
        std::atomic<bool> flooded{false};
        bench::LoopbackNode node([&](bench::LoopbackNode &self, int socket) {
            const auto write = [&](const QByteArray &bytes) {
                bench::LoopbackNode::writeAll(socket, bytes.constData(), bytes.size(), self);
            };
            write("Welcome to the benchmark node\r\nlogin: ");
            bench::LoopbackNode::readLine(socket, self);
            write("Hello N0CALL, this is GB7TST\r\nrunning DXSpider V1.57 build 441\r\n>");
            QByteArray line;
            char c = 0;
            while (!self.stopping() && ::recv(socket, &c, 1, 0) == 1) {
                if (c != '\n') {
                    line += c;
                    continue;
                }
                write(">");
                if (line.trimmed() == ClusterConnection::recentSpotsCommand) {
                    waitForOnNodeThread(std::chrono::milliseconds(1000), self);
                    flooded = true;
                    write(
                        QByteArray(copies, '>') + "\r\n" +
                        "DX de K1ABC:     14025.0  EA8XX        up 1                   1200Z\r\n");
                }
                line.clear();
            }
        });
        ClusterConnectionEnvironment environment;
        environment.settings = &store;
        ClusterConnection connection(&manager, environment);
        bench::AlertOutputs outputs;
        const std::unique_ptr<ContentView> view = viewOver(connection, store, outputs);

        bench::TimerGapProbe gaps;
        double loginMiB = -1;
        QObject::connect(&connection, &ClusterConnection::isLoggedInChanged, [&] {
            if (connection.isLoggedIn() && loginMiB < 0)
                loginMiB = bench::residentMiB();
        });
        QElapsedTimer floodTime;
        QEventLoop loop;
        QObject::connect(&connection, &ClusterConnection::liveSpotReceived, &loop,
                         [&](const DXSpot &spot) {
                             if (spot.callsign == QStringLiteral("EA8XX"))
                                 loop.quit();
                         });
        QTimer watch;
        watch.setInterval(1);
        QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
            if (flooded && !floodTime.isValid()) {
                floodTime.start();
                gaps.measure();
            }
        });
        gaps.start();
        watch.start();
        connection.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"),
                           QString(), ClusterNodeRole::primary, false, true,
                           ConnectionOrigin::manual);
        QTimer::singleShot(300'000, &loop, &QEventLoop::quit);
        loop.exec();
        gaps.stop();
        if (!floodTime.isValid() || connection.spots().isEmpty() ||
            connection.spots().constFirst().callsign != QStringLiteral("EA8XX")) {
            state.SkipWithError("the spot behind the prompts never came");
            break;
        }
        state.counters["until_spot_ms"] = double(floodTime.elapsed());
        state.counters["longest_gap_ms"] = gaps.longestMs();
        state.counters["longest_gap_cpu_ms"] = gaps.longestCpuMs();
        state.counters["rss_login_mib"] = loginMiB;
        state.counters["rss_growth_peak_mib"] = bench::peakResidentMiB() - loginMiB;
        state.counters["rss_growth_kept_mib"] = bench::residentMiB() - loginMiB;
        state.counters["console_lines"] = double(connection.lines().size());
        connection.disconnect();
    }
}
// Each case in a process of its own, for its memory figures ('copies:60000/').
BENCHMARK(BM_LearnedPromptFlood)
    ->ArgName("copies")
    ->Arg(60'000)
    ->Arg(1'000'000)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

// Run each case in a process of its own (for example --benchmark_filter='storm:0/real_timeouts:0'):
// the memory figures are the process's. The cases with the real time-outs take 17 s each.
BENCHMARK(BM_HostileNodeAtStepTimeouts)
    ->ArgNames({"prompt_storm", "real_timeouts"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({0, 1})
    ->Args({1, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace
