// The main window's spot road with every local filter on, over a full spot list of 5,000 realistic
// spots: one filter pass, one whole refresh, a resume with a full buffer, the "new" count, and
// one arriving spot while paused.
#include "AlertCoding.h"
#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AppSettingsStore.h"
#include "BenchOutputs.h"
#include "Clock.h"
#include "ClusterConnection.h"
#include "ClusterConnectionTestAccess.h"
#include "ContentView.h"
#include "LoTWActivityLookup.h"
#include "SettingsKeys.h"
#include "SoundOutput.h"
#include "SystemNotifications.h"

#include <QRandomGenerator>
#include <benchmark/benchmark.h>

using namespace varnello;

namespace {

const QStringList bands{"160m", "80m", "40m", "30m", "20m", "17m", "15m", "12m", "10m", "6m"};
const QList<SpotType> types{SpotType::cw,           SpotType::ssb,    SpotType::ftx,
                            SpotType::otherDigital, SpotType::beacon, SpotType::unknown};
const QStringList continents{"AF", "AN", "AS", "EU", "NA", "OC", "SA"};
const QStringList comments{"CQ",         "TNX QSO 73",   "FT8 -12 dB from JO31", "up 2",
                           "CQ CONTEST", "599 TU",       "CW 24 dB 28 WPM CQ",   "",
                           "QSX 14.195", "Sébastien op", "via LoTW only",        "heard in Köln"};
// Twenty blocked terms, some with diacritics.
const QStringList blockedTerms{"café",    "Zürich", "señal",  "contest",  "ärger",
                               "crème",   "piñata", "naïve",  "façade",   "smørbrød",
                               "spam",    "über",   "test",   "beacon",   "rtty",
                               "skimmer", "déjà",   "garçon", "ångström", "résumé"};

DXSpot realisticSpot(QRandomGenerator &random)
{
    DXSpot spot;
    spot.id = QUuid::createUuid();
    spot.callsign = QStringLiteral("%1%2%3%4")
                        .arg(QChar(u"KWGFJDEIO"[random.bounded(9)]))
                        .arg(random.bounded(10))
                        .arg(QStringLiteral("ABCXYZ").mid(random.bounded(3), 3))
                        .arg(random.bounded(20) == 0 ? "/QRP" : "");
    spot.spotter = QStringLiteral("DL%1ABC").arg(random.bounded(10));
    spot.band = bands[random.bounded(int(bands.size()))];
    spot.spotType = types[random.bounded(int(types.size()))];
    spot.comment = comments[random.bounded(int(comments.size()))];
    spot.frequency = 14000.0 + random.bounded(350);
    spot.time = QStringLiteral("1234Z");
    if (random.bounded(20) != 0) {
        spot.dxccADIFNumber = 1 + random.bounded(400);
        spot.dxContinent = continents[random.bounded(int(continents.size()))];
    }
    if (random.bounded(20) != 0) {
        // Most spotters come from the entities the operator allows.
        spot.spotterADIFNumber =
            random.bounded(4) ? 1 + random.bounded(50) : 1 + random.bounded(400);
        spot.spotterContinent = continents[random.bounded(int(continents.size()))];
    }
    spot.rawLine = QStringLiteral("DX de %1:%2%3  %4  %5  1234Z")
                       .arg(spot.spotter)
                       .arg(QString(6, QLatin1Char(' ')))
                       .arg(spot.frequency, 0, 'f', 1)
                       .arg(spot.callsign, -12)
                       .arg(spot.comment, -30);
    return spot;
}

struct Scene {
    AppSettingsStore settings{std::nullopt};
    bench::AlertOutputs outputs;
    ManualClock clock;
    LoTWActivityLookup lotw;
    std::unique_ptr<ClusterConnection> cluster;
    std::unique_ptr<ContentView> view;
    QRandomGenerator random{42};

    Scene()
    {
        LoTWActivityLookup::Table table;
        for (int i = 0; i < 150'000; ++i)
            table.insert(realisticSpot(random).callsign.section('/', 0, 0), QDate(2026, 1, 1));
        lotw.replaceAll(std::move(table));

        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0].selectedModes = {SpotType::cw};
        alerts[0].selectedBands = {"20m", "40m"};
        alerts[1].selectedEntityADIFNumbers = {1, 5, 291, 339};
        for (int i = 0; i < 50; ++i)
            alerts[4].selectedCallsigns.insert(QStringLiteral("K%1AB*").arg(i));
        for (SpotAlertConfiguration &alert : alerts) {
            alert.playSound = true;
            alert.soundFrequency = AlertSoundFrequency::everySpot;
        }
        settings.setData(SettingsKeys::spotAlertsConfiguration, *alertcoding::encode(alerts));
        settings.setData(SettingsKeys::spotAlertsEnabled, "[true,true,false,false,true]");

        ClusterConnectionEnvironment clusterEnvironment;
        clusterEnvironment.settings = &settings;
        clusterEnvironment.clock = &clock;
        cluster = std::make_unique<ClusterConnection>(nullptr, clusterEnvironment);
        ContentViewEnvironment e;
        e.settings = &settings;
        e.cluster = cluster.get();
        outputs.install(e);
        e.clock = &clock;
        e.lotw = &lotw;
        e.observeNotificationHub = false;
        view = std::make_unique<ContentView>(e);

        // Every filter on.
        using S = ContentView::FilterSwitch;
        view->setFilterSwitch(S::hideBeaconSpots, true);
        view->setFilterSwitch(S::hideQRPSpots, true);
        view->setFilterSwitch(S::hideSameDXCCSpots, true);
        view->setFilterSwitch(S::customInfoFilterEnabled, true);
        view->setFilterSwitch(S::customSpotterEntityFilterEnabled, true);
        view->setCustomInfoFilterTerms(blockedTerms);
        QSet<int> allowed;
        for (int entity = 1; entity <= 50; ++entity)
            allowed.insert(entity);
        view->setCustomSpotterEntityADIFNumbers(allowed);
        view->setHiddenDXFromContinents({"AF", "AN", "OC"});
        view->setSelectedBands(QSet<QString>(bands.begin(), bands.end() - 1));
        for (int i = 0; i < int(ClusterConnection::maximumSpots); ++i)
            ClusterConnectionTestAccess::insertLiveSpot(*cluster, realisticSpot(random));
    }
};

Scene &scene()
{
    static Scene s;
    return s;
}

void BM_filterPass(benchmark::State &state)
{
    Scene &s = scene();
    s.view->setShowLoTWOnly(state.range(0) != 0);
    for (auto _ : state) {
        int passing = 0;
        for (const DXSpot &spot : s.cluster->spots())
            passing += s.view->spotPassesLocalFilters(spot);
        benchmark::DoNotOptimize(passing);
        state.counters["passing"] = passing;
    }
    s.view->setShowLoTWOnly(false);
}
BENCHMARK(BM_filterPass)->ArgName("lotwOnly")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The first pass after a change of the blocked terms folds them again.
void BM_filterPassAfterTermsChange(benchmark::State &state)
{
    Scene &s = scene();
    QStringList alternate = blockedTerms;
    alternate.append(QStringLiteral("zzz"));
    bool flip = false;
    for (auto _ : state) {
        s.view->setCustomInfoFilterTerms((flip = !flip) ? alternate : blockedTerms);
        int passing = 0;
        for (const DXSpot &spot : s.cluster->spots())
            passing += s.view->spotPassesLocalFilters(spot);
        benchmark::DoNotOptimize(passing);
    }
    s.view->setCustomInfoFilterTerms(blockedTerms);
}
BENCHMARK(BM_filterPassAfterTermsChange)->Unit(benchmark::kMillisecond);

void BM_refresh(benchmark::State &state)
{
    Scene &s = scene();
    s.view->setSelectedTab(state.range(0) ? MainTab::alertsOnly : MainTab::spots);
    for (auto _ : state) {
        const SpotListsSnapshot snapshot = s.view->spotListsSnapshot();
        benchmark::DoNotOptimize(snapshot.displayedSpots.size());
        state.counters["displayed"] = double(snapshot.displayedSpots.size());
        state.counters["alerts"] = double(snapshot.alertsOnlySpots.size());
    }
    s.view->setSelectedTab(MainTab::spots);
}
BENCHMARK(BM_refresh)->ArgName("alertsTab")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// A pause with a full buffer, then the resume that replays it through the alert step.
void BM_resumeWithFullBuffer(benchmark::State &state)
{
    Scene &s = scene();
    QList<DXSpot> arrivals;
    for (int i = 0; i < int(ContentView::maximumBufferedSpots); ++i)
        arrivals.append(realisticSpot(s.random));
    for (auto _ : state) {
        state.PauseTiming();
        s.view->pauseSpots(true);
        for (const DXSpot &spot : arrivals)
            s.view->handleLiveSpot(spot);
        const long soundsBefore = s.outputs.soundOutput.played;
        state.ResumeTiming();
        s.view->resumeSpots();
        state.counters["sounds"] = double(s.outputs.soundOutput.played - soundsBefore);
    }
}
BENCHMARK(BM_resumeWithFullBuffer)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_newBufferedSpotCountUnchanged(benchmark::State &state)
{
    Scene &s = scene();
    s.view->pauseSpots(true);
    for (int i = 0; i < int(ContentView::maximumBufferedSpots); ++i)
        s.view->handleLiveSpot(realisticSpot(s.random));
    s.view->newBufferedSpotCount();
    for (auto _ : state)
        benchmark::DoNotOptimize(s.view->newBufferedSpotCount());
    s.view->resumeSpots();
}
BENCHMARK(BM_newBufferedSpotCountUnchanged);

// One arriving spot while the Spots list is paused with a full buffer: re-serve check, buffer.
void BM_liveSpotWhilePaused(benchmark::State &state)
{
    Scene &s = scene();
    s.view->pauseSpots(true);
    for (int i = 0; i < int(ContentView::maximumBufferedSpots); ++i)
        s.view->handleLiveSpot(realisticSpot(s.random));
    const DXSpot spot = realisticSpot(s.random);
    for (auto _ : state)
        s.view->handleLiveSpot(spot);
    s.view->resumeSpots();
}
BENCHMARK(BM_liveSpotWhilePaused)->Unit(benchmark::kMicrosecond);

} // namespace
