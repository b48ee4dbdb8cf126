// CPU per spot at a real node's pace: node threads write one spot per write, 200 spots a second,
// to a bare Qt reader that only counts lines (the floor of the event loop and the kernel per
// wake-up) on a thread of its own, and at the same time to a logged-in cluster connection on the
// main thread with the keepalive, the alert step and the re-serving (local telnet server and UDP
// feed) active. Each is measured as its own thread's CPU time per received spot over the same
// seconds, so that the virtual machine's ups and downs weigh on both alike.

#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchOutputs.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "LoopbackNode.h"
#include "NodeTranscript.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <pthread.h>
#include <semaphore>
#include <sys/socket.h>
#include <thread>

using namespace varnello;

namespace {

constexpr int spotsPerSecond = 200;
const QByteArray prompt = "N0CALL de GB7TST  7-Dec-2026 1200Z dxspider >\r\n";

double cpuSeconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// With login, the node asks for the callsign, answers every command with the prompt (the status
// question with its two fields first), then paces the spot lines once they are wanted; without,
// it paces them as soon as they are wanted.
void pace(bench::LoopbackNode &node, int socket, const QStringList &lines, bool login,
          const std::atomic<bool> &spotsWanted)
{
    const auto write = [&](const QByteArray &bytes) {
        bench::LoopbackNode::writeAll(socket, bytes.constData(), bytes.size(), node);
    };
    QByteArray pending;
    const auto answerCommands = [&] {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got <= 0)
                break;
            pending.append(buffer, got);
        }
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            write(line == "stat/us" ? "Want RBN Spots : No\r\nWant RBN Beacon : No\r\n" + prompt
                                    : prompt);
        }
    };
    if (login) {
        write("Welcome to the benchmark node\r\nlogin: ");
        bench::LoopbackNode::readLine(socket, node);
        write(prompt);
    }
    const auto interval = std::chrono::microseconds(1'000'000 / spotsPerSecond);
    auto next = std::chrono::steady_clock::now();
    qsizetype index = 0;
    while (!node.stopping()) {
        if (login)
            answerCommands();
        next += interval;
        std::this_thread::sleep_until(next);
        if (spotsWanted)
            write(lines[index++ % lines.size()].toUtf8() + "\r\n");
    }
}

void waitFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

QStringList spotLinesOnly(const QStringList &lines)
{
    QStringList spots;
    for (const QString &line : lines)
        if (line.startsWith(QLatin1String("DX de ")))
            spots << line;
    return spots;
}

void BM_PacedSpots_CpuPerSpot_ConnectionVersusBareReader(benchmark::State &state)
{
    const auto duration = std::chrono::milliseconds(state.range(0) * 1000);
    const bool withWindowWork = state.range(1) != 0;
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore store(dir.path() + QStringLiteral("/Varnello"));
    CTYFileManager manager;
    const QStringList lines = spotLinesOnly(bench::realisticNodeLines(
        20'000, 20261207, manager.database() ? &*manager.database() : nullptr));

    // The connection, logged in, with everything a live spot goes through.
    store.setBool(SettingsKeys::localTelnetServerEnabled, true);
    store.setString(SettingsKeys::localTelnetServerPort, QStringLiteral("47391"));
    store.setBool(SettingsKeys::udpFeedEnabled, true);
    store.setString(SettingsKeys::udpFeedDestination, QStringLiteral("127.0.0.1"));
    store.setString(SettingsKeys::udpFeedPort, QStringLiteral("47392"));

    for (auto _ : state) {
        // The floor: a socket on a thread of its own that only reads and counts lines.
        std::atomic<bool> bareWanted{false};
        bench::LoopbackNode bareNode([&](bench::LoopbackNode &self, int socket) {
            pace(self, socket, lines, false, bareWanted);
        });
        std::atomic<qint64> bareLines{0};
        clockid_t bareClock{};
        std::binary_semaphore bareReady(0);
        std::unique_ptr<QThread> bareThread(QThread::create([&] {
            QTcpSocket bare;
            QObject::connect(&bare, &QTcpSocket::readyRead,
                             [&] { bareLines += bare.readAll().count('\n'); });
            bare.connectToHost(QStringLiteral("127.0.0.1"), bareNode.port());
            bare.waitForConnected(5000);
            pthread_getcpuclockid(pthread_self(), &bareClock);
            bareReady.release();
            QEventLoop loop;
            loop.exec();
        }));
        bareThread->start();
        bareReady.acquire();

        std::atomic<bool> connectionWanted{false};
        bench::LoopbackNode node([&](bench::LoopbackNode &self, int socket) {
            pace(self, socket, lines, true, connectionWanted);
        });
        ClusterConnectionEnvironment environment;
        environment.settings = &store;
        ClusterConnection connection(&manager, environment);
        bench::AlertOutputs outputs;
        ContentViewEnvironment viewEnvironment;
        viewEnvironment.settings = &store;
        viewEnvironment.cluster = &connection;
        outputs.install(viewEnvironment);
        viewEnvironment.observeNotificationHub = false;
        std::unique_ptr<ContentView> view;
        if (withWindowWork)
            view = std::make_unique<ContentView>(viewEnvironment);
        qint64 liveSpots = 0;
        QObject::connect(&connection, &ClusterConnection::liveSpotReceived,
                         [&](const DXSpot &) { ++liveSpots; });
        connection.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"),
                           QString(), ClusterNodeRole::primary, false, true,
                           ConnectionOrigin::manual);
        // The post-login commands are over long before the spots start.
        waitFor(std::chrono::milliseconds(1500));
        if (!connection.isLoggedIn()) {
            state.SkipWithError("no login");
            bareThread->quit();
            bareThread->wait();
            break;
        }

        bareWanted = true;
        connectionWanted = true;
        waitFor(std::chrono::milliseconds(200));
        const qint64 bareBefore = bareLines;
        const qint64 connectionBefore = liveSpots;
        const double bareCpuBefore = cpuSeconds(bareClock);
        const double connectionCpuBefore = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        waitFor(duration);
        const double connectionCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - connectionCpuBefore;
        const double bareCpu = cpuSeconds(bareClock) - bareCpuBefore;
        const qint64 bareCounted = bareLines - bareBefore;
        const qint64 connectionCounted = liveSpots - connectionBefore;
        bareWanted = false;
        connectionWanted = false;
        connection.disconnect();
        bareThread->quit();
        bareThread->wait();

        const double bareUs = bareCpu / double(std::max<qint64>(1, bareCounted)) * 1e6;
        const double connectionUs =
            connectionCpu / double(std::max<qint64>(1, connectionCounted)) * 1e6;
        state.counters["bare_us_per_spot"] = bareUs;
        state.counters["connection_us_per_spot"] = connectionUs;
        state.counters["difference_us"] = connectionUs - bareUs;
        state.counters["bare_spots"] = double(bareCounted);
        state.counters["connection_spots"] = double(connectionCounted);
    }
}
// The arguments: the measured seconds; whether the window's work for each live spot
// (the alert step and the re-serving) runs too, or only the connection's own.
BENCHMARK(BM_PacedSpots_CpuPerSpot_ConnectionVersusBareReader)
    ->ArgNames({"seconds", "alerts_and_reserving"})
    ->Args({30, 0})
    ->Args({30, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace
