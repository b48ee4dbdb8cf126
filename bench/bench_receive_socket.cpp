// The receive path over a real socket while a node writes as fast as the socket takes: how long
// the event loop is held up (the longest gap of a 10 ms timer, and the gap 99.9 % of its gaps
// stay within; ..._cpu_ms the main thread's CPU time within them) and how many lines per second go
// from the socket into the spot list and the console.

#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchSupport.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "LoopbackNode.h"
#include "NodeTranscript.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <memory>
#include <sys/socket.h>

using namespace varnello;

namespace {

const QString endMarker = QStringLiteral("ENDMARK");

// Greets, reads the callsign, sends the prompt, then writes the whole transcript and a final
// marker spot as fast as the socket drains; the client's own commands are never answered.
void flood(bench::LoopbackNode &node, int socket, const QByteArray &payload)
{
    const auto write = [&](const QByteArray &bytes) {
        bench::LoopbackNode::writeAll(socket, bytes.constData(), bytes.size(), node);
    };
    write("Welcome to the benchmark node\r\nlogin: ");
    bench::LoopbackNode::readLine(socket, node);
    write("N0CALL de GB7TST  7-Dec-2026 1200Z dxspider >\r\n");
    write(payload);
    write(("DX de W1AW:      14025.0  " + endMarker + "      CW 599          1200Z\r\n").toUtf8());
    char sink[4096];
    while (!node.stopping() && ::recv(socket, sink, sizeof sink, 0) > 0) {
    }
}

void BM_SocketFirehose_TimerGapAndLineRate(benchmark::State &state)
{
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore store(dir.path() + QStringLiteral("/Varnello"));
    CTYFileManager manager;
    const qsizetype lineCount = state.range(0);
    const QStringList lines = bench::realisticNodeLines(
        lineCount, 20261207, manager.database() ? &*manager.database() : nullptr);
    const QByteArray payload = bench::joinedWithCrLf(lines);

    for (auto _ : state) {
        bench::LoopbackNode node(
            [&payload](bench::LoopbackNode &self, int socket) { flood(self, socket, payload); });
        ClusterConnectionEnvironment environment;
        environment.settings = &store;
        ClusterConnection connection(&manager, environment);

        QEventLoop loop;
        QElapsedTimer clock;
        // The event loop's responsiveness while the stream runs.
        bench::TimerGapProbe gaps;
        qint64 streamStart = -1;
        qint64 streamEnd = -1;
        QObject::connect(&connection, &ClusterConnection::isLoggedInChanged, &loop, [&] {
            if (connection.isLoggedIn() && streamStart < 0) {
                streamStart = clock.nsecsElapsed();
                gaps.measure();
            }
        });
        QObject::connect(&connection, &ClusterConnection::liveSpotReceived, &loop,
                         [&](const DXSpot &spot) {
                             if (spot.callsign == endMarker) {
                                 streamEnd = clock.nsecsElapsed();
                                 loop.quit();
                             }
                         });
        QTimer giveUp;
        giveUp.setSingleShot(true);
        QObject::connect(&giveUp, &QTimer::timeout, &loop, &QEventLoop::quit);
        giveUp.start(120'000);

        clock.start();
        gaps.start();
        connection.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"),
                           QString(), ClusterNodeRole::primary, false, true,
                           ConnectionOrigin::manual);
        loop.exec();
        gaps.stop();
        if (streamEnd < 0 || streamStart < 0) {
            state.SkipWithError("the end marker never arrived");
            break;
        }
        const double seconds = double(streamEnd - streamStart) / 1e9;
        state.counters["lines_per_s"] = double(lineCount) / seconds;
        state.counters["longest_10ms_timer_gap_ms"] = gaps.longestMs();
        state.counters["p999_10ms_timer_gap_ms"] = gaps.p999Ms();
        state.counters["longest_gap_cpu_ms"] = gaps.longestCpuMs();
        state.counters["p999_gap_cpu_ms"] = gaps.p999CpuMs();
        state.counters["spots"] = double(connection.spots().size());
        state.SetIterationTime(seconds);
        connection.disconnect();
    }
}
BENCHMARK(BM_SocketFirehose_TimerGapAndLineRate)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace
