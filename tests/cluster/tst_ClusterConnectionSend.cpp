#include "ClusterConnectionTestKit.h"

using namespace varnello;
using namespace varnello::test;

namespace {

bool logInQuietly(ConnectionKit &kit)
{
    return kit.logIn() && kit.waitFor([&] {
        // The back-fill ends at the node's prompt; after that every line is the test's.
        return kit.node.receivedLines().constLast() ==
               QString(ClusterConnection::recentSpotsCommand);
    });
}

} // namespace

class TestClusterConnectionSend : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // ----- Commands and spots

    void userCommand_isEchoedAndSentAsOneLine_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        QTest::newRow("plain") << "sh/dx 20"
                               << "sh/dx 20";
        QTest::newRow("blanks and breaks around") << "  sh/wwv \r\n"
                                                  << "sh/wwv";
        QTest::newRow("pasted two lines") << "sh/dx\r\nDL1ABC"
                                          << "sh/dx DL1ABC";
        QTest::newRow("lone breaks inside") << "a\rb\nc"
                                            << "a b c";
    }

    void userCommand_isEchoedAndSentAsOneLine()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        ConnectionKit kit;
        QVERIFY(logInQuietly(kit));
        const int before = kit.node.receivedLines().size();
        kit.connection->sendUserCommand(typed);
        QVERIFY(kit.waitFor([&] { return kit.node.receivedLines().size() > before; }));
        kit.settle(100);
        QCOMPARE(kit.node.receivedLines().mid(before), QStringList{sent});
        QVERIFY(kit.consoleHas(QStringLiteral("> ") + sent));
    }

    void blankCommand_isNeitherEchoedNorSent()
    {
        ConnectionKit kit;
        QVERIFY(logInQuietly(kit));
        const QStringList console = kit.console();
        const int before = kit.node.receivedLines().size();
        kit.connection->sendUserCommand(QStringLiteral(" \r\n "));
        kit.settle(100);
        QCOMPARE(kit.console(), console);
        QCOMPARE(kit.node.receivedLines().size(), before);
    }

    void logoutWord_isSentAsTypedAndTheCloseBringsNoReconnect()
    {
        ConnectionKit kit;
        kit.node.setCloseAfterCommand(QStringLiteral("bye"));
        QVERIFY(logInQuietly(kit));
        kit.connection->setIsConnectionSequenceActive(true);
        kit.connection->sendUserCommand(QStringLiteral("  BYE  "));
        QVERIFY(!kit.connection->isConnectionSequenceActive());
        QVERIFY(kit.waitFor([&] { return !kit.connection->isConnected(); }));
        QVERIFY(kit.node.hasReceived(QStringLiteral("BYE")));
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Connection closed"));
        kit.settle(500); // several reconnect delays
        QCOMPARE(kit.node.connectionCount(), 1);
    }

    void spot_isFormattedAndSent_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("frequency");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("sent");
        QTest::newRow("commas, no comment") << " dl1abc "
                                            << "14,025.5"
                                            << "  "
                                            << "dx 14025.5 DL1ABC";
        QTest::newRow("comment") << "ea8xx"
                                 << " 7047 "
                                 << " up 2 "
                                 << "dx 7047 EA8XX up 2";
        QTest::newRow("pasted comment") << "k1abc"
                                        << "3525"
                                        << "tnx\nqso"
                                        << "dx 3525 K1ABC tnx qso";
    }

    void spot_isFormattedAndSent()
    {
        QFETCH(QString, callsign);
        QFETCH(QString, frequency);
        QFETCH(QString, comment);
        QFETCH(QString, sent);
        ConnectionKit kit;
        QVERIFY(logInQuietly(kit));
        kit.connection->sendSpot(callsign, frequency, comment);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(sent); }));
        QVERIFY(kit.consoleHas(QStringLiteral("> ") + sent));
    }

    void spot_isIgnoredUnlessLoggedInAndRegistered()
    {
        ConnectionKit kit;
        kit.connection->sendSpot(QStringLiteral("DL1ABC"), QStringLiteral("14025"), {});
        QVERIFY(kit.connection->lines().isEmpty());
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Disconnected"));
    }

    void sendingWithoutConnection_saysNotConnected()
    {
        ConnectionKit kit;
        kit.connection->sendUserCommand(QStringLiteral("sh/dx"));
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Not connected"));
        QVERIFY(kit.consoleHas(QStringLiteral("> sh/dx")));
    }

    // ----- Ends of a connection

    void remoteClose_reportsAndFlushesTheUnfinishedLine()
    {
        ConnectionKit kit;
        QVERIFY(logInQuietly(kit));
        kit.node.send("last words");
        kit.node.closeConnection();
        QVERIFY(kit.waitFor([&] { return !kit.connection->isConnected(); }));
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Connection closed"));
        QCOMPARE(kit.connection->loginState(), LoginState::disconnected);
        QVERIFY(!kit.connection->isLoggedIn());
        const QStringList console = kit.console();
        const qsizetype at = console.indexOf(QStringLiteral("Connection closed by remote node."));
        QVERIFY(at > 0);
        QCOMPARE(console.value(at + 1).right(10), QStringLiteral("last words"));
    }

    void burstThenClose_everyLineIsHandledBeforeTheClose()
    {
        ConnectionKit kit;
        kit.node.setBehaviour(FakeClusterNode::Behaviour::Silent);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.connection->isConnected(); }));
        QByteArray burst;
        for (int i = 0; i < 3000; ++i)
            burst += "filler line " + QByteArray::number(i) + " " + QByteArray(20, 'z') + "\r\n";
        kit.node.sendBurst(burst); // about 100 KiB in one write: more than one read
        kit.node.closeConnection();
        QVERIFY(kit.waitFor([&] { return !kit.connection->isConnected(); }));
        const QStringList console = kit.console();
        QCOMPARE(console.constLast(), QStringLiteral("Connection closed by remote node."));
        QVERIFY(console.value(console.size() - 2).startsWith(QStringLiteral("filler line 2999 ")));
    }

    void disconnect_keepsListsAndResetsState()
    {
        ConnectionKit kit;
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand),
                          {spotLineFor(QStringLiteral("KEEP1"))});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 1; }));
        kit.connection->disconnect();
        // The node's last prompt, still unfinished, is handed on as a final line.
        QCOMPARE(kit.console().constLast(), kit.node.promptFor(QStringLiteral("N0CALL")));
        const qsizetype lines = kit.connection->lines().size();
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Disconnected"));
        QCOMPARE(kit.connection->loginState(), LoginState::disconnected);
        QVERIFY(!kit.connection->isConnected());
        QCOMPARE(kit.connection->spots().size(), 1);
        QCOMPARE(kit.connection->lines().size(), lines);
        QCOMPARE(kit.connection->activeCallsign(), QStringLiteral("N0CALL"));
        QVERIFY(kit.waitFor([&] { return kit.node.openConnectionCount() == 0; }));
        kit.settle(300);
        QCOMPARE(kit.node.connectionCount(), 1);
        QCOMPARE(kit.connection->lines().size(), lines);
    }

    void staleConnection_neverReachesListsOrStatus()
    {
        ConnectionKit kit;
        FakeClusterNode other;
        other.setNodeName(QStringLiteral("OTHER"));
        QVERIFY(logInQuietly(kit));
        // A speaks and closes while we already move to B.
        kit.node.sendLine(spotLineFor(QStringLiteral("STALE1")));
        kit.node.sendLine(QStringLiteral("stale console text"));
        kit.node.closeConnection();
        kit.connectTo(other);
        QVERIFY(kit.waitFor([&] { return kit.connection->isLoggedIn(); }));
        QVERIFY(kit.waitFor(
            [&] { return other.hasReceived(QString(ClusterConnection::recentSpotsCommand)); }));
        kit.settle(300);
        QVERIFY(!kit.spotCalls().contains(QStringLiteral("STALE1")));
        QVERIFY(!kit.consoleHas(QStringLiteral("stale console text")));
        QVERIFY(!kit.consoleHas(QStringLiteral("Connection closed by remote node.")));
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Logged in"));
        QCOMPARE(kit.connection->activePort(), std::optional<quint16>(other.port()));
        kit.connection->sendUserCommand(QStringLiteral("sh/time"));
        QVERIFY(kit.waitFor([&] { return other.hasReceived(QStringLiteral("sh/time")); }));
        QVERIFY(!kit.node.hasReceived(QStringLiteral("sh/time")));
    }

    void secondConnectWhilePreparing_cancelsTheFirstSilently()
    {
        ConnectionKit kit;
        FakeClusterNode other;
        QStringList statuses;
        QObject::connect(kit.connection.get(), &ClusterConnection::statusTextChanged,
                         [&] { statuses.append(kit.connection->statusText()); });
        kit.connectTo(kit.node);
        kit.connectTo(other);
        QVERIFY(kit.waitFor([&] { return kit.connection->isLoggedIn(); }));
        kit.settle(200);
        QVERIFY(!statuses.contains(QStringLiteral("Disconnected")));
        QCOMPARE(other.connectionCount(), 1);
        QVERIFY(kit.node.receivedLines().isEmpty());
        QCOMPARE(kit.connection->activePort(), std::optional<quint16>(other.port()));
    }

    void waitingNode_isReportedAndTheAttemptKept()
    {
        ConnectionKit kit;
        kit.node.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor(
            [&] { return kit.connection->statusText().startsWith(QStringLiteral("Waiting: ")); }));
        QCOMPARE(kit.connection->loginState(), LoginState::failed);
        QVERIFY(kit.console().constLast().startsWith(QStringLiteral("Connection waiting: ")));
        // The node comes up on the same port: the same attempt goes on to log in.
        kit.node.setBehaviour(FakeClusterNode::Behaviour::Normal);
        QVERIFY(kit.waitFor([&] { return kit.connection->isLoggedIn(); }));
    }

    // An IPv6 address with a numeric scope holds "%" and digits; the console shows it as given.
    void connectingLine_showsAHostWithPercentDigitsAsGiven()
    {
        ConnectionKit kit;
        kit.connection->connect(QStringLiteral(" ::1%1 "), kit.node.port(),
                                QStringLiteral("N0CALL"), {}, ClusterNodeRole::primary, false, true,
                                ConnectionOrigin::manual);
        const QString shown = kit.console().value(0);
        kit.connection->disconnect();
        QCOMPARE(shown, QStringLiteral("Connecting to ::1%1:") + QString::number(kit.node.port()) +
                            QStringLiteral("…"));
        QCOMPARE(kit.connection->activeHost(), QStringLiteral("::1%1"));
    }
};

QTEST_GUILESS_MAIN(TestClusterConnectionSend)
#include "tst_ClusterConnectionSend.moc"
