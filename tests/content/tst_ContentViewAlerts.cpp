#include "ContentViewFixture.h"

#include "ClusterConnection.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTest>
#include <QUdpSocket>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QList<SpotAlertConfiguration> &defaults()
{
    return defaultAlertConfigurations();
}

QList<SpotAlertConfiguration>
alertsWith(std::initializer_list<std::pair<int, SpotAlertConfiguration>> entries)
{
    QList<SpotAlertConfiguration> list = defaults();
    for (const auto &[slot, c] : entries)
        list[slot] = c;
    return list;
}

SpotAlertConfiguration callsignAlert(const QString &pattern)
{
    SpotAlertConfiguration c = defaults()[4];
    c.selectedCallsigns = {pattern};
    return c;
}

// CW spots with alert sound 1, played at most every five minutes.
SpotAlertConfiguration throttledCwAlert()
{
    return withSound(modeAlert("A", SpotType::cw), AlertSoundChoice::alert1,
                     AlertSoundFrequency::everyFiveMinutes);
}

// The throttled CW alert in slot 0 as the only alert switched on.
void storeThrottledCwAlertOnly(ContentViewFixture &f)
{
    f.storeAlerts(alertsWith({{0, throttledCwAlert()}}), {true, false, false, false, false});
}

} // namespace

class tst_ContentViewAlerts : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void throttledAndEverySpotSounds_alternateAsTimePasses()
    {
        ContentViewFixture f;
        f.storeAlerts(
            alertsWith({{0, throttledCwAlert()},
                        {1, withSound(modeAlert("B", SpotType::cw), AlertSoundChoice::alert2,
                                      AlertSoundFrequency::everySpot)}}),
            {true, true, false, false, false});
        ContentView &view = f.make();
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), QStringList{"sound:alert1.wav"});
        f.clock.advance(100s);
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), QStringList{"sound:alert2.wav"});
        f.clock.advance(199s);
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), QStringList{"sound:alert2.wav"});
        f.clock.advance(11s); // 310 s after the first
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), QStringList{"sound:alert1.wav"});
    }

    void wallClockStepBack_doesNotSilenceAnAlert()
    {
        ContentViewFixture f;
        storeThrottledCwAlertOnly(f);
        ContentView &view = f.make();
        view.processSpotAlerts(makeSpot("K1A"));
        f.clock.setWall(f.clock.now().addSecs(-10 * 3600));
        f.clock.advance(301s);
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), (QStringList{"sound:alert1.wav", "sound:alert1.wav"}));
    }

    void newView_playsAtOnce()
    {
        ContentViewFixture f;
        storeThrottledCwAlertOnly(f);
        f.make().processSpotAlerts(makeSpot("K1A"));
        f.make().processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), (QStringList{"sound:alert1.wav", "sound:alert1.wav"}));
    }

    void callsignAlert_suppressesTheOthers()
    {
        ContentViewFixture f;
        f.storeAlerts(
            alertsWith(
                {{0, withNotification(throttledCwAlert())},
                 {4, withNotification(withSound(callsignAlert("K1ABC"), AlertSoundChoice::alert2,
                                                AlertSoundFrequency::everyFiveMinutes))}}),
            {true, false, false, false, true});
        ContentView &view = f.make();
        NewSlotAlertConfiguration newSlot;
        newSlot.showNotification = true;
        f.storeNewSlot(newSlot, {{291, {{"20m", SpotType::cw}}}});
        view.processSpotAlerts(makeSpot("K1ABC", "20m", SpotType::cw, 291));
        QCOMPARE(f.takeEvents(),
                 (QStringList{"notify:Varnello \u2013 Callsign Alert", "sound:alert2.wav"}));
        QVERIFY(!view.lastAlertSoundDates()[0]);
        QVERIFY(!view.lastNewSlotAlertSoundDate());
        QVERIFY(view.lastAlertSoundDates()[4]);
    }

    void newSlotBeep_winsAndStillThrottlesTheSlot()
    {
        ContentViewFixture f;
        f.storeAlerts(
            alertsWith({{2, withSound(modeAlert("C", SpotType::cw), AlertSoundChoice::alert1,
                                      AlertSoundFrequency::everyFiveMinutes)}}),
            {false, false, true, false, false});
        ContentView &view = f.make();
        NewSlotAlertConfiguration newSlot;
        newSlot.playSound = true;
        newSlot.soundFrequency = AlertSoundFrequency::everySpot;
        f.storeNewSlot(newSlot, {{291, {{"20m", SpotType::cw}}}});
        view.processSpotAlerts(makeSpot("K1A", "20m", SpotType::cw, 291));
        QCOMPARE(f.takeEvents(), QStringList{"sound:beep"});
        f.clock.advance(200s);
        view.processSpotAlerts(makeSpot("K1A", "40m", SpotType::cw, 1)); // only slot 2
        QCOMPARE(f.takeEvents(), QStringList{});
    }

    void everyMatchingAlert_notifiesInSlotOrder_withOneSound()
    {
        ContentViewFixture f;
        f.storeAlerts(
            alertsWith({{0, withNotification(withSound(modeAlert("First", SpotType::cw),
                                                       AlertSoundChoice::alert1,
                                                       AlertSoundFrequency::everySpot))},
                        {3, withNotification(withSound(modeAlert("Fourth", SpotType::cw),
                                                       AlertSoundChoice::alert2,
                                                       AlertSoundFrequency::everySpot))}}),
            {true, true, true, true, true});
        f.make().processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(),
                 (QStringList{"notify:Varnello \u2013 First", "notify:Varnello \u2013 Fourth",
                              "sound:alert1.wav"}));
    }

    void alertsFeed_sendsOneDatagramBeforeTheFirstNotification()
    {
        ContentViewFixture f;
        f.udpMode = QStringLiteral("alerts");
        f.storeAlerts(alertsWith({{1, withNotification(modeAlert("B", SpotType::cw))}}),
                      {false, true, false, false, false});
        ContentView &view = f.make();
        NewSlotAlertConfiguration newSlot;
        newSlot.showNotification = true;
        f.storeNewSlot(newSlot, {{291, {{"20m", SpotType::cw}}}});
        const DXSpot spot = makeSpot("K1A", "20m", SpotType::cw, 291);
        view.processSpotAlerts(spot);
        QCOMPARE(f.takeEvents(),
                 (QStringList{"udp:" + spot.rawLine, "notify:Varnello \u2013 New Slot Alert",
                              "notify:Varnello \u2013 B"}));
        view.processSpotAlerts(makeSpot("K1A", "20m", SpotType::ssb, 1)); // matches nothing
        QCOMPARE(f.takeEvents(), QStringList{});
        f.udpMode = QStringLiteral("everything");
        view.processSpotAlerts(spot);
        QVERIFY(!f.takeEvents().join(',').contains("udp:"));
    }

    void spotFailingLocalFilters_triggersNothing()
    {
        ContentViewFixture f;
        f.udpMode = QStringLiteral("alerts");
        f.settings.setBool(SettingsKeys::hideCWSpots, true);
        f.storeAlerts(alertsWith({{0, withNotification(withSound(
                                          modeAlert("A", SpotType::cw), AlertSoundChoice::alert1,
                                          AlertSoundFrequency::everySpot))}}),
                      {true, false, false, false, false});
        ContentView &view = f.make();
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), QStringList{});
        QVERIFY(!view.lastAlertSoundDates()[0]);
    }

    void enabledButUnconfiguredSlot_takesPartInNothing()
    {
        ContentViewFixture f;
        f.udpMode = QStringLiteral("alerts");
        f.storeAlerts(
            alertsWith({{0, withNotification(withSound(defaults()[0], AlertSoundChoice::alert1,
                                                       AlertSoundFrequency::everySpot))}}),
            {true, true, true, true, true});
        ContentView &view = f.make();
        const DXSpot spot = makeSpot("K1A");
        view.processSpotAlerts(spot);
        QCOMPARE(f.takeEvents(), QStringList{});
        QVERIFY(!view.spotMatchesEnabledAlert(spot));
        QVERIFY(view.alertHighlightColors({spot}).isEmpty());
    }

    void rowColours_followPrecedence()
    {
        ContentViewFixture f;
        SpotAlertConfiguration quietCallsign = callsignAlert("K1ABC");
        quietCallsign.highlightRows = false;
        SpotAlertConfiguration quietCw = modeAlert("A", SpotType::cw);
        quietCw.highlightRows = false;
        SpotAlertConfiguration loudCw = modeAlert("B", SpotType::cw);
        loudCw.highlightColor = {0.1, 0.2, 0.3};
        SpotAlertConfiguration ssb = modeAlert("C", SpotType::ssb);
        f.storeAlerts(alertsWith({{0, quietCw}, {1, loudCw}, {2, ssb}, {4, quietCallsign}}),
                      {true, true, true, false, true});
        ContentView &view = f.make();
        NewSlotAlertConfiguration newSlot;
        f.storeNewSlot(newSlot, {{291, {{"20m", SpotType::ssb}}}});
        const DXSpot byCallsign = makeSpot("K1ABC");
        const DXSpot bySlotOne = makeSpot("W1AW");
        const DXSpot byNewSlot = makeSpot("F1A", "20m", SpotType::ssb, 291);
        const DXSpot byNothing = makeSpot("F1A", "20m", SpotType::ftx, 291);
        const auto colours =
            view.alertHighlightColors({byCallsign, bySlotOne, byNewSlot, byNothing});
        QCOMPARE(colours.size(), 2);
        QCOMPARE(colours.value(bySlotOne.id), (SpotAlertColor{0.1, 0.2, 0.3}));
        QCOMPARE(colours.value(byNewSlot.id), (SpotAlertColor{0.95, 0.35, 0.65}));
        // Highlighting has no say in which spots are alert spots.
        const QList<DXSpot> alertSpots =
            view.alertMatchingSpots({byNothing, byCallsign, bySlotOne, byNewSlot});
        QCOMPARE(alertSpots, (QList<DXSpot>{byCallsign, bySlotOne, byNewSlot}));
    }

    void processingSpots_writesNoSettings()
    {
        ContentViewFixture f;
        f.udpMode = QStringLiteral("alerts");
        f.storeAlerts(alertsWith({{0, throttledCwAlert()}, {4, callsignAlert("K1*")}}),
                      {true, false, false, false, true});
        ContentView &view = f.make();
        f.storeNewSlot(NewSlotAlertConfiguration{}, {{291, {{"20m", SpotType::cw}}}});
        QSignalSpy writes(&f.settings, &AppSettingsStore::valueChanged);
        QList<DXSpot> spots;
        for (int i = 0; i < 50; ++i) {
            spots.append(makeSpot(i % 2 ? "K1A" : "W1A", "20m", SpotType::cw, 291));
            view.handleLiveSpot(spots.last());
            f.clock.advance(10s);
        }
        view.alertHighlightColors(spots);
        QCOMPARE(writes.count(), 0);
    }

    void pausedSpots_areProcessedOnResumeInArrivalOrder()
    {
        ContentViewFixture f;
        SpotAlertConfiguration callsigns = withNotification(callsignAlert("*"));
        f.storeAlerts(alertsWith({{4, callsigns}}), {false, false, false, false, true});
        ContentView &view = f.make();
        view.pauseSpots(true);
        view.handleLiveSpot(makeSpot("K1A"));
        view.handleLiveSpot(makeSpot("K2B"));
        QCOMPARE(f.notificationOutput.texts.size(), 0);
        QCOMPARE(view.bufferedSpots().size(), 2);
        view.resumeSpots();
        // One notification for the alert: its latest spot, and how many matched.
        QCOMPARE(f.notificationOutput.texts.size(), 1);
        QVERIFY(f.notificationOutput.texts[0].contains("K2B"));
        QVERIFY(f.notificationOutput.texts[0].endsWith("\n2 spots matched"));
    }

    // End to end through the connection's own UDP feed: in "alerts" mode only alert spots leave,
    // each exactly once; in "everything" mode every filtered spot leaves once.
    void liveSpots_reachTheUdpFeedOnceEach()
    {
        ContentViewFixture f;
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
        f.settings.setBool(SettingsKeys::udpFeedEnabled, true);
        f.settings.setString(SettingsKeys::udpFeedDestination, QStringLiteral("127.0.0.1"));
        f.settings.setString(SettingsKeys::udpFeedPort, QString::number(receiver.localPort()));
        f.storeAlerts(alertsWith({{0, modeAlert("A", SpotType::cw)}}),
                      {true, false, false, false, false});
        ClusterConnectionEnvironment clusterEnvironment;
        clusterEnvironment.settings = &f.settings;
        clusterEnvironment.clock = &f.clock;
        ClusterConnection cluster(nullptr, clusterEnvironment);
        cluster.setUdpFeedMode(QStringLiteral("alerts"));
        ContentViewEnvironment e = f.environment();
        e.cluster = &cluster;
        e.udpFeedMode = nullptr;
        e.sendToUdpFeed = nullptr;
        ContentView view(e);
        QCOMPARE(view.cluster(), &cluster);

        QStringList received;
        connect(&receiver, &QUdpSocket::readyRead, this, [&] {
            while (receiver.hasPendingDatagrams())
                received.append(QString::fromUtf8(receiver.receiveDatagram().data()));
        });
        const DXSpot alertSpot = makeSpot("K1A", "20m", SpotType::cw);
        const DXSpot plainSpot = makeSpot("K2B", "20m", SpotType::ssb);
        emit cluster.liveSpotReceived(plainSpot);
        emit cluster.liveSpotReceived(alertSpot);
        cluster.setUdpFeedMode(QStringLiteral("everything"));
        emit cluster.liveSpotReceived(plainSpot);
        QTRY_COMPARE_WITH_TIMEOUT(received.size(), 2, 10000);
        QTest::qWait(100);
        QCOMPARE(received, (QStringList{alertSpot.rawLine + "\r\n", plainSpot.rawLine + "\r\n"}));
    }

    void clearAll_restoresDefaultsAndForgetsThrottles()
    {
        ContentViewFixture f;
        storeThrottledCwAlertOnly(f);
        ContentView &view = f.make();
        f.storeNewSlot(NewSlotAlertConfiguration{}, {{291, {{"20m", SpotType::cw}}}});
        view.processSpotAlerts(makeSpot("K1A"));
        view.openAlertEditor(0);
        view.clearAllAlerts();
        QVERIFY(!view.alertEditorSession());
        QVERIFY(!view.lastAlertSoundDates()[0]);
        QCOMPARE(view.loadAlertConfigurations(), defaultAlertConfigurations());
        QCOMPARE(f.settings.data(SettingsKeys::spotAlertsEnabled),
                 QByteArray("[false,false,false,false,false]"));
        QVERIFY(view.newSlotAlertRules().isEmpty());
        QVERIFY(!f.settings.boolValue(SettingsKeys::newSlotAlertEnabled));

        // The same alert stored again plays at once: its five minutes were forgotten.
        f.takeEvents();
        storeThrottledCwAlertOnly(f);
        view.processSpotAlerts(makeSpot("K1A"));
        QCOMPARE(f.takeEvents(), QStringList{"sound:alert1.wav"});
    }

    void editorSave_storesTheSlotAndSwitchesItOn()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(3);
        QCOMPARE(view.alertEditorSession()->index, 3);
        SpotAlertConfiguration draft = view.alertDraft();
        draft.name = QStringLiteral("  ");
        draft.selectedBands = {"6m"};
        view.setAlertDraft(draft);
        const QUuid first = view.alertEditorSession()->id;
        view.saveAlertDraft(true);
        QVERIFY(!view.alertEditorSession());
        draft.name = QStringLiteral("Alert 4");
        QCOMPARE(view.loadAlertConfigurations()[3], draft);
        QCOMPARE(view.loadAlertEnabledStates(), (QList<bool>{false, false, false, true, false}));
        view.openAlertEditor(3);
        QVERIFY(view.alertEditorSession()->id != first);
    }

    void newSlotRow_presentsTheMigratedConfiguration()
    {
        ContentViewFixture f;
        NewSlotAlertConfiguration old;
        old.highlightColor = {1.0, 0.8, 0.0};
        f.storeNewSlot(old, {});
        ContentView &view = f.make();
        const NewSlotAlertConfiguration shown = view.newSlotAlertRow();
        QCOMPARE(shown.highlightColor, (SpotAlertColor{0.95, 0.35, 0.65}));
        QCOMPARE(view.newSlotAlertDraft(), shown);
        QVERIFY(view.isNewSlotAlertSheetPresented());
    }

    void appearance_storesAlertsAndLoadsEntities()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.handleAppear();
        QVERIFY(!f.settings.data(SettingsKeys::spotAlertsConfiguration).isEmpty());
        QVERIFY(!f.settings.data(SettingsKeys::spotAlertsEnabled).isEmpty());
        QVERIFY2(!view.alertEntityLoadError(),
                 qPrintable(view.alertEntityLoadError().value_or(QString())));
        QVERIFY(view.alertEntities().size() > 300);
        for (const CTYEntity &entity : view.alertEntities())
            QVERIFY(!entity.isNonDXCCEntity);
    }
};

QTEST_GUILESS_MAIN(tst_ContentViewAlerts)
#include "tst_ContentViewAlerts.moc"
