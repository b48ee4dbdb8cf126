#include "ResilienceHarness.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QString kPing = QStringLiteral("ping");
const QString kBye = QStringLiteral("bye");

} // namespace

class TestClusterKeepalive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // ----- keepalive

    void silence_sendsExactlyOnePing_andAReplyRestartsTheCount()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        logIn(h, node);
        const auto idle = scaledTiming().keepaliveIdle.count();
        settle(std::chrono::milliseconds(idle / 2));
        QCOMPARE(node.countReceived(kPing), 0);
        QTRY_VERIFY_WITH_TIMEOUT(node.hasReceived(kPing), 10000);
        // The node's prompt answered it; the next ping needs another idle spell.
        settle(std::chrono::milliseconds(idle / 2));
        QCOMPARE(node.countReceived(kPing), 1);
        QVERIFY(h.conn->isLoggedIn());
        QTRY_VERIFY_WITH_TIMEOUT(node.countReceived(kPing) == 2, 10000);
        QCOMPARE(node.connectionCount(), 1);
        QVERIFY(!h.consoleHas(QStringLiteral("> ping")));
    }

    void noReply_losesConnection_andReconnectsAfterThePause()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        logIn(h, node);
        node.setPromptAfterCommands(false);
        qint64 pingAt = -1;
        node.onLine = [&h, &pingAt](int, const QString &line) {
            if (pingAt < 0 && line == QLatin1String("ping"))
                pingAt = h.elapsed.elapsed();
        };
        QTRY_VERIFY_WITH_TIMEOUT(pingAt >= 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(h.statuses.contains(QStringLiteral("Connection lost")), 10000);
        const qint64 lostAt = h.statusTime(QStringLiteral("Connection lost"));
        // The node read the ping a little after it was sent; half the reply time allows for a
        // stalled event loop in between.
        QVERIFY(lostAt - pingAt >= scaledTiming().keepaliveResponseTimeout.count() / 2);
        QTRY_COMPARE_WITH_TIMEOUT(node.connectionCount(), 2, 10000);
        const QList<qint64> attempts = h.consoleTimes(ResilienceHarness::connectingTo(node));
        QCOMPARE(attempts.size(), 2);
        QVERIFY(attempts.last() - lostAt >= scaledTiming().autoReconnect.retryDelay.count() - 10);
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
    }

    void anyData_countsAsTheReply()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        logIn(h, node);
        node.setPromptAfterCommands(false);
        node.onLine = [&node](int, const QString &line) {
            if (line == QLatin1String("ping"))
                node.sendLine(QStringLiteral("some unrelated text"));
        };
        QTRY_VERIFY_WITH_TIMEOUT(node.countReceived(kPing) == 2, 10000);
        QCOMPARE(node.connectionCount(), 1);
        QVERIFY(!h.statuses.contains(QStringLiteral("Connection lost")));
        QVERIFY(h.consoleHas(QStringLiteral("some unrelated text")));
    }

    void pongOfTheAutomaticPing_isHidden_aSecondIsShown()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        logIn(h, node);
        node.setPromptAfterCommands(false);
        node.onLine = [&node](int, const QString &line) {
            if (line == QLatin1String("ping")) {
                node.sendLine(QStringLiteral("PONG"));
                node.sendLine(QStringLiteral("pong"));
            }
        };
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(QStringLiteral("pong")), 10000);
        QVERIFY(!h.consoleHas(QStringLiteral("PONG")));
    }

    void spotEveryFifthOfTheIdleTime_meansNoPing()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        logIn(h, node);
        const auto idle = scaledTiming().keepaliveIdle.count();
        node.startSpotStream(int(4000 / idle)); // four lines per idle time
        settle(std::chrono::milliseconds(idle * 3));
        node.stopSpotStream();
        QCOMPARE(node.countReceived(kPing), 0);
        QVERIFY(h.conn->isLoggedIn());
    }

    // ----- sleep and wake

    void sleepWhileLoggedIn_saysBye_andReconnectsOnceAfterWake()
    {
        FakeClusterNode node;
        answerStatus(node);
        node.setCloseAfterCommand(kBye);
        ResilienceHarness h;
        logIn(h, node);
        h.power.fireWillSleep();
        QTRY_VERIFY_WITH_TIMEOUT(node.hasReceived(kBye), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(QStringLiteral("Connection closed by remote node.")),
                                 10000);
        settle(600ms);
        QCOMPARE(node.connectionCount(), 1); // no reconnect while asleep

        QSignalSpy sequence(h.conn.get(), &ClusterConnection::isConnectionSequenceActiveChanged);
        const qint64 wokeAt = h.elapsed.elapsed();
        h.power.fireDidWake();
        QTRY_COMPARE_WITH_TIMEOUT(node.connectionCount(), 2, 10000);
        QVERIFY(!sequence.isEmpty()); // the window showed the reconnect as under way
        const QList<qint64> attempts = h.consoleTimes(ResilienceHarness::connectingTo(node));
        QCOMPARE(attempts.size(), 2);
        QVERIFY(attempts.last() - wokeAt >= scaledTiming().systemWakeReconnectDelay.count() - 10);
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
        h.power.fireDidWake();
        settle(400ms);
        QCOMPARE(node.connectionCount(), 2);
        QCOMPARE(node.countReceived(kBye), 1);
    }

    void sleepWhileOnlyConnected_sendsNoBye_butReconnects()
    {
        FakeClusterNode node;
        node.setBehaviour(FakeClusterNode::Behaviour::Silent);
        ResilienceHarness h;
        h.usePrimary(node);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isConnected(), 10000);
        h.power.fireWillSleep();
        settle(200ms);
        h.power.fireDidWake();
        QTRY_COMPARE_WITH_TIMEOUT(node.connectionCount(), 2, 10000);
        QVERIFY(node.receivedLines().isEmpty());
    }

    void sleepOnBackup_reconnectsToTheBackup()
    {
        FakeClusterNode primary, backup;
        answerStatus(backup);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.useBackup(backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(QStringLiteral("Login complete on backup cluster.")),
                                 20000);
        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        h.power.fireWillSleep();
        QTRY_VERIFY_WITH_TIMEOUT(backup.hasReceived(kBye), 10000);
        h.power.fireDidWake();
        QTRY_COMPARE_WITH_TIMEOUT(backup.connectionCount(), 2, 10000);
        QTRY_COMPARE_WITH_TIMEOUT(
            h.consoleCount(QStringLiteral("Login complete on backup cluster.")), 2, 10000);
        QCOMPARE(primary.connectionCount(), 0);
    }

    void sleepWithAutoReconnectOff_plansNothing()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        h.setBool(SettingsKeys::autoReconnectEnabled, false);
        logIn(h, node);
        h.power.fireWillSleep();
        settle(200ms);
        QVERIFY(!node.hasReceived(kBye));
        node.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(QStringLiteral("Connection closed by remote node.")),
                                 10000);
        h.power.fireDidWake();
        settle(500ms);
        QCOMPARE(node.connectionCount(), 1);
        QVERIFY(!h.conn->isConnectionSequenceActive());
    }

    void missedWake_doesNotMuteLaterReconnects()
    {
        FakeClusterNode node;
        answerStatus(node);
        ResilienceHarness h;
        logIn(h, node);
        h.power.fireWillSleep();
        QTRY_VERIFY_WITH_TIMEOUT(node.hasReceived(kBye), 10000);
        // The wake notice never comes; the operator connects by hand.
        h.connectAsWindowDoes();
        QTRY_COMPARE_WITH_TIMEOUT(node.connectionCount(), 2, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
        node.closeConnection();
        QTRY_COMPARE_WITH_TIMEOUT(node.connectionCount(), 3, 10000);
    }
};

QTEST_GUILESS_MAIN(TestClusterKeepalive)
#include "tst_ClusterKeepalive.moc"
