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
#include "NodeTranscript.h"
#include "SoundOutput.h"
#include "SystemNotifications.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <ctime>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

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

// A node on its own thread. With login, it asks for the callsign, answers every command with
// the prompt (the status question with its two fields first), then paces the spot lines; without,
// it paces them at once.
class PacedNode {
public:
    PacedNode(QStringList spotLines, bool login) : m_lines(std::move(spotLines)), m_login(login)
    {
        m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address);
        ::listen(m_listener, 1);
        socklen_t length = sizeof address;
        ::getsockname(m_listener, reinterpret_cast<sockaddr *>(&address), &length);
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { run(); });
    }

    ~PacedNode()
    {
        m_stop = true;
        ::shutdown(m_listener, SHUT_RDWR);
        if (m_client >= 0)
            ::shutdown(m_client, SHUT_RDWR);
        m_thread.join();
        if (m_client >= 0)
            ::close(m_client);
        ::close(m_listener);
    }

    quint16 port() const { return m_port; }
    // Spots are only paced once the client is ready for them.
    void startSpots() { m_spotsWanted = true; }

private:
    void writeAll(const QByteArray &bytes)
    {
        ::send(m_client, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    }

    void answerCommands(QByteArray &pending)
    {
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::recv(m_client, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got <= 0)
                break;
            pending.append(buffer, got);
        }
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line == "stat/us")
                writeAll("Want RBN Spots : No\r\nWant RBN Beacon : No\r\n" + prompt);
            else
                writeAll(prompt);
        }
    }

    void run()
    {
        m_client = ::accept(m_listener, nullptr, nullptr);
        if (m_client < 0)
            return;
        const int on = 1;
        ::setsockopt(m_client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        QByteArray pending;
        if (m_login) {
            writeAll("Welcome to the benchmark node\r\nlogin: ");
            char c = 0;
            while (!m_stop && ::recv(m_client, &c, 1, 0) == 1 && c != '\n') {
            }
            writeAll(prompt);
        }
        const auto interval = std::chrono::microseconds(1'000'000 / spotsPerSecond);
        auto next = std::chrono::steady_clock::now();
        qsizetype index = 0;
        while (!m_stop) {
            if (m_login)
                answerCommands(pending);
            next += interval;
            std::this_thread::sleep_until(next);
            if (m_spotsWanted) {
                writeAll(m_lines[index % m_lines.size()].toUtf8() + "\r\n");
                ++index;
            }
        }
    }

    QStringList m_lines;
    bool m_login;
    int m_listener = -1;
    int m_client = -1;
    quint16 m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_spotsWanted{false};
    std::thread m_thread;
};

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
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore store(dir.path() + QStringLiteral("/Varnello"));
    CTYFileManager manager;
    const QStringList lines = spotLinesOnly(bench::realisticNodeLines(
        20'000, 20261207, manager.database() ? &*manager.database() : nullptr));

    for (auto _ : state) {
        // The floor: a socket that only reads and counts lines.
        double bareCpu = 0;
        qint64 bareLines = 0;
        {
            PacedNode node(lines, false);
            QTcpSocket socket;
            QObject::connect(&socket, &QTcpSocket::readyRead,
                             [&] { bareLines += socket.readAll().count('\n'); });
            socket.connectToHost(QStringLiteral("127.0.0.1"), node.port());
            socket.waitForConnected(5000);
            node.startSpots();
            bareCpu = cpuWhileRunning(duration);
        }

        // The connection, logged in, with everything a live spot goes through.
        store.setBool(SettingsKeys::localTelnetServerEnabled, true);
        store.setString(SettingsKeys::localTelnetServerPort, QStringLiteral("47391"));
        store.setBool(SettingsKeys::udpFeedEnabled, true);
        store.setString(SettingsKeys::udpFeedDestination, QStringLiteral("127.0.0.1"));
        store.setString(SettingsKeys::udpFeedPort, QStringLiteral("47392"));
        double connectionCpu = 0;
        qint64 liveSpots = 0;
        {
            PacedNode node(lines, true);
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
            ContentView view(viewEnvironment);
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
            node.startSpots();
            waitFor(std::chrono::milliseconds(500));
            const qint64 before = liveSpots;
            connectionCpu = cpuWhileRunning(duration);
            liveSpots -= before;
            connection.disconnect();
        }
        const double bareUs = bareCpu / double(std::max<qint64>(1, bareLines)) * 1e6;
        const double connectionUs = connectionCpu / double(std::max<qint64>(1, liveSpots)) * 1e6;
        state.counters["bare_us_per_spot"] = bareUs;
        state.counters["connection_us_per_spot"] = connectionUs;
        state.counters["difference_us"] = connectionUs - bareUs;
        state.counters["bare_spots"] = double(bareLines);
        state.counters["connection_spots"] = double(liveSpots);
    }
}
// The argument is each phase's length in seconds.
BENCHMARK(BM_PacedSpots_CpuPerSpot_ConnectionVersusBareReader)
    ->Arg(30)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

} // namespace
