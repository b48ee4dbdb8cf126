// CPU per spot at a real node's pace: a node thread writes one spot per write, 200 spots a
// second, first to a bare Qt reader that only counts lines (the floor of the event loop and the
// kernel per wake-up), then to a logged-in cluster connection with the keepalive, the alert step
// and the re-serving (local telnet server and UDP feed) active. Both are measured in the same run
// as the main thread's CPU time per received spot.

#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "LoopbackNode.h"
#include "NodeTranscript.h"
#include "SoundOutput.h"
#include "SystemNotifications.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <sys/socket.h>
#include <thread>

using namespace varnello;

namespace {

constexpr int spotsPerSecond = 200;
const QByteArray prompt = "N0CALL de GB7TST  7-Dec-2026 1200Z dxspider >\r\n";

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
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

// Runs the event loop for a while and gives the main thread's CPU seconds used meanwhile.
double cpuWhileRunning(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    const double before = threadCpuSeconds();
    loop.exec();
    return threadCpuSeconds() - before;
}

void waitFor(std::chrono::milliseconds duration)
{
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

class NullNotifications final : public SystemNotifications {
public:
    void post(const QString &, const QString &) override {}
};

class NullSound final : public SoundOutput {
public:
    void playBeep() override {}
    void playFile(const QString &) override {}
};

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
        // The floor: a socket that only reads and counts lines.
        std::atomic<bool> bareWanted{false};
        bench::LoopbackNode bareNode([&](bench::LoopbackNode &self, int socket) {
            pace(self, socket, lines, false, bareWanted);
        });
        QTcpSocket bare;
        qint64 bareLines = 0;
        QObject::connect(&bare, &QTcpSocket::readyRead,
                         [&] { bareLines += bare.readAll().count('\n'); });
        bare.connectToHost(QStringLiteral("127.0.0.1"), bareNode.port());
        bare.waitForConnected(5000);

        std::atomic<bool> connectionWanted{false};
        bench::LoopbackNode node([&](bench::LoopbackNode &self, int socket) {
            pace(self, socket, lines, true, connectionWanted);
        });
        ClusterConnectionEnvironment environment;
        environment.settings = &store;
        ClusterConnection connection(&manager, environment);
        NullNotifications notificationOutput;
        NullSound soundOutput;
        AlertNotificationManager notifications(notificationOutput);
        AlertSoundPlayer sounds(soundOutput);
        ContentViewEnvironment viewEnvironment;
        viewEnvironment.settings = &store;
        viewEnvironment.cluster = &connection;
        viewEnvironment.notifications = &notifications;
        viewEnvironment.sounds = &sounds;
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
            break;
        }

        // Both are measured in turns of a few seconds, so that a change of the machine's load
        // during the run weighs on both alike.
        double bareCpu = 0;
        double connectionCpu = 0;
        qint64 bareCounted = 0;
        qint64 connectionCounted = 0;
        const auto turn = std::chrono::milliseconds(5000);
        for (auto done = std::chrono::milliseconds(0); done < duration; done += turn) {
            bareWanted = true;
            waitFor(std::chrono::milliseconds(100));
            qint64 before = bareLines;
            bareCpu += cpuWhileRunning(turn);
            bareCounted += bareLines - before;
            bareWanted = false;

            connectionWanted = true;
            waitFor(std::chrono::milliseconds(100));
            before = liveSpots;
            connectionCpu += cpuWhileRunning(turn);
            connectionCounted += liveSpots - before;
            connectionWanted = false;
        }
        connection.disconnect();

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
// The arguments: each phase's length in seconds; whether the window's work for each live spot
// (the alert step and the re-serving) runs too, or only the connection's own.
BENCHMARK(BM_PacedSpots_CpuPerSpot_ConnectionVersusBareReader)
    ->ArgNames({"seconds", "alerts_and_reserving"})
    ->Args({30, 0})
    ->Args({30, 1})
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace
