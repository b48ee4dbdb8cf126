#include "ClusterConnectionTestKit.h"

using namespace varnello;
using namespace varnello::test;

class TestClusterConnectionLogin : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void dxSpider_logsInWithExactTextsAndAsksStatus()
    {
        ConnectionKit kit;
        QVERIFY(kit.logIn());
        const QString port = QString::number(kit.node.port());
        const QStringList expected{
            QStringLiteral("Connecting to 127.0.0.1:") + port + QStringLiteral("…"),
            QStringLiteral("Connected. Waiting for login prompt…"),
            QStringLiteral("Welcome to the test node"),
            // The question is a line of its own, not glued to what the node says next.
            QStringLiteral("login: "),
            QStringLiteral("Login prompt detected. Sending callsign."),
            QStringLiteral("Login complete."),
        };
        QCOMPARE(kit.console().mid(0, expected.size()), expected);
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Logged in"));
        QCOMPARE(kit.connection->loginState(), LoginState::loggedIn);
        QCOMPARE(kit.connection->detectedNodeType(), ClusterNodeType::dxSpider);
        QVERIFY(kit.connection->isConnected());
        const QStringList sent = kit.node.receivedLines();
        QCOMPARE(sent.value(0), QStringLiteral("N0CALL"));
        QCOMPARE(sent.value(1), QStringLiteral("stat/us"));
        QVERIFY(!kit.connection->clusterNodeWarning());
    }

    void callsign_isTrimmedButKeepsItsCase()
    {
        ConnectionKit kit;
        kit.connectTo(kit.node, QStringLiteral("  n0Call-2 \n"));
        QVERIFY(kit.waitFor([&] { return kit.connection->isLoggedIn(); }));
        QCOMPARE(kit.node.loginCallsign(), QStringLiteral("n0Call-2"));
        QCOMPARE(kit.connection->activeCallsign(), QStringLiteral("n0Call-2"));
    }

    void password_isSentUntrimmedWhenSet()
    {
        ConnectionKit kit;
        kit.node.setPassword(QStringLiteral("secret"));
        kit.connectTo(kit.node, QStringLiteral("N0CALL"), QStringLiteral(" s3cret "));
        QVERIFY(kit.waitFor([&] { return kit.connection->isLoggedIn(); }));
        QCOMPARE(kit.node.loginPassword(), QStringLiteral(" s3cret "));
        QVERIFY(kit.consoleHas(QStringLiteral("Password prompt detected. Sending password.")));
    }

    void passwordWordAfterLogin_isNoQuestion_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("password configured") << "s3cret";
        QTest::newRow("none configured") << "";
    }

    void passwordWordAfterLogin_isNoQuestion()
    {
        QFETCH(QString, password);
        ConnectionKit kit;
        kit.connectTo(kit.node, QStringLiteral("N0CALL"), password);
        QVERIFY(kit.waitFor(
            [&] { return kit.node.hasReceived(QString(ClusterConnection::recentSpotsCommand)); }));
        kit.node.sendLine(QStringLiteral("Sysop: set your password: with set/password"));
        kit.node.sendPrompt();
        QVERIFY(kit.waitFor([&] {
            return kit.consoleHas(QStringLiteral("Sysop: set your password: with set/password"));
        }));
        kit.settle(200);
        QVERIFY(!kit.node.hasReceived(QStringLiteral("s3cret")));
        QCOMPARE(kit.connection->loginState(), LoginState::loggedIn);
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Logged in"));
    }

    void password_missingStopsTheLoginWithItsTexts()
    {
        ConnectionKit kit;
        kit.node.setPassword(QStringLiteral("secret"));
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor(
            [&] { return kit.connection->loginState() == LoginState::waitingForPasswordPrompt; }));
        QCOMPARE(kit.connection->statusText(),
                 QStringLiteral("Password required but none configured"));
        QVERIFY(kit.consoleHas(
            QStringLiteral("The node requested a password, but no password is configured.")));
        kit.settle();
        QCOMPARE(kit.node.receivedLines(), QStringList{QStringLiteral("N0CALL")});
        QVERIFY(kit.connection->isConnected());
        QVERIFY(!kit.connection->isLoggedIn());
    }

    void ccCluster_logsInAndPublishesTheWarningWithoutCommands()
    {
        ConnectionKit kit;
        kit.node.setKind(FakeClusterNode::Kind::CCCluster);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.connection->clusterNodeWarning().has_value(); }));
        QVERIFY(kit.connection->isLoggedIn());
        QCOMPARE(kit.connection->detectedNodeType(), ClusterNodeType::ccCluster);
        const ClusterNodeWarning expected{ClusterNodeType::ccCluster, QStringLiteral("127.0.0.1"),
                                          kit.node.port()};
        QCOMPARE(*kit.connection->clusterNodeWarning(), expected);
        kit.settle();
        QCOMPARE(kit.node.receivedLines(), QStringList{QStringLiteral("N0CALL")});

        kit.connection->continueWithReducedFeatures();
        QVERIFY(!kit.connection->clusterNodeWarning());
        QVERIFY(kit.consoleHas(
            QStringLiteral("Continuing on 127.0.0.1:%1 with reduced Varnello features.")
                .arg(kit.node.port())));
        QVERIFY(kit.connection->isLoggedIn());
    }

    void ccCluster_suppressedForThisNode_writesTheLineInstead()
    {
        ConnectionKit kit;
        kit.node.setKind(FakeClusterNode::Kind::CCCluster);
        kit.store->setString(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode,
                             nodeIdentity(QStringLiteral("127.0.0.1"), kit.node.port()));
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.connection->isLoggedIn(); }));
        QVERIFY(kit.consoleHas(
            QStringLiteral("CC Cluster detected. Continuing with reduced Varnello features.")));
        QVERIFY(!kit.connection->clusterNodeWarning());
    }

    void unsupportedNodes_areDisconnectedWithoutReconnect_data()
    {
        QTest::addColumn<FakeClusterNode::Kind>("kind");
        QTest::addColumn<ClusterNodeType>("type");
        QTest::addColumn<QString>("typeText");
        QTest::newRow("AR-Cluster") << FakeClusterNode::Kind::ARCluster
                                    << ClusterNodeType::arCluster << QStringLiteral("AR-Cluster");
        QTest::newRow("other prompt") << FakeClusterNode::Kind::Other << ClusterNodeType::other
                                      << QStringLiteral("unknown cluster type");
        QTest::newRow("e-mail question")
            << FakeClusterNode::Kind::EmailQuestion << ClusterNodeType::other
            << QStringLiteral("unknown cluster type");
    }

    void unsupportedNodes_areDisconnectedWithoutReconnect()
    {
        QFETCH(FakeClusterNode::Kind, kind);
        QFETCH(ClusterNodeType, type);
        QFETCH(QString, typeText);
        ConnectionKit kit;
        kit.node.setKind(kind);
        kit.connection->setIsConnectionSequenceActive(true);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.connection->clusterNodeWarning().has_value(); }));
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Unsupported DX Cluster node"));
        QCOMPARE(kit.connection->loginState(), LoginState::failed);
        QCOMPARE(kit.connection->detectedNodeType(), type);
        QVERIFY(!kit.connection->isConnected());
        QVERIFY(!kit.connection->isConnectionSequenceActive());
        QVERIFY(kit.consoleHas(typeText + QStringLiteral(" detected on 127.0.0.1:%1. Varnello does "
                                                         "not support this node.")
                                              .arg(kit.node.port())));
        QVERIFY(kit.waitFor([&] { return kit.node.openConnectionCount() == 0; }));
        kit.settle(500); // several reconnect delays
        QCOMPARE(kit.node.connectionCount(), 1);
        QVERIFY(!kit.connection->autoReconnectController().alert());
    }

    // After the callsign, a known prompt logs in; a line ending in ">" of no known type makes the
    // program ask the node with an empty line: the same line again is its prompt (warning naming
    // it), more greeting and a known prompt log in. Always on one connection, with no stall.
    void promptAfterTheCallsign_data()
    {
        QTest::addColumn<QString>("prompt"); // "%1": the callsign
        QTest::addColumn<QStringList>("greeting");
        QTest::addColumn<int>("pauseMs");   // between greeting lines (a line's break comes after)
        QTest::addColumn<bool>("spots");    // a spot stream from the callsign on
        QTest::addColumn<int>("chatterMs"); // announcements this far apart (0: none)
        QTest::addColumn<int>("answerMs");  // the node's answer delay (-1: no answer to "")
        QTest::addColumn<QString>("named"); // the prompt the warning names ("": logs in)
        QTest::addColumn<int>("questions"); // empty lines the node receives
        const QString own = QStringLiteral("%1 de GB7TST 2044Z >");
        const QString ownSent = own.arg(QStringLiteral("N0CALL"));
        const QString spider = QStringLiteral("%1 de GB7TST 2044Z dxspider >");
        const QString spot = FakeClusterNode::spotLine(1) + QStringLiteral("\r\n");
        const QStringList none;
        QTest::newRow("own prompt") << own << none << 0 << false << 0 << 0 << ownSent << 1;
        QTest::newRow("own prompt, line break") << own + "\r\n"
                                                << none << 0 << false << 0 << 0 << ownSent << 1;
        QTest::newRow("own prompt, spots behind") << own + "\r\n"
                                                  << none << 0 << true << 0 << 0 << ownSent << 1;
        QTest::newRow("own prompt without de")
            << "%1 on GB7TST >\r\n"
            << none << 0 << false << 0 << 0 << "N0CALL on GB7TST >" << 1;
        QTest::newRow("own prompt, an announcement before the late answer")
            << own << none << 0 << false << 300 << 500 << ownSent << 1;
        QTest::newRow("own prompt, announcements, no answer to an empty line")
            << own << none << 0 << false << 100 << -1 << ownSent << 1;
        QTest::newRow("own prompt just before the watchdog, answer after it")
            << own << QStringList{"Please wait"} << 650 << false << 0 << 500 << ownSent << 1;
        QTest::newRow("unknown prompt, spots glued to it")
            << "EVIL >" << none << 0 << true << 0 << 0 << "EVIL >" << 1;
        QTest::newRow("unknown prompt, a spot glued in the same write")
            << "EVIL >" + spot << none << 0 << false << 0 << 0 << "EVIL >" << 1;
        QTest::newRow("away prompt, logs in")
            << "(%1) de GB7TST 2044Z dxspider >" << none << 0 << false << 0 << 0 << "" << 0;
        QTest::newRow("greeting lines ending in >, logs in")
            << spider + "\r\n"
            << QStringList{"Cluster: 7 nodes, 12 users >", "Uptime 3 days ----->", "Have fun"} << 20
            << false << 0 << 0 << "" << 2;
        // Silent for longer than a pause could tell apart, its rest and prompt in one write.
        QTest::newRow("greeting held up after a line ending in >, logs in")
            << "Cluster news\r\n" + spider << QStringList{"Type HELP for help >"} << 400 << false
            << 0 << 0 << "" << 1;
        QTest::newRow("greeting held up after a line ending in > and its break, logs in")
            << "Cluster news\r\n" + spider << QStringList{"Type HELP for help >\r\n"} << 400
            << false << 0 << 0 << "" << 1;
        QTest::newRow("line ending in >, spots and the prompt in one write, logs in")
            << "Last spots -->\r\n" + spot + spot + spot + spider << none << 0 << false << 0 << 0
            << "" << 1;
    }

    void promptAfterTheCallsign()
    {
        QFETCH(QString, prompt);
        QFETCH(QStringList, greeting);
        QFETCH(int, pauseMs);
        QFETCH(bool, spots);
        QFETCH(int, chatterMs);
        QFETCH(int, answerMs);
        QFETCH(QString, named);
        QFETCH(int, questions);
        ClusterTiming timing = fastTiming();
        timing.callsignSendWatchdog = 1500ms;
        ConnectionKit kit(timing);
        kit.node.setCustomPrompt(prompt);
        if (named.isEmpty()) // after commands, the prompt alone
            kit.node.setCommandPrompt(
                prompt.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last());
        kit.node.setGreeting(greeting, pauseMs);
        kit.node.setAnswersEmptyLines(answerMs >= 0);
        kit.node.setReplyDelay(std::max(answerMs, 0));
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand),
                          {spotLineFor(QStringLiteral("OLD1"))});
        QTimer chatter;
        QObject::connect(&chatter, &QTimer::timeout, [&] {
            kit.node.sendLine(QStringLiteral("To ALL de K1ABC: contest starts at 1200Z"));
        });
        kit.node.onLine = [&](int, const QString &) {
            if (spots) // never a moment's silence after the prompt
                kit.node.startSpotStream(50);
            if (chatterMs > 0 && !chatter.isActive())
                chatter.start(chatterMs);
        };
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor(
            [&] { return kit.connection->isLoggedIn() || kit.connection->clusterNodeWarning(); }));
        kit.node.stopSpotStream();
        chatter.stop();
        kit.settle(timing.callsignSendWatchdog.count() + 500);
        QCOMPARE(kit.node.connectionCount(), 1);
        const QStringList console = kit.console();
        QVERIFY(console.filter(QStringLiteral("Login stalled")).isEmpty());
        QCOMPARE(kit.connection->isLoggedIn(), named.isEmpty());
        QCOMPARE(kit.connection->detectedNodeType(),
                 named.isEmpty() ? ClusterNodeType::dxSpider : ClusterNodeType::other);
        for (const QString &line : std::as_const(greeting))
            QVERIFY(kit.consoleHas(line.trimmed()));
        const QStringList warning = console.filter(QStringLiteral("unset/prompt"));
        QCOMPARE(warning.size(), named.isEmpty() ? 0 : 1);
        if (!named.isEmpty()) {
            QVERIFY(warning.first().startsWith(QStringLiteral("The node's prompt was \"") + named +
                                               u'"'));
            // The node's answer, the prompt once more, is not shown again.
            QCOMPARE(console.count(named), 1);
        }
        QCOMPARE(kit.node.countReceived(QString()), questions);
        if (named.isEmpty()) { // the answers end no step: the back-fill ends at its own prompt
            QVERIFY(kit.waitFor([&] { return kit.spotCalls().contains(QStringLiteral("OLD1")); }));
            QVERIFY(std::none_of(kit.liveSpots.begin(), kit.liveSpots.end(), [](const DXSpot &s) {
                return s.callsign == QStringLiteral("OLD1");
            }));
            QVERIFY(kit.console().filter(QStringLiteral("No recognised prompt")).isEmpty());
        }
    }

    void nodePromptWithoutBlankBeforeTheBracket_stillEndsEachStep()
    {
        ConnectionKit kit;
        kit.node.setCustomPrompt(QStringLiteral("%1 de NODE 7-Dec-2026 1200Z dxspider>"));
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand),
                          {spotLineFor(QStringLiteral("DL1ABC"))});
        // The back-fill is only asked for after "stat/us" ended at such a prompt, and it is only
        // listed once its own reply ended at one.
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 1; }));
        QVERIFY(kit.liveSpots.isEmpty());
        kit.node.sendLine(spotLineFor(QStringLiteral("EA8XX")));
        QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() == 1; }));
        QCOMPARE(kit.spotCalls(), (QStringList{QStringLiteral("EA8XX"), QStringLiteral("DL1ABC")}));
    }

    void callsignQuestionSplitOverChunks_isAnswered()
    {
        ConnectionKit kit;
        kit.node.setCallsignQuestion(QStringLiteral("Please enter your CALL: "));
        kit.node.setSplitWrites(true);
        QVERIFY(kit.logIn());
        QCOMPARE(kit.node.countReceived(QStringLiteral("N0CALL")), 1);
    }

    void promptTests_data()
    {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<bool>("dxSpider");
        QTest::addColumn<bool>("cc");
        QTest::addColumn<bool>("ar");
        QTest::newRow("dxspider") << "n0call de node  7-dec-2026 1200z dxspider >" << true << false
                                  << false;
        QTest::newRow("dxspider no blank") << "n0call de node dxspider>" << true << false << false;
        QTest::newRow("dxspider then text")
            << "n0call de node dxspider >x" << false << false << false;
        QTest::newRow("cc") << "N0CALL de NODE 7-Dec 1200Z ccc >" << false << true << false;
        QTest::newRow("arc6") << "n0call de node 7-dec 1200z arc6>" << false << false << true;
        QTest::newRow("arc") << "n0call de node arc >\r\n" << false << false << true;
        QTest::newRow("away, dxspider")
            << "(n0call) de node 2044z dxspider >" << true << false << false;
        QTest::newRow("away, cc") << "(N0CALL) de NODE ccc >" << false << true << false;
        QTest::newRow("other call") << "k1abc de node dxspider >" << false << false << false;
        QTest::newRow("call inside word")
            << "xn0call de node dxspider >" << false << false << false;
    }

    void promptTests()
    {
        QFETCH(QString, buffer);
        QFETCH(bool, dxSpider);
        QFETCH(bool, cc);
        QFETCH(bool, ar);
        const QString call = QStringLiteral(" N0CALL ");
        QCOMPARE(ClusterConnection::isDXSpiderPrompt(buffer, call), dxSpider);
        QCOMPARE(ClusterConnection::isCCClusterPrompt(buffer, call), cc);
        QCOMPARE(ClusterConnection::isARClusterPrompt(buffer, call), ar);
        QVERIFY(!ClusterConnection::isDXSpiderPrompt(buffer, QStringLiteral("  ")));
    }

    void callsignAndPasswordWords_data()
    {
        QTest::addColumn<QString>("buffer");
        QTest::addColumn<bool>("callsign");
        QTest::addColumn<bool>("password");
        QTest::newRow("login") << "welcome\r\nlogin: " << true << false;
        QTest::newRow("call with blank") << "your call : " << true << false;
        QTest::newRow("enter callsign") << "please enter your callsign" << true << false;
        QTest::newRow("password") << "password: " << false << true;
        QTest::newRow("passwd blank") << "passwd : " << false << true;
        QTest::newRow("neither") << "hello there" << false << false;
    }

    void callsignAndPasswordWords()
    {
        QFETCH(QString, buffer);
        QFETCH(bool, callsign);
        QFETCH(bool, password);
        QCOMPARE(ClusterConnection::containsCallsignPrompt(buffer), callsign);
        QCOMPARE(ClusterConnection::containsPasswordPrompt(buffer), password);
    }

    void clearSuppressedNodeWarning_followsThePrimaryPort()
    {
        ConnectionKit kit;
        const auto key = SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode;
        kit.store->setString(key, QStringLiteral("node.example:7300"));
        kit.connection->clearSuppressedNodeWarningIfChanged(QStringLiteral(" Node.Example "),
                                                            QStringLiteral(" 7300 "));
        QCOMPARE(kit.store->string(key), QStringLiteral("node.example:7300"));
        kit.connection->clearSuppressedNodeWarningIfChanged(QStringLiteral("node.example"),
                                                            QStringLiteral("73x0"));
        QVERIFY(!kit.store->value(key.name));
        kit.store->setString(key, QStringLiteral("node.example:7300"));
        kit.connection->clearSuppressedNodeWarningIfChanged(QStringLiteral("node.example"),
                                                            QStringLiteral("7301"));
        QVERIFY(!kit.store->value(key.name));
    }

    void invalidArguments_stopBeforeAnyConnection_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("status");
        QTest::newRow("blank host, blank call") << "  "
                                                << "" << 7300 << "Node address is empty";
        QTest::newRow("blank call") << "127.0.0.1"
                                    << " \n"
                                    << 7300 << "Callsign is empty";
        QTest::newRow("port 0") << "127.0.0.1"
                                << "N0CALL" << 0 << "Invalid port";
    }

    void invalidArguments_stopBeforeAnyConnection()
    {
        QFETCH(QString, host);
        QFETCH(QString, callsign);
        QFETCH(int, port);
        QFETCH(QString, status);
        ConnectionKit kit;
        kit.connection->setIsConnectionSequenceActive(true);
        kit.connection->connect(host, static_cast<quint16>(port), callsign, {},
                                ClusterNodeRole::primary, false, true, ConnectionOrigin::manual);
        QCOMPARE(kit.connection->statusText(), status);
        QCOMPARE(kit.connection->loginState(), LoginState::failed);
        // Nothing is being connected, so the window must stop offering "Cancel".
        QVERIFY(!kit.connection->isConnectionSequenceActive());
        QVERIFY(kit.connection->lines().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestClusterConnectionLogin)
#include "tst_ClusterConnectionLogin.moc"
