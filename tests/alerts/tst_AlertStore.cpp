#include "AlertCoding.h"
#include "AlertStore.h"
#include "AppSettingsStore.h"
#include "SettingsKeys.h"

#include <QSignalSpy>
#include <QTest>
#include <limits>

using namespace varnello;

namespace {

QByteArray encoded(const QList<SpotAlertConfiguration> &list)
{
    return *alertcoding::encode(list);
}

SpotAlertConfiguration named(const QString &name)
{
    SpotAlertConfiguration c;
    c.name = name;
    return c;
}

} // namespace

class tst_AlertStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void noKeys_loadFiveDefaults_andAppearanceWritesBoth()
    {
        AppSettingsStore settings(std::nullopt);
        AlertStore store(settings);
        QCOMPARE(store.loadAlertConfigurations(), defaultAlertConfigurations());
        QCOMPARE(store.loadAlertEnabledStates(), QList<bool>(5, false));
        QVERIFY(settings.data(SettingsKeys::spotAlertsConfiguration).isEmpty());
        store.migrateStoredAlerts();
        QCOMPARE(alertcoding::decodeConfigurationList(
                     settings.data(SettingsKeys::spotAlertsConfiguration)),
                 defaultAlertConfigurations());
        QCOMPARE(alertcoding::decodeFlags(settings.data(SettingsKeys::spotAlertsEnabled)),
                 QList<bool>(5, false));
    }

    void legacySingleAlert_movesIntoSlotZero()
    {
        AppSettingsStore settings(std::nullopt);
        SpotAlertConfiguration dx = named(QStringLiteral("DX"));
        dx.selectedBands = {QStringLiteral("20m")};
        settings.setData(SettingsKeys::spotAlert1Configuration, *alertcoding::encode(dx));
        settings.setBool(SettingsKeys::spotAlert1Enabled, true);
        AlertStore store(settings);
        QList<SpotAlertConfiguration> expected = defaultAlertConfigurations();
        expected[0] = dx;
        QCOMPARE(store.loadAlertConfigurations(), expected);
        QCOMPARE(store.loadAlertEnabledStates(), (QList<bool>{true, false, false, false, false}));
        store.migrateStoredAlerts();
        QCOMPARE(alertcoding::decodeConfigurationList(
                     settings.data(SettingsKeys::spotAlertsConfiguration)),
                 expected);
        QCOMPARE(alertcoding::decodeFlags(settings.data(SettingsKeys::spotAlertsEnabled)),
                 (QList<bool>{true, false, false, false, false}));
    }

    void storedList_isNormalised_data()
    {
        QTest::addColumn<QList<SpotAlertConfiguration>>("stored");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("three with blanks")
            << QList<SpotAlertConfiguration>{named(QString()), named(QStringLiteral(" \n\t")),
                                             named(QStringLiteral("Rare"))}
            << QStringList{"Alert 1", "Alert 2", "Rare", "Alert 4", "Callsign Alert"};
        QTest::newRow("seven cut to five")
            << QList<SpotAlertConfiguration>(7, named(QStringLiteral("X")))
            << QStringList{"X", "X", "X", "X", "X"};
        QTest::newRow("slot 4 named Alert 5")
            << QList<SpotAlertConfiguration>{named("a"), named("b"), named("c"), named("d"),
                                             named("Alert 5")}
            << QStringList{"a", "b", "c", "d", "Callsign Alert"};
        QTest::newRow("names kept untrimmed")
            << QList<SpotAlertConfiguration>{named(" DX ")}
            << QStringList{" DX ", "Alert 2", "Alert 3", "Alert 4", "Callsign Alert"};
    }
    void storedList_isNormalised()
    {
        QFETCH(QList<SpotAlertConfiguration>, stored);
        QFETCH(QStringList, names);
        AppSettingsStore settings(std::nullopt);
        settings.setData(SettingsKeys::spotAlertsConfiguration, encoded(stored));
        const QList<SpotAlertConfiguration> loaded = AlertStore(settings).loadAlertConfigurations();
        QStringList loadedNames;
        for (const auto &c : loaded)
            loadedNames.append(c.name);
        QCOMPARE(loadedNames, names);
    }

    void callsignAlert_neverKeepsEntities()
    {
        AppSettingsStore settings(std::nullopt);
        QList<SpotAlertConfiguration> stored(5);
        stored[4] = named(QStringLiteral("Alert 5"));
        stored[4].selectedEntityADIFNumbers = {291};
        settings.setData(SettingsKeys::spotAlertsConfiguration, encoded(stored));
        const SpotAlertConfiguration slot4 = AlertStore(settings).loadAlertConfigurations()[4];
        QCOMPARE(slot4.name, QStringLiteral("Callsign Alert"));
        QVERIFY(slot4.selectedEntityADIFNumbers.isEmpty());
    }

    void enabledFlags_arePaddedOrCut_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QList<bool>>("flags");
        QTest::newRow("one") << QByteArray("[true]")
                             << QList<bool>{true, false, false, false, false};
        QTest::newRow("seven") << QByteArray("[false,true,false,true,false,true,true]")
                               << QList<bool>{false, true, false, true, false};
        QTest::newRow("undecodable falls back to legacy")
            << QByteArray("[1]") << QList<bool>{true, false, false, false, false};
    }
    void enabledFlags_arePaddedOrCut()
    {
        QFETCH(QByteArray, stored);
        QFETCH(QList<bool>, flags);
        AppSettingsStore settings(std::nullopt);
        settings.setBool(SettingsKeys::spotAlert1Enabled, true);
        settings.setData(SettingsKeys::spotAlertsEnabled, stored);
        AlertStore store(settings);
        QCOMPARE(store.loadAlertEnabledStates(), flags);
        store.saveAlertEnabledStates({true});
        QCOMPARE(settings.data(SettingsKeys::spotAlertsEnabled),
                 QByteArray("[true,false,false,false,false]"));
    }

    void undecodableList_givesDefaultsEachTime_andIsNotOverwritten()
    {
        AppSettingsStore settings(std::nullopt);
        const QByteArray broken = R"([{"name":"DX","playSound":"yes"}])";
        settings.setData(SettingsKeys::spotAlertsConfiguration, broken);
        settings.setData(SettingsKeys::spotAlertsEnabled, "[true]");
        AlertStore store(settings);
        QCOMPARE(store.loadAlertConfigurations(), defaultAlertConfigurations());
        QCOMPARE(store.loadAlertConfigurations(), defaultAlertConfigurations());
        store.migrateStoredAlerts();
        QCOMPARE(settings.data(SettingsKeys::spotAlertsConfiguration), broken);
    }

    void changedBytes_decodeAgain()
    {
        AppSettingsStore settings(std::nullopt);
        AlertStore store(settings);
        settings.setData(SettingsKeys::spotAlertsConfiguration, encoded({named("First")}));
        QCOMPARE(store.loadAlertConfigurations()[0].name, QStringLiteral("First"));
        settings.setData(SettingsKeys::spotAlertsConfiguration, encoded({named("Second")}));
        QCOMPARE(store.loadAlertConfigurations()[0].name, QStringLiteral("Second"));
        settings.setData(SettingsKeys::spotAlertsConfiguration, "garbage");
        QCOMPARE(store.loadAlertConfigurations(), defaultAlertConfigurations());
    }

    void newSlot_missingBandsLoadsDefaults()
    {
        AppSettingsStore settings(std::nullopt);
        NewSlotAlertConfiguration n;
        n.playSound = true;
        QByteArray bytes = *alertcoding::encode(n);
        bytes.replace(R"("bands":)", R"("other":)");
        settings.setData(SettingsKeys::newSlotAlertConfiguration, bytes);
        QCOMPARE(AlertStore(settings).loadNewSlotAlertConfiguration(), NewSlotAlertConfiguration{});
    }

    void newSlot_savedRulesMoveToTheirOwnKey()
    {
        AppSettingsStore settings(std::nullopt);
        AlertStore store(settings);
        NewSlotAlertConfiguration n;
        const QList<ClubLogEntitySlotRule> rules{
            {1, {{"20m", SpotType::cw}}}, {2, {}}, {3, {{"6m", SpotType::ssb}}}};
        n.entitySlotRules = rules;
        QVERIFY(store.saveNewSlotAlertConfiguration(n));
        QVERIFY(
            !settings.data(SettingsKeys::newSlotAlertConfiguration).contains("entitySlotRules"));
        QCOMPARE(alertcoding::decodeRuleList(settings.data(SettingsKeys::newSlotAlertLookup)),
                 rules);
        QCOMPARE(store.newSlotAlertRules(), rules);
    }

    void newSlot_rulesInsideOldConfigurationMoveOnLoad()
    {
        AppSettingsStore settings(std::nullopt);
        NewSlotAlertConfiguration n;
        n.entitySlotRules = QList<ClubLogEntitySlotRule>{{291, {{"20m", SpotType::cw}}}};
        settings.setData(SettingsKeys::newSlotAlertConfiguration, *alertcoding::encode(n));
        AlertStore store(settings);
        store.loadNewSlotAlertRules();
        QCOMPARE(store.newSlotAlertRules(), *n.entitySlotRules);
        QVERIFY(
            !settings.data(SettingsKeys::newSlotAlertConfiguration).contains("entitySlotRules"));
        QVERIFY(!settings.data(SettingsKeys::newSlotAlertLookup).isEmpty());
    }

    void newSlotColour_changesOnce_data()
    {
        QTest::addColumn<SpotAlertColor>("stored");
        QTest::addColumn<SpotAlertColor>("after");
        QTest::newRow("old default")
            << SpotAlertColor{1.0, 0.8, 0.0} << SpotAlertColor{0.95, 0.35, 0.65};
        QTest::newRow("other colour")
            << SpotAlertColor{1.0, 0.8, 0.1} << SpotAlertColor{1.0, 0.8, 0.1};
    }
    void newSlotColour_changesOnce()
    {
        QFETCH(SpotAlertColor, stored);
        QFETCH(SpotAlertColor, after);
        AppSettingsStore settings(std::nullopt);
        AlertStore store(settings);
        NewSlotAlertConfiguration n;
        n.highlightColor = stored;
        store.saveNewSlotAlertConfiguration(n);
        QCOMPARE(store.migrateNewSlotAlertHighlightColour().highlightColor, after);
        QCOMPARE(store.loadNewSlotAlertConfiguration().highlightColor, after);
        QVERIFY(settings.boolValue(SettingsKeys::newSlotAlertHighlightColourMigrated));
        // Chosen again later, the old colour stays.
        n.highlightColor = {1.0, 0.8, 0.0};
        store.saveNewSlotAlertConfiguration(n);
        QCOMPARE(store.migrateNewSlotAlertHighlightColour().highlightColor,
                 (SpotAlertColor{1.0, 0.8, 0.0}));
    }

    void refreshDue_atExactly5400Seconds()
    {
        AppSettingsStore settings(std::nullopt);
        AlertStore store(settings);
        const QDateTime last(QDate(2026, 12, 7), QTime(10, 0), Qt::UTC);
        NewSlotAlertConfiguration n;
        n.lastSuccessfulRefresh = last;
        store.saveNewSlotAlertConfiguration(n);
        settings.setBool(SettingsKeys::newSlotAlertEnabled, true);
        QVERIFY(!store.isNewSlotRefreshDue(last.addSecs(6000))); // no rules yet
        store.saveNewSlotAlertRules({{1, {{"20m", SpotType::cw}}}});
        QVERIFY(!store.isNewSlotRefreshDue(last.addSecs(5399)));
        QVERIFY(store.isNewSlotRefreshDue(last.addSecs(5400)));
        settings.setBool(SettingsKeys::newSlotAlertEnabled, false);
        QVERIFY(!store.isNewSlotRefreshDue(last.addSecs(5400)));
        settings.setBool(SettingsKeys::newSlotAlertEnabled, true);
        store.saveNewSlotAlertConfiguration(NewSlotAlertConfiguration{});
        QVERIFY(!store.isNewSlotRefreshDue(last.addSecs(99999)));
    }

    void unencodableValues_storeNothing()
    {
        AppSettingsStore settings(std::nullopt);
        AlertStore store(settings);
        store.migrateStoredAlerts();
        const QByteArray before = settings.data(SettingsKeys::spotAlertsConfiguration);
        QList<SpotAlertConfiguration> alerts = store.loadAlertConfigurations();
        alerts[2].highlightColor.red = std::numeric_limits<double>::quiet_NaN();
        QVERIFY(!store.storeAlertConfigurations(alerts));
        QCOMPARE(settings.data(SettingsKeys::spotAlertsConfiguration), before);
        QCOMPARE(store.loadAlertConfigurations(), defaultAlertConfigurations());

        NewSlotAlertConfiguration n;
        n.highlightColor.green = std::numeric_limits<double>::infinity();
        QVERIFY(!store.saveNewSlotAlertConfiguration(n));
        QVERIFY(settings.data(SettingsKeys::newSlotAlertConfiguration).isEmpty());
    }

    void reads_neverWrite()
    {
        AppSettingsStore settings(std::nullopt);
        settings.setData(SettingsKeys::spotAlert1Configuration, *alertcoding::encode(named("DX")));
        QSignalSpy writes(&settings, &AppSettingsStore::valueChanged);
        AlertStore store(settings);
        store.loadAlertConfigurations();
        store.loadAlertEnabledStates();
        store.loadNewSlotAlertConfiguration();
        store.isNewSlotRefreshDue(QDateTime::currentDateTimeUtc());
        QCOMPARE(writes.count(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_AlertStore)
#include "tst_AlertStore.moc"
