// Alert actions, row colours and the alert-matching list with five busy alerts: a 340-entity
// catch-all, Club Log rules, 200 callsign patterns, and an enabled New Slot Alert.
#include "AlertCoding.h"
#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AppSettingsStore.h"
#include "BenchOutputs.h"
#include "Clock.h"
#include "ContentView.h"
#include "NewSlotRules.h"
#include "SettingsKeys.h"
#include "SoundOutput.h"
#include "SystemNotifications.h"

#include <QRandomGenerator>
#include <benchmark/benchmark.h>

using namespace varnello;

namespace {

const QStringList bands{"160m", "80m", "40m", "30m", "20m", "17m",
                        "15m",  "12m", "10m", "6m",  "2m",  "Other"};
const QList<SpotType> types{SpotType::cw,           SpotType::ssb,    SpotType::ftx,
                            SpotType::otherDigital, SpotType::beacon, SpotType::unknown};

QList<ClubLogEntitySlotRule> busyRules(QRandomGenerator &random)
{
    QList<ClubLogEntitySlotRule> rules;
    for (int entity = 1; entity <= 340; ++entity) {
        ClubLogEntitySlotRule rule{entity, {}};
        for (const QString &band : bands) {
            if (random.bounded(2))
                rule.slotSet.insert({band, types[random.bounded(4)]});
        }
        rules.append(rule);
    }
    return rules;
}

struct Scene {
    AppSettingsStore settings{std::nullopt};
    bench::AlertOutputs outputs;
    ManualClock clock;
    long datagrams = 0;
    std::unique_ptr<ContentView> view;
    QList<DXSpot> spots;
    int settingsWrites = 0;

    Scene()
    {
        QRandomGenerator random(42);
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        for (int entity = 1; entity <= 340; ++entity)
            alerts[0].selectedEntityADIFNumbers.insert(entity);
        alerts[0].selectedBands = {"20m", "40m", "17m"};
        alerts[0].selectedModes = {SpotType::cw, SpotType::ssb};
        ClubLogAlertSettings clubLog;
        clubLog.entityFilterADIFNumbers = alerts[0].selectedEntityADIFNumbers;
        clubLog.entitySlotRules = busyRules(random);
        alerts[1].clubLogSettings = clubLog;
        alerts[2].selectedBands = {"6m", "2m"};
        alerts[3].selectedModes = {SpotType::ftx};
        alerts[3].selectedEntityADIFNumbers = {1, 5, 291, 339};
        for (int i = 0; i < 200; ++i) {
            const QString call = QStringLiteral("K%1AB").arg(i);
            alerts[4].selectedCallsigns.insert(i % 4 == 0   ? call + "*"
                                               : i % 4 == 1 ? call + "/P"
                                                            : call);
        }
        for (SpotAlertConfiguration &alert : alerts) {
            alert.showNotification = true;
            alert.playSound = true;
        }
        settings.setData(SettingsKeys::spotAlertsConfiguration, *alertcoding::encode(alerts));
        settings.setData(SettingsKeys::spotAlertsEnabled, "[true,true,true,true,true]");
        NewSlotAlertConfiguration newSlot;
        newSlot.showNotification = true;
        newSlot.playSound = true;
        settings.setBool(SettingsKeys::newSlotAlertEnabled, true);
        settings.setData(SettingsKeys::newSlotAlertConfiguration, *alertcoding::encode(newSlot));
        settings.setData(SettingsKeys::newSlotAlertLookup, *alertcoding::encode(busyRules(random)));

        ContentViewEnvironment e;
        e.settings = &settings;
        outputs.install(e);
        e.clock = &clock;
        e.udpFeedMode = [] { return QStringLiteral("alerts"); };
        e.sendToUdpFeed = [this](const QString &) { ++datagrams; };
        e.observeNotificationHub = false;
        view = std::make_unique<ContentView>(e);
        view->loadNewSlotAlertRules();
        QObject::connect(&settings, &AppSettingsStore::valueChanged, [this] { ++settingsWrites; });

        for (int i = 0; i < 100'000; ++i) {
            DXSpot spot;
            spot.id = QUuid::createUuid();
            spot.callsign = QStringLiteral("%1%2AB%3")
                                .arg(QChar(u"KWGFJ"[random.bounded(5)]))
                                .arg(random.bounded(300))
                                .arg(random.bounded(8) == 0 ? "/P" : "");
            spot.band = bands[random.bounded(int(bands.size()))];
            spot.spotType = types[random.bounded(int(types.size()))];
            if (random.bounded(10) != 0)
                spot.dxccADIFNumber = 1 + random.bounded(400);
            spot.time = QStringLiteral("1234Z");
            spot.spotter = QStringLiteral("DL1ABC");
            spot.frequency = 14025.0;
            spot.rawLine = QStringLiteral("DX de DL1ABC: 14025.0 ") + spot.callsign;
            spots.append(spot);
        }
    }
};

Scene &scene()
{
    static Scene s;
    return s;
}

void BM_processSpotAlerts(benchmark::State &state)
{
    Scene &s = scene();
    const int writesBefore = s.settingsWrites;
    qsizetype i = 0;
    for (auto _ : state) {
        s.view->processSpotAlerts(s.spots[i]);
        s.clock.advance(std::chrono::milliseconds(50));
        if (++i == s.spots.size())
            i = 0;
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["settingsWrites"] = s.settingsWrites - writesBefore;
    state.counters["datagrams"] = double(s.datagrams);
}
BENCHMARK(BM_processSpotAlerts)->Iterations(100'000)->Unit(benchmark::kMicrosecond);

void BM_alertHighlightColors5000(benchmark::State &state)
{
    Scene &s = scene();
    const QList<DXSpot> shown = s.spots.mid(0, 5000);
    const int writesBefore = s.settingsWrites;
    qsizetype coloured = 0;
    for (auto _ : state) {
        const auto colours = s.view->alertHighlightColors(shown);
        coloured = colours.size();
        benchmark::DoNotOptimize(coloured);
    }
    state.counters["coloured"] = double(coloured);
    state.counters["settingsWrites"] = s.settingsWrites - writesBefore;
}
BENCHMARK(BM_alertHighlightColors5000)->Unit(benchmark::kMillisecond);

void BM_alertMatchingList5000(benchmark::State &state)
{
    Scene &s = scene();
    const QList<DXSpot> shown = s.spots.mid(5000, 5000);
    const int writesBefore = s.settingsWrites;
    qsizetype matching = 0;
    for (auto _ : state) {
        const QList<DXSpot> list = s.view->alertMatchingSpots(shown);
        matching = list.size();
        benchmark::DoNotOptimize(matching);
    }
    state.counters["matching"] = double(matching);
    state.counters["settingsWrites"] = s.settingsWrites - writesBefore;
}
BENCHMARK(BM_alertMatchingList5000)->Unit(benchmark::kMillisecond);

} // namespace
