// How received bytes become lines and spots when reads cut characters and lines anywhere, and how
// logins that never complete end in failover or an alert.

#include "ClusterConnectionTestKit.h"
#include "ResilienceHarness.h"

using namespace varnello;
using namespace varnello::test;

namespace {

// Two-, three- and four-byte characters, with Cyrillic as in real comments.
const QString mixedText = QStringLiteral("Grüße из Москвы 日本 \U0001F600 ok");

QString spotWithComment(const QString &comment)
{
    return QStringLiteral("DX de W1AW:      14025.0  K1ABC        ") + comment +
           QStringLiteral("  1200Z");
}

} // namespace

class TestClusterReceivePath : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Every cut of the bytes, inside each character too, gives the same text.
    void characterCutByARead_arrivesWhole_data()
    {
        QTest::addColumn<bool>("asSpot");
        QTest::newRow("console line") << false;
        QTest::newRow("spot comment") << true;
    }

    void characterCutByARead_arrivesWhole()
    {
        QFETCH(bool, asSpot);
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        const QString line = asSpot ? spotWithComment(mixedText) : mixedText;
        const QByteArray bytes = line.toUtf8() + "\r\n";
        for (qsizetype cut = 1; cut < bytes.size() - 2; ++cut) {
            ClusterConnectionTestAccess::receive(*kit.connection, bytes.left(cut));
            ClusterConnectionTestAccess::receive(*kit.connection, bytes.mid(cut));
            if (asSpot) {
                QCOMPARE(kit.connection->spots().size(), cut);
                QCOMPARE(kit.connection->spots().constFirst().comment, mixedText);
            } else {
                QCOMPARE(kit.console().constLast(), mixedText);
            }
        }
        QVERIFY(!kit.console().join(u'|').contains(QChar(0xFFFD)));
    }

    void oneByteWrites_deliverTextByteExact_data()
    {
        QTest::addColumn<bool>("asSpot");
        QTest::newRow("console line") << false;
        QTest::newRow("spot comment") << true;
    }

    void oneByteWrites_deliverTextByteExact()
    {
        QFETCH(bool, asSpot);
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        kit.node.setSplitWrites(true, 1);
        kit.node.sendLine(asSpot ? spotWithComment(mixedText) : mixedText);
        if (asSpot) {
            QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 1; }, 20000));
            QCOMPARE(kit.connection->spots().constFirst().comment, mixedText);
        } else {
            QVERIFY(kit.waitFor([&] { return kit.consoleHas(mixedText); }, 20000));
        }
        kit.node.sendLine(QStringLiteral("end"));
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("end")); }, 20000));
        QVERIFY(!kit.console().join(u'|').contains(QChar(0xFFFD)));
    }

    // A spot line cut right after its time word: its end (the spotter's locator, BEL BEL) either
    // completes the spot, or, when it comes after the wait, is dropped; it never becomes a
    // console line.
    void spotLineCutAfterItsTime_keepsItsEndOrDropsIt_data()
    {
        QTest::addColumn<QByteArray>("rest");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<QString>("locator");
        QTest::newRow("locator follows at once") << QByteArray(" FN42\a\a\r\n") << 0 << "FN42";
        QTest::newRow("locator after the wait") << QByteArray(" FN42\a\a\r\n") << 300 << "";
        QTest::newRow("BEL after the wait") << QByteArray("  \a\a\r\n") << 300 << "";
    }

    void spotLineCutAfterItsTime_keepsItsEndOrDropsIt()
    {
        QFETCH(QByteArray, rest);
        QFETCH(int, pauseMs);
        QFETCH(QString, locator);
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        const qsizetype consoleBefore = kit.console().size();
        ClusterConnectionTestAccess::receive(*kit.connection,
                                             spotWithComment(QStringLiteral("CW 599")).toUtf8());
        if (pauseMs > 0)
            QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 1; }));
        else
            QVERIFY(kit.connection->spots().isEmpty()); // waits for the rest of the line
        ClusterConnectionTestAccess::receive(*kit.connection, rest);
        ClusterConnectionTestAccess::receive(*kit.connection, "after\r\n");
        QCOMPARE(kit.connection->spots().size(), 1);
        QCOMPARE(kit.connection->spots().constFirst().spotterLocator, locator);
        QCOMPARE(kit.console().mid(consoleBefore), QStringList{QStringLiteral("after")});
    }

    // A node that leaves spot lines open (line break before each line) is still served: the
    // spot is handled after the short wait, and the break that follows adds no empty line.
    void spotLineNeverEnded_isHandledAfterTheWait()
    {
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        const qsizetype consoleBefore = kit.console().size();
        kit.node.sendBurst(("\r\n" + spotWithComment(QStringLiteral("CW 599"))).toUtf8());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 1; }));
        kit.node.sendBurst("\r\nnext line");
        kit.node.sendBurst("\r\n");
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("next line")); }));
        QCOMPARE(kit.console().mid(consoleBefore),
                 (QStringList{QString(), QStringLiteral("next line")}));
    }

    // A primary that accepts and closes every login: each close is a failed attempt, so the
    // working backup takes over after three, and the primary is used again once it behaves.
    void primaryClosingEveryLogin_failsOverAndReturnsLater()
    {
        FakeClusterNode primary, backup;
        answerStatus(primary);
        answerStatus(backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::CloseAfterCallsign);
        ClusterTiming timing = scaledTiming();
        timing.primaryRecoveryInterval = 700ms;
        ResilienceHarness h(timing);
        h.usePrimary(primary);
        h.useBackup(backup);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(QStringLiteral("Login complete on backup cluster.")),
                                 20000);
        QVERIFY(h.consoleHas(
            QStringLiteral("Primary cluster failed 3 consecutive reconnect attempts.")));
        QCOMPARE(primary.connectionCount(), 3);
        QVERIFY(!h.conn->autoReconnectController().alert());

        const qsizetype onBackup = h.console.size();
        primary.setBehaviour(FakeClusterNode::Behaviour::Normal);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleIndex(QStringLiteral("Login complete."), onBackup) > 0,
                                 20000);
        QCOMPARE(h.conn->activePort(), std::optional<quint16>(primary.port()));
    }

    // Logins that never complete, each taking as long as a real stalled login (the reconnect
    // window sees seven seconds pass per try), end in failover or an alert instead of looping.
    void loginsThatNeverComplete_endInFailoverOrAlert_data()
    {
        QTest::addColumn<bool>("backupEnabled");
        QTest::newRow("with backup: failover") << true;
        QTest::newRow("without backup: alert") << false;
    }

    void loginsThatNeverComplete_endInFailoverOrAlert()
    {
        QFETCH(bool, backupEnabled);
        FakeClusterNode primary, backup;
        answerStatus(backup);
        primary.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        ClusterTiming timing = scaledTiming();
        timing.callsignSendWatchdog = 300ms;
        ResilienceHarness h(timing);
        primary.onConnected = [&h](int) { h.clock.advance(7s); };
        h.usePrimary(primary);
        h.useBackup(backup);
        h.setBool(SettingsKeys::backupClusterEnabled, backupEnabled);
        h.connectAsWindowDoes();
        if (backupEnabled) {
            QTRY_VERIFY_WITH_TIMEOUT(
                h.consoleHas(QStringLiteral("Login complete on backup cluster.")), 20000);
            QCOMPARE(primary.connectionCount(), 3);
        } else {
            QTRY_VERIFY_WITH_TIMEOUT(h.conn->autoReconnectController().alert().has_value(), 20000);
            const QString stall = QStringLiteral("Login stalled after sending callsign");
            QCOMPARE(*h.conn->autoReconnectController().alert(),
                     AutoReconnectAlert::repeatedFailures(stall));
            QCOMPARE(h.conn->statusText(),
                     QStringLiteral("Automatic reconnect stopped (") + stall + u')');
            QCOMPARE(primary.connectionCount(), ClusterConnection::failedLoginsBeforeGivingUp);
            QVERIFY(!h.conn->isConnectionSequenceActive());
            settle(800ms);
            QCOMPARE(primary.connectionCount(), ClusterConnection::failedLoginsBeforeGivingUp);
        }
    }
};

QTEST_GUILESS_MAIN(TestClusterReceivePath)
#include "tst_ClusterReceivePath.moc"
