// Load test of the local spot server on 127.0.0.1: 200 reading clients and one client that never
// reads, a burst of 10,000 spots. Every reading client must receive every line in order, the
// stalled client must be dropped, and the figures asked for are reported as counters.
#include "BenchSupport.h"
#include "LocalSpotServer.h"

#include <QEventLoop>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

using namespace varnello;

namespace {

constexpr int readingClients = 200;
constexpr int spotCount = 10'000;
// Spots reach the program in network reads of many lines; this many are re-served per turn.
constexpr int spotsPerTurn = 100;
// Below one burst's size, so that the client that never reads is certain to reach it.
constexpr qint64 unsentCapForStalledClient = 256 * 1024;
constexpr auto deadline = std::chrono::seconds(60);

using SteadyClock = std::chrono::steady_clock;

double threadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

int connectNonBlocking(quint16 port, int receiveBuffer = 0)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (receiveBuffer > 0)
        ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    return fd;
}

struct ReaderOutcome {
    int completeClients = 0;
    bool allInOrder = true;
    double maximumLatencyMs = 0;
};

// Reads every client on one thread of its own, so the main thread's time is the server's alone.
void readAll(const std::vector<int> &fds, const QByteArray &expected,
             const std::vector<qsizetype> &lineEnds, const std::vector<std::atomic<qint64>> &sentNs,
             ReaderOutcome &outcome)
{
    std::vector<qsizetype> offsets(fds.size(), 0);
    std::vector<size_t> nextLine(fds.size(), 0);
    std::vector<pollfd> polls;
    for (const int fd : fds)
        polls.push_back({fd, POLLIN, 0});
    std::vector<char> buffer(64 * 1024);
    const auto stopAt = SteadyClock::now() + deadline;
    qint64 maximumLatencyNs = 0;

    while (outcome.completeClients < int(fds.size()) && SteadyClock::now() < stopAt) {
        if (::poll(polls.data(), polls.size(), 100) <= 0)
            continue;
        for (size_t c = 0; c < polls.size(); ++c) {
            if (polls[c].fd < 0 || !(polls[c].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            const ssize_t n = ::read(polls[c].fd, buffer.data(), buffer.size());
            if (n <= 0) {
                outcome.allInOrder = false;
                polls[c].fd = -1;
                continue;
            }
            if (offsets[c] + n > expected.size() ||
                std::memcmp(expected.constData() + offsets[c], buffer.data(), size_t(n)) != 0) {
                outcome.allInOrder = false;
                polls[c].fd = -1;
                continue;
            }
            offsets[c] += n;
            const qint64 nowNs = SteadyClock::now().time_since_epoch().count();
            while (nextLine[c] < lineEnds.size() && offsets[c] >= lineEnds[nextLine[c]]) {
                const qint64 latency = nowNs - sentNs[nextLine[c]].load(std::memory_order_acquire);
                maximumLatencyNs = std::max(maximumLatencyNs, latency);
                ++nextLine[c];
            }
            if (offsets[c] == expected.size()) {
                ++outcome.completeClients;
                polls[c].fd = -1;
            }
        }
    }
    outcome.maximumLatencyMs = double(maximumLatencyNs) / 1e6;
}

// Runs the event loop until the condition holds or the deadline passes, without spinning.
template <typename Condition> bool spinUntil(Condition condition)
{
    const auto stopAt = SteadyClock::now() + deadline;
    while (!condition() && SteadyClock::now() < stopAt) {
        QEventLoop loop;
        QTimer::singleShot(5, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return condition();
}

void BM_LocalSpotServerBurst(benchmark::State &state)
{
    for (auto _ : state) {
        LocalSpotServer server(LocalSpotServerLimits{256, unsentCapForStalledClient});
        int port = 0;
        for (port = 47300; port < 47400 && !server.hasListener(); ++port)
            server.start(quint16(port));
        if (!server.hasListener()) {
            state.SkipWithError("no free port");
            return;
        }
        port = *server.port();

        QStringList lines;
        QByteArray expected;
        std::vector<qsizetype> lineEnds;
        for (int i = 0; i < spotCount; ++i) {
            lines << QStringLiteral("DX de K1ABC-#:   14025.0  DL%1XYZ        CW 23 dB 22 WPM CQ "
                                    "     1200Z")
                         .arg(i, 5, 10, QLatin1Char('0'));
            expected += lines.last().toUtf8() + "\r\n";
            lineEnds.push_back(expected.size());
        }
        std::vector<std::atomic<qint64>> sentNs(spotCount);

        // In small waves: a whole crowd of simultaneous connects overflows the listen queue, and
        // a client that never speaks first is then never seen by the server.
        std::vector<int> fds;
        for (int i = 0; i < readingClients; ++i) {
            fds.push_back(connectNonBlocking(quint16(port)));
            if (fds.size() % 20 == 0 &&
                !spinUntil([&] { return server.clientCount() == int(fds.size()); })) {
                state.SkipWithError("not every client was accepted");
                return;
            }
        }
        const int stalled = connectNonBlocking(quint16(port), 4096);
        if (!spinUntil([&] { return server.clientCount() == readingClients + 1; })) {
            state.SkipWithError("not every client was accepted");
            return;
        }

        ReaderOutcome outcome;
        std::thread reader([&] { readAll(fds, expected, lineEnds, sentNs, outcome); });

        QEventLoop loop;
        int next = 0;
        double broadcastSeconds = 0;
        QTimer burst;
        burst.setInterval(0);
        QObject::connect(&burst, &QTimer::timeout, [&] {
            const double before = threadCpuSeconds();
            for (int k = 0; k < spotsPerTurn && next < spotCount; ++k, ++next) {
                sentNs[next].store(SteadyClock::now().time_since_epoch().count(),
                                   std::memory_order_release);
                server.broadcastLine(lines[next]);
            }
            broadcastSeconds += threadCpuSeconds() - before;
            if (next == spotCount)
                burst.stop();
        });
        std::atomic<bool> readerDone{false};
        QTimer watch;
        watch.setInterval(5);
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (readerDone.load())
                loop.quit();
        });

        const double cpuBefore = threadCpuSeconds();
        const auto wallBefore = SteadyClock::now();
        burst.start();
        watch.start();
        std::thread joiner([&] {
            reader.join();
            readerDone = true;
        });
        loop.exec();
        joiner.join();
        const double mainThreadSeconds = threadCpuSeconds() - cpuBefore;
        const double wallSeconds =
            std::chrono::duration<double>(SteadyClock::now() - wallBefore).count();

        const bool stalledDropped = server.clientCount() == readingClients;
        state.counters["clients_complete"] = outcome.completeClients;
        state.counters["all_in_order"] = outcome.allInOrder ? 1 : 0;
        state.counters["stalled_dropped"] = stalledDropped ? 1 : 0;
        state.counters["main_cpu_s"] = mainThreadSeconds;
        state.counters["broadcast_cpu_s"] = broadcastSeconds;
        state.counters["wall_s"] = wallSeconds;
        state.counters["max_latency_ms"] = outcome.maximumLatencyMs;
        state.counters["peak_rss_MB"] = bench::peakResidentMiB();
        state.counters["rss_MB"] = bench::residentMiB();
        state.SetIterationTime(wallSeconds);
        std::fprintf(stderr,
                     "clients complete %d/%d, in order %d, stalled dropped %d, main-thread CPU "
                     "%.3f s (broadcast calls %.3f s), wall %.3f s, max line latency %.1f ms, peak "
                     "RSS %.1f MB\n",
                     outcome.completeClients, readingClients, int(outcome.allInOrder),
                     int(stalledDropped), mainThreadSeconds, broadcastSeconds, wallSeconds,
                     outcome.maximumLatencyMs, bench::peakResidentMiB());

        for (const int fd : fds)
            ::close(fd);
        ::close(stalled);
        if (outcome.completeClients != readingClients || !outcome.allInOrder)
            state.SkipWithError("a client missed lines or received them out of order");
        else if (!stalledDropped)
            state.SkipWithError("the stalled client was not dropped");
        else if (mainThreadSeconds >= 1.0)
            state.SkipWithError("the main thread spent 1 s or more re-serving");
        else if (bench::peakResidentMiB() >= 300)
            state.SkipWithError("resident memory reached 300 MB");
    }
}
BENCHMARK(BM_LocalSpotServerBurst)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace
