// CPU per spot of the real main window (the whole program object, window shown) at a steady spot
// rate, beside a minimal QTableView over the same rows at the same rate, in one run. Meant for a
// real X server, so that painting is real:
//
//   xvfb-run -a -s "-screen 0 1280x800x24" build/bench/bench/bench_ui_window_rate
//
// Spots enter the connection's list as the receive path puts them there (parsing is left out: it
// is the same for every road), one per timer tick on the main thread (a late tick catches up). CPU
// is the whole process's (CLOCK_PROCESS_CPUTIME_ID) over the measured seconds, after one second of
// warm-up; counters:
//   cpu_us_per_spot  process CPU time per spot
//   cpu_pct          share of one core
// BM_WindowFirehose floods the window instead (see there). The last case times one window refresh
// with nothing new (no spot, no state change) at 5,000 spots.

#include "AlertCoding.h"
#include "AppPaths.h"
#include "AppSettingsStore.h"
#include "BenchSupport.h"
#include "ClusterConnection.h"
#include "ClusterConnectionTestAccess.h"
#include "ContentView.h"
#include "HttpStub.h"
#include "MainWindow.h"
#include "RefreshCoalescer.h"
#include "SettingsKeys.h"
#include "VarnelloApp.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QEventLoop>
#include <QHeaderView>
#include <QMap>
#include <QRandomGenerator>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <ctime>
#include <memory>

using namespace varnello;

namespace {

// Painting on the X server when there is one (the shared main picks offscreen otherwise); set
// before main() creates the application.
[[maybe_unused]] const bool onDisplay = [] {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}();

constexpr qsizetype cap = ClusterConnection::maximumSpots;
constexpr double warmUpSeconds = 1.0;

double processCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// A pool of varied spots as a node sends them; every use gets a fresh id.
class SpotSource {
public:
    SpotSource()
    {
        static const char *const bands[] = {"160m", "80m", "40m", "30m", "20m",
                                            "17m",  "15m", "12m", "10m", "6m"};
        static const SpotType types[] = {SpotType::cw, SpotType::ssb, SpotType::ftx,
                                         SpotType::otherDigital, SpotType::unknown};
        static const char *const comments[] = {
            "CQ",         "TNX QSO 73",   "FT8 -12 dB from JO31", "up 2",
            "CQ CONTEST", "599 TU",       "CW 24 dB 28 WPM CQ",   "",
            "QSX 14.195", "heard in Köln"};
        static const char *const entities[] = {"Fed. Rep. of Germany", "United States", "Japan",
                                               "European Russia",      "England",       "Italy"};
        QRandomGenerator random(7);
        for (int n = 0; n < 4000; ++n) {
            DXSpot spot;
            spot.callsign = QStringLiteral("%1%2%3")
                                .arg(QChar(u"KWGFJDEIO"[random.bounded(9)]))
                                .arg(random.bounded(10))
                                .arg(QStringLiteral("ABCXYZQRS").mid(random.bounded(6), 3));
            spot.spotter = QStringLiteral("DL%1ABC").arg(random.bounded(30));
            spot.band = QString::fromLatin1(bands[random.bounded(10)]);
            spot.spotType = types[random.bounded(5)];
            spot.comment = QString::fromUtf8(comments[random.bounded(10)]);
            spot.frequency = 14000.0 + random.bounded(3500) / 10.0;
            spot.time = QStringLiteral("%1%2Z")
                            .arg((n / 60) % 24, 2, 10, QLatin1Char('0'))
                            .arg(n % 60, 2, 10, QLatin1Char('0'));
            if (random.bounded(10) != 0) {
                const int entity = random.bounded(6);
                spot.dxcc = QString::fromUtf8(entities[entity]);
                spot.dxccADIFNumber = 200 + entity;
                spot.dxContinent = QStringLiteral("EU");
            }
            spot.spotterADIFNumber = 230;
            spot.spotterContinent = QStringLiteral("EU");
            spot.receivedAt = QDateTime::currentDateTimeUtc();
            spot.rawLine = QStringLiteral("DX de %1:     %2  %3  %4  %5")
                               .arg(spot.spotter + QLatin1Char('-'))
                               .arg(spot.frequency, 0, 'f', 1)
                               .arg(spot.callsign, -12)
                               .arg(spot.comment, -30)
                               .arg(spot.time);
            m_pool.append(spot);
        }
    }

    DXSpot next()
    {
        DXSpot spot = m_pool.at(m_next++ % m_pool.size());
        spot.id = QUuid::createUuid();
        return spot;
    }

private:
    QList<DXSpot> m_pool;
    qsizetype m_next = 0;
};

// The floor: a plain model over the same records, told of front inserts and tail cuts.
class MinimalModel final : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : int(m_spots.size());
    }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : 8;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        const DXSpot &spot = m_spots.at(index.row());
        switch (index.column()) {
        case 0:
            return spot.time;
        case 1:
            return spot.callsign;
        case 2:
            return spot.frequencyText();
        case 3:
            return spot.band;
        case 4:
            return spot.spotter;
        case 5:
            return spot.comment;
        case 6:
            return spot.dxcc.value_or(QStringLiteral("—"));
        default:
            return QString();
        }
    }
    void reset(const QList<DXSpot> &spots)
    {
        beginResetModel();
        m_spots = spots;
        endResetModel();
    }
    void prepend(const DXSpot &spot)
    {
        beginInsertRows({}, 0, 0);
        m_spots.prepend(spot);
        endInsertRows();
        if (m_spots.size() > cap) {
            beginRemoveRows({}, int(cap), int(m_spots.size() - 1));
            m_spots.resize(cap);
            endRemoveRows();
        }
    }

private:
    QList<DXSpot> m_spots;
};

struct Scene {
    QTemporaryDir dir;
    std::unique_ptr<AppPaths::Override> paths;
    std::unique_ptr<AppSettingsStore> settings;
    std::unique_ptr<AppSettingsStore::SharedOverride> sharedSettings;
    test::HttpStub dataFilesSite; // answers 404: no data file is ever newer
    std::unique_ptr<VarnelloApp> app;
    SpotSource source;

    QWidget tableWindow;
    QTableView *table = nullptr;
    MinimalModel model;

    Scene()
    {
        const QString folder = dir.path() + QStringLiteral("/Varnello");
        paths = std::make_unique<AppPaths::Override>(folder);
        settings = std::make_unique<AppSettingsStore>(folder);
        sharedSettings = std::make_unique<AppSettingsStore::SharedOverride>(*settings);
        // Two alerts that colour about a fifth of the rows.
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0].selectedCallsigns = {QStringLiteral("K1*"), QStringLiteral("W2*")};
        alerts[0].highlightColor = {1.0, 0.8, 0.0};
        alerts[1].selectedBands = {QStringLiteral("20m")};
        alerts[1].highlightColor = {0.35, 0.65, 1.0};
        settings->setData(SettingsKeys::spotAlertsConfiguration, *alertcoding::encode(alerts));
        settings->setData(SettingsKeys::spotAlertsEnabled,
                          *alertcoding::encodeFlags({true, true, false, false, false}));
        if (!dataFilesSite.listen())
            qFatal("the data-file stub could not listen");
        CTYFileManager::Dependencies files;
        files.endpoints =
            CTYFileManager::Endpoints::withBases(dataFilesSite.baseUrl(), dataFilesSite.baseUrl());
        app = std::make_unique<VarnelloApp>(VarnelloApp::Options{.dataFiles = files});
        app->show();
        ClusterConnectionTestAccess::logIn(app->cluster(), ClusterNodeType::dxSpider);
        QTest::qWait(1500); // the start-up tasks settle

        table = new QTableView(&tableWindow);
        table->setModel(&model);
        table->verticalHeader()->hide();
        table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
        table->verticalHeader()->setDefaultSectionSize(22);
        table->setSelectionBehavior(QAbstractItemView::SelectRows);
        auto *spotTable = app->window().findChild<QTableView *>(QStringLiteral("spotTable"));
        const QSize size = spotTable ? spotTable->size() : QSize(980, 600);
        tableWindow.resize(size);
        table->resize(size);
        for (int column = 0; column < 8 && spotTable; ++column)
            table->setColumnWidth(column, spotTable->columnWidth(column));
    }

    ClusterConnection &cluster() { return app->cluster(); }

    void fillWindow(qsizetype rows)
    {
        tableWindow.hide();
        app->window().show();
        ClusterConnectionTestAccess::clearSpots(cluster());
        for (qsizetype i = 0; i < rows; ++i)
            ClusterConnectionTestAccess::insertLiveSpot(cluster(), source.next());
        QTest::qWait(1000);
    }

    void fillTable(qsizetype rows)
    {
        QList<DXSpot> spots;
        for (qsizetype i = 0; i < rows; ++i)
            spots.append(source.next());
        model.reset(spots);
        tableWindow.show();
        tableWindow.raise();
        QTest::qWait(300);
    }
};

// Kept to the end of the process: the program object must not outlive the application object.
Scene &scene()
{
    static Scene *s = new Scene;
    return *s;
}

// With VARNELLO_BENCH_PAINTS set, counts paint and layout events per widget and prints them after
// a case: what a spot makes the window repaint and lay out again.
class PaintCounter final : public QObject {
public:
    QMap<QString, int> counts;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint || event->type() == QEvent::LayoutRequest)
            ++counts[QLatin1String(event->type() == QEvent::Paint ? "paint " : "layout ") +
                     QString::fromLatin1(watched->metaObject()->className()) + QLatin1Char(' ') +
                     watched->objectName()];
        return false;
    }
    ~PaintCounter() override
    {
        for (auto it = counts.cbegin(); it != counts.cend(); ++it)
            std::fprintf(stderr, "  %5d %s\n", it.value(), qPrintable(it.key()));
    }
};

// Runs the event loop with `insert` called `rate` times a second; reports process CPU per spot.
template <typename Insert>
void runAtRate(benchmark::State &state, int rate, double seconds, Insert insert)
{
    QTimer feeder;
    feeder.setTimerType(Qt::PreciseTimer);
    feeder.setInterval(std::max(1, 1000 / rate));
    qint64 spots = 0;
    QElapsedTimer clock;
    // A late tick (a busy machine) catches up, so every case gets its rate in full.
    QObject::connect(&feeder, &QTimer::timeout, [&] {
        const qint64 due = clock.nsecsElapsed() * rate / 1'000'000'000 + 1;
        while (spots < due) {
            insert();
            ++spots;
        }
    });
    clock.start();
    feeder.start();
    QTest::qWait(int(warmUpSeconds * 1000));
    std::unique_ptr<PaintCounter> paints;
    if (!qEnvironmentVariableIsEmpty("VARNELLO_BENCH_PAINTS")) {
        paints = std::make_unique<PaintCounter>();
        qApp->installEventFilter(paints.get());
    }
    for (auto _ : state) {
        const qint64 spotsBefore = spots;
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QEventLoop loop;
        QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
        loop.exec();
        const double cpu = processCpuSeconds() - cpuBefore;
        const qint64 measured = spots - spotsBefore;
        state.SetIterationTime(wall.nsecsElapsed() / 1e9);
        state.counters["spots"] = double(measured);
        state.counters["cpu_us_per_spot"] = measured ? cpu * 1e6 / double(measured) : 0;
        state.counters["cpu_pct"] = 100.0 * cpu / (wall.nsecsElapsed() / 1e9);
    }
    feeder.stop();
}

// No spot at all: what the process spends anyway, a share of every case above.
void BM_Idle(benchmark::State &state)
{
    Scene &s = scene();
    s.fillWindow(cap);
    for (auto _ : state) {
        const double cpuBefore = processCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(5000);
        const double cpu = processCpuSeconds() - cpuBefore;
        state.SetIterationTime(wall.nsecsElapsed() / 1e9);
        state.counters["cpu_pct"] = 100.0 * cpu / (wall.nsecsElapsed() / 1e9);
    }
}
BENCHMARK(BM_Idle)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

void BM_Window(benchmark::State &state)
{
    Scene &s = scene();
    const int rate = int(state.range(0));
    s.fillWindow(state.range(1));
    runAtRate(state, rate, rate >= 100 ? 4.0 : 5.0,
              [&s] { ClusterConnectionTestAccess::insertLiveSpot(s.cluster(), s.source.next()); });
}
BENCHMARK(BM_Window)
    ->ArgNames({"rate", "rows"})
    ->Args({10, 100})
    ->Args({10, cap})
    ->Args({200, cap})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

void BM_MinimalTable(benchmark::State &state)
{
    Scene &s = scene();
    const int rate = int(state.range(0));
    s.fillTable(state.range(1));
    runAtRate(state, rate, 5.0, [&s] { s.model.prepend(s.source.next()); });
    s.tableWindow.hide();
}
BENCHMARK(BM_MinimalTable)
    ->ArgNames({"rate", "rows"})
    ->Args({10, 100})
    ->Args({10, cap})
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// The window hidden: the spots still come in, nothing is painted.
void BM_WindowHidden(benchmark::State &state)
{
    Scene &s = scene();
    s.fillWindow(cap);
    s.app->window().hide();
    QTest::qWait(200);
    runAtRate(state, int(state.range(0)), 4.0,
              [&s] { ClusterConnectionTestAccess::insertLiveSpot(s.cluster(), s.source.next()); });
    s.app->window().show();
}
BENCHMARK(BM_WindowHidden)
    ->ArgName("rate")
    ->Arg(10)
    ->Arg(200)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

// A firehose into the shown window: spots go in the way the receive path hands them on under a
// flood (2 ms of them per turn of the event loop, then the next turn), for 4 s. Reports how many
// spots a second the window takes and the gaps of a precise 10 ms timer meanwhile
// (longest_gap_ms, p999_gap_ms; ..._cpu_ms the main thread's CPU time within them).
void BM_WindowFirehose(benchmark::State &state)
{
    Scene &s = scene();
    s.fillWindow(cap);
    for (auto _ : state) {
        qint64 spots = 0;
        QTimer feeder;
        feeder.setInterval(0);
        QObject::connect(&feeder, &QTimer::timeout, [&] {
            QElapsedTimer turn;
            turn.start();
            while (turn.nsecsElapsed() < 2'000'000) {
                ClusterConnectionTestAccess::insertLiveSpot(s.cluster(), s.source.next());
                ++spots;
            }
        });
        bench::TimerGapProbe gaps;
        gaps.start();
        gaps.measure();
        feeder.start();
        QElapsedTimer wall;
        wall.start();
        QTest::qWait(4000);
        feeder.stop();
        gaps.stop();
        const double seconds = wall.nsecsElapsed() / 1e9;
        state.SetIterationTime(seconds);
        state.counters["spots_per_s"] = double(spots) / seconds;
        state.counters["longest_gap_ms"] = gaps.longestMs();
        state.counters["p999_gap_ms"] = gaps.p999Ms();
        state.counters["longest_gap_cpu_ms"] = gaps.longestCpuMs();
        state.counters["p999_gap_cpu_ms"] = gaps.p999CpuMs();
    }
}
BENCHMARK(BM_WindowFirehose)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

// A refresh with nothing new (what a timer tick or an unrelated change costs), with what it
// posts (layouts, paints) handled too.
void BM_WindowRefreshNothingNew(benchmark::State &state)
{
    Scene &s = scene();
    s.fillWindow(cap);
    auto *coalescer = s.app->window().findChild<RefreshCoalescer *>();
    if (!coalescer) {
        state.SkipWithError("no refresh coalescer");
        return;
    }
    for (auto _ : state) {
        coalescer->flush();
        QCoreApplication::sendPostedEvents();
    }
}
BENCHMARK(BM_WindowRefreshNothingNew)->Unit(benchmark::kMicrosecond);

} // namespace
