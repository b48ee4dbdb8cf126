#include "AppSettingsStore.h"
#include "MainWindowHostState.h"
#include "NotificationHub.h"
#include "ShellFakes.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;
using AlertKind = MainWindowHostState::AlertKind;

namespace {

// Records the shell notifications posted while it lives.
struct PostLog {
    QStringList names;
    QList<QVariantMap> infos;
    QMetaObject::Connection connection;
    PostLog()
    {
        connection = QObject::connect(&NotificationHub::instance(), &NotificationHub::posted,
                                      [this](const QString &name, const QVariantMap &info) {
                                          names.append(name);
                                          infos.append(info);
                                      });
    }
    ~PostLog() { QObject::disconnect(connection); }
};

struct Rig {
    AppSettingsStore settings{std::nullopt};
    FakeDataFiles files;
    FakeConnection cluster;
    FakeAlerts alerts;
    int updateChecks = 0;
    VarnelloStartupCoordinator coordinator{
        {.dataFiles = &files,
         .cluster = &cluster,
         .settings = &settings,
         .startUpdateSchedule = {},
         .startUsagePingSchedule = {},
         .timing = {.afterLoTWReload = 1ms, .afterCountryCheck = 1ms}}};
    MainWindowHostState state{{.dataFiles = &files,
                               .coordinator = &coordinator,
                               .alerts = &alerts,
                               .checkForUpdates = [this] { ++updateChecks; },
                               .locale = QLocale(QLocale::English, QLocale::UnitedKingdom),
                               .initialRefreshDelay = 50ms}};
};

} // namespace

class TestMainWindowHostState : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void preset_mapsStoredAndReportedStates_data()
    {
        QTest::addColumn<QVariant>("value"); // invalid: no key
        QTest::addColumn<int>("state");
        QTest::newRow("small") << QVariant("small") << int(MainViewPresetState::smallView);
        QTest::newRow("default") << QVariant("default") << int(MainViewPresetState::defaultView);
        QTest::newRow("Small") << QVariant("Small") << int(MainViewPresetState::custom);
        QTest::newRow("empty") << QVariant("") << int(MainViewPresetState::custom);
        QTest::newRow("custom") << QVariant("custom") << int(MainViewPresetState::custom);
        QTest::newRow("padded") << QVariant(" small") << int(MainViewPresetState::custom);
        QTest::newRow("not text") << QVariant(1) << int(MainViewPresetState::custom);
        QTest::newRow("missing") << QVariant() << int(MainViewPresetState::custom);
    }
    void preset_mapsStoredAndReportedStates()
    {
        QFETCH(QVariant, value);
        QFETCH(int, state);
        QVariantMap info;
        if (value.isValid())
            info.insert(QStringLiteral("state"), value);
        QCOMPARE(int(presetStateFromUserInfo(info)), state);
        if (value.typeId() == QMetaType::QString)
            QCOMPARE(int(initialMainViewPresetState(value.toString())), state);
    }

    void observers_followTabAndPresetAndOffers()
    {
        Rig rig;
        QSignalSpy changed(&rig.state, &MainWindowHostState::viewStateChanged);
        const QString tab = QStringLiteral("varnelloMainTabChanged");
        rig.state.handleNotification(tab, {{"isTable", false}});
        QVERIFY(!rig.state.isTableTabSelected());
        rig.state.handleNotification(tab, {{"isTable", QStringLiteral("true")}}); // text: ignored
        rig.state.handleNotification(tab, {});
        QVERIFY(!rig.state.isTableTabSelected());
        rig.state.handleNotification(tab, {{"isTable", true}});
        QVERIFY(rig.state.isTableTabSelected());
        rig.state.handleNotification(QStringLiteral("varnelloViewPresetStateChanged"),
                                     {{"state", "small"}});
        QCOMPARE(rig.state.mainViewPresetState(), MainViewPresetState::smallView);
        QCOMPARE(changed.size(), 3);

        rig.state.handleNotification(QStringLiteral("VarnelloCheckForUpdates"), {});
        QCOMPARE(rig.updateChecks, 1);
        rig.state.handleNotification(QStringLiteral("VarnelloCountryFileUpdateAvailable"), {});
        QCOMPARE(rig.alerts.shown.size(), 1);
        QCOMPARE(rig.alerts.shown[0].title, QStringLiteral("A new country file is available"));
    }

    void startupTask_offersStaleFilesThenTriggersTheFirstRefreshOnce()
    {
        Rig rig;
        rig.files.lotwNewer = true;
        PostLog posts;
        rig.state.runStartupTask();
        rig.state.runStartupTask();
        QTRY_COMPARE(rig.alerts.shown.size(), 1);
        QVERIFY(posts.names.isEmpty()); // one second after the offers
        QTRY_COMPARE(posts.names, QStringList{"VarnelloInitialNewSlotRefresh"});
        QTest::qWait(100);
        QCOMPARE(posts.names.size(), 1);
        QCOMPARE(rig.files.calls.count(QStringLiteral("checkLoTW")), 1);
    }

    void alertChain_offersLoTWThenCountry_data()
    {
        QTest::addColumn<bool>("lotwStale");
        QTest::addColumn<bool>("countryStale");
        QTest::addColumn<bool>("countryAvailableLater");
        QTest::addColumn<QString>("lotwFailure"); // empty: the update succeeds
        QTest::addColumn<QList<int>>("answers");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("calls"); // updates started
        const QString lotw = QStringLiteral("A new LoTW activity file is available");
        const QString country = QStringLiteral("A new country file is available");
        const QString lotwFailed = QStringLiteral("LoTW activity update failed");
        QTest::newRow("both stale, LoTW cancelled")
            << true << true << true << QString() << QList<int>{1, 1} << QStringList{lotw, country}
            << QStringList{};
        QTest::newRow("both stale, LoTW updated")
            << true << true << true << QString() << QList<int>{0, 0} << QStringList{lotw, country}
            << QStringList{"updateLoTW", "updateCountry"};
        QTest::newRow("LoTW cancelled, no newer country file")
            << true << false << false << QString() << QList<int>{1} << QStringList{lotw}
            << QStringList{};
        QTest::newRow("LoTW update fails: no country offer")
            << true << true << true << QStringLiteral("The LoTW list could not be read.")
            << QList<int>{0, 0} << QStringList{lotw, lotwFailed} << QStringList{"updateLoTW"};
        QTest::newRow("country only") << false << true << true << QString() << QList<int>{1}
                                      << QStringList{country} << QStringList{};
    }
    void alertChain_offersLoTWThenCountry()
    {
        QFETCH(bool, lotwStale);
        QFETCH(bool, countryStale);
        QFETCH(bool, countryAvailableLater);
        QFETCH(QString, lotwFailure);
        QFETCH(QList<int>, answers);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, calls);
        Rig rig;
        rig.files.lotwNewer = lotwStale;
        rig.files.countryNewer = countryStale;
        rig.files.countryUpdateAvailable = countryAvailableLater;
        if (!lotwFailure.isEmpty())
            rig.files.lotwInstallFailure = lotwFailure;
        rig.state.runStartupTask();
        for (int i = 0; i < answers.size(); ++i) {
            QTRY_COMPARE(rig.alerts.shown.size(), i + 1);
            QCOMPARE(rig.alerts.shown[i].title, titles[i]);
            QCOMPARE(rig.alerts.pending.size(), 1); // one alert at a time
            rig.alerts.pending.takeFirst()(answers[i]);
        }
        QTest::qWait(50);
        QStringList shownTitles;
        for (const FakeAlerts::Shown &alert : rig.alerts.shown)
            shownTitles.append(alert.title);
        QCOMPARE(shownTitles, titles);
        if (!lotwFailure.isEmpty())
            QCOMPARE(rig.alerts.shown.last().text, lotwFailure);
        rig.files.calls.removeIf([](const QString &c) { return !c.startsWith("update"); });
        QCOMPARE(rig.files.calls, calls);
        QVERIFY(!rig.state.wantedAlert());
    }

    void countryOffer_declinedReleaseIsRemembered()
    {
        Rig rig;
        rig.files.latestCountry = QDate(2026, 3, 5);
        rig.state.handleNotification(QStringLiteral("VarnelloCountryFileUpdateAvailable"), {});
        rig.alerts.pending.takeFirst()(1);
        QCOMPARE(rig.coordinator.declinedCountryReleaseDate(), QDate(2026, 3, 5));
        rig.state.handleNotification(QStringLiteral("VarnelloCountryFileUpdateAvailable"), {});
        rig.alerts.pending.takeFirst()(0);
        QTRY_COMPARE(rig.files.calls, QStringList{"updateCountry"});
        QTRY_COMPARE(rig.coordinator.declinedCountryReleaseDate(), std::nullopt);
    }

    void offers_nameTheDaysOfTheFiles()
    {
        Rig rig;
        rig.files.installedLoTW = QDate(2026, 3, 5);
        rig.files.latestLoTW = QDate(2026, 3, 9);
        QCOMPARE(rig.state.alertMessage(AlertKind::staleLoTW),
                 QStringLiteral("Your current LoTW activity file has a most recent date of 5 March "
                                "2026. The latest file has a most recent date of 9 March 2026. "
                                "Would you like to update it?"));
        rig.files.installedCountry = QDate(2025, 12, 31);
        QCOMPARE(rig.state.alertMessage(AlertKind::staleCountry),
                 QStringLiteral("A newer country file is available. Would you like to update it?"));
        rig.files.latestCountry = QDate(2026, 1, 1);
        QCOMPARE(rig.state.alertMessage(AlertKind::staleCountry),
                 QStringLiteral("The installed country file was released on 31 December 2025. A "
                                "newer version dated 1 January 2026 is available. Would you like "
                                "to update it?"));
    }
};

QTEST_GUILESS_MAIN(TestMainWindowHostState)
#include "tst_MainWindowHostState.moc"
