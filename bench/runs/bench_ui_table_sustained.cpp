// A sustained run of the live road into the spot table: a fake cluster node on its own thread
// streams spots at a fixed rate; five busy alerts highlight half of them.
//
// Roads:
//   window (default)   the program (VarnelloApp) with its main window on the Spots tab, connected
//                      to the node through its own settings; the window refreshes as it does.
//                      The data-file site is a local stub that has nothing newer.
//   --table-only       ClusterConnection + ContentView + the table alone, refreshed the way the
//                      window does (one single-shot timer, at most every 50 ms under a firehose);
//                      prints where the refresh time goes.
//   --without-table    the same road with the table left out, for comparison.
//
// Reports per rate: main-thread CPU, the longest single event dispatch on the main thread, the
// longest lateness of a 10 ms probe timer, and resident memory when the 5,000-spot cap is reached,
// at the end and every 10 s.
//
//   bench_ui_table_sustained [--seconds=60] [--rates=200,1000] [--table-only|--without-table]

#include "AlertCoding.h"
#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchSupport.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "FakeClusterNode.h"
#include "HttpStub.h"
#include "SettingsKeys.h"
#include "SpotTableView.h"
#include "VarnelloApp.h"

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

namespace {

enum class Road { window, tableOnly, withoutTable };

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
    qint64 paintNs = 0; // every widget's paint events

    bool notify(QObject *receiver, QEvent *event) override
    {
        if (event->type() == QEvent::Paint) {
            // Widgets are painted one after the other, never inside each other's paint.
            QElapsedTimer timer;
            timer.start();
            ++m_depth;
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            paintNs += timer.nsecsElapsed();
            return handled;
        }
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        QElapsedTimer timer;
        timer.start();
        const bool handled = QApplication::notify(receiver, event);
        longestDispatchNs = std::max(longestDispatchNs, timer.nsecsElapsed());
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
    double seconds = 0;
    qint64 spots = 0;
    double cpuPercent = 0;
    double longestDispatchMs = 0;
    double paintPercent = 0;
    double longestProbeLatenessMs = 0;
    double rssAtCapMiB = -1;
    double capReachedAfter = -1;
    QList<double> rssEvery10s;
};

// The table fed the way the window feeds it, without the rest of the window.
class TableOnlyRoad {
public:
    TableOnlyRoad(AppSettingsStore &settings, bool withTable) : m_withTable(withTable)
    {
        ClusterConnectionEnvironment connectionEnvironment;
        connectionEnvironment.settings = &settings;
        connection = std::make_unique<ClusterConnection>(&m_countryFiles, connectionEnvironment);
        ContentViewEnvironment contentEnvironment;
        contentEnvironment.settings = &settings;
        contentEnvironment.cluster = connection.get();
        m_content = std::make_unique<ContentView>(contentEnvironment);
        m_content->handleAppear();
        m_window.resize(1000, 800);
        SpotTableEnvironment tableEnvironment;
        tableEnvironment.settings = &settings;
        m_table = new SpotTableView(tableEnvironment, &m_window);
        m_table->setGeometry(0, 120, 1000, 640);
        if (withTable)
            m_window.show();
        m_refreshTimer.setSingleShot(true);
        m_sinceRefresh.start();
        QObject::connect(&m_refreshTimer, &QTimer::timeout, [this] { refresh(); });
        QObject::connect(connection.get(), &ClusterConnection::spotsChanged, [this] {
            if (!m_refreshTimer.isActive())
                m_refreshTimer.start(std::max<qint64>(0, 50 - m_sinceRefresh.elapsed()));
        });
    }
    ~TableOnlyRoad()
    {
        const double seconds = m_wall.elapsed() / 1000.0;
        std::printf("  %lld refreshes; shares of one core: lists and colours %.1f %%, table "
                    "update %.1f %%\n",
                    static_cast<long long>(m_refreshes), m_listNs / 1e7 / seconds,
                    m_tableNs / 1e7 / seconds);
    }
    void startClock() { m_wall.start(); }
    void connectTo(quint16 port)
    {
        connection->connect(QStringLiteral("127.0.0.1"), port, QStringLiteral("N0CALL"), {},
                            ClusterNodeRole::primary, false, false, ConnectionOrigin::manual);
    }

    std::unique_ptr<ClusterConnection> connection;

private:
    void refresh()
    {
        QElapsedTimer timer;
        timer.start();
        SpotListsSnapshot lists =
            m_content->spotListsSnapshot(ContentView::SnapshotLists::displayedOnly);
        m_input.spots = std::move(lists.displayedSpots);
        m_input.highlightColorsBySpotID = std::move(lists.highlightColorsBySpotID);
        const qint64 listed = timer.nsecsElapsed();
        if (m_withTable)
            m_table->update(m_input);
        m_listNs += listed;
        m_tableNs += timer.nsecsElapsed() - listed;
        m_sinceRefresh.restart();
        ++m_refreshes;
    }

    bool m_withTable;
    CTYFileManager m_countryFiles;
    std::unique_ptr<ContentView> m_content;
    QWidget m_window;
    SpotTableView *m_table = nullptr;
    SpotTableInput m_input;
    QTimer m_refreshTimer;
    QElapsedTimer m_sinceRefresh;
    QElapsedTimer m_wall;
    qint64 m_refreshes = 0;
    qint64 m_listNs = 0;
    qint64 m_tableNs = 0;
};

RunResult run(TimedApplication &app, Road road, int rate, int seconds)
{
    QTemporaryDir dir;
    AppPaths::Override paths(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore settings(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore::SharedOverride sharedSettings(settings);
    settings.setData(SettingsKeys::spotAlertsConfiguration, *alertcoding::encode(busyAlerts()));
    settings.setData(SettingsKeys::spotAlertsEnabled,
                     *alertcoding::encodeFlags({true, true, true, true, true}));

    // The node lives on its own thread so its work is not counted as the main thread's.
    QThread nodeThread;
    QObject nodeAnchor;
    nodeAnchor.moveToThread(&nodeThread);
    nodeThread.start();
    test::FakeClusterNode *node = nullptr;
    QMetaObject::invokeMethod(
        &nodeAnchor, [&] { node = new test::FakeClusterNode; }, Qt::BlockingQueuedConnection);
    settings.setString(SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
    settings.setString(SettingsKeys::clusterHost, QStringLiteral("127.0.0.1"));
    settings.setString(SettingsKeys::clusterPort, QString::number(node->port()));
    settings.setBool(SettingsKeys::backupClusterEnabled, false);

    std::unique_ptr<VarnelloApp> host;
    std::unique_ptr<TableOnlyRoad> tableOnly;
    ClusterConnection *connection = nullptr;
    test::HttpStub dataFilesSite; // answers 404: no data file is ever newer
    if (road == Road::window) {
        if (!dataFilesSite.listen()) {
            std::fprintf(stderr, "the data-file stub could not listen\n");
            std::exit(1);
        }
        CTYFileManager::Dependencies files;
        files.endpoints =
            CTYFileManager::Endpoints::withBases(dataFilesSite.baseUrl(), dataFilesSite.baseUrl());
        host = std::make_unique<VarnelloApp>(VarnelloApp::Options{.dataFiles = files});
        host->show();
        connection = &host->cluster();
        host->view().connect(ConnectionOrigin::manual);
    } else {
        tableOnly = std::make_unique<TableOnlyRoad>(settings, road == Road::tableOnly);
        connection = tableOnly->connection.get();
        tableOnly->connectTo(node->port());
    }
    if (!QTest::qWaitFor([&] { return connection->isLoggedIn(); }, 10000)) {
        std::fprintf(stderr, "login to the fake node failed\n");
        std::exit(1);
    }
    QTest::qWait(1000); // let the post-login commands settle

    RunResult result;
    QObject::connect(connection, &ClusterConnection::liveSpotReceived, [&] { ++result.spots; });
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QElapsedTimer probeClock;
    qint64 longestLateness = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longestLateness = std::max(longestLateness, probeClock.elapsed() - 10);
        probeClock.restart();
    });
    QElapsedTimer wall;
    QTimer memoryWatch;
    QObject::connect(&memoryWatch, &QTimer::timeout, [&] {
        if (result.capReachedAfter < 0 && connection->spots().size() >= 5000) {
            result.capReachedAfter = wall.elapsed() / 1000.0;
            result.rssAtCapMiB = bench::residentMiB();
        }
        if (wall.elapsed() >= 10000 * result.rssEvery10s.size())
            result.rssEvery10s.append(bench::residentMiB());
    });

    QMetaObject::invokeMethod(node, [node, rate] { node->startSpotStream(rate); });
    if (tableOnly)
        tableOnly->startClock();
    app.longestDispatchNs = 0;
    app.paintNs = 0;
    const double cpuStart = threadCpuSeconds();
    wall.start();
    probeClock.start();
    probe.start(10);
    memoryWatch.start(250);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    result.seconds = wall.elapsed() / 1000.0;
    result.cpuPercent = 100.0 * (threadCpuSeconds() - cpuStart) / result.seconds;
    result.longestDispatchMs = app.longestDispatchNs / 1e6;
    result.paintPercent = app.paintNs / 1e7 / result.seconds;
    result.longestProbeLatenessMs = double(longestLateness);
    result.rssEvery10s.append(bench::residentMiB());
    probe.stop();
    memoryWatch.stop();

    QMetaObject::invokeMethod(
        &nodeAnchor, [&] { node->stopSpotStream(); }, Qt::BlockingQueuedConnection);
    connection->disconnect();
    tableOnly.reset();
    host.reset();
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
    Road road = Road::window;
    for (const QString &argument : QCoreApplication::arguments().mid(1)) {
        if (argument.startsWith(QLatin1StringView("--seconds="))) {
            seconds = std::max(1, argument.mid(10).toInt());
        } else if (argument.startsWith(QLatin1StringView("--rates="))) {
            rates.clear();
            for (const QString &rate : argument.mid(8).split(QLatin1Char(',')))
                rates.append(std::max(1, rate.toInt()));
        } else if (argument == QLatin1StringView("--table-only")) {
            road = Road::tableOnly;
        } else if (argument == QLatin1StringView("--without-table")) {
            road = Road::withoutTable;
        }
        // Other arguments (Google Benchmark's, from tools/bench.sh) are ignored.
    }
    std::printf("%-6s %8s %8s %8s %8s %12s %13s %10s %9s\n", "rate", "seconds", "spots", "cpu %",
                "paint %", "longest ms", "probe late ms", "cap at s", "RSS cap");
    for (const int rate : rates) {
        const RunResult r = run(app, road, rate, seconds);
        std::printf("%-6d %8.1f %8lld %8.1f %8.1f %12.1f %13.1f %10.1f %9.1f\n", rate, r.seconds,
                    static_cast<long long>(r.spots), r.cpuPercent, r.paintPercent,
                    r.longestDispatchMs, r.longestProbeLatenessMs, r.capReachedAfter,
                    r.rssAtCapMiB);
        std::printf("  resident MiB every 10 s:");
        for (const double mib : r.rssEvery10s)
            std::printf(" %.1f", mib);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
