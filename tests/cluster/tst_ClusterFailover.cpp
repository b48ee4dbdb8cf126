#include "ResilienceHarness.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

const QString kPrimaryFailed =
    QStringLiteral("Primary cluster failed 3 consecutive reconnect attempts.");
const QString kTryingBackup = QStringLiteral("Primary cluster unavailable. Trying backup cluster…");
const QString kBackupLogin = QStringLiteral("Login complete on backup cluster.");
const QString kPrimaryLogin = QStringLiteral("Login complete.");
const QString kReturning = QStringLiteral("Primary cluster available — returning to primary.");
const QString kUnavailable = QStringLiteral("Primary and backup clusters unavailable");

} // namespace

class TestClusterFailover : public QObject {
    Q_OBJECT

    // The scaled durations with the primary probed for its return every `interval`.
    static ClusterTiming recoveryTiming(std::chrono::milliseconds interval)
    {
        ClusterTiming timing = scaledTiming();
        timing.primaryRecoveryInterval = interval;
        return timing;
    }

    // Points the harness at both nodes, refuses the primary and lets a supervised attempt fail
    // over to the backup node.
    static void reachBackupThroughFailover(ResilienceHarness &h, FakeClusterNode &primary,
                                           const FakeClusterNode &backup)
    {
        h.usePrimary(primary);
        h.useBackup(backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(kBackupLogin), 20000);
        QVERIFY(h.conn->isLoggedIn());
    }

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void lostPrimary_threeSpacedAttempts_thenBackupLogin()
    {
        FakeClusterNode primary, backup;
        answerStatus(primary);
        answerStatus(backup);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.useBackup(backup);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(kPrimaryLogin), 10000);
        const qsizetype lossIndex = h.console.size();

        primary.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        primary.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(kBackupLogin), 20000);
        QVERIFY(h.conn->isLoggedIn());
        QCOMPARE(backup.loginCallsign(), QStringLiteral("N0CALL"));

        QList<qint64> attempts;
        for (qsizetype i = lossIndex; i < h.console.size(); ++i)
            if (h.console[i].text == ResilienceHarness::connectingTo(primary))
                attempts << h.console[i].msecs;
        QCOMPARE(attempts.size(), 3);
        // Each attempt waits for the controller's pause after the previous one failed.
        const auto pause = scaledTiming().autoReconnect.retryDelay.count();
        QVERIFY(attempts[1] - attempts[0] >= pause);
        QVERIFY(attempts[2] - attempts[1] >= pause);
        QCOMPARE(
            h.consoleCount(QStringLiteral("Primary reconnect attempt timed out after 5 seconds.")),
            3);

        const qsizetype failed = h.consoleIndex(kPrimaryFailed, lossIndex);
        QVERIFY(failed >= 0);
        QCOMPARE(h.console[failed + 1].text, kTryingBackup);
        QVERIFY(h.consoleIndex(kBackupLogin, failed) > failed);
        QVERIFY(!h.conn->isConnectionSequenceActive());
    }

    void bothRefusing_announcesRetries_thenGivesUpWithAlert()
    {
        FakeClusterNode primary, backup;
        backup.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.useBackup(backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        h.connectAsWindowDoes();

        QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 20000);
        QCOMPARE(*h.conn->autoReconnectController().alert(),
                 AutoReconnectAlert::allClustersUnavailable());
        QCOMPARE(h.conn->statusText(), kUnavailable);
        QVERIFY(!h.conn->isConnectionSequenceActive());
        QCOMPARE(h.consoleCount(kTryingBackup), 1);
        QCOMPARE(h.consoleCount(QStringLiteral(
                     "Backup cluster connection failed. Attempt 2 of 3 in 2 seconds…")),
                 1);
        QCOMPARE(h.consoleCount(QStringLiteral(
                     "Backup cluster connection failed. Attempt 3 of 3 in 2 seconds…")),
                 1);
        QCOMPARE(h.consoleCount(QStringLiteral("Retrying backup cluster…")), 2);
        const qsizetype gaveUp = h.consoleIndex(
            QStringLiteral("Backup cluster failed 3 consecutive connection attempts."));
        QVERIFY(gaveUp >= 0);
        QCOMPARE(h.console[gaveUp + 1].text,
                 QStringLiteral("Unable to connect to either the primary or backup DX Cluster."));
        QCOMPARE(h.consoleCount(ResilienceHarness::connectingTo(backup)), 3);

        const qsizetype lines = h.console.size();
        settle(1500ms);
        QCOMPARE(h.console.size(), lines); // nothing more is tried
    }

    void unsupervisedAttempt_armsNoTimeout()
    {
        FakeClusterNode primary;
        primary.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.setBool(SettingsKeys::backupClusterEnabled, false);
        h.connectAsWindowDoes();
        settle(1000ms);
        QCOMPARE(
            h.consoleCount(QStringLiteral("Primary reconnect attempt timed out after 5 seconds.")),
            0);
        // The socket layer's retries pass through "Connecting…", so look until a wait shows.
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->statusText().startsWith(QStringLiteral("Waiting: ")),
                                 5000);
        QCOMPARE(h.consoleCount(ResilienceHarness::connectingTo(primary)), 1);
        // Still trying: the node is reached as soon as it listens again.
        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
    }

    void emptyBackupHost_duringFailover_endsWithAlert()
    {
        FakeClusterNode primary;
        ResilienceHarness h;
        h.usePrimary(primary);
        h.settings.setString(QString(SettingsKeys::backupClusterHost.name), QStringLiteral("  "));
        primary.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 20000);
        QCOMPARE(*h.conn->autoReconnectController().alert(),
                 AutoReconnectAlert::allClustersUnavailable());
        QVERIFY(h.consoleHas(kTryingBackup));
        QVERIFY(!h.conn->isConnectionSequenceActive());
    }

    void emptyPrimaryHost_onAutomaticReconnect_endsWithAlert()
    {
        FakeClusterNode primary;
        answerStatus(primary);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
        h.settings.setString(QString(SettingsKeys::clusterHost.name), QString());
        primary.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 10000);
        QCOMPARE(*h.conn->autoReconnectController().alert(),
                 AutoReconnectAlert::allClustersUnavailable());
        QVERIFY(!h.conn->isConnectionSequenceActive());
    }

    void unsupervisedAttemptEndingWithNothingScheduled_clearsSequenceFlag()
    {
        FakeClusterNode primary;
        primary.setBehaviour(FakeClusterNode::Behaviour::CloseBeforePrompt);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.setBool(SettingsKeys::backupClusterEnabled, false);
        h.connectAsWindowDoes();
        QVERIFY(h.conn->isConnectionSequenceActive());
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(QStringLiteral("Connection closed by remote node.")),
                                 10000);
        QTRY_VERIFY(!h.conn->isConnectionSequenceActive());
        settle(500ms);
        QCOMPARE(primary.connectionCount(), 1);
        QVERIFY(!h.conn->autoReconnectController().alert());
    }

    void probe_findsPrimaryPrompt_returnsWithLeanLogin_data()
    {
        QTest::addColumn<bool>("splitQuestion");
        QTest::newRow("whole question") << false;
        QTest::newRow("question split over reads") << true;
    }

    void probe_findsPrimaryPrompt_returnsWithLeanLogin()
    {
        QFETCH(bool, splitQuestion);
        FakeClusterNode primary, backup;
        answerStatus(primary);
        answerStatus(backup);
        ResilienceHarness h(recoveryTiming(700ms));
        reachBackupThroughFailover(h, primary, backup);
        const qsizetype backupLogin = h.consoleIndex(kBackupLogin);

        if (splitQuestion) {
            primary.setCallsignQuestion(QStringLiteral("call: "));
            primary.setSplitWrites(true);
        }
        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(kReturning), 10000);
        QVERIFY(h.consoleIndex(kReturning) > backupLogin);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleIndex(kPrimaryLogin, backupLogin) > 0, 10000);
        QVERIFY(h.conn->isLoggedIn());

        // Connection 0 was the probe: it said nothing and was closed after the question.
        QCOMPARE(primary.connectionCount(), 2);
        QVERIFY(primary.receivedLines(0).isEmpty());
        QTRY_COMPARE(primary.openConnectionCount(), 1);
        // The return logs in without the back-fill and without a second filter check.
        settle(300ms);
        QCOMPARE(primary.receivedLines(1),
                 (QStringList{QStringLiteral("N0CALL"), QStringLiteral("stat/us")}));
        // The backup session was simply dropped.
        QVERIFY(!backup.hasReceived(QStringLiteral("bye")));
        QTRY_COMPARE(backup.openConnectionCount(), 0);
    }

    void probe_doesNothingWhenPrimaryStaysSilent()
    {
        FakeClusterNode primary, backup;
        answerStatus(backup);
        ResilienceHarness h(recoveryTiming(300ms));
        reachBackupThroughFailover(h, primary, backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::Silent);
        QTRY_VERIFY_WITH_TIMEOUT(primary.connectionCount() >= 2, 10000);
        // Each silent probe is dropped after its time-out; the backup session goes on.
        QTRY_COMPARE(primary.openConnectionCount(), 0);
        QVERIFY(!h.consoleHas(kReturning));
        QVERIFY(h.conn->isLoggedIn());
        QCOMPARE(backup.connectionCount(), 1);
    }

    void failedReturn_leadsBackToAConnection_data()
    {
        QTest::addColumn<bool>("refuseAfterProbe");
        QTest::newRow("return attempt times out") << true;
        QTest::newRow("return attempt closed before login") << false;
    }

    void failedReturn_leadsBackToAConnection()
    {
        QFETCH(bool, refuseAfterProbe);
        FakeClusterNode primary, backup;
        answerStatus(backup);
        ResilienceHarness h(recoveryTiming(500ms));
        reachBackupThroughFailover(h, primary, backup);

        // The primary answers the probe and then fails the return attempt.
        primary.onConnected = [&primary, refuseAfterProbe](int connection) {
            if (connection != 0)
                return;
            QTimer::singleShot(0, &primary, [&primary, refuseAfterProbe] {
                primary.setBehaviour(refuseAfterProbe
                                         ? FakeClusterNode::Behaviour::Refuse
                                         : FakeClusterNode::Behaviour::CloseBeforePrompt);
            });
        };
        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(kReturning), 10000);
        // Not offline for good: the reconnect policy takes over. A refusing primary is failed
        // over to the backup again; one that keeps closing ends in the rate limit's alert.
        if (refuseAfterProbe) {
            QTRY_COMPARE_WITH_TIMEOUT(h.consoleCount(kBackupLogin), 2, 20000);
            QVERIFY(h.conn->isLoggedIn());
            QVERIFY(!h.conn->autoReconnectController().alert());
            QVERIFY(h.consoleHas(
                QStringLiteral("Primary reconnect attempt timed out after 5 seconds.")));
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 20000);
            QCOMPARE(*h.conn->autoReconnectController().alert(),
                     AutoReconnectAlert::repeatedFailures());
            QVERIFY(primary.connectionCount() >= 3);
        }
    }

    void loginWatchdog_closesStalledLogin()
    {
        FakeClusterNode primary;
        primary.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.setBool(SettingsKeys::backupClusterEnabled, false);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(primary.hasReceived(QStringLiteral("N0CALL")), 10000);
        const qint64 callsignAt = h.elapsed.elapsed();
        QTRY_VERIFY_WITH_TIMEOUT(
            h.consoleHas(QStringLiteral("Login stalled after sending callsign. Reconnecting…")),
            10000);
        QVERIFY(h.console.last().msecs - callsignAt >= 200);
        QVERIFY(h.statuses.contains(QStringLiteral("Login stalled — reconnecting…")));
        QTRY_COMPARE(primary.openConnectionCount(), 0);
        // The stalled attempt counts as failed: the controller tries again.
        QTRY_VERIFY_WITH_TIMEOUT(primary.connectionCount() >= 2, 10000);
    }

    void loginWatchdog_cancelledByPasswordQuestionOrLogin_data()
    {
        QTest::addColumn<QString>("nodePassword");
        QTest::newRow("password question, none configured") << "secret";
        QTest::newRow("completed login") << "";
    }

    void loginWatchdog_cancelledByPasswordQuestionOrLogin()
    {
        QFETCH(QString, nodePassword);
        FakeClusterNode primary;
        primary.setPassword(nodePassword);
        answerStatus(primary);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(primary.hasReceived(QStringLiteral("N0CALL")), 10000);
        settle(800ms);
        QCOMPARE(
            h.consoleCount(QStringLiteral("Login stalled after sending callsign. Reconnecting…")),
            0);
        QCOMPARE(primary.connectionCount(), 1);
        QCOMPARE(primary.openConnectionCount(), 1);
        QCOMPARE(h.conn->loginState(), nodePassword.isEmpty()
                                           ? LoginState::loggedIn
                                           : LoginState::waitingForPasswordPrompt);
    }

    void registrationRecheck_onDefaultNode_sendsMotdQuietly()
    {
        FakeClusterNode primary;
        answerStatus(primary);
        ResilienceHarness h(scaledTiming(), QStringLiteral("127.0.0.1"));
        h.usePrimary(primary);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
        settle(300ms); // let the post-login commands finish
        primary.sendLine(QStringLiteral("Please register: write to REGISTER@ka2pbt.com first"));
        QTRY_VERIFY(h.conn->registrationRequired());
        h.conn->startRegistrationRecheck();
        settle(300ms);
        QVERIFY(!primary.hasReceived(QStringLiteral("sh/motd")));
        QTRY_VERIFY_WITH_TIMEOUT(primary.hasReceived(QStringLiteral("sh/motd")), 10000);
        QVERIFY(!h.consoleHas(QStringLiteral("> sh/motd")));
    }

    void registrationRecheck_neverRunsOnOtherNodes()
    {
        FakeClusterNode primary;
        answerStatus(primary);
        ResilienceHarness h(scaledTiming(), QStringLiteral("dx.invalid"));
        h.usePrimary(primary);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
        primary.sendLine(QStringLiteral("Please register: write to register@ka2pbt.com first"));
        settle(200ms);
        h.conn->startRegistrationRecheck();
        settle(1500ms);
        QVERIFY(!h.conn->registrationRequired());
        QVERIFY(!primary.hasReceived(QStringLiteral("sh/motd")));
    }

    void restoreDefaultPrimaryNode_withoutWarning_doesNothing()
    {
        ResilienceHarness h;
        const QString host = h.settings.string(QString(SettingsKeys::clusterHost.name));
        h.conn->restoreDefaultPrimaryNode();
        QVERIFY(h.console.isEmpty());
        QCOMPARE(h.settings.string(QString(SettingsKeys::clusterHost.name)), host);
        QVERIFY(!h.conn->isConnectionSequenceActive());
    }
};

QTEST_GUILESS_MAIN(TestClusterFailover)
#include "tst_ClusterFailover.moc"
