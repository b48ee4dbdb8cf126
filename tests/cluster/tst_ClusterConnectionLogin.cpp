#include "ClusterConnectionTestKit.h"
#include "PromptPatterns.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <array>

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

    // After the callsign, a known prompt logs in. A line ending in ">" of no known type is asked
    // about with an empty line once the node went quiet after it: the line come back after two
    // questions is the node's prompt (the warning names it); more greeting, copies within one
    // read and a known prompt log in. Always on one connection, with no stall, and the answers
    // owed at the login end no step however late they come.
    void promptAfterTheCallsign_data()
    {
        QTest::addColumn<QString>("prompt");       // "%1": the callsign, "%2": a moving number
        QTest::addColumn<QStringList>("greeting"); // the node's writes before its prompt
        QTest::addColumn<int>("pauseMs");          // between those writes and before the prompt
        // -1: spots from the callsign on; > 0: announcements ending in "-->" this often
        QTest::addColumn<int>("traffic");
        QTest::addColumn<int>("answerMs");     // the node's answer delay (-1: no answer to "")
        QTest::addColumn<QString>("password"); // asked for after the greeting when set
        QTest::addColumn<QString>("named");    // the prompt the warning names ("": logs in)
        QTest::addColumn<int>("questions");    // empty lines the node receives
        const QString own = QStringLiteral("%1 de GB7TST 2044Z >");
        const QString ownSent = own.arg(QStringLiteral("N0CALL"));
        const QString spider = QStringLiteral("%1 de GB7TST 2044Z dxspider >");
        const QString spot = FakeClusterNode::spotLine(1) + QStringLiteral("\r\n");
        const QStringList motd{QStringLiteral("Type HELP for help >"), QStringLiteral("\r\n")};
        const auto add = [](const char *name, const QString &prompt, const QStringList &greeting,
                            int pauseMs, int answerMs, const QString &named, int questions,
                            int traffic = 0, const QString &password = {}) {
            QTest::newRow(name) << prompt << greeting << pauseMs << traffic << answerMs << password
                                << named << questions;
        };
        add("own prompt", own, {}, 0, 0, ownSent, 2);
        add("own prompt, line break", own + "\r\n", {}, 0, 0, ownSent, 2);
        add("own prompt, spots behind", own + "\r\n", {}, 0, 0, ownSent, 2, -1);
        add("own prompt, its time moving on", "%1 de GB7TST 20%2Z >", {}, 0, 0,
            "N0CALL de GB7TST 200Z >", 2);
        add("own prompt without de", "%1 on GB7TST >\r\n", {}, 0, 0, "N0CALL on GB7TST >", 2);
        add("own prompt, an announcement before the late answer", own, {}, 0, 500, ownSent, 2, 300);
        add("own prompt, announcements, no answer to an empty line", own, {}, 0, -1, ownSent, 1,
            100);
        add("own prompt, an announcement every 100 ms", own, {}, 0, 0, ownSent, 2, 100);
        // 1.8 s each way at full scale: the prompt and each answer take a round trip.
        add("own prompt behind a slow link", own, {QString()}, 900, 900, ownSent, 2);
        add("own prompt just before the watchdog, answer after it", own, {"Please wait", "\r\n"},
            650, 300, ownSent, 2);
        // A prompt a user may set of any shape: read like talk, a spot or a greeting placeholder,
        // it is named by coming back on cue, traffic around it or not.
        const QString talk = QStringLiteral("%1 de GB7TST: >");
        const QString talkSent = talk.arg(QStringLiteral("N0CALL"));
        add("own prompt like talk", talk, {}, 0, 0, talkSent, 2);
        add("own prompt like talk, node first", "GB7TST de %1: >\r\n", {}, 0, 0,
            "GB7TST de N0CALL: >", 2);
        add("own prompt like talk to the user", "To %1 de GB7TST: >", {}, 0, 0,
            "To N0CALL de GB7TST: >", 2);
        add("own prompt like a spot", "DX de GB7TST 20%2Z >", {}, 0, 0, "DX de GB7TST 200Z >", 2);
        add("own prompt with the time in brackets", "%1 de GB7TST <20%2Z> >", {}, 0, 0,
            "N0CALL de GB7TST <200Z> >", 2);
        add("own prompt like talk, date and time", "%1 de GB7TST: 8-Dec-2026 20%2Z >", {}, 0, 0,
            "N0CALL de GB7TST: 8-Dec-2026 200Z >", 2);
        add("own prompt like talk, an announcement every 100 ms", talk, {}, 0, 0, talkSent, 2, 100);
        add("own prompt like talk, announcements before the late answer", talk, {}, 0, 500,
            talkSent, 2, 300);
        add("own prompt like talk behind a slow link", talk, {QString()}, 900, 900, talkSent, 2);
        add("own prompt like talk after the password", talk, {}, 0, 0, talkSent, 2, 0,
            QStringLiteral("s3cret"));
        add("own prompt like talk, an announcement glued in the same write",
            talk + "To ALL de K1ABC: hello\r\n", {}, 0, 0, talkSent, 2);
        add("own prompt with the time in brackets, a spot glued in the same write",
            "%1 de GB7TST <20%2Z> >" + spot, {}, 0, 0, "N0CALL de GB7TST <200Z> >", 2);
        add("own prompt like talk after greeting lines ending in >", talk,
            {"Cluster: 7 nodes, 12 users >\r\n=====>\r\n"}, 0, 0, talkSent, 2);
        add("own prompt like talk after talk and a placeholder in the greeting", talk,
            {"N0CALL de K1ABC: welcome back >\r\nEnter <your name> >\r\n"}, 0, 0, talkSent, 2);
        add("unknown prompt, spots glued to it", "EVIL >", {}, 0, 0, "EVIL >", 2, -1);
        add("unknown prompt, a spot glued in the same write", "EVIL >" + spot, {}, 0, 0, "EVIL >",
            2);
        add("away prompt, logs in", "(%1) de GB7TST 2044Z dxspider >", {}, 0, 0, "", 0);
        // Lines with more greeting or a known prompt right behind them ask nothing.
        add("greeting lines ending in >, logs in", spider + "\r\n",
            {"Cluster: 7 nodes, 12 users >", "\r\nUptime 3 days ----->", "\r\nHave fun", "\r\n"},
            20, 0, "", 0);
        add("line ending in >, spots and the prompt in one write, logs in",
            "Last spots -->\r\n" + spot + spot + spot + spider, {}, 0, 0, "", 0);
        add("a greeting line cut by a read after its >, logs in", spider,
            {"Welcome to GB7TST -->", " enjoy your stay\r\n"}, 20, 0, "", 0);
        // Silent for longer than the quiet: asked, and the answers are owed past the login.
        add("greeting held up after a line ending in >, logs in", "Cluster news\r\n" + spider, motd,
            400, 0, "", 1);
        add("greeting held up after a line ending in > and its break, logs in",
            "Cluster news\r\n" + spider, {motd.join(QString())}, 400, 0, "", 1);
        // Lines alike within one greeting, or in one read, are no answer.
        add("lines alike in one read, logs in", spider,
            {"Telnet port 7300 >\r\nTelnet port 7373 "
             ">\r\n----->\r\n----->\r\n=====>\r\n\r\n=====>\r\n"},
            400, 0, "", 1);
        add("a separator, a blank line and the separator 20 ms later, logs in", spider,
            {"=====>\r\n", "\r\n=====>\r\n"}, 20, 0, "", 0);
        add("numbered lines, the third in the read of the second, logs in", spider,
            {"Link 1 ---->\r\n", "Link 2 ---->\r\nLink 3 ---->\r\n"}, 400, 0, "", 2);
        add("a line that begins with the line in question, logs in", spider,
            {"-->\r\n", "--> Visit our web site\r\n"}, 400, 0, "", 1);
        // An answer later than the answer wait ends no step: 6 s at full scale.
        add("answer much later than the answer wait, logs in", spider, motd, 400, 1500, "", 1);
        add("no answer to an empty line, logs in", spider, motd, 400, -1, "", 1);
        // A node that reads its lines in order would take an empty line for the password.
        add("a line ending in > before the password question, logs in", spider,
            {"Welcome to GB7TST -->\r\n"}, 400, 0, "", 0, 0, QStringLiteral("s3cret"));
    }

    void promptAfterTheCallsign()
    {
        QFETCH(QString, prompt);
        QFETCH(QStringList, greeting);
        QFETCH(int, pauseMs);
        QFETCH(int, traffic);
        QFETCH(int, answerMs);
        QFETCH(QString, password);
        QFETCH(QString, named);
        QFETCH(int, questions);
        ClusterTiming timing = fastTiming();
        timing.callsignSendWatchdog = 1500ms;
        timing.stepReplyTimeout = 4s; // as at full scale, well over the late answers
        ConnectionKit kit(timing);
        kit.node.setCustomPrompt(prompt);
        if (named.isEmpty()) // after commands, the prompt alone
            kit.node.setCommandPrompt(
                prompt.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last());
        kit.node.setGreeting(greeting, pauseMs);
        kit.node.setPassword(password);
        kit.node.setGreetingBeforePassword(!password.isEmpty());
        kit.node.setAnswersEmptyLines(answerMs >= 0);
        kit.node.setReplyDelayFor(QString(), std::max(answerMs, 0));
        kit.node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No"),
                                                      QStringLiteral("Want RBN Beacon : No")});
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand),
                          {spotLineFor(QStringLiteral("OLD1"))});
        QTimer chatter;
        QObject::connect(&chatter, &QTimer::timeout, [&] {
            kit.node.sendLine(QStringLiteral("To LOCAL de N3INJ: QSY 9 to 14.009 -->"));
        });
        kit.node.onLine = [&](int, const QString &) {
            if (traffic < 0) // never a moment's silence after the prompt
                kit.node.startSpotStream(50);
            else if (traffic > 0 && !chatter.isActive())
                chatter.start(traffic);
        };
        kit.connectTo(kit.node, QStringLiteral("N0CALL"), password);
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
        // Every greeting line is one console line, however the reads cut it.
        for (const QString &line : greeting.join(QString()).split(QStringLiteral("\r\n")))
            QVERIFY2(line.trimmed().isEmpty() || kit.consoleHas(line), qPrintable(line));
        const QStringList warning = console.filter(QStringLiteral("unset/prompt"));
        QCOMPARE(warning.size(), named.isEmpty() ? 0 : 1);
        if (!named.isEmpty()) {
            QVERIFY(warning.first().startsWith(QStringLiteral("The node's prompt was \"") + named +
                                               u'"'));
            // The node's answers, the prompt once more, are not shown again.
            QCOMPARE(console.count(named), 1);
        }
        QCOMPARE(kit.node.countReceived(QString()), questions);
        if (named.isEmpty()) {
            // The callsign, then the password, and each step's reply goes to its own step.
            QCOMPARE(kit.node.loginPassword(), password);
            QVERIFY(kit.waitFor([&] { return kit.spotCalls().contains(QStringLiteral("OLD1")); }));
            QVERIFY(std::none_of(kit.liveSpots.begin(), kit.liveSpots.end(), [](const DXSpot &s) {
                return s.callsign == QStringLiteral("OLD1");
            }));
            QVERIFY(kit.connection->rbnStatusKnown());
            QVERIFY(kit.console().filter(QStringLiteral("Want RBN")).isEmpty());
            QVERIFY(kit.console().filter(QStringLiteral("No recognised prompt")).isEmpty());
        }
    }

    // A node that never lets a line be judged: each attempt still ends within the login watchdog
    // plus one answer wait, with at most four empty lines, on either role. Traffic ending in ">"
    // at its own pace, faster or slower than the quiet and the answer wait, is never named.
    void promptQuestions_areBoundedPerAttempt_data()
    {
        QTest::addColumn<ClusterNodeRole>("role");
        QTest::addColumn<bool>("repeatsAndMovesOn"); // else: a new line and text every interval
        QTest::addColumn<QString>("traffic");        // else: this line, at once and every everyMs
        QTest::addColumn<int>("everyMs");            // 0: once
        const auto traffic = [](const char *name, const char *line, int everyMs) {
            QTest::newRow(name) << ClusterNodeRole::primary << false << QString::fromUtf8(line)
                                << everyMs;
        };
        QTest::newRow("new line and text every 975 ms")
            << ClusterNodeRole::primary << false << QString() << 0;
        QTest::newRow("each line repeated, a new one behind it")
            << ClusterNodeRole::primary << true << QString() << 0;
        QTest::newRow("each line repeated, a new one behind it, backup")
            << ClusterNodeRole::backup << true << QString() << 0;
        const char *talk = "N0CALL de K1ABC: are you there? >";
        traffic("talk every 150 ms", talk, 150);
        traffic("talk every 400 ms", talk, 400);
        traffic("talk every 700 ms", talk, 700);
        traffic("talk once", talk, 0);
        traffic("an announcement every 300 ms", "To ALL de GB7TST: QSY 9 to 14.009 -->", 300);
        traffic("WWV every 500 ms", "WWV de W0MU <18>:   SFI=68, A=3, K=1 >", 500);
        traffic("a spot, its spotter with . and @, every 400 ms",
                "DX de K1ABC.1@W1NODE:  14025.0  EA8XX  up 1 >", 400);
    }

    void promptQuestions_areBoundedPerAttempt()
    {
        QFETCH(ClusterNodeRole, role);
        QFETCH(bool, repeatsAndMovesOn);
        QFETCH(QString, traffic);
        QFETCH(int, everyMs);
        const ClusterTiming timing = fastTiming();
        ConnectionKit kit(timing);
        kit.node.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        int line = 0; // lines that differ in more than digits
        const auto sendLine = [&](bool next) {
            line += next ? 1 : 0;
            kit.node.sendText(traffic.isEmpty()
                                  ? QStringLiteral("Line %1 >\r\n").arg(QChar(u'A' + line % 26))
                                  : traffic + QStringLiteral("\r\n"));
        };
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (traffic.isEmpty())
                kit.node.sendText(QStringLiteral("Notice\r\n"));
            sendLine(true);
        });
        qint64 callsignAt = -1;
        kit.node.onLine = [&](int connection, const QString &text) {
            if (connection == 0 && callsignAt < 0) {
                callsignAt = kit.node.elapsedMs();
                sendLine(false);
                if (traffic.isEmpty() ? !repeatsAndMovesOn : everyMs > 0)
                    ticker.start(traffic.isEmpty() ? 3900 * timing.promptQuestionWait.count() / 4000
                                                   : everyMs);
            } else if (connection == 0 && text.isEmpty() && repeatsAndMovesOn) {
                sendLine(false);
                sendLine(true);
            }
        };
        kit.connection->connect(QStringLiteral("127.0.0.1"), kit.node.port(),
                                QStringLiteral("N0CALL"), {}, role, false, true,
                                ConnectionOrigin::manual);
        // Stalled, or refused once the line proved to be the prompt.
        QVERIFY(kit.waitFor([&] {
            return !kit.console().filter(QStringLiteral("Login stalled")).isEmpty() ||
                   kit.connection->clusterNodeWarning();
        }));
        const qint64 endedAfter = kit.node.elapsedMs() - callsignAt;
        ticker.stop();
        kit.settle(300);
        QVERIFY(traffic.isEmpty() || !kit.connection->clusterNodeWarning());
        QVERIFY(kit.node.countReceived(QString(), 0) <= 4);
        QVERIFY(endedAfter <=
                (timing.callsignSendWatchdog + timing.promptQuestionWait).count() + 400);
    }

    // Whatever the node had sent when the empty line went out, read or not, cannot answer it.
    void promptQuestion_aCopyUnreadWhenAskedIsNoAnswer()
    {
        ClusterTiming timing = fastTiming();
        timing.promptQuestionQuiet = 60s; // the test asks
        timing.promptQuestionWait = 60s;
        timing.callsignSendWatchdog = 60s;
        ConnectionKit kit(timing);
        const QString prompt = QStringLiteral("N0CALL de GB7TST 2044Z >");
        kit.node.setCustomPrompt(prompt);
        kit.node.setAnswersEmptyLines(false);
        kit.connectTo(kit.node, QStringLiteral("N0CALL"));
        QVERIFY(kit.waitFor(
            [&] { return ClusterConnectionTestAccess::hasLineInQuestion(*kit.connection); }));
        kit.node.sendText(prompt);
        // No event runs until the question is out: the copy waits in the kernel.
        QElapsedTimer waited;
        waited.start();
        while (!ClusterConnectionTestAccess::hasUnreadData(*kit.connection) &&
               waited.elapsed() < 2000)
            QThread::msleep(1);
        QVERIFY(ClusterConnectionTestAccess::hasUnreadData(*kit.connection));
        ClusterConnectionTestAccess::askNodeForItsPrompt(*kit.connection);
        kit.settle();
        // Taken for an answer, the copy would have drawn the second question at once.
        QCOMPARE(kit.node.countReceived(QString()), 1);
        QVERIFY(!kit.connection->clusterNodeWarning());
    }

    // The question played event by event against a clock, at full-scale timing (1 s quiet, 4 s
    // answer wait, the watchdog at 5 s). Each step is "<ms> <event> [arguments] = <result>":
    //   line <text> <readStart>  a complete line in question: wait, ask or prompt, and "answer"
    //                            when it is the node's answer
    //   asked <mark>             an empty line went out
    //   deadline                 the question's deadline passed: its decision
    //   watchdog                 the login watchdog fired: until when it waits, or none
    //   due                      the question's deadline, or none
    //   no-asking                from now on no empty line may go out
    void promptQuestion_decidesByTheEventsAndTheClock_data()
    {
        QTest::addColumn<QString>("steps");
        // Prompt at 3 s, 1.5 s each way: each answer takes a round trip of 3 s.
        QTest::newRow("slow link: the second answer is waited for")
            << "3000 line N0CALL> 10 = wait; 3000 due = 4000; 4000 deadline = ask; 4000 asked 20; "
               "5000 watchdog = 8040; 7000 line N0CALL> 30 = ask answer; 7000 asked 40; "
               "8040 watchdog = 11040; 10000 line N0CALL> 50 = prompt answer";
        // The prompt came just before the watchdog, which asks at once: the second wait is cut.
        QTest::newRow("no wait past the watchdog plus two answer waits, and no third")
            << "4500 line N0CALL> 10 = wait; 5000 deadline = ask; 5000 asked 20; "
               "5000 watchdog = 9040; 8990 line N0CALL> 30 = ask answer; 8990 asked 40; "
               "9040 watchdog = 13000; 13000 watchdog = none";
        // A new line every 3.9 s never comes back: one wait, then the attempt ends.
        QTest::newRow("a new line each time: the watchdog waits once")
            << "500 line A> 10 = wait; 1500 deadline = ask; 1500 asked 20; 4400 line B> 30 = wait; "
               "4400 due = 8400; 5000 watchdog = 8440; 8300 line C> 40 = wait; "
               "8440 watchdog = none";
        QTest::newRow("a line back once but no second question: the watchdog waits once")
            << "500 line A> 10 = wait; 1500 deadline = ask; 1500 asked 20; 4000 no-asking; "
               "4500 line A> 30 = wait answer; 5000 watchdog = 8540; 8540 watchdog = none";
        QTest::newRow("after a verdict nothing is asked or waited for")
            << "0 line A> 10 = wait; 1000 deadline = ask; 1000 asked 20; "
               "1100 line A> 30 = ask answer; 1100 asked 40; 1200 line A> 50 = prompt answer; "
               "1200 due = none; 1300 line A> 60 = wait; 1300 line B> 70 = wait; "
               "1300 due = none; 2300 deadline = wait; 5000 watchdog = none";
        // Lines that must come back ("_" stands for a blank): twice on cue, round trips alike.
        QTest::newRow("a line like talk back twice alike is the prompt")
            << "0 line N0CALL_de_GB7TST:_> 10 = wait traffic; 1000 deadline = ask; 1000 asked 20; "
               "1300 line N0CALL_de_GB7TST:_> 30 = ask answer traffic; 1300 asked 40; "
               "1650 line N0CALL_de_GB7TST:_> 50 = prompt answer";
        // Traffic every 1.5 s: the second round trip, asked in its rhythm, is its period; the
        // first, asked after a quiet, is a quiet shorter. Never named, never asked about again.
        QTest::newRow("traffic at its own pace is no prompt")
            << "0 line A<x> 10 = wait traffic; 1000 deadline = ask; 1000 asked 20; "
               "1500 line A<x> 30 = ask answer traffic; 1500 asked 40; "
               "3000 line A<x> 50 = wait traffic; 3000 due = 5500; "
               "4500 line A<x> 60 = wait traffic; 5500 deadline = wait; 5500 due = none";
        QTest::newRow("four empty lines at most")
            << "0 line A<x> 10 = wait traffic; 0 line B<x> 11 = wait traffic; "
               "0 line C<x> 12 = wait traffic; 0 line D<x> 13 = wait traffic; "
               "1000 deadline = ask; 1000 asked 20; 1100 line A<x> 30 = ask answer traffic; "
               "1100 asked 40; 1200 line B<x> 50 = ask answer traffic; 1200 asked 60; "
               "1300 line C<x> 70 = ask answer traffic; 1300 asked 80; "
               "1400 line D<x> 90 = wait answer traffic";
        QTest::newRow("seen first right behind the question: asked again once quiet")
            << "0 line MOTD<x> 10 = wait traffic; 1000 deadline = ask; 1000 asked 20; "
               "1100 line DX_de_GB7TST_1200Z_> 30 = wait traffic; "
               "1150 line DX_de_GB7TST_1200Z_> 40 = wait answer traffic; "
               "5000 deadline = ask; 5000 asked 50; "
               "5100 line DX_de_GB7TST_1200Z_> 60 = ask answer traffic; 5100 asked 70; "
               "5200 line DX_de_GB7TST_1200Z_> 80 = prompt answer";
        // A line of the other kind goes first; traffic back in its place is asked about then.
        QTest::newRow("the line in question back: traffic back with it is no prompt")
            << "0 line ---> 10 = wait; 0 line K1ABC_de_N3INJ:_> 12 = wait traffic; "
               "1000 deadline = ask; 1000 asked 20; "
               "1200 line K1ABC_de_N3INJ:_> 30 = wait answer traffic; "
               "1300 line ---> 40 = ask answer; 1300 asked 50; 1400 line ---> 60 = prompt answer";
        QTest::newRow("the line in question not back: the line back in its place is asked about")
            << "0 line ---> 10 = wait; 0 line K1ABC_de_N3INJ:_> 12 = wait traffic; "
               "1000 deadline = ask; 1000 asked 20; "
               "1200 line K1ABC_de_N3INJ:_> 30 = wait answer traffic; 5000 deadline = ask; "
               "5000 asked 40; 5200 line K1ABC_de_N3INJ:_> 50 = prompt answer";
        // The mark is where the stream stood when the empty line went out.
        QTest::newRow("a copy read before the question's mark is no answer")
            << "0 line A> 10 = wait; 1000 deadline = ask; 1000 asked 50; 1100 line A> 40 = wait; "
               "1200 line A> 50 = ask answer";
    }

    void promptQuestion_decidesByTheEventsAndTheClock()
    {
        QFETCH(QString, steps);
        PromptQuestion question;
        question.reset(1000ms, 4000ms);
        const PromptQuestion::TimePoint start{};
        const auto inMs = [&](std::optional<PromptQuestion::TimePoint> at) {
            return at ? QString::number((*at - start) / 1ms) : QStringLiteral("none");
        };
        const auto named = [](PromptQuestion::Decision decision) {
            return QStringList{"wait", "ask", "prompt"}.at(int(decision));
        };
        bool mayAsk = true;
        for (const QString &step : steps.split(QStringLiteral("; "))) {
            const QStringList words = step.section(u'=', 0, 0).trimmed().split(u' ');
            const auto now = start + std::chrono::milliseconds(words[0].toInt());
            const QString &event = words[1];
            QString result;
            if (event == QLatin1String("line")) {
                const PromptQuestion::Outcome outcome = question.noteCandidate(
                    QString(words[2]).replace(u'_', u' '), words[3].toInt(), false, now, mayAsk);
                result = named(outcome.decision) + (outcome.isAnswer ? " answer" : "") +
                         (outcome.isTraffic ? " traffic" : "");
            } else if (event == QLatin1String("asked")) {
                question.noteAsked(words[2].toInt(), now);
            } else if (event == QLatin1String("deadline")) {
                result = named(question.deadlineReached(now, mayAsk));
            } else if (event == QLatin1String("watchdog")) {
                result = inMs(question.takeWatchdogExtension(now, 40ms));
            } else if (event == QLatin1String("due")) {
                result = inMs(question.deadline());
            } else {
                QCOMPARE(event, QStringLiteral("no-asking"));
                mayAsk = false;
            }
            QVERIFY2(result == step.section(u'=', 1).trimmed(),
                     qPrintable(step + QStringLiteral(" gave ") + result));
        }
    }

    // Lines that show nothing of the line in question (passing traffic), and lines ending in ">"
    // that are the prompt only if they come back on cue.
    void promptQuestion_passingTrafficAndLinesThatMustComeBack()
    {
        const std::tuple<const char *, bool, bool> lines[] = {
            {"\a\a \a", true, true},
            {"To LOCAL de N3INJ: QSY 9 to 14.009 -->", true, true},
            {"N0CALL de K1ABC: see you on 20 m >", true, true},
            {"WWV de W0MU <18>:   SFI=68, A=3, K=1 >", true, true},
            {"DX de K1ABC.1@W1NODE:  14025.0  EA8XX  up 1 >", true, true},
            {"DX de GB7TST 2044Z >", true, true},
            {"N0CALL de GB7TST 2044Z >", false, false},
            {"(N0CALL) de GB7TST: >", false, false},
            {"N0CALL de GB7TST <2044Z> >", false, true},
            {"Enter <your name> >", false, true},
            {"=====>>", false, true},
            {"Welcome to GB7TST -->", false, false}};
        for (const auto &[line, passing, mustComeBack] : lines) {
            QVERIFY2(PromptQuestion::isPassingTraffic(QString::fromUtf8(line)) == passing, line);
            QVERIFY2(PromptQuestion::mustComeBack(QString::fromUtf8(line)) == mustComeBack, line);
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

    // The prompt tests scan in linear time; on every line built from prompt-like pieces they
    // answer as the regular expressions they replace.
    void promptPatterns_answerAsTheirRegularExpressions()
    {
        const QString call = QStringLiteral("N0CALL");
        const QString head = QStringLiteral("(?:\\(N0CALL\\)|\\bN0CALL\\b)\\s+de\\s+(?![^\\s>]*:)");
        const auto pattern = [&](const char *tail) {
            return QRegularExpression(head + QLatin1String(tail),
                                      QRegularExpression::CaseInsensitiveOption |
                                          QRegularExpression::UseUnicodePropertiesOption);
        };
        const std::array<std::pair<prompts::NodeKind, QRegularExpression>, 4> kinds{{
            {prompts::NodeKind::any, pattern("[^\\r\\n>]+\\s*>\\s*$")},
            {prompts::NodeKind::arCluster, pattern("[^\\r\\n>]+\\s+arc\\d*\\s*>\\s*$")},
            {prompts::NodeKind::ccCluster, pattern("[^\\r\\n>]+\\s+ccc\\s*>\\s*$")},
            {prompts::NodeKind::dxSpider, pattern("[^\\r\\n>]+\\bdxspider\\b\\s*>\\s*$")},
        }};
        const QRegularExpression leading = pattern("[^\\r\\n>]+\\s*>\\s*");
        const QRegularExpression generic(QStringLiteral("(?:^|[\\r\\n])[^\\r\\n>]{1,250}>\\s*$"));
        // Each line is a prompt's pieces in order, each piece picked from near misses.
        const std::array<QStringList, 11> pieces{{
            {"", "x", "(", "k1abc ", "\r\n", ">", "xn0call ", "n0call de "},
            {"N0CALL", "n0call", "(N0CALL)", "(n0call", "N0CALLx", "", "N0CALL_"},
            {" ", "  ", "\t", "", "\r\n"},
            {"de", "DE", "dx", ""},
            {" ", "  ", "   ", "", "\n ", " \r", "\t "},
            {"node", "k1abc:", "node:x", ":", "", "n0de 7-dec 1200z", "x>y", "\r\nnode", "_"},
            {" ", "", "  ", "\r\n", "\t"},
            {"", "dxspider", "DXSpider", "arc", "arc6", "ccc", "xdxspider", "_dxspider", "6"},
            {"", " ", "\r\n", "  "},
            {">", "", ">>", "> x"},
            {"", " ", "\r\n", "x", " \r\n "},
        }};
        QRandomGenerator random(20261208);
        for (int round = 0; round < 40000; ++round) {
            // The generic prompt's length limit first.
            QString text = round < 2 ? QString(250 + round, u'x') + u'>' : QString();
            for (int part = round < 2 ? 0 : random.bounded(1, 3); part > 0; --part)
                for (const QStringList &options : pieces)
                    text += options[random.bounded(int(options.size()))];
            const QByteArray shown = text.toUtf8().toPercentEncoding(" ()>:_-");
            for (const auto &[kind, regex] : kinds)
                QVERIFY2(prompts::endsInNodePrompt(text, call, kind) ==
                             regex.match(text).hasMatch(),
                         shown.constData());
            const QRegularExpressionMatch match =
                leading.match(text, 0, QRegularExpression::NormalMatch,
                              QRegularExpression::AnchorAtOffsetMatchOption);
            QVERIFY2(prompts::leadingNodePromptLength(text, call) ==
                         (match.hasMatch() ? match.capturedEnd() : 0),
                     shown.constData());
            QVERIFY2(prompts::endsInGenericPrompt(text) == generic.match(text).hasMatch(),
                     shown.constData());
        }
        // Traffic lines and the widest prompt shape, against the expressions they stand for.
        const QRegularExpression unsolicited(
            QStringLiteral(R"(^[\s\x07]*(?:[^\r\n<>]{1,250}>\s*)?(?:to\s+)?[a-z0-9/#-]+\s+de\s+)"
                           R"([a-z0-9/#-]+\s*(?:<[^<>\r\n]*>\s*)?:)"),
            QRegularExpression::CaseInsensitiveOption);
        const QRegularExpression anyPrompt(QStringLiteral("(?:^|[\\r\\n])[^\\r\\n]{1,250}>\\s*$"));
        const std::array<QStringList, 12> talk{{
            {"", " ", "\a", "\r\n ", "\t\a "},
            {"", "N0CALL de NODE 2044Z >", "x>", "<x> >", " > ", QString(248, u'y') + ">"},
            {"", "To ", "to  ", "TO\t", "tO"},
            {"ALL", "N0CALL", "K1ABC-2", "a/b#c", "", "x.y", "(N0CALL)"},
            {" ", "", "  ", "\t", "\r\n"},
            {"de", "DE", "dx", "d"},
            {" ", "", "\n ", "  "},
            {"K1ABC", "GB7TST-1", "", "N0.CALL", "@x"},
            {"", " ", "  "},
            {"", "<18>", "<18> ", "<1<8>", "<", "<\r\n>", "<>"},
            {":", "", " :", ">", "x:"},
            {"", " hello", " x >", "\r\n>"},
        }};
        for (int round = 0; round < 40000; ++round) {
            QString text;
            for (const QStringList &options : talk)
                text += options[random.bounded(int(options.size()))];
            const QByteArray shown = text.toUtf8().toPercentEncoding(" ()<>:/#@._-");
            QVERIFY2(prompts::isUnsolicitedLine(text) == unsolicited.match(text).hasMatch(),
                     shown.constData());
            QVERIFY2(prompts::endsInAnyPrompt(text) == anyPrompt.match(text).hasMatch(),
                     shown.constData());
        }
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
