#include "ResilienceHarness.h"

#include <QtTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;
using namespace Qt::StringLiterals;

namespace {

const QString kPrimaryFailed =
    QStringLiteral("Primary cluster failed 3 consecutive reconnect attempts.");
const QString kTryingBackup = QStringLiteral("Primary cluster unavailable. Trying backup cluster…");
const QString kBackupLogin = QStringLiteral("Login complete on backup cluster.");
const QString kPrimaryLogin = QStringLiteral("Login complete.");
const QString kRefused = QStringLiteral("Connection refused");
const QString kPrimaryTimedOut =
    QStringLiteral("Primary reconnect attempt timed out after 5 seconds.");

} // namespace

class TestClusterFailover : public QObject {
    Q_OBJECT

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
        QCOMPARE(h.consoleCount(QStringLiteral("Primary reconnect attempt failed: ") + kRefused),
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
                 AutoReconnectAlert::allClustersUnavailable(kRefused));
        QCOMPARE(h.conn->statusText(),
                 QStringLiteral("Primary and backup clusters unavailable — attempts stopped (") +
                     kRefused + u')');
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
        settle(scaledTiming().primaryReconnectAttemptTimeout + 500ms);
        QCOMPARE(h.consoleCount(kPrimaryTimedOut), 0);
        // The socket layer's retries pass through "Connecting…", so look until a wait shows.
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->statusText().startsWith(QStringLiteral("Waiting: ")),
                                 5000);
        QCOMPARE(h.consoleCount(ResilienceHarness::connectingTo(primary)), 1);
        // Still trying: the node is reached as soon as it listens again.
        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
    }

    // Only a node that never answers is "timed out"; each attempt still runs its full time.
    void supervisedAttempt_isAFailedAttempt_toldByItsFailure_data()
    {
        QTest::addColumn<QString>("host"); // empty: the test's node, which keeps silent or refuses
        QTest::addColumn<bool>("refuse");
        QTest::addColumn<QString>("failure"); // empty: timed out
        QTest::newRow("silent node") << "" << false << "";
        QTest::newRow("refused port") << "" << true << "Connection refused";
        // An empty label: refused by the resolver before any name server is asked.
        QTest::newRow("unknown host") << "node..invalid" << false << "Host not found";
    }

    void supervisedAttempt_isAFailedAttempt_toldByItsFailure()
    {
        QFETCH(QString, host);
        QFETCH(bool, refuse);
        QFETCH(QString, failure);
        FakeClusterNode primary;
        primary.setBehaviour(refuse ? FakeClusterNode::Behaviour::Refuse
                                    : FakeClusterNode::Behaviour::Silent);
        ResilienceHarness h;
        h.usePrimary(primary);
        if (!host.isEmpty())
            h.settings.setString(QString(SettingsKeys::clusterHost.name), host);
        h.connectAsWindowDoes();
        QTRY_COMPARE_WITH_TIMEOUT(
            h.consoleCount(failure.isEmpty() ? kPrimaryTimedOut
                                             : u"Primary reconnect attempt failed: "_s + failure),
            1, 5000);
        QVERIFY(h.statuses.contains(failure.isEmpty()
                                        ? u"Primary cluster connection timed out"_s
                                        : u"Primary cluster connection failed: "_s + failure));
        QTRY_COMPARE_WITH_TIMEOUT(h.consoleCount(h.console.first().text), 2, 5000);
        const QList<qint64> times = h.consoleTimes(h.console.first().text);
        QVERIFY(times[1] - times[0] >= scaledTiming().primaryReconnectAttemptTimeout.count());
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
                 AutoReconnectAlert::allClustersUnavailable(
                     QStringLiteral("Backup node address is empty")));
        QVERIFY(h.consoleHas(kTryingBackup));
        QVERIFY(!h.conn->isConnectionSequenceActive());
    }

    // No node was tried, so the alert about unavailable nodes (which speaks of attempts to
    // each) would be wrong: the sequence just ends with the status.
    void emptyPrimaryHost_onAutomaticReconnect_endsWithStatusAndNoAlert()
    {
        FakeClusterNode primary;
        answerStatus(primary);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
        h.settings.setString(QString(SettingsKeys::clusterHost.name), QString());
        primary.closeConnection();
        QTRY_COMPARE_WITH_TIMEOUT(h.conn->statusText(), QStringLiteral("Node address is empty"),
                                  10000);
        QTRY_VERIFY(!h.conn->isConnectionSequenceActive());
        settle(500ms);
        QVERIFY(!h.conn->autoReconnectController().alert());
        QCOMPARE(primary.connectionCount(), 1);
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

    void automaticReconnectWithEmptyCallsign_clearsSequenceFlag()
    {
        FakeClusterNode primary;
        primary.setBehaviour(FakeClusterNode::Behaviour::CloseAfterLogin);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.setBool(SettingsKeys::backupClusterEnabled, false);
        h.connectAsWindowDoes();
        // The operator empties the callsign while the session runs; the reconnect after the
        // node's close is then refused before any connection is made.
        h.settings.setString(QString(SettingsKeys::clusterCallsign.name), QString());
        QTRY_VERIFY_WITH_TIMEOUT(h.statuses.contains(QStringLiteral("Callsign is empty")), 10000);
        QTRY_VERIFY(!h.conn->isConnectionSequenceActive());
        QCOMPARE(primary.connectionCount(), 1);
    }

    // The node stalls after the callsign, or after the password (silent, or with a new line
    // ending in ">" every 3.9 s at full scale): the attempt ends within the watchdog plus two
    // answer waits, in words that name what was sent last, and the controller tries again.
    void loginWatchdog_closesStalledLogin_data()
    {
        QTest::addColumn<QString>("password");
        QTest::addColumn<int>("newLineEveryMs"); // 0: none
        QTest::addColumn<QString>("status");
        const QString afterPassword =
            QStringLiteral("Login stalled after sending password — reconnecting…");
        QTest::newRow("callsign") << "" << 0 << "Login stalled — reconnecting…";
        QTest::newRow("password") << "s3cret" << 0 << afterPassword;
        QTest::newRow("password, a new line every 3.9 s") << "s3cret" << 975 << afterPassword;
    }

    void loginWatchdog_closesStalledLogin()
    {
        QFETCH(QString, password);
        QFETCH(int, newLineEveryMs);
        QFETCH(QString, status);
        const QString lastSent = password.isEmpty() ? QStringLiteral("N0CALL") : password;
        const QString console = QStringLiteral("Login stalled after sending %1. Reconnecting…")
                                    .arg(password.isEmpty() ? "callsign" : "password");
        FakeClusterNode primary;
        if (password.isEmpty()) {
            primary.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        } else {
            primary.setPassword(password);
            primary.setGreeting({QStringLiteral("Welcome\r\n")}, 60000);
        }
        ResilienceHarness h;
        h.usePrimary(primary);
        h.setBool(SettingsKeys::backupClusterEnabled, false);
        h.settings.setString(QString(SettingsKeys::clusterPassword.name), password);
        int line = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            primary.sendText(QStringLiteral("Line %1 >\r\n").arg(QChar(u'A' + line++ % 26)));
        });
        qint64 sentAt = -1;
        primary.onLine = [&](int, const QString &text) {
            if (sentAt >= 0 || text != lastSent)
                return;
            sentAt = h.elapsed.elapsed();
            if (newLineEveryMs > 0)
                ticker.start(newLineEveryMs);
        };
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(sentAt >= 0, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(console), 10000);
        ticker.stop();
        // Not at once: the node had the watchdog's time to answer (half of it allows for a
        // stalled event loop between sending and the node reading it).
        const qsizetype stalled = h.consoleIndex(console);
        const ClusterTiming timing = scaledTiming();
        QVERIFY(h.console[stalled].msecs - sentAt >= timing.callsignSendWatchdog.count() / 2);
        QVERIFY(h.console[stalled].msecs - sentAt <=
                (timing.callsignSendWatchdog + 2 * timing.promptQuestionWait).count() + 400);
        QVERIFY(h.statuses.contains(status));
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
        settle(scaledTiming().callsignSendWatchdog + 600ms);
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
        settle(scaledTiming().registrationRecheck + 800ms);
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
