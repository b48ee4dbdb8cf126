// The lists a window keeps between refreshes: what spotListsUpdate hands out, applied to the rows
// handed out before, always gives the list that the filter, search, pause and alerts of now give;
// only new spots in front and a cut tail come as rows, every other change as the whole list.
#include "LiveSpotFixture.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

// The rows a window's table keeps, updated the way the window updates it.
struct KeptRows {
    bool alertsOnly = false;
    QList<DXSpot> rows;
    QHash<QUuid, SpotAlertColor> colours;
    bool lastWasWhole = false;

    void take(ContentView &view)
    {
        SpotListsSnapshot update = view.spotListsUpdate(alertsOnly, false);
        QList<DXSpot> &got = alertsOnly ? update.alertsOnlySpots : update.displayedSpots;
        lastWasWhole = !update.keptRows;
        if (update.keptRows) {
            got.append(rows.mid(0, *update.keptRows));
            rows = got;
            colours.insert(update.highlightColorsBySpotID);
        } else {
            rows = got;
            colours = update.highlightColorsBySpotID;
        }
        QCOMPARE(update.displayedSpotCount, view.displayedSpots().size());
        QCOMPARE(update.alertsOnlySpotCount, view.alertsOnlySpots().size());
    }
};

// The list worked out afresh from the connection's records, without anything the view kept.
QStringList freshList(const ContentView &view, const ClusterConnection &cluster, bool alertsOnly)
{
    const QString search = view.spotCallsignSearch().trimmed();
    QStringList calls;
    for (const DXSpot &spot : cluster.spots()) {
        if (!view.spotPassesLocalFilters(spot))
            continue;
        const bool shown =
            alertsOnly ? view.spotMatchesEnabledAlert(spot) &&
                             (!view.isAlertsPaused() || view.pausedAlertSpotIDs().contains(spot.id))
                       : (!view.isSpotsPaused() || view.pausedSpotIDs().contains(spot.id)) &&
                             spot.callsign.contains(search, Qt::CaseInsensitive);
        if (shown)
            calls.append(spot.callsign);
    }
    return calls;
}

using Change = std::function<void(LiveSpotFixture &)>;

} // namespace

Q_DECLARE_METATYPE(Change)

class TestContentViewListUpdates : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void update_appliedToTheKeptRows_givesTheListOfNow_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("whole");
        const auto arrive = [](const QString &call, SpotType type, const QString &band) {
            return Change([=](LiveSpotFixture &f) { f.arrive(call, type, band); });
        };
        QTest::newRow("nothing new") << Change([](LiveSpotFixture &) {}) << false;
        QTest::newRow("passing live spot") << arrive("K5E", SpotType::ssb, "20m") << false;
        QTest::newRow("filtered live spot") << arrive("K6F", SpotType::ftx, "20m") << false;
        QTest::newRow("filter loosened") << Change([](LiveSpotFixture &f) {
            f.settings.setBool(SettingsKeys::hideFTxSpots, false);
        }) << true;
        QTest::newRow("filter tightened, then a spot") << Change([](LiveSpotFixture &f) {
            f.view->setSelectedBands({"40m"});
            f.arrive("K7G", SpotType::ssb, "40m");
        }) << true;
        QTest::newRow("LoTW-only switch")
            << Change([](LiveSpotFixture &f) { f.view->setShowLoTWOnly(true); }) << true;
        QTest::newRow("search") << Change([](LiveSpotFixture &f) {
            f.view->setSpotCallsignSearch(QStringLiteral(" k3 "));
        }) << true;
        QTest::newRow("paused, then spots") << Change([](LiveSpotFixture &f) {
            f.view->pauseSpots(true);
            f.view->pauseAlerts(true);
            f.arrive("K8H", SpotType::ssb, "20m");
        }) << true;
        QTest::newRow("alert edited") << Change([](LiveSpotFixture &f) {
            QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
            alerts[0] = modeAlert("Morse", SpotType::cw);
            f.storeAlerts(alerts, {true, false, false, false, false});
        }) << true;
        QTest::newRow("record looked up again under its id") << Change([](LiveSpotFixture &f) {
            DXSpot k3c = f.cluster->spots()[0];
            k3c.spotType = SpotType::ftx;
            ClusterConnectionTestAccess::rewriteSpot(*f.cluster, 0, k3c);
        }) << true;
        QTest::newRow("cleared, then a spot") << Change([](LiveSpotFixture &f) {
            f.view->clearSpots();
            f.arrive("K9I", SpotType::ssb, "20m");
        }) << true;
    }

    void update_appliedToTheKeptRows_givesTheListOfNow()
    {
        QFETCH(Change, change);
        QFETCH(bool, whole);
        LiveSpotFixture f;
        f.settings.setBool(SettingsKeys::hideFTxSpots, true);
        ContentView &view = f.makeWithCluster();
        QList<SpotAlertConfiguration> stored = defaultAlertConfigurations();
        stored[0] = modeAlert("Phone", SpotType::ssb);
        f.storeAlerts(stored, {true, false, false, false, false});
        f.arrive("K1A", SpotType::cw, "20m");
        f.arrive("K2B", SpotType::ssb, "40m");
        f.arrive("K3C", SpotType::ssb, "20m");
        f.arrive("K4D", SpotType::ftx, "40m");
        KeptRows spots;
        KeptRows alerts;
        alerts.alertsOnly = true;
        spots.take(view);
        alerts.take(view);
        QVERIFY(spots.lastWasWhole);

        change(f);
        spots.take(view);
        alerts.take(view);
        QCOMPARE(callsignsOf(spots.rows), freshList(view, *f.cluster, false));
        QCOMPARE(callsignsOf(alerts.rows), freshList(view, *f.cluster, true));
        QCOMPARE(spots.lastWasWhole, whole);
        QCOMPARE(alerts.lastWasWhole, whole);
        QCOMPARE(alerts.colours, view.alertHighlightColors(alerts.rows));
    }

    // A new filter or new entity data works the verdict out again for every spot held.
    void recordChangedUnderItsID_isFilteredAgain_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("entity now the spotter's") << Change([](LiveSpotFixture &f) {
            DXSpot k2b = f.cluster->spots()[1];
            k2b.dxccADIFNumber = 230;
            ClusterConnectionTestAccess::rewriteSpot(*f.cluster, 1, k2b);
        }) << QStringList{"K3C"};
        QTest::newRow("entity no longer the spotter's") << Change([](LiveSpotFixture &f) {
            DXSpot k1a = f.cluster->spots()[2];
            k1a.dxccADIFNumber = 5;
            ClusterConnectionTestAccess::rewriteSpot(*f.cluster, 2, k1a);
        }) << QStringList{"K3C", "K2B", "K1A"};
        QTest::newRow("filter switched off") << Change([](LiveSpotFixture &f) {
            f.settings.setBool(SettingsKeys::hideSameDXCCSpots, false);
        }) << QStringList{"K3C", "K2B", "K1A"};
    }

    void recordChangedUnderItsID_isFilteredAgain()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, shown);
        LiveSpotFixture f;
        f.settings.setBool(SettingsKeys::hideSameDXCCSpots, true);
        ContentView &view = f.makeWithCluster();
        for (const auto &[call, entity] : {std::pair{"K1A", 230}, {"K2B", 291}, {"K3C", 291}}) {
            DXSpot spot = makeSpot(call, "20m", SpotType::cw, entity);
            spot.spotterADIFNumber = 230;
            f.arrive(spot);
        }
        QCOMPARE(callsignsOf(view.displayedSpots()), (QStringList{"K3C", "K2B"}));
        change(f);
        QCOMPARE(callsignsOf(view.displayedSpots()), shown);
        QCOMPARE(view.spotListsSnapshot().filteredSpotCount, shown.size());
    }

    // At the connection's cap each new spot pushes the oldest out: the update holds the new rows
    // only and keeps the rest.
    void fullList_newSpotsCutTheTail_onlyNewRowsHandedOut()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        for (qsizetype i = 0; i < ClusterConnection::maximumSpots; ++i)
            f.arrive(QStringLiteral("K%1").arg(i));
        KeptRows spots;
        spots.take(view);
        f.arrive("N1A");
        f.arrive("N2B");
        const SpotListsSnapshot update = view.spotListsUpdate(false, false);
        QCOMPARE(callsignsOf(update.displayedSpots), (QStringList{"N2B", "N1A"}));
        QVERIFY(update.keptRows);
        QCOMPARE(*update.keptRows, ClusterConnection::maximumSpots - 2);
        QCOMPARE(update.displayedSpotCount, ClusterConnection::maximumSpots);
    }
};

QTEST_MAIN(TestContentViewListUpdates)
#include "tst_ContentViewListUpdates.moc"
