// A sustained run of the live road into the spot table: a fake cluster node on its own thread
// streams spots at a fixed rate to a ClusterConnection; ContentView runs the alert step for each
// live spot (five busy alerts with row highlights); a refresh like the main window's (one
// single-shot timer, at most one refresh per event-loop turn and at most every 50 ms under a
// firehose) builds the filtered list and its colours and hands them to the table.
//
// Reports per rate: main-thread CPU, the longest single event dispatch on the main thread, the
// longest lateness of a 10 ms probe timer, refreshes, and resident memory once the 5,000-spot
// cap is reached and at the end.
//
//   bench_ui_table_sustained [--seconds=60] [--rates=200,1000] [--without-table]

#include "AlertCoding.h"
#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchSupport.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "FakeClusterNode.h"
#include "SettingsKeys.h"
#include "SpotTableView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <ctime>
#include <memory>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// Times every outermost event dispatch of the main thread.
class TimedApplication final : public QApplication {
public:
    using QApplication::QApplication;
    qint64 longestDispatchNs = 0;
    QHash<int, qint64> nsByEventType; // wall time of outermost dispatches, by event type

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const QEvent::Type type = event->type();
        const bool handled = QApplication::notify(receiver, event);
        const qint64 ns = timer.nsecsElapsed();
        longestDispatchNs = std::max(longestDispatchNs, ns);
        nsByEventType[type] += ns;
        --m_depth;
        return handled;
    }

private:
    int m_depth = 0;
};

QList<SpotAlertConfiguration> busyAlerts()
{
    // The node's stream cycles through DL0ABC..DL9ABC: each alert matches a tenth of the spots.
    QList<SpotAlertConfiguration> alerts;
    const SpotAlertColor colours[] = {{1.0, 0.8, 0.0},
                                      {0.35, 0.8, 0.45},
                                      {0.35, 0.65, 1.0},
                                      {1.0, 0.55, 0.3},
                                      {0.75, 0.45, 0.95}};
    for (int slot = 0; slot < 5; ++slot) {
        SpotAlertConfiguration alert;
        alert.name =
            slot == 4 ? QStringLiteral("Callsign Alert") : QStringLiteral("Alert %1").arg(slot + 1);
        alert.selectedCallsigns = {QStringLiteral("DL%1ABC").arg(slot * 2 + 1)};
        alert.highlightColor = colours[slot];
        alerts.append(alert);
    }
    return alerts;
}

struct RunResult {
    int rate = 0;
    double seconds = 0;
    qint64 spots = 0;
    qint64 refreshes = 0;
    double cpuPercent = 0;
    double longestDispatchMs = 0;
    double longestProbeLatenessMs = 0;
    double rssAtCapMiB = -1;
    double rssEndMiB = 0;
    double capReachedAfter = -1;
    QList<double> rssEvery10s;
};

RunResult run(TimedApplication &app, int rate, int seconds, bool withTable)
{
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore settings(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore::SharedOverride sharedSettings(settings);
    settings.setData(SettingsKeys::spotAlertsConfiguration, *alertcoding::encode(busyAlerts()));
    settings.setData(SettingsKeys::spotAlertsEnabled,
                     *alertcoding::encodeFlags({true, true, true, true, true}));
    CTYFileManager countryFiles;

    // The node lives on its own thread so its work is not counted as the main thread's.
    QThread nodeThread;
    QObject nodeAnchor;
    nodeAnchor.moveToThread(&nodeThread);
    nodeThread.start();
    test::FakeClusterNode *node = nullptr;
    QMetaObject::invokeMethod(
        &nodeAnchor, [&] { node = new test::FakeClusterNode; }, Qt::BlockingQueuedConnection);

    ClusterConnectionEnvironment connectionEnvironment;
    connectionEnvironment.settings = &settings;
    ClusterConnection connection(&countryFiles, connectionEnvironment);
    ContentViewEnvironment contentEnvironment;
    contentEnvironment.settings = &settings;
    contentEnvironment.cluster = &connection;
    ContentView content(contentEnvironment);
    content.handleAppear();

    QWidget window;
    window.resize(1000, 800);
    SpotTableEnvironment tableEnvironment;
    tableEnvironment.settings = &settings;
    auto *table = new SpotTableView(tableEnvironment, &window);
    table->setGeometry(0, 120, 1000, 640);
    if (withTable)
        window.show();

    // The window's refresh.
    RunResult result;
    result.rate = rate;
    QTimer refreshTimer;
    refreshTimer.setSingleShot(true);
    QElapsedTimer sinceRefresh;
    sinceRefresh.start();
    SpotTableInput input;
    qint64 refreshNs = 0;
    qint64 alertNs = 0;
    qint64 listNs = 0;
    qint64 coloursNs = 0;
    qint64 tableNs = 0;
    const auto refresh = [&] {
        QElapsedTimer timer;
        timer.start();
        QList<DXSpot> list;
        list.reserve(connection.spots().size());
        for (const DXSpot &spot : connection.spots()) {
            if (content.spotPassesLocalFilters(spot))
                list.append(spot);
        }
        const qint64 listed = timer.nsecsElapsed();
        input.highlightColorsBySpotID = content.alertHighlightColors(list);
        const qint64 coloured = timer.nsecsElapsed();
        input.spots = std::move(list);
        if (withTable)
            table->update(input);
        listNs += listed;
        coloursNs += coloured - listed;
        tableNs += timer.nsecsElapsed() - coloured;
        sinceRefresh.restart();
        ++result.refreshes;
        refreshNs += timer.nsecsElapsed();
    };
    QObject::connect(&refreshTimer, &QTimer::timeout, refresh);
    const auto scheduleRefresh = [&] {
        if (!refreshTimer.isActive())
            refreshTimer.start(std::max<qint64>(0, 50 - sinceRefresh.elapsed()));
    };
    QObject::connect(&connection, &ClusterConnection::spotsChanged, scheduleRefresh);
    QObject::connect(&connection, &ClusterConnection::liveSpotReceived, [&](const DXSpot &spot) {
        ++result.spots;
        QElapsedTimer timer;
        timer.start();
        content.handleLiveSpot(spot);
        alertNs += timer.nsecsElapsed();
    });

    connection.connect(QStringLiteral("127.0.0.1"), node->port(), QStringLiteral("N0CALL"), {},
                       ClusterNodeRole::primary, false, false, ConnectionOrigin::manual);
    if (!QTest::qWaitFor([&] { return connection.isLoggedIn(); }, 10000)) {
        std::fprintf(stderr, "login to the fake node failed\n");
        std::exit(1);
    }
    QTest::qWait(500); // let the post-login commands settle

    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QElapsedTimer probeClock;
    qint64 longestLateness = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestLateness = std::max(longestLateness, probeClock.elapsed() - 10);
        probeClock.restart();
    });

    QMetaObject::invokeMethod(node, [node, rate] { node->startSpotStream(rate); });
    app.longestDispatchNs = 0;
    app.nsByEventType.clear();
    refreshNs = 0;
    alertNs = 0;
    listNs = 0;
    coloursNs = 0;
    tableNs = 0;
    const double cpuStart = threadCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    probeClock.start();
    probe.start(10);
    QTimer capWatch;
    QObject::connect(&capWatch, &QTimer::timeout, [&] {
        if (result.capReachedAfter < 0 && connection.spots().size() >= 5000) {
            result.capReachedAfter = wall.elapsed() / 1000.0;
            result.rssAtCapMiB = bench::residentMiB();
        }
        if (wall.elapsed() / 10000 > result.rssEvery10s.size() - 1 || result.rssEvery10s.isEmpty())
            result.rssEvery10s.append(bench::residentMiB());
    });
    capWatch.start(250);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    capWatch.stop();
    result.seconds = wall.elapsed() / 1000.0;
    result.cpuPercent = 100.0 * (threadCpuSeconds() - cpuStart) / result.seconds;
    result.longestDispatchMs = app.longestDispatchNs / 1e6;
    result.longestProbeLatenessMs = double(longestLateness);
    result.rssEndMiB = bench::residentMiB();
    probe.stop();
    const double wallMs = result.seconds * 1000.0;
    // Shares of one core (wall time inside each step; events may nest, so they overlap).
    std::printf("  rate %d: refresh %.1f %% (list %.1f, colours %.1f, table %.1f), alert step "
                "%.1f %%, paint %.1f %%, socket reads %.1f %%, timers %.1f %%\n",
                rate, refreshNs / 1e4 / wallMs, listNs / 1e4 / wallMs, coloursNs / 1e4 / wallMs,
                tableNs / 1e4 / wallMs, alertNs / 1e4 / wallMs,
                app.nsByEventType.value(QEvent::UpdateRequest) / 1e4 / wallMs,
                app.nsByEventType.value(QEvent::SockAct) / 1e4 / wallMs,
                app.nsByEventType.value(QEvent::Timer) / 1e4 / wallMs);

    QMetaObject::invokeMethod(
        &nodeAnchor, [&] { node->stopSpotStream(); }, Qt::BlockingQueuedConnection);
    connection.disconnect();
    QMetaObject::invokeMethod(
        &nodeAnchor, [&] { delete node; }, Qt::BlockingQueuedConnection);
    nodeThread.quit();
    nodeThread.wait();
    return result;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication app(argc, argv);
    int seconds = 60;
    QList<int> rates{200, 1000};
    bool withTable = true;
    for (const QString &argument : QCoreApplication::arguments().mid(1)) {
        if (argument.startsWith(QLatin1StringView("--seconds=")))
            seconds = std::max(1, argument.mid(10).toInt());
        else if (argument.startsWith(QLatin1StringView("--rates="))) {
            rates.clear();
            for (const QString &rate : argument.mid(8).split(QLatin1Char(',')))
                rates.append(std::max(1, rate.toInt()));
        } else if (argument == QLatin1StringView("--without-table"))
            withTable = false; // the same road without the table, for comparison
        // Other arguments (Google Benchmark's, from tools/bench.sh) are ignored.
    }
    std::printf("%-6s %8s %8s %9s %8s %12s %13s %10s %10s %9s\n", "rate", "seconds", "spots",
                "refreshes", "cpu %", "longest ms", "probe late ms", "cap at s", "RSS cap",
                "RSS end");
    for (const int rate : rates) {
        const RunResult r = run(app, rate, seconds, withTable);
        std::printf("%-6d %8.1f %8lld %9lld %8.1f %12.1f %13.1f %10.1f %10.1f %9.1f\n", r.rate,
                    r.seconds, static_cast<long long>(r.spots), static_cast<long long>(r.refreshes),
                    r.cpuPercent, r.longestDispatchMs, r.longestProbeLatenessMs, r.capReachedAfter,
                    r.rssAtCapMiB, r.rssEndMiB);
        std::printf("  resident MiB every 10 s:");
        for (const double mib : r.rssEvery10s)
            std::printf(" %.1f", mib);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
