// The road of live spots, the two lists, the count label and the two pause machines, on a real
// connection's spot list.
#include "FakeClusterNode.h"
#include "LiveSpotFixture.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

// Slot 0 holds `alert`, switched on; the other slots stay off.
void storeAlertOne(ContentViewFixture &f, const SpotAlertConfiguration &alert)
{
    QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
    alerts[0] = alert;
    f.storeAlerts(alerts, {true, false, false, false, false});
}

SpotAlertConfiguration callsignAlert(const QString &pattern)
{
    SpotAlertConfiguration c = defaultAlertConfigurations()[4];
    c.selectedCallsigns = {pattern};
    return c;
}

// Four spots, newest first: K4D ftx 40m, K3C ssb 20m, K2B cw 40m, K1A cw 20m; SSB spots alert.
void arriveFour(LiveSpotFixture &f)
{
    storeAlertOne(f, modeAlert("Phone", SpotType::ssb));
    f.arrive("K1A", SpotType::cw, "20m");
    f.arrive("K2B", SpotType::cw, "40m");
    f.arrive("K3C", SpotType::ssb, "20m");
    f.arrive("K4D", SpotType::ftx, "40m");
}

using Setup = std::function<void(ContentView &, AppSettingsStore &)>;
// A change made between two refreshes.
using Change = std::function<void(LiveSpotFixture &)>;

// Events of the pause machines: the bar's button and the two tables' top reports.
enum class Event {
    button,
    spotsTableLeaves,
    spotsTableReaches,
    alertsTableLeaves,
    alertsTableReaches
};

void apply(ContentView &view, Event event)
{
    switch (event) {
    case Event::button:
        view.togglePauseOfCurrentTab();
        break;
    case Event::spotsTableLeaves:
        view.handleTableTopStateChange(false, false);
        break;
    case Event::spotsTableReaches:
        view.handleTableTopStateChange(true, false);
        break;
    case Event::alertsTableLeaves:
        view.handleTableTopStateChange(false, true);
        break;
    case Event::alertsTableReaches:
        view.handleTableTopStateChange(true, true);
        break;
    }
}

enum class State { running, byHand, byScrolling };

State spotsState(const ContentView &view)
{
    return view.isManuallyPaused()        ? State::byHand
           : view.isAutomaticallyPaused() ? State::byScrolling
                                          : State::running;
}

State alertsState(const ContentView &view)
{
    return view.isAlertsManuallyPaused()        ? State::byHand
           : view.isAlertsAutomaticallyPaused() ? State::byScrolling
                                                : State::running;
}

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(Change)
Q_DECLARE_METATYPE(MainTab)
Q_DECLARE_METATYPE(QList<Event>)
Q_DECLARE_METATYPE(State)

class TestContentViewSpotLists : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void countLabel_data()
    {
        QTest::addColumn<MainTab>("tab");
        QTest::addColumn<Setup>("setup");
        QTest::addColumn<QString>("label");
        const Setup nothing = [](ContentView &, AppSettingsStore &) {};
        QTest::newRow("no filter") << MainTab::spots << nothing << "4 spots";
        QTest::newRow("console tab") << MainTab::console << nothing << "4 spots";
        QTest::newRow("only lotw switch")
            << MainTab::spots << Setup([](ContentView &v, auto &) { v.setShowLoTWOnly(true); })
            << "4 spots";
        QTest::newRow("band") << MainTab::spots
                              << Setup([](ContentView &v, auto &) { v.setSelectedBands({"20m"}); })
                              << "2 of 4 spots";
        QTest::newRow("mode switch") << MainTab::spots << Setup([](auto &, AppSettingsStore &s) {
            s.setBool(SettingsKeys::hideCWSpots, true);
        }) << "2 of 4 spots";
        QTest::newRow("blocked words on with no terms")
            << MainTab::spots << Setup([](auto &, AppSettingsStore &s) {
                   s.setBool(SettingsKeys::customInfoFilterEnabled, true);
               })
            << "4 of 4 spots";
        QTest::newRow("search and pause are not counted")
            << MainTab::spots << Setup([](ContentView &v, AppSettingsStore &s) {
                   s.setBool(SettingsKeys::hideFTxSpots, true);
                   v.setSpotCallsignSearch("K1");
                   v.pauseSpots(true);
               })
            << "3 of 4 spots";
        QTest::newRow("alerts only") << MainTab::alertsOnly << nothing << "1 of 4 spots";
        QTest::newRow("alerts only, filtered away")
            << MainTab::alertsOnly << Setup([](auto &, AppSettingsStore &s) {
                   s.setBool(SettingsKeys::hideSSBSpots, true);
               })
            << "0 of 4 spots";
    }

    void countLabel()
    {
        QFETCH(MainTab, tab);
        QFETCH(Setup, setup);
        QFETCH(QString, label);
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        arriveFour(f);
        view.setSelectedTab(tab);
        setup(view, f.settings);
        QCOMPARE(view.spotCountLabel(), label);
        QCOMPARE(view.spotListsSnapshot().spotCountLabel, label);
    }

    void pauseMachine_data()
    {
        QTest::addColumn<MainTab>("tab");
        QTest::addColumn<QList<Event>>("events");
        QTest::addColumn<State>("spots");
        QTest::addColumn<State>("alerts");
        QTest::addColumn<int>("scrollRequests");
        using E = Event;
        QTest::newRow("button pauses by hand")
            << MainTab::spots << QList<E>{E::button} << State::byHand << State::running << 0;
        QTest::newRow("leaving the top pauses by scrolling")
            << MainTab::spots << QList<E>{E::spotsTableLeaves} << State::byScrolling
            << State::running << 0;
        QTest::newRow("button resumes a manual pause")
            << MainTab::spots << QList<E>{E::button, E::button} << State::running << State::running
            << 1;
        QTest::newRow("manual pause ignores the table")
            << MainTab::spots << QList<E>{E::button, E::spotsTableReaches, E::spotsTableLeaves}
            << State::byHand << State::running << 0;
        QTest::newRow("button resumes a scrolling pause")
            << MainTab::spots << QList<E>{E::spotsTableLeaves, E::button} << State::running
            << State::running << 1;
        QTest::newRow("reaching the top resumes a scrolling pause")
            << MainTab::spots << QList<E>{E::spotsTableLeaves, E::spotsTableReaches}
            << State::running << State::running << 1;
        QTest::newRow("leaving again keeps the scrolling pause")
            << MainTab::spots << QList<E>{E::spotsTableLeaves, E::spotsTableLeaves}
            << State::byScrolling << State::running << 0;
        QTest::newRow("console tab ignores the tables")
            << MainTab::console << QList<E>{E::spotsTableLeaves, E::alertsTableLeaves}
            << State::running << State::running << 0;
        QTest::newRow("button on the console tab pauses spots")
            << MainTab::console << QList<E>{E::button} << State::byHand << State::running << 0;
        QTest::newRow("spots table ignored on the alerts tab")
            << MainTab::alertsOnly << QList<E>{E::spotsTableLeaves} << State::running
            << State::running << 0;
        QTest::newRow("alerts button pauses alerts only")
            << MainTab::alertsOnly << QList<E>{E::button} << State::running << State::byHand << 0;
        QTest::newRow("alerts table leaves and comes back")
            << MainTab::alertsOnly << QList<E>{E::alertsTableLeaves, E::alertsTableReaches}
            << State::running << State::running << 1;
        QTest::newRow("alerts manual pause survives the table")
            << MainTab::alertsOnly
            << QList<E>{E::button, E::alertsTableLeaves, E::alertsTableReaches} << State::running
            << State::byHand << 0;
        QTest::newRow("alerts table reports on the spots tab")
            << MainTab::spots << QList<E>{E::alertsTableLeaves} << State::running
            << State::byScrolling << 0;
    }

    void pauseMachine()
    {
        QFETCH(MainTab, tab);
        QFETCH(QList<Event>, events);
        QFETCH(State, spots);
        QFETCH(State, alerts);
        QFETCH(int, scrollRequests);
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        view.setSelectedTab(tab);
        for (Event event : events)
            apply(view, event);
        QCOMPARE(spotsState(view), spots);
        QCOMPARE(alertsState(view), alerts);
        QCOMPARE(view.scrollToTopRequest(), scrollRequests);
        QCOMPARE(view.isCurrentTabPaused(),
                 (tab == MainTab::alertsOnly ? alerts : spots) != State::running);
    }

    void pausedSpotsList_freezesIdsButFollowsTheFilter()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        arriveFour(f);
        view.handleTableTopStateChange(false, false);
        QCOMPARE(view.spotsPauseLabel(), QStringLiteral("Paused \u2014 scrolled"));
        f.arrive("K5E", SpotType::cw);
        f.arrive("K6F", SpotType::ssb);
        f.arrive("K7G", SpotType::cw);
        f.arrive("K8H", SpotType::ftx);
        QCOMPARE(callsignsOf(view.displayedSpots()), (QStringList{"K4D", "K3C", "K2B", "K1A"}));
        QCOMPARE(view.spotsPauseLabel(), QStringLiteral("Paused \u2014 scrolled \u2014 4 new"));
        f.settings.setBool(SettingsKeys::hideCWSpots, true);
        QCOMPARE(callsignsOf(view.displayedSpots()), (QStringList{"K4D", "K3C"}));
        QCOMPARE(view.spotsPauseLabel(), QStringLiteral("Paused \u2014 scrolled \u2014 2 new"));
        QCOMPARE(view.spotCountLabel(), QStringLiteral("4 of 8 spots"));
        // The count follows the buffer as it grows, without a recount.
        f.arrive("K9I", SpotType::ssb);
        f.arrive("K0J", SpotType::cw);
        QCOMPARE(view.newBufferedSpotCount(), 3);
    }

    void callsignSearch_narrowsTheSpotsListOnly_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("spots");
        QTest::newRow("blank") << " \t\n" << QStringList{"K4D", "K3C", "K2B", "K1A"};
        QTest::newRow("lower case, padded") << " k3 " << QStringList{"K3C"};
        QTest::newRow("spotter not searched") << "DL1ABC" << QStringList{};
    }

    void callsignSearch_narrowsTheSpotsListOnly()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, spots);
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        arriveFour(f);
        view.setSpotCallsignSearch(search);
        const SpotListsSnapshot snapshot = view.spotListsSnapshot();
        QCOMPARE(callsignsOf(snapshot.displayedSpots), spots);
        QCOMPARE(callsignsOf(snapshot.alertsOnlySpots), QStringList{"K3C"});
        // Rows of the Alerts Only list keep their colour whatever the search hides.
        QVERIFY(snapshot.highlightColorsBySpotID.contains(snapshot.alertsOnlySpots[0].id));
    }

    // Colours and Alerts Only matches are remembered per spot between refreshes: every change
    // they depend on, made between two refreshes, shows in the next one exactly as a fresh
    // computation gives it.
    void alertMarks_followEveryChangeBetweenRefreshes_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("alertsOnly");
        QTest::addColumn<int>("colouredRows");
        const auto editPhone = [](const std::function<void(SpotAlertConfiguration &)> &edit) {
            return Change([edit](LiveSpotFixture &f) {
                QList<SpotAlertConfiguration> alerts = f.view->loadAlertConfigurations();
                edit(alerts[0]);
                f.storeAlerts(alerts, f.view->loadAlertEnabledStates());
            });
        };
        QTest::newRow("nothing") << Change([](LiveSpotFixture &) {}) << QStringList{"K3C"} << 1;
        QTest::newRow("alert edited")
            << editPhone([](SpotAlertConfiguration &a) { a.selectedModes = {SpotType::cw}; })
            << QStringList{"K2B", "K1A"} << 2;
        QTest::newRow("highlight colour changed") << editPhone([](SpotAlertConfiguration &a) {
            a.highlightColor = {0.1, 0.2, 0.3};
        }) << QStringList{"K3C"} << 1;
        QTest::newRow("rows no longer highlighted")
            << editPhone([](SpotAlertConfiguration &a) { a.highlightRows = false; })
            << QStringList{"K3C"} << 0;
        QTest::newRow("alert switched off") << Change([](LiveSpotFixture &f) {
            f.view->saveAlertEnabledStates({false, true, false, false, false});
        }) << QStringList{} << 0;
        QTest::newRow("New Slot rules replaced") << Change([](LiveSpotFixture &f) {
            f.view->saveNewSlotAlertRules(
                {ClubLogEntitySlotRule{291, {ClubLogAlertSlot{"20m", SpotType::cw}}}});
        }) << QStringList{"K3C", "K1A"} << 2;
        QTest::newRow("record looked up again under its id") << Change([](LiveSpotFixture &f) {
            DXSpot k2b = f.cluster->spots()[1];
            k2b.dxccADIFNumber = 5;
            ClusterConnectionTestAccess::rewriteSpot(*f.cluster, 1, k2b);
        }) << QStringList{"K3C", "K2B"} << 2;
    }

    void alertMarks_followEveryChangeBetweenRefreshes()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, alertsOnly);
        QFETCH(int, colouredRows);
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0] = modeAlert("Phone", SpotType::ssb);
        alerts[1].name = QStringLiteral("Entity");
        alerts[1].selectedEntityADIFNumbers = {5};
        f.storeAlerts(alerts, {true, true, false, false, false});
        f.storeNewSlot(NewSlotAlertConfiguration{}, {});
        f.arrive(makeSpot("K1A", "20m", SpotType::cw, 291));
        f.arrive(makeSpot("K2B", "40m", SpotType::cw, 1));
        f.arrive(makeSpot("K3C", "20m", SpotType::ssb, 291));
        QCOMPARE(callsignsOf(view.spotListsSnapshot().alertsOnlySpots), QStringList{"K3C"});

        change(f);
        const SpotListsSnapshot snapshot = view.spotListsSnapshot();
        QCOMPARE(callsignsOf(snapshot.alertsOnlySpots), alertsOnly);
        QCOMPARE(callsignsOf(view.alertsOnlySpots()), alertsOnly);
        QCOMPARE(snapshot.highlightColorsBySpotID.size(), colouredRows);
        QCOMPARE(snapshot.highlightColorsBySpotID,
                 view.alertHighlightColors(snapshot.displayedSpots));
    }

    void resume_replaysOldestFirstWithTheFilterOfNow()
    {
        LiveSpotFixture f;
        f.settings.setBool(SettingsKeys::hideSSBSpots, true);
        ContentView &view = f.makeWithCluster();
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[4].selectedCallsigns = {"*"};
        alerts[4].showNotification = true;
        f.storeAlerts(alerts, {false, false, false, false, true});
        view.pauseSpots(true);
        f.arrive("K1A", SpotType::ssb); // fails now, passes at the resume
        f.arrive("K2B", SpotType::cw);
        f.arrive("K3C", SpotType::ftx); // passes now, fails at the resume
        f.arrive("K4D", SpotType::cw);
        QCOMPARE(f.notificationOutput.texts.size(), 0);
        f.settings.setBool(SettingsKeys::hideSSBSpots, false);
        f.settings.setBool(SettingsKeys::hideFTxSpots, true);
        f.udpMode = QStringLiteral("alerts");
        f.takeEvents();
        view.togglePauseOfCurrentTab();
        // Each replayed alert spot leaves on the feed, oldest first; the alert notifies once.
        QCOMPARE(f.takeEvents(), (QStringList{"udp:" + f.cluster->spots().at(3).rawLine,
                                              "udp:" + f.cluster->spots().at(2).rawLine,
                                              "udp:" + f.cluster->spots().at(0).rawLine,
                                              "notify:Varnello \u2013 " + alerts[4].name}));
        QCOMPARE(f.notificationOutput.texts.size(), 1);
        QVERIFY(f.notificationOutput.texts[0].contains("K4D"));
        QVERIFY(f.notificationOutput.texts[0].endsWith("\n3 spots matched"));
        QVERIFY(view.bufferedSpots().isEmpty());
        QVERIFY(view.pausedSpotIDs().isEmpty());
        QCOMPARE(view.scrollToTopRequest(), 1);
    }

    // A pause left on for days keeps only the newest spots.
    void spotsBuffer_keepsTheNewestUpToItsCap()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        view.pauseSpots(false);
        const qsizetype cap = ContentView::maximumBufferedSpots;
        for (qsizetype i = 0; i < cap + 3; ++i)
            view.handleLiveSpot(makeSpot(QStringLiteral("K%1").arg(i), "20m",
                                         i % 2 ? SpotType::cw : SpotType::ssb));
        QCOMPARE(view.bufferedSpots().size(), cap);
        QCOMPARE(view.bufferedSpots().first().callsign, QStringLiteral("K3"));
        QCOMPARE(view.bufferedSpots().last().callsign, QStringLiteral("K%1").arg(cap + 2));
        // The running count agrees with a fresh count after a filter change and back.
        const int running = view.newBufferedSpotCount();
        QCOMPARE(running, int(cap));
        f.settings.setBool(SettingsKeys::hideCWSpots, true);
        QCOMPARE(view.newBufferedSpotCount(), int(cap / 2));
        view.handleLiveSpot(makeSpot("K1X", "20m", SpotType::cw));  // drops K3 (cw)
        view.handleLiveSpot(makeSpot("K2X", "20m", SpotType::ssb)); // drops K4 (ssb)
        QCOMPARE(view.newBufferedSpotCount(), int(cap / 2));
    }

    void alertsPause_collectsOnlyIdsTheConnectionStillHolds()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        storeAlertOne(f, withNotification(modeAlert("Phone", SpotType::ssb)));
        view.setSelectedTab(MainTab::alertsOnly);
        view.pauseAlerts(true);
        const DXSpot first = f.arrive("K1A", SpotType::ssb);
        f.arrive("K2B", SpotType::cw);
        f.arrive("K3C", SpotType::ssb);
        f.arrive("K3C", SpotType::ssb);
        // The alert step is not held back by this list.
        QCOMPARE(f.notificationOutput.texts.size(), 3);
        QCOMPARE(view.alertsPauseLabel(), QStringLiteral("Paused \u2014 3 new"));
        QVERIFY(view.alertsOnlySpots().isEmpty());
        ClusterConnectionTestAccess::clearSpots(*f.cluster);
        QVERIFY(view.bufferedAlertSpotIDs().isEmpty());
        QCOMPARE(view.alertsPauseLabel(), QStringLiteral("Paused"));
        Q_UNUSED(first);
    }

    // Every alert sounds once at most while a resume replays a full buffer, whatever its
    // frequency; live, the every-spot alert sounds for every spot.
    void replay_soundsEachAlertOnce()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0] = withSound(modeAlert("CW", SpotType::cw), AlertSoundChoice::alert1,
                              AlertSoundFrequency::everySpot);
        alerts[1] = withSound(modeAlert("SSB", SpotType::ssb), AlertSoundChoice::alert2,
                              AlertSoundFrequency::everySpot);
        alerts[4] = withSound(callsignAlert("K9*"), AlertSoundChoice::appleDefault,
                              AlertSoundFrequency::everySpot);
        f.storeAlerts(alerts, {true, true, false, false, true});
        view.pauseSpots(true);
        for (int i = 0; i < 50; ++i) {
            f.arrive(QStringLiteral("K1A%1").arg(i), SpotType::cw);
            f.arrive(QStringLiteral("K2A%1").arg(i), SpotType::ssb);
            f.arrive(QStringLiteral("K9A%1").arg(i), SpotType::ftx);
        }
        QVERIFY(f.soundOutput.played.isEmpty());
        view.resumeSpots();
        QCOMPARE(f.soundOutput.played.size(), 3);
        f.arrive("K1B", SpotType::cw);
        f.arrive("K1C", SpotType::cw);
        QCOMPARE(f.soundOutput.played.size(), 5);
    }

    // A resume after a long pause raises at most one notification per alert: its latest spot,
    // with the number that matched; live spots afterwards notify one by one again.
    void replay_notifiesEachAlertOnce()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0] = withNotification(modeAlert("CW", SpotType::cw));
        alerts[1] = withNotification(modeAlert("SSB", SpotType::ssb));
        alerts[4] = withNotification(callsignAlert("*"));
        f.storeAlerts(alerts, {true, true, false, false, false});
        view.pauseSpots(true);
        for (int i = 0; i < 1500; ++i) {
            f.arrive(QStringLiteral("K1A%1").arg(i), SpotType::cw);
            f.arrive(QStringLiteral("K2A%1").arg(i), SpotType::ssb);
        }
        f.arrive(QStringLiteral("K3A"), SpotType::ftx);
        QCOMPARE(view.bufferedSpots().size(), 3001);
        view.resumeSpots();
        QCOMPARE(f.notificationOutput.titles,
                 (QStringList{"Varnello \u2013 CW", "Varnello \u2013 SSB"}));
        QVERIFY(f.notificationOutput.texts[0].contains("K1A1499"));
        QVERIFY(f.notificationOutput.texts[0].endsWith("\n1500 spots matched"));
        QVERIFY(f.notificationOutput.texts[1].contains("K2A1499"));

        // The Callsign Alert outranks the others, on a replay as live; one spot says no count.
        f.storeAlerts(alerts, {true, true, false, false, true});
        f.notificationOutput.titles.clear();
        f.notificationOutput.texts.clear();
        view.pauseSpots(true);
        f.arrive(QStringLiteral("K5A"), SpotType::cw);
        view.resumeSpots();
        QCOMPARE(f.notificationOutput.titles, QStringList{"Varnello \u2013 " + alerts[4].name});
        QVERIFY(!f.notificationOutput.texts[0].contains("matched"));
        f.arrive(QStringLiteral("K6A"), SpotType::cw);
        f.arrive(QStringLiteral("K7A"), SpotType::cw);
        QCOMPARE(f.notificationOutput.titles.size(), 3);
    }

    // End to end: a local program connected to the spot server gets the spots that pass the
    // filter at once, also while the list is paused.
    void liveSpots_reachALocalClientWhilePausedUnlessFiltered()
    {
        QTemporaryDir dir;
        FakeClusterNode node;
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 serverPort = probe.serverPort();
        probe.close();
        ContentViewFixture f;
        f.settings.setBool(SettingsKeys::localTelnetServerEnabled, true);
        f.settings.setString(SettingsKeys::localTelnetServerPort, QString::number(serverPort));
        f.settings.setBool(SettingsKeys::hideSSBSpots, true);
        ClusterConnectionEnvironment clusterEnvironment;
        clusterEnvironment.settings = &f.settings;
        ClusterConnection cluster(nullptr, clusterEnvironment);
        ContentViewEnvironment e = f.environment();
        e.cluster = &cluster;
        ContentView view(e);
        QTRY_VERIFY_WITH_TIMEOUT(cluster.isLocalSpotServerListening(), 10000);

        QTcpSocket client;
        QByteArray received;
        connect(&client, &QIODevice::readyRead, this, [&] { received += client.readAll(); });
        client.connectToHost(QHostAddress::LocalHost, serverPort);
        QVERIFY(client.waitForConnected(10000));

        cluster.connect(QStringLiteral("127.0.0.1"), node.port(), QStringLiteral("N0CALL"), {},
                        ClusterNodeRole::primary, false, false, ConnectionOrigin::manual);
        QTRY_VERIFY_WITH_TIMEOUT(cluster.isLoggedIn(), 10000);
        view.pauseSpots(true);
        const QString cwLine =
            QStringLiteral("DX de DL1ABC:     14025.0  K1ABC        up 2                    1234Z");
        const QString ssbLine =
            QStringLiteral("DX de DL1ABC:     14250.0  K2ABC        USB 59                  1235Z");
        node.sendLine(ssbLine);
        node.sendLine(cwLine);
        QTRY_COMPARE_WITH_TIMEOUT(view.bufferedSpots().size(), 2, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(received.contains(cwLine.toUtf8() + "\r\n"), 10000);
        QTest::qWait(200);
        QVERIFY(!received.contains("K2ABC"));
    }
};

QTEST_GUILESS_MAIN(TestContentViewSpotLists)
#include "tst_ContentViewSpotLists.moc"
