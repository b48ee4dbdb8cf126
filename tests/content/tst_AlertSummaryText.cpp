#include "AlertSummaryText.h"

#include <QTest>

using namespace varnello;

namespace {

const QList<CTYEntity> entities{{230, "Fed. Rep. of Germany", "DL"},
                                {223, "England", "G"},
                                {291, "United States", "K"},
                                {1, "Canada", "VE"},
                                {150, "Australia", "VK"}};

SpotAlertConfiguration clubLogAlert(QSet<int> filter, ClubLogWantedStatus status,
                                    QList<ClubLogEntitySlotRule> rules = {})
{
    SpotAlertConfiguration alert;
    ClubLogAlertSettings settings;
    settings.wantedStatus = status;
    settings.entityFilterADIFNumbers = std::move(filter);
    settings.entitySlotRules = std::move(rules);
    alert.clubLogSettings = settings;
    return alert;
}

} // namespace

Q_DECLARE_METATYPE(varnello::SpotAlertConfiguration)
Q_DECLARE_METATYPE(varnello::NewSlotAlertConfiguration)

class tst_AlertSummaryText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void entityLine_data()
    {
        QTest::addColumn<SpotAlertConfiguration>("alert");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QList<CTYEntity>>("known");
        QTest::addColumn<QString>("text");
        SpotAlertConfiguration calls;
        QTest::newRow("no calls") << calls << 4 << entities << "No callsigns configured";
        calls.selectedCallsigns = {"W1AW", "K1ABC", "G4XYZ"};
        QTest::newRow("three calls sorted") << calls << 4 << entities << "G4XYZ, K1ABC, W1AW";
        calls.selectedCallsigns.insert("DL1ZZ");
        QTest::newRow("four calls") << calls << 4 << entities << "DL1ZZ, G4XYZ + 2 more";

        QTest::newRow("unconfigured")
            << SpotAlertConfiguration() << 0 << entities << "Not configured";
        SpotAlertConfiguration picked;
        picked.selectedEntityADIFNumbers = {291, 230};
        // Entity list order, not the order of the numbers.
        QTest::newRow("two names")
            << picked << 1 << entities << "Fed. Rep. of Germany, United States";
        QTest::newRow("list not loaded") << picked << 1 << QList<CTYEntity>() << "2 DXCC entities";
        picked.selectedEntityADIFNumbers = {1, 150, 223, 291, 230};
        QTest::newRow("five names")
            << picked << 2 << entities << "Fed. Rep. of Germany, England + 3 more";
        picked.selectedEntityADIFNumbers = {1, 999};
        QTest::newRow("one name found") << picked << 2 << entities << "Canada";

        QTest::newRow("club log, lowest entity")
            << clubLogAlert({291, 230}, ClubLogWantedStatus::notWorked) << 0 << entities
            << "Fed. Rep. of Germany \u00b7 Club Log \u00b7 Not worked";
        QTest::newRow("club log, unknown entity")
            << clubLogAlert({999}, ClubLogWantedStatus::notConfirmed) << 3 << entities
            << "ADIF 999 \u00b7 Club Log \u00b7 Not confirmed";
    }
    void entityLine()
    {
        QFETCH(SpotAlertConfiguration, alert);
        QFETCH(int, slot);
        QFETCH(QList<CTYEntity>, known);
        QFETCH(QString, text);
        QCOMPARE(alertEntitySummaryText(alert, slot, known), text);
    }

    void slotLine_data()
    {
        QTest::addColumn<SpotAlertConfiguration>("alert");
        QTest::addColumn<int>("slot");
        QTest::addColumn<QString>("text");
        QTest::newRow("unconfigured") << SpotAlertConfiguration() << 0 << QString();
        SpotAlertConfiguration calls;
        calls.selectedCallsigns = {"K1ABC"};
        QTest::newRow("calls, anything") << calls << 4 << "Any band \u00b7 Any mode";
        SpotAlertConfiguration chosen;
        chosen.selectedBands = {"20m", "160m", "2mm", "11m"};
        chosen.selectedModes = {SpotType::ftx, SpotType::cw, SpotType::beacon};
        QTest::newRow("band and mode order") << chosen << 1 << "160m, 20m, 2mm \u00b7 CW, FTx";
        SpotAlertConfiguration modesOnly;
        modesOnly.selectedModes = {SpotType::otherDigital, SpotType::ssb};
        QTest::newRow("modes only") << modesOnly << 2 << "Any band \u00b7 SSB (Phone), Other Data";

        const QList<ClubLogEntitySlotRule> rules{
            {291, {{"20m", SpotType::cw}, {"40m", SpotType::ftx}, {"20m", SpotType::otherDigital}}},
            {230, {{"80m", SpotType::ssb}}}};
        QTest::newRow("club log, first rule only")
            << clubLogAlert({291}, ClubLogWantedStatus::notWorked, rules) << 0
            << "CW: 20m \u00b7 Data: 40m, 20m";
        QTest::newRow("club log, no rules") << clubLogAlert({291}, ClubLogWantedStatus::notWorked)
                                            << 0 << "No outstanding band/mode slots";
        QTest::newRow("club log, only unnamed slots")
            << clubLogAlert({291}, ClubLogWantedStatus::notWorked,
                            {{291, {{"20m", SpotType::beacon}}}})
            << 0 << "No outstanding band/mode slots";
        // Slot 4 is never a Club Log slot: it describes its own selection.
        SpotAlertConfiguration callsWithClubLog =
            clubLogAlert({291}, ClubLogWantedStatus::notWorked, rules);
        callsWithClubLog.selectedBands = {"6m"};
        QTest::newRow("slot 4 ignores club log") << callsWithClubLog << 4 << "6m \u00b7 Any mode";
    }
    void slotLine()
    {
        QFETCH(SpotAlertConfiguration, alert);
        QFETCH(int, slot);
        QFETCH(QString, text);
        QCOMPARE(alertSlotSummaryText(alert, slot), text);
    }

    void actionLine_data()
    {
        QTest::addColumn<bool>("highlight");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<bool>("notification");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("symbolName");
        QTest::newRow("all") << true << true << true << "Highlight + sound + notification"
                             << "speaker.wave.2";
        QTest::newRow("h s") << true << true << false << "Highlight + sound"
                             << "speaker.wave.2";
        QTest::newRow("h n") << true << false << true << "Highlight + notification"
                             << "bell";
        QTest::newRow("h") << true << false << false << "Highlight only"
                           << "highlighter";
        QTest::newRow("s n") << false << true << true << "Sound + notification"
                             << "speaker.wave.2";
        QTest::newRow("s") << false << true << false << "Sound only"
                           << "speaker.wave.2";
        QTest::newRow("n") << false << false << true << "Notification only"
                           << "bell";
        QTest::newRow("none") << false << false << false << "No action selected"
                              << "highlighter";
    }
    void actionLine()
    {
        QFETCH(bool, highlight);
        QFETCH(bool, sound);
        QFETCH(bool, notification);
        QFETCH(QString, text);
        QFETCH(QString, symbolName);
        SpotAlertConfiguration alert;
        alert.highlightRows = highlight;
        alert.playSound = sound;
        alert.showNotification = notification;
        QCOMPARE(alertActionSummaryText(alert), text);
        QCOMPARE(alertActionSymbolName(alert), symbolName);
    }

    void newSlotTexts_data()
    {
        QTest::addColumn<NewSlotAlertConfiguration>("configuration");
        QTest::addColumn<QString>("modes");
        QTest::addColumn<QString>("bands");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<QString>("counts");
        const NewSlotAlertConfiguration defaults;
        QTest::newRow("defaults") << defaults << "Mixed"
                                  << "All bands"
                                  << "Highlight"
                                  << "";
        NewSlotAlertConfiguration chosen;
        chosen.modes = {ClubLogMode::data, ClubLogMode::cw};
        chosen.bands = {"20m", "160m", "3cm"};
        chosen.playSound = false;
        chosen.showNotification = true;
        chosen.neededEntityCount = 12;
        chosen.neededSlotCount = 40;
        QTest::newRow("chosen") << chosen << "CW, Data"
                                << "160m, 20m"
                                << "Highlight \u00b7 Notification"
                                << "12 entities \u00b7 40 slots needed";
        NewSlotAlertConfiguration none;
        none.modes = {};
        none.bands = {"3cm"};
        none.highlightRows = false;
        none.neededEntityCount = 3; // without a slot count: no line
        QTest::newRow("nothing") << none << "No modes selected"
                                 << "No bands selected"
                                 << "No actions selected"
                                 << "";
        NewSlotAlertConfiguration everything;
        everything.bands.insert("2200m"); // not the sixteen any more
        everything.playSound = true;
        everything.showNotification = true;
        everything.neededEntityCount = 1234;
        everything.neededSlotCount = 0;
        QTest::newRow("all actions")
            << everything << "Mixed"
            << "160m, 80m, 60m, 40m, 30m, 20m, 17m, 15m, 12m, 10m, 6m, 4m, 2m, 70cm, 23cm, 13cm"
            << "Highlight \u00b7 Sound \u00b7 Notification"
            << "1234 entities \u00b7 0 slots needed";
    }
    void newSlotTexts()
    {
        QFETCH(NewSlotAlertConfiguration, configuration);
        QFETCH(QString, modes);
        QFETCH(QString, bands);
        QFETCH(QString, actions);
        QFETCH(QString, counts);
        QCOMPARE(newSlotModesText(configuration.modes), modes);
        QCOMPARE(newSlotBandsText(configuration.bands), bands);
        QCOMPARE(newSlotActionsText(configuration), actions);
        QCOMPARE(newSlotNeededCountsText(configuration).value_or(QString()), counts);
    }

    void refreshDate_isBritishLocalTime()
    {
        // Whatever the user's language.
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        NewSlotAlertConfiguration configuration;
        QCOMPARE(clubLogRefreshDateText(configuration), "Club Log data: Not yet refreshed");
        configuration.lastSuccessfulRefresh = QDateTime(QDate(2026, 3, 3), QTime(9, 5));
        QCOMPARE(clubLogRefreshDateText(configuration),
                 "Club Log data last refreshed: 3 Mar 2026 at 09:05");
        configuration.lastSuccessfulRefresh = QDateTime(QDate(2026, 12, 24), QTime(21, 30)).toUTC();
        QCOMPARE(clubLogRefreshDateText(configuration),
                 "Club Log data last refreshed: 24 Dec 2026 at 21:30");
        QLocale::setDefault(QLocale::c());
    }
};

QTEST_GUILESS_MAIN(tst_AlertSummaryText)
#include "tst_AlertSummaryText.moc"
