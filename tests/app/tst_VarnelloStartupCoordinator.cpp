#include "AppSettingsStore.h"
#include "NotificationHub.h"
#include "ShellFakes.h"
#include "VarnelloStartupCoordinator.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;
using FileAgeState = VarnelloStartupCoordinator::FileAgeState;

Q_DECLARE_METATYPE(std::optional<bool>)

namespace {

struct Rig {
    AppSettingsStore settings{std::nullopt};
    FakeDataFiles files;
    FakeConnection cluster;
    int updateSchedules = 0;
    int usageSchedules = 0;
    std::unique_ptr<VarnelloStartupCoordinator> coordinator;

    explicit Rig(VarnelloStartupCoordinator::Timing timing = {.schedulesDelay = 20ms})
    {
        coordinator =
            std::make_unique<VarnelloStartupCoordinator>(VarnelloStartupCoordinator::Setup{
                .dataFiles = &files,
                .cluster = &cluster,
                .settings = &settings,
                .startUpdateSchedule = [this] { ++updateSchedules; },
                .startUsagePingSchedule = [this] { ++usageSchedules; },
                .timing = timing,
            });
    }
    void configureNode(const QString &host, const QString &port, const QString &callsign,
                       const QString &password = QStringLiteral("secret"))
    {
        settings.setBool(SettingsKeys::autoConnectOnStartup, true);
        settings.setString(SettingsKeys::clusterHost, host);
        settings.setString(SettingsKeys::clusterPort, port);
        settings.setString(SettingsKeys::clusterCallsign, callsign);
        settings.setString(SettingsKeys::clusterPassword, password);
    }
};

} // namespace

class TestVarnelloStartupCoordinator : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void start_runsOnce()
    {
        Rig rig;
        rig.configureNode(QStringLiteral("node.example"), QStringLiteral("7300"),
                          QStringLiteral("K1ABC"));
        rig.coordinator->start();
        rig.cluster.connecting = false; // the first attempt failed at once
        rig.coordinator->start();
        rig.coordinator->start();
        QVERIFY(rig.cluster.requests.isEmpty()); // on the next turn, not inside start()
        QTRY_COMPARE(rig.updateSchedules, 1);
        QCOMPARE(rig.usageSchedules, 1);
        QTest::qWait(100);
        QCOMPARE(rig.updateSchedules, 1);
        QCOMPARE(rig.usageSchedules, 1);
        QCOMPARE(rig.cluster.requests.size(), 1);
        QVERIFY(rig.coordinator->hasStarted());
    }

    void autoConnect_needsSwitchHostCallsignAndPort_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("expectedPort"); // -1: no connection
        const QString host = QStringLiteral("node.example");
        const QString call = QStringLiteral("K1ABC");
        QTest::newRow("all set") << true << host << "7300" << call << "pw" << 7300;
        QTest::newRow("switch off") << false << host << "7300" << call << "pw" << -1;
        QTest::newRow("blank host") << true << "  \t"
                                    << "7300" << call << "pw" << -1;
        QTest::newRow("blank callsign") << true << host << "7300"
                                        << " \n"
                                        << "pw" << -1;
        QTest::newRow("empty port") << true << host << "" << call << "pw" << -1;
        QTest::newRow("blank port") << true << host << "   " << call << "pw" << -1;
        QTest::newRow("70000") << true << host << "70000" << call << "pw" << -1;
        QTest::newRow("7a") << true << host << "7a" << call << "pw" << -1;
        QTest::newRow("lone minus") << true << host << "-" << call << "pw" << -1;
        QTest::newRow("lone plus") << true << host << "+" << call << "pw" << -1;
        QTest::newRow("blanks around") << true << host << " 7300 " << call << "pw" << 7300;
        QTest::newRow("plus sign") << true << host << "+7300" << call << "pw" << 7300;
        QTest::newRow("port 0") << true << host << "0" << call << "pw" << 0;
        QTest::newRow("untrimmed password") << true << " node.example\n"
                                            << "7300"
                                            << " K1ABC "
                                            << "  pass word \n"
                                            << 7300;
    }
    void autoConnect_needsSwitchHostCallsignAndPort()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(QString, callsign);
        QFETCH(QString, password);
        QFETCH(int, expectedPort);
        Rig rig;
        rig.configureNode(host, port, callsign, password);
        rig.settings.setBool(SettingsKeys::autoConnectOnStartup, enabled);
        rig.settings.setBool(SettingsKeys::backupClusterEnabled, false);
        rig.coordinator->start();
        QTest::qWait(30);
        if (expectedPort < 0) {
            QVERIFY(rig.cluster.requests.isEmpty());
            QTRY_COMPARE(rig.updateSchedules, 1); // the schedules start all the same
            return;
        }
        QCOMPARE(rig.cluster.requests.size(), 1);
        const StartupConnectRequest expected{QStringLiteral("node.example"), quint16(expectedPort),
                                             QStringLiteral("K1ABC"), password};
        QCOMPARE(rig.cluster.requests[0], expected);
        QCOMPARE(rig.cluster.failoverFlags[0], false);
    }

    void autoConnect_notWhileConnectedOrConnecting_data()
    {
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("connecting");
        QTest::addColumn<int>("requests");
        QTest::newRow("idle") << false << false << 1;
        QTest::newRow("connected") << true << false << 0;
        QTest::newRow("connecting") << false << true << 0;
    }
    void autoConnect_notWhileConnectedOrConnecting()
    {
        QFETCH(bool, connected);
        QFETCH(bool, connecting);
        QFETCH(int, requests);
        Rig rig;
        rig.configureNode(QStringLiteral("node.example"), QStringLiteral("7300"),
                          QStringLiteral("K1ABC"));
        rig.coordinator->start();
        // The user acts before the next turn.
        rig.cluster.connected = connected;
        rig.cluster.connecting = connecting;
        QTest::qWait(30);
        QCOMPARE(rig.cluster.requests.size(), requests);
    }

    void fileAgeState_checksInOrderAndReportsOneOffer_data()
    {
        QTest::addColumn<std::optional<bool>>("country");
        QTest::addColumn<std::optional<bool>>("lotw");
        QTest::addColumn<bool>("staleLoTW");
        QTest::addColumn<bool>("staleCountry");
        const std::optional<bool> yes = true, no = false, fails = std::nullopt;
        QTest::newRow("both fresh") << no << no << false << false;
        QTest::newRow("country stale") << yes << no << false << true;
        QTest::newRow("LoTW stale") << no << yes << true << false;
        QTest::newRow("both stale: LoTW only") << yes << yes << true << false;
        QTest::newRow("LoTW check fails: country only") << yes << fails << false << true;
        QTest::newRow("country check fails") << fails << yes << true << false;
        QTest::newRow("both fail") << fails << fails << false << false;
    }
    void fileAgeState_checksInOrderAndReportsOneOffer()
    {
        QFETCH(std::optional<bool>, country);
        QFETCH(std::optional<bool>, lotw);
        QFETCH(bool, staleLoTW);
        QFETCH(bool, staleCountry);
        Rig rig({.afterLoTWReload = 150ms, .afterCountryCheck = 100ms});
        rig.files.countryNewer = country;
        rig.files.lotwNewer = lotw;
        std::optional<FileAgeState> answer;
        rig.coordinator->fileAgeState([&](FileAgeState s) { answer = s; });
        QTest::qWait(80);
        QCOMPARE(rig.files.calls, QStringList{"reloadLoTW"}); // then the 5 s pause
        QTRY_COMPARE(rig.files.calls.size(), 2);
        QTest::qWait(40);
        QCOMPARE(rig.files.calls.size(), 2); // then the 2 s pause
        QTRY_VERIFY(answer.has_value());
        QCOMPARE(rig.files.calls, (QStringList{"reloadLoTW", "checkCountry", "checkLoTW"}));
        QCOMPARE(*answer, (FileAgeState{staleLoTW, staleCountry}));

        // Kept: answered at once, nothing read or fetched again.
        std::optional<FileAgeState> second;
        rig.coordinator->fileAgeState([&](FileAgeState s) { second = s; });
        QCOMPARE(second, answer);
        QCOMPARE(rig.files.calls.size(), 3);
    }

    void hourlyFeedCheck_offersEachReleaseUnlessDeclined_data()
    {
        QTest::addColumn<bool>("newer");
        QTest::addColumn<QDate>("latest"); // invalid: unknown
        QTest::addColumn<QDate>("declined");
        QTest::addColumn<bool>("offered");
        const QDate d(2026, 3, 5);
        QTest::newRow("newer, nothing declined") << true << d << QDate() << true;
        QTest::newRow("newer, this one declined") << true << d << d << false;
        QTest::newRow("newer, an older one declined") << true << d << d.addDays(-7) << true;
        QTest::newRow("newer, date unknown") << true << QDate() << QDate() << false;
        QTest::newRow("not newer") << false << d << QDate() << false;
    }
    void hourlyFeedCheck_offersEachReleaseUnlessDeclined()
    {
        QFETCH(bool, newer);
        QFETCH(QDate, latest);
        QFETCH(QDate, declined);
        QFETCH(bool, offered);
        Rig rig({.feedCheckInterval = 40ms});
        rig.files.countryNewer = newer;
        if (latest.isValid())
            rig.files.latestCountry = latest;
        if (declined.isValid())
            rig.coordinator->setDeclinedCountryReleaseDate(declined);
        int posts = 0;
        connect(&NotificationHub::instance(), &NotificationHub::posted, this,
                [&](const QString &name) {
                    posts += name == QLatin1String("VarnelloCountryFileUpdateAvailable");
                });
        rig.coordinator->start();
        QVERIFY(rig.files.calls.isEmpty()); // the first look is one interval after start
        QTRY_VERIFY(rig.files.calls.size() >= 2);
        QTest::qWait(20);
        QCOMPARE(posts > 0, offered);
        disconnect(&NotificationHub::instance(), nullptr, this, nullptr);
    }
};

QTEST_GUILESS_MAIN(TestVarnelloStartupCoordinator)
#include "tst_VarnelloStartupCoordinator.moc"
