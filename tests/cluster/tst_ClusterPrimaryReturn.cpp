#include "ResilienceHarness.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

// While logged in on the backup node the primary node is probed, and the program returns to it
// once it asks for a callsign again.

namespace {

const QString kBackupLogin = QStringLiteral("Login complete on backup cluster.");
const QString kPrimaryLogin = QStringLiteral("Login complete.");
const QString kReturning = QStringLiteral("Primary cluster available — returning to primary.");

} // namespace

class TestClusterPrimaryReturn : public QObject {
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
        // Probes come further apart than a probe may last, so the primary is idle in between.
        ResilienceHarness h(recoveryTiming(scaledTiming().primaryRecoveryProbeTimeout + 500ms));
        reachBackupThroughFailover(h, primary, backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::Silent);
        QTRY_VERIFY_WITH_TIMEOUT(primary.connectionCount() >= 2, 10000);
        // Each silent probe is dropped after its time-out; the backup session goes on.
        QTRY_COMPARE(primary.openConnectionCount(), 0);
        QVERIFY(!h.consoleHas(kReturning));
        QVERIFY(h.conn->isLoggedIn());
        QCOMPARE(backup.connectionCount(), 1);
    }

    void lostBackupSession_triesThePrimaryNext()
    {
        FakeClusterNode primary, backup;
        answerStatus(primary);
        answerStatus(backup);
        ResilienceHarness h;
        reachBackupThroughFailover(h, primary, backup);
        const int backupConnections = backup.connectionCount();
        const qsizetype lost = h.console.size();

        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        backup.closeConnection();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleIndex(kPrimaryLogin, lost) >= 0, 10000);
        QVERIFY(h.consoleIndex(QStringLiteral("Backup cluster connection lost. Trying primary "
                                              "cluster again…"),
                               lost) >= 0);
        QVERIFY(h.conn->isLoggedIn());
        QCOMPARE(backup.connectionCount(), backupConnections);
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
        // Not offline for good: the reconnect policy takes over, and a primary that refuses or
        // keeps closing before the login is failed over to the backup again.
        QTRY_COMPARE_WITH_TIMEOUT(h.consoleCount(kBackupLogin), 2, 20000);
        QVERIFY(h.conn->isLoggedIn());
        QVERIFY(!h.conn->autoReconnectController().alert());
        QVERIFY(h.consoleHas(QStringLiteral("Primary cluster failed 3 consecutive reconnect "
                                            "attempts.")));
        if (refuseAfterProbe)
            QVERIFY(h.consoleHas(
                QStringLiteral("Primary reconnect attempt failed: Connection refused")));
        else
            QVERIFY(primary.connectionCount() >= 4); // the probe and three attempts
    }
};

QTEST_GUILESS_MAIN(TestClusterPrimaryReturn)
#include "tst_ClusterPrimaryReturn.moc"
