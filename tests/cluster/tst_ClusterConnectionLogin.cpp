#include "ClusterConnectionTestKit.h"
#include "PromptPatterns.h"

#include <QRandomGenerator>
#include <QRegularExpression>

#include <array>
#include <climits>
#include <map>

using namespace varnello;
using namespace varnello::test;

namespace {

// The question's timing as the program has it.
PromptQuestion::Timing fullScale()
{
    const ClusterTiming timing;
    return {timing.promptQuestionQuiet, timing.promptQuestionWait, timing.promptQuestionPairSpan};
}

} // namespace

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

    // Nothing goes to a node that waits for a password that is not configured, not even the
    // question about a line of its greeting: it would take an empty line for the password.
    void password_missingStopsTheLoginWithItsTexts()
    {
        ConnectionKit kit;
        kit.node.setPassword(QStringLiteral("secret"));
        kit.node.setGreeting({QStringLiteral("Welcome to GB7TST -->\r\n")}, 0);
        kit.node.setGreetingBeforePassword(true);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor(
            [&] { return kit.connection->loginState() == LoginState::waitingForPasswordPrompt; }));
        QCOMPARE(kit.connection->statusText(),
                 QStringLiteral("Password required but none configured"));
        QVERIFY(kit.consoleHas(
            QStringLiteral("The node requested a password, but no password is configured.")));
        kit.settle(int(4 * kit.connection->timing().promptQuestionQuiet.count()));
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
        QTest::addColumn<ClusterNodeRole>("role");
        for (const ClusterNodeRole role : {ClusterNodeRole::primary, ClusterNodeRole::backup}) {
            const char *on = role == ClusterNodeRole::primary ? "" : ", backup";
            QTest::addRow("AR-Cluster%s", on)
                << FakeClusterNode::Kind::ARCluster << ClusterNodeType::arCluster
                << QStringLiteral("AR-Cluster") << role;
            QTest::addRow("other prompt%s", on)
                << FakeClusterNode::Kind::Other << ClusterNodeType::other
                << QStringLiteral("unknown cluster type") << role;
            QTest::addRow("e-mail question%s", on)
                << FakeClusterNode::Kind::EmailQuestion << ClusterNodeType::other
                << QStringLiteral("unknown cluster type") << role;
        }
    }

    // On the primary node the warning sheet says what the node is; a backup node that names
    // itself ends the attempts at once with an alert that says so, never waiting for the login
    // watchdog nor trying the node again.
    void unsupportedNodes_areDisconnectedWithoutReconnect()
    {
        QFETCH(FakeClusterNode::Kind, kind);
        QFETCH(ClusterNodeType, type);
        QFETCH(QString, typeText);
        QFETCH(ClusterNodeRole, role);
        ClusterTiming timing = fastTiming();
        timing.callsignSendWatchdog = 60s;
        ConnectionKit kit(timing);
        kit.node.setKind(kind);
        kit.connection->setIsConnectionSequenceActive(true);
        const bool primary = role == ClusterNodeRole::primary;
        kit.connection->connect(QStringLiteral("127.0.0.1"), kit.node.port(),
                                QStringLiteral("N0CALL"), {}, role, false, true,
                                primary ? ConnectionOrigin::manual : ConnectionOrigin::failover);
        QVERIFY(kit.waitFor([&] {
            return kit.connection->clusterNodeWarning() ||
                   kit.connection->autoReconnectController().alert();
        }));
        const QString found =
            typeText + QStringLiteral(" detected on 127.0.0.1:%1").arg(kit.node.port());
        if (!primary)
            QCOMPARE(*kit.connection->autoReconnectController().alert(),
                     AutoReconnectAlert::allClustersUnavailable(
                         found + QStringLiteral(", not supported by Varnello")));
        QCOMPARE(kit.connection->clusterNodeWarning().has_value(), primary);
        QCOMPARE(kit.connection->statusText(),
                 primary ? QStringLiteral("Unsupported DX Cluster node")
                         : QStringLiteral("Primary and backup clusters unavailable — attempts "
                                          "stopped (%1, not supported by Varnello)")
                               .arg(found));
        QCOMPARE(kit.connection->loginState(), LoginState::failed);
        QCOMPARE(kit.connection->detectedNodeType(), type);
        QVERIFY(!kit.connection->isConnected());
        QVERIFY(!kit.connection->isConnectionSequenceActive());
        QVERIFY(kit.consoleHas(found + QStringLiteral(". Varnello does not support this node.")));
        QVERIFY(kit.waitFor([&] { return kit.node.openConnectionCount() == 0; }));
        kit.settle(500); // several reconnect delays
        QCOMPARE(kit.node.connectionCount(), 1);
        QCOMPARE(kit.connection->autoReconnectController().alert().has_value(), !primary);
    }

    // After the callsign, a known prompt logs in. A line ending in ">" of no known type is asked
    // about with two empty lines once the node went quiet: the line that comes back twice
    // together is the node's prompt. On a node whose greeting announced DXSpider it is the
    // prompt its user set, and the login goes on with it through the steps to the operator's
    // commands; elsewhere the warning names it. More greeting, copies within one read and a known
    // prompt log in. Always on one connection, with no stall, every line the node sent shown,
    // and the answers owed at the login end no step however late they come.
    void promptAfterTheCallsign_data()
    {
        QTest::addColumn<QString>("prompt");       // "%1": the callsign, "%2": a moving number
        QTest::addColumn<QStringList>("greeting"); // the node's writes before its prompt
        QTest::addColumn<int>("pauseMs");          // between those writes and before the prompt
        // -1: spots from the callsign on; -2: announcements worded anew every 100 ms; > 0: one
        // announcement ending in "-->" this often
        QTest::addColumn<int>("traffic");
        QTest::addColumn<int>("answerMs");       // the node's answer delay (-1: no answer to "")
        QTest::addColumn<QString>("password");   // configured
        QTest::addColumn<bool>("passwordAsked"); // after the greeting
        QTest::addColumn<QString>("named");      // the prompt the question found ("": none)
        QTest::addColumn<bool>("loggedIn");      // else the warning names the prompt
        QTest::addColumn<int>("questions");      // empty lines the node receives
        // A user logs in or out this often from the callsign on (a busy node, set/logininfo).
        QTest::addColumn<int>("noticeMs");
        QTest::addColumn<QString>("typed"); // by the operator just after the callsign
        const QString own = QStringLiteral("%1 de GB7TST 2044Z >");
        const QString ownSent = own.arg(QStringLiteral("N0CALL"));
        const QString spider = QStringLiteral("%1 de GB7TST 2044Z dxspider >");
        const QString spot = FakeClusterNode::spotLine(1) + QStringLiteral("\r\n");
        const QStringList motd{QStringLiteral("Type HELP for help >"), QStringLiteral("\r\n")};
        const auto add = [](const char *name, const QString &prompt, const QStringList &greeting,
                            int pauseMs, int answerMs, const QString &named, int questions,
                            int traffic = 0, const QString &password = {}) {
            QTest::newRow(name) << prompt << greeting << pauseMs << traffic << answerMs << password
                                << !password.isEmpty() << named << named.isEmpty() << questions << 0
                                << QString();
        };
        // A DXSpider node (its greeting says so, in any language) with a prompt its user set.
        const QStringList hello{QStringLiteral("Hello N0CALL, this is GB7TST in Testland\r\n"
                                               "running DXSpider V1.57 build 441\r\n")};
        const QStringList hallo{
            QStringLiteral("Hallo N0CALL, dit is GB7TST in Hull met DXSpider V1.57\r\n")};
        const auto user = [](const char *name, const QString &prompt, const QStringList &greeting,
                             int pauseMs, int answerMs, const QString &named, int traffic = 0,
                             const QString &password = {}, bool asked = true, int questions = -1) {
            QTest::newRow(name) << prompt << greeting << pauseMs << traffic << answerMs << password
                                << (asked && !password.isEmpty()) << named << true
                                << (questions >= 0    ? questions
                                    : named.isEmpty() ? 0
                                                      : 2)
                                << 0 << QString();
        };
        const auto busy = [&hello](const char *name, const QString &prompt, const QString &named,
                                   int noticeMs, const QString &typed = {}) {
            QTest::newRow(name) << prompt + "\r\n"
                                << hello << 0 << 0 << 0 << QString() << false << named << true
                                << (named.isEmpty() ? 0 : 2) << noticeMs << typed;
        };
        add("own prompt", own, {}, 0, 0, ownSent, 2);
        add("own prompt, line break", own + "\r\n", {}, 0, 0, ownSent, 2);
        add("own prompt, spots behind", own + "\r\n", {}, 0, 0, ownSent, 2, -1);
        add("own prompt, its time moving on", "%1 de GB7TST 20%2Z >", {}, 0, 0,
            "N0CALL de GB7TST 200Z >", 2);
        add("own prompt without de", "%1 on GB7TST >\r\n", {}, 0, 0, "N0CALL on GB7TST >", 2);
        add("own prompt, an announcement before the late answer", own, {}, 0, 500, ownSent, 2, 300);
        add("own prompt, announcements, no answer to an empty line", own, {}, 0, -1, ownSent, 2,
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
            400, 0, "", 2);
        add("greeting held up after a line ending in > and its break, logs in",
            "Cluster news\r\n" + spider, {motd.join(QString())}, 400, 0, "", 2);
        // Lines alike within one greeting, or in one read, are no answer.
        add("lines alike in one read, logs in", spider,
            {"Telnet port 7300 >\r\nTelnet port 7373 "
             ">\r\n----->\r\n----->\r\n=====>\r\n\r\n=====>\r\n"},
            400, 0, "", 2);
        add("a separator, a blank line and the separator 20 ms later, logs in", spider,
            {"=====>\r\n", "\r\n=====>\r\n"}, 20, 0, "", 0);
        add("numbered lines, the third in the read of the second, logs in", spider,
            {"Link 1 ---->\r\n", "Link 2 ---->\r\nLink 3 ---->\r\n"}, 400, 0, "", 2);
        add("a line that begins with the line in question, logs in", spider,
            {"-->\r\n", "--> Visit our web site\r\n"}, 400, 0, "", 2);
        // An answer later than the answer wait ends no step: 6 s at full scale.
        add("answer much later than the answer wait, logs in", spider, motd, 400, 1500, "", 2);
        add("no answer to an empty line, logs in", spider, motd, 400, -1, "", 2);
        // A node that reads its lines in order would take an empty line for the password.
        add("a line ending in > before the password question, logs in", spider,
            {"Welcome to GB7TST -->\r\n"}, 400, 0, "", 0, 0, QStringLiteral("s3cret"));
        add("a line ending in > and the password question 1225 ms after it, logs in", spider,
            {"Welcome to GB7TST -->\r\n"}, 1225, 0, "", 0, 0, QStringLiteral("s3cret"));
        add("unknown prompt ignoring empty lines, announcements worded anew", "GB7TST>", {}, 0, -1,
            "GB7TST>", 2, -2);
        // Talk that mentions a password is no question for it.
        user("a password in an announcement before the prompt, logs in", spider,
             {"To ALL de K1ABC: the net password: see the web page\r\n"}, 20, 0, "", 0,
             QStringLiteral("s3cret"), false);
        const QString password = QStringLiteral("s3cret");
        user("DXSpider, own prompt like talk", talk, hello, 0, 0, talkSent);
        user("DXSpider in Dutch, own prompt with the time in brackets", "%1 de GB7TST <20%2Z> >",
             hallo, 0, 0, "N0CALL de GB7TST <200Z> >");
        user("DXSpider, own prompt of a > alone", ">", hello, 0, 0, ">");
        user("DXSpider, own prompt like talk among announcements worded anew", talk, hello, 0, 0,
             talkSent, -2);
        user("DXSpider, own prompt like talk, the answers held with traffic that is shown", talk,
             hello, 0, 400, talkSent, 300);
        user("DXSpider, own prompt like talk behind a slow link",
             "running DXSpider V1.57\r\n" + talk, {QString()}, 900, 900, talkSent);
        user("DXSpider, own prompt like talk just before the watchdog, answer after it", talk,
             {hello.first(), "Please wait\r\n"}, 650, 300, talkSent);
        user("DXSpider, own prompt like talk after the password", talk, hello, 0, 0, talkSent, 0,
             password);
        user("DXSpider, own prompt like talk, a password configured the node never asks for", talk,
             hello, 0, 0, talkSent, 0, password, false);
        // Its date moves on after the login, and the day's width with it.
        user("DXSpider, own prompt with the date, the 9th to the 10th",
             "%1 de GB7TST: %3-Dec-2026 1200Z >", hello, 0, 0,
             "N0CALL de GB7TST:  8-Dec-2026 1200Z >");
        user("DXSpider, own prompt with the date right behind a colon, the 9th to the 10th",
             "%1@GB7TST:%3-Dec-2026>", hello, 0, 0, "N0CALL@GB7TST: 8-Dec-2026>");
        // Learned without the blank that pads the day: from the 10th on each copy is longer.
        user("DXSpider, own prompt of the date and time alone, the 9th to the 10th",
             "%3-Dec-2026 1200Z >\r\n", hello, 0, 0, "8-Dec-2026 1200Z >");
        // A slow DXSpider node: it answers the empty lines after the answer wait (10 s at full
        // scale; the second pair goes out meanwhile), or the rest of its greeting comes then.
        user("DXSpider, own prompt answered 2500 ms late", own, hello, 0, 2500, ownSent, 0, {},
             true, 4);
        user("DXSpider, own prompt never answered", own, hello, 0, -1, ownSent, 0, {}, true, 4);
        user("DXSpider, own prompt like talk among announcements worded anew, answered 1900 ms "
             "late",
             talk, hello, 0, 1900, talkSent, -2, {}, true, 4);
        user("DXSpider, own prompt behind a greeting still coming at the watchdog", own,
             {hello.first(), "New user: set/name <your name>\r\n", "Please set your QTH\r\n"}, 700,
             0, ownSent, 0, {}, true, 4);
        user("DXSpider, a greeting line ending in > and the standard prompt 1750 ms behind it",
             spider, {hello.first() + "Type HELP for help >\r\n"}, 1750, 0, "", 0, {}, true, 4);
        // Every 0.5 s and 1.5 s at full scale: a notice always comes within the answers' check,
        // and more often than the quiet.
        const QString typed = QStringLiteral("sh/dx 3");
        busy("DXSpider, own prompt of a > alone, a user logs in every 125 ms, a command typed", ">",
             ">", 125, typed);
        busy("DXSpider, own prompt of a > alone, a user logs in every 375 ms", ">", ">", 375);
        busy("DXSpider, own prompt call de node, a user logs in every 125 ms, a command typed",
             "%1 de GB7TST >", "N0CALL de GB7TST >", 125, typed);
        busy("DXSpider, own prompt call de node, a user logs in every 375 ms", "%1 de GB7TST >",
             "N0CALL de GB7TST >", 375);
        busy("DXSpider, own prompt with the date, a user logs in every 125 ms, a command typed",
             "%1@GB7TST:%3-Dec-2026>", "N0CALL@GB7TST: 8-Dec-2026>", 125, typed);
        busy("DXSpider, own prompt with the date, a user logs in every 375 ms",
             "%1@GB7TST:%3-Dec-2026>", "N0CALL@GB7TST: 8-Dec-2026>", 375);
        busy("DXSpider, standard prompt, a user logs in every 125 ms, a command typed",
             "%1 de GB7TST  9-Dec-2026 1200Z dxspider >", "", 125, typed);
    }

    void promptAfterTheCallsign()
    {
        QFETCH(QString, prompt);
        QFETCH(QStringList, greeting);
        QFETCH(int, pauseMs);
        QFETCH(int, traffic);
        QFETCH(int, answerMs);
        QFETCH(QString, password);
        QFETCH(bool, passwordAsked);
        QFETCH(QString, named);
        QFETCH(bool, loggedIn);
        QFETCH(int, questions);
        QFETCH(int, noticeMs);
        QFETCH(QString, typed);
        ClusterTiming timing = fastTiming();
        timing.callsignSendWatchdog = 1500ms;
        timing.stepReplyTimeout = 4s; // as at full scale, well over the late answers
        ConnectionKit kit(timing);
        kit.node.setCustomPrompt(prompt);
        // After commands, the prompt alone.
        const QString commandPrompt =
            prompt.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts).last();
        if (loggedIn) // a notice behind a prompt comes after its line break, as on DXSpider
            kit.node.setCommandPrompt(noticeMs > 0 ? commandPrompt + "\r\n" : commandPrompt);
        kit.node.setGreeting(greeting, pauseMs);
        kit.node.setPassword(passwordAsked ? password : QString());
        kit.node.setGreetingBeforePassword(passwordAsked);
        kit.node.setAnswersEmptyLines(answerMs >= 0);
        kit.node.setReplyDelayFor(QString(), std::max(answerMs, 0));
        kit.node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No"),
                                                      QStringLiteral("Want RBN Beacon : No")});
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand),
                          {spotLineFor(QStringLiteral("OLD1"))});
        // The back-fill's listing ends at its prompt, whatever follows it; a spot behind the
        // prompt it was asked for at is live.
        kit.node.setLinesBehindPrompt(
            QString(ClusterConnection::recentSpotsCommand),
            {QStringLiteral("New mail has arrived for you"), spotLineFor(QStringLiteral("LIVE1"))});
        kit.node.setLinesBehindPrompt(QStringLiteral("sh/filter"),
                                      {spotLineFor(QStringLiteral("LIVE0"))});
        const QString announcement = QStringLiteral("To LOCAL de N3INJ: QSY 9 to 14.009 -->");
        int announcements = 0;
        QTimer chatter;
        QObject::connect(&chatter, &QTimer::timeout, [&] {
            QString news; // worded anew each time: "news b -->", "news c -->", ...
            for (int n = ++announcements; n > 0; n /= 26)
                news += QChar(u'a' + n % 26);
            kit.node.sendLine(traffic > 0
                                  ? announcement
                                  : QStringLiteral("To ALL de K1ABC: news %1 -->").arg(news));
        });
        QStringList notices;
        QTimer noticeTimer;
        QObject::connect(&noticeTimer, &QTimer::timeout, [&] {
            if (kit.connection->isLoggedIn())
                return; // what a step makes of a notice is not the login's
            notices.append(QStringLiteral("User K%1ABC has logged in").arg(notices.size()));
            kit.node.sendLine(notices.constLast());
        });
        kit.node.onLine = [&](int, const QString &line) {
            if (traffic == -1) // never a moment's silence after the prompt
                kit.node.startSpotStream(50);
            else if (traffic != 0 && !chatter.isActive())
                chatter.start(traffic > 0 ? traffic : 100);
            if (noticeMs > 0 && !noticeTimer.isActive() && line == QLatin1String("N0CALL")) {
                noticeTimer.start(noticeMs);
                if (!typed.isEmpty())
                    QTimer::singleShot(100, kit.connection.get(),
                                       [&] { kit.connection->sendUserCommand(typed); });
            }
        };
        kit.connectTo(kit.node, QStringLiteral("N0CALL"), password);
        QVERIFY(kit.waitFor(
            [&] { return kit.connection->isLoggedIn() || kit.connection->clusterNodeWarning(); }));
        kit.node.stopSpotStream();
        chatter.stop();
        noticeTimer.stop();
        kit.settle(700);
        QCOMPARE(kit.node.connectionCount(), 1);
        const QStringList console = kit.console();
        QVERIFY(console.filter(QStringLiteral("Login stalled")).isEmpty());
        // Each notice during the login is shown once, whatever the login made of the lines around
        // it.
        for (const QString &notice : std::as_const(notices))
            QVERIFY2(console.count(notice) == 1, qPrintable(notice));
        // A line typed during the login goes out once the login and its steps are done.
        if (!typed.isEmpty()) {
            QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(typed); }));
            QVERIFY(
                kit.node.receivedLines().indexOf(typed) >
                kit.node.receivedLines().indexOf(QString(ClusterConnection::recentSpotsCommand)));
        }
        QCOMPARE(kit.connection->isLoggedIn(), loggedIn);
        QCOMPARE(kit.connection->detectedNodeType(),
                 loggedIn ? ClusterNodeType::dxSpider : ClusterNodeType::other);
        QCOMPARE(kit.connection->clusterNodeWarning().has_value(), !loggedIn);
        // Every greeting line is one console line, however the reads cut it.
        for (const QString &line : greeting.join(QString()).split(QStringLiteral("\r\n")))
            QVERIFY2(line.trimmed().isEmpty() || kit.consoleHas(line), qPrintable(line));
        // The warning names the prompt; a DXSpider node's own prompt is named once, as it is.
        const QStringList naming = console.filter(loggedIn ? QStringLiteral("(set with set/prompt)")
                                                           : QStringLiteral("unset/prompt"));
        QCOMPARE(naming.size(), named.isEmpty() ? 0 : 1);
        if (!named.isEmpty()) {
            QVERIFY(naming.first().contains(u'"' + named + u'"'));
            // The node's answers, the prompt once more, are not shown again.
            const QStringList before = console.mid(0, console.indexOf(naming.first()));
            QCOMPARE(std::count_if(before.begin(), before.end(),
                                   [&](const QString &line) { return line.trimmed() == named; }),
                     1);
        }
        QCOMPARE(kit.node.countReceived(QString()), questions);
        if (loggedIn) {
            // The callsign, then the password only when asked, and each step's reply goes to its
            // own step.
            QCOMPARE(kit.node.loginPassword(), passwordAsked ? password : QString());
            QVERIFY(passwordAsked || password.isEmpty() || !kit.node.hasReceived(password));
            QVERIFY(kit.waitFor([&] { return kit.spotCalls().contains(QStringLiteral("OLD1")); }));
            QVERIFY(std::none_of(kit.liveSpots.begin(), kit.liveSpots.end(), [](const DXSpot &s) {
                return s.callsign == QStringLiteral("OLD1");
            }));
            for (const QString &live : {QStringLiteral("LIVE0"), QStringLiteral("LIVE1")})
                QVERIFY2(std::any_of(kit.liveSpots.begin(), kit.liveSpots.end(),
                                     [&](const DXSpot &s) { return s.callsign == live; }),
                         qPrintable(live));
            QVERIFY(kit.consoleHas(QStringLiteral("New mail has arrived for you")));
            QVERIFY(kit.connection->rbnStatusKnown());
            QVERIFY(kit.console().filter(QStringLiteral("Want RBN")).isEmpty());
            // From here the node answers about 10 ms after each command, as DXSpider does.
            kit.node.setReplyDelay(10);
            // The operator's commands and the RBN refresh behind them end at the prompt, and the
            // refresh goes out at once: what the node sends behind its prompt never holds it up
            // (till the step's time-out, 4 s) and is shown (a spot listed), never taken for the
            // refresh's reply. A quoted line of a message is a line of the reply, whatever the
            // prompt: an empty line, a spot and an announcement quoted behind a prompt of ">"
            // alone too, also as the message's last line.
            int refreshes = 1;
            const auto commandsThenRefresh = [&](const QStringList &commands) {
                const qsizetype received = kit.node.received().size();
                for (const QString &command : commands)
                    if (!kit.connection->sendUserCommand(command))
                        return false;
                kit.connection->requestRBNStatus(false);
                ++refreshes;
                if (!kit.waitFor(
                        [&] {
                            return kit.node.countReceived(QStringLiteral("stat/us")) == refreshes &&
                                   !kit.connection->rbnStatusLoading();
                        },
                        4000))
                    return false;
                // From the first command to the refresh at the node: the replies, 10 ms each,
                // and what the program took to see the prompts.
                const QList<FakeClusterNode::Received> log = kit.node.received().mid(received);
                const qint64 took = log.constLast().msecs - log.constFirst().msecs;
                qInfo("%s: refresh %lld ms after the command", qPrintable(commands.join(", ")),
                      took);
                return took < 2000 && kit.connection->rbnStatusKnown() &&
                       kit.console().filter(QStringLiteral("Want RBN")).isEmpty();
            };
            const QString quotedSpot = u'>' + spotLineFor(QStringLiteral("EA8XX"));
            const QStringList message{QStringLiteral("8-Dec-2026 1200Z"),
                                      QStringLiteral("> Tom wrote: hello"),
                                      QStringLiteral(">"),
                                      quotedSpot,
                                      QStringLiteral(">To ALL de G4ABC: contest this weekend"),
                                      QStringLiteral("> the band was open to EA8 at 1200Z"),
                                      QStringLiteral("73 Bob")};
            kit.node.setReply(QStringLiteral("read"), message);
            QVERIFY(commandsThenRefresh({QStringLiteral("read")}));
            for (const QString &line : message)
                QVERIFY2(kit.consoleHas(line), qPrintable(line));
            // A spot right behind the prompt, in the same write, is a spot, with its alert, and
            // the prompt still ends the reply; a line of the node's own behind the spot changes
            // nothing. Only where the node's prompts come without a line break: behind one that
            // has ended them with a break all along, ">DX de" is a quoted spot.
            const QString login = QStringLiteral("User K1ABC has logged in");
            if (noticeMs == 0)
                kit.node.setCommandPrompt(commandPrompt + spotLineFor(QStringLiteral("GLUED1")) +
                                          "\r\n");
            kit.node.setLinesBehindPrompt(QStringLiteral("read"), {login});
            QVERIFY(commandsThenRefresh({QStringLiteral("read")}));
            QVERIFY(noticeMs > 0 ||
                    std::any_of(kit.liveSpots.begin(), kit.liveSpots.end(), [](const DXSpot &s) {
                        return s.callsign == QStringLiteral("GLUED1");
                    }));
            QVERIFY(kit.consoleHas(login));
            QVERIFY(kit.console().filter(QStringLiteral("No recognised prompt")).isEmpty());
            // From here the prompt ends in a line break, as DXSpider's does. A message may end in
            // a quoted line right before it. Behind it come lines of the node's own accord (in
            // the user's language, too), a search's result (the prompt comes first), and the
            // second of two commands read together, answered in the same write.
            kit.node.setCommandPrompt(commandPrompt + "\r\n");
            kit.node.setReply(QStringLiteral("read 2"),
                              {QStringLiteral("> see you"), QStringLiteral(">")});
            kit.node.setReply(QStringLiteral("read 3"),
                              {QStringLiteral("> the spot was"), quotedSpot});
            const QStringList notices{login, QStringLiteral("Buddy G4ABC has logged in at GB7XYZ"),
                                      QStringLiteral("New mail has arrived for you"),
                                      QStringLiteral("User K1ABC hat eingeloggt")};
            const QStringList found{
                QStringLiteral(" 14025.0  K1ABC        8-Dec-2026 1130Z  CW 599     <W1AW>"),
                QStringLiteral("  7255.0  K1ABC        8-Dec-2026 1102Z  LSB        <G4ABC>")};
            kit.node.setLinesBehindPrompt(QStringLiteral("sh/dx 5"), notices);
            kit.node.setLinesBehindPrompt(QStringLiteral("sh/dx k1abc"), found);
            kit.node.setLinesBehindPrompt(QStringLiteral("stat/us"), notices.mid(1, 1));
            kit.node.setReply(QStringLiteral("sh/dx 1"), {QStringLiteral("first reply")});
            kit.node.setReply(QStringLiteral("sh/dx 2"), {QStringLiteral("second reply")});
            for (const QStringList &commands :
                 {QStringList{QStringLiteral("read 2")}, QStringList{QStringLiteral("read 3")},
                  QStringList{QStringLiteral("sh/dx 5")},
                  QStringList{QStringLiteral("sh/dx K1ABC")},
                  QStringList{QStringLiteral("sh/dx 1"), QStringLiteral("sh/dx 2")}})
                QVERIFY2(commandsThenRefresh(commands), qPrintable(commands.join(u',')));
            for (const QString &line :
                 notices + found +
                     QStringList{QStringLiteral("> see you"), QStringLiteral("first reply"),
                                 QStringLiteral("second reply")})
                QVERIFY2(kit.consoleHas(line), qPrintable(line));
            QCOMPARE(kit.console().count(quotedSpot), 3); // "read" twice, then "read 3"
            QVERIFY(!kit.spotCalls().contains(QStringLiteral("EA8XX")));
            // The link cuts a reply into two reads anywhere, also right after a quoted line, and
            // the refresh may then go out before the reply ended; so may a second command typed
            // before the first reply came. Every line of the replies is shown, each once, and the
            // refresh still finds its status. Behind the prompt a notice, and the status comes
            // with one before it.
            const QStringList quoted{QStringLiteral("> hi"), QStringLiteral(">"),
                                     QStringLiteral(">To ALL de K1ABC: hi"), QStringLiteral("73")};
            const QStringList wwv{
                QStringLiteral(" Date        Hour   SFI   A   K Forecast              Logger"),
                QStringLiteral(" 8-Dec-2026   18   150   5   2 No Storms -> No Storms <W0MU>")};
            kit.node.setReply(QStringLiteral("read 4"), quoted);
            kit.node.setReply(QStringLiteral("sh/wwv"), wwv);
            kit.node.setLinesBehindPrompt(QStringLiteral("sh/wwv"), notices.mid(2, 1));
            kit.node.setReply(QStringLiteral("stat/us"),
                              {notices.constLast(), QStringLiteral("Want RBN Spots : No"),
                               QStringLiteral("Want RBN Beacon : No")});
            const qsizetype replyBytes = quoted.join(QString()).size() + 2 * quoted.size() + 2;
            for (const bool twoOwed : {false, true}) {
                for (int at = 1; at <= replyBytes; ++at) {
                    kit.node.setReplyCut(QStringLiteral("read 4"), at, 10);
                    const qsizetype before = kit.connection->lines().size();
                    QStringList commands{QStringLiteral("read 4")};
                    if (twoOwed)
                        commands.append(QStringLiteral("sh/wwv"));
                    QVERIFY2(commandsThenRefresh(commands), qPrintable(QString::number(at)));
                    const QStringList shown = kit.console().mid(before);
                    for (const QString &line :
                         (twoOwed ? quoted + wwv + notices.mid(2, 1) : quoted) + notices.mid(3))
                        QVERIFY2(line == QStringLiteral(">") ? shown.contains(line)
                                                             : shown.count(line) == 1,
                                 qPrintable(QStringLiteral("%1 cut at %2").arg(line).arg(at)));
                }
            }
            // A prompt the node sends unasked (after 11 minutes idle), cut by the link, with the
            // refresh asked for between its two reads: that prompt ends nothing.
            QString unasked = commandPrompt;
            unasked.replace(QStringLiteral("%1"), QStringLiteral("N0CALL"))
                .replace(QStringLiteral("%2"), QStringLiteral("9"))
                .replace(QStringLiteral("%3"), QStringLiteral(" 9"));
            const qsizetype half = std::max<qsizetype>(1, unasked.size() / 2);
            chatter.stop(); // the node writes its prompt at once, with nothing in between
            kit.node.sendText(unasked.first(half));
            ConnectionKit::settle(30);
            const auto onLine = std::exchange(kit.node.onLine, [&](int, const QString &line) {
                if (line == QStringLiteral("stat/us"))
                    kit.node.sendText(unasked.sliced(half) + QStringLiteral("\r\n"));
            });
            QVERIFY(commandsThenRefresh({}));
            kit.node.onLine = onLine;
            // Every announcement is shown, those held with the answers too.
            if (traffic > 0)
                QCOMPARE(kit.console().count(announcement), announcements);
            // The operator sets a prompt of ">" alone: the node says so and sends it at once, and
            // from there it ends every reply, the Refreshes behind it too, at once.
            if (noticeMs > 0) {
                const QString setPrompt = QStringLiteral("set/prompt >");
                kit.node.setReply(setPrompt, {QStringLiteral("Prompt is changed")});
                kit.node.onLine = [&](int, const QString &line) {
                    if (line == setPrompt)
                        kit.node.setCommandPrompt(QStringLiteral(">\r\n"));
                };
                QVERIFY(commandsThenRefresh({setPrompt}));
                QVERIFY(commandsThenRefresh({}));
                QVERIFY(commandsThenRefresh({QStringLiteral("sh/dx 1")}));
            }
        }
    }

    // A node that never lets a line be judged: each attempt still ends within the login watchdog
    // plus one quiet, one answer wait and a pair's check, with at most four empty lines, on
    // either role, after the callsign or the password. Traffic ending in ">" at its own pace,
    // even or uneven, faster or slower than the quiet and the answer wait, is never named, and
    // every line of it is shown however the attempt ends.
    void promptQuestions_areBoundedPerAttempt_data()
    {
        QTest::addColumn<ClusterNodeRole>("role");
        QTest::addColumn<bool>("repeatsAndMovesOn"); // else: a new line and text every interval
        // Else "Line <letter> >"; "%1" is a number that moves on with each sending.
        QTest::addColumn<QString>("traffic");
        QTest::addColumn<QList<int>>("everyMs"); // the pauses, over and over (empty: once)
        QTest::addColumn<bool>("afterPassword");
        const auto traffic = [](const char *name, const char *line, QList<int> everyMs,
                                bool afterPassword = false) {
            QTest::newRow(name) << ClusterNodeRole::primary << false << QString::fromUtf8(line)
                                << everyMs << afterPassword;
        };
        QTest::newRow("new line and text every 975 ms")
            << ClusterNodeRole::primary << false << QString() << QList<int>{} << false;
        QTest::newRow("each line repeated, a new one behind it")
            << ClusterNodeRole::primary << true << QString() << QList<int>{} << false;
        QTest::newRow("each line repeated, a new one behind it, backup")
            << ClusterNodeRole::backup << true << QString() << QList<int>{} << false;
        const char *talk = "N0CALL de K1ABC: are you there? >";
        traffic("talk every 150 ms", talk, {150});
        traffic("talk every 400 ms", talk, {400});
        traffic("talk every 700 ms", talk, {700});
        traffic("talk once", talk, {});
        // 3 s, then 2 s apart at full scale.
        traffic("talk 750 ms, then 500 ms apart", talk, {750, 500});
        traffic("an announcement every 300 ms", "To ALL de GB7TST: QSY 9 to 14.009 -->", {300});
        traffic("WWV every 500 ms", "WWV de W0MU <18>:   SFI=68, A=3, K=1 >", {500});
        traffic("a spot, its spotter with . and @, every 400 ms",
                "DX de K1ABC.1@W1NODE:  14025.0  EA8XX  up 1 >", {400});
        // 2.0, 3.0 and 3.9 s at full scale.
        traffic("lines alike but for a number every 500 ms, after the password", "Line %1 >", {500},
                true);
        traffic("lines alike but for a number every 750 ms, after the password", "Line %1 >", {750},
                true);
        traffic("lines alike but for a number every 975 ms, after the password", "Line %1 >", {975},
                true);
    }

    void promptQuestions_areBoundedPerAttempt()
    {
        QFETCH(ClusterNodeRole, role);
        QFETCH(bool, repeatsAndMovesOn);
        QFETCH(QString, traffic);
        QFETCH(QList<int>, everyMs);
        QFETCH(bool, afterPassword);
        const ClusterTiming timing = fastTiming();
        ConnectionKit kit(timing);
        const QString password = QStringLiteral("s3cret");
        if (afterPassword) { // the prompt never comes after the password
            kit.node.setPassword(password);
            kit.node.setGreeting({QString()}, 60000);
        } else {
            kit.node.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        }
        QStringList sent;
        QList<qint64> sentAt;
        const auto sendLine = [&](bool next) {
            const QString line =
                !traffic.isEmpty()
                    ? traffic.contains(QLatin1String("%1")) ? traffic.arg(sent.size() + 1) : traffic
                    : QStringLiteral("Line %1 >")
                          .arg(QChar(char16_t(u'A' + (sent.size() + next) % 26)));
            // A line sent once waits for its line break, as a prompt would.
            if (everyMs.isEmpty() && !traffic.isEmpty())
                kit.node.sendText(line);
            else
                kit.node.sendLine(line);
            sent.append(line);
            sentAt.append(kit.node.elapsedMs());
        };
        QTimer ticker;
        int tick = 0;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (traffic.isEmpty())
                kit.node.sendText(QStringLiteral("Notice\r\n"));
            sendLine(true);
            if (!everyMs.isEmpty())
                ticker.start(everyMs[++tick % everyMs.size()]);
        });
        qint64 startedAt = -1;
        kit.node.onLine = [&](int connection, const QString &text) {
            if (connection == 0 && startedAt < 0 && (!afterPassword || text == password)) {
                startedAt = kit.node.elapsedMs();
                sendLine(false);
                if (traffic.isEmpty() && !repeatsAndMovesOn)
                    ticker.start(3900 * timing.promptQuestionWait.count() / 4000);
                else if (!everyMs.isEmpty())
                    ticker.start(everyMs.first());
            } else if (connection == 0 && text.isEmpty() && repeatsAndMovesOn) {
                sendLine(false);
                sendLine(true);
            }
        };
        kit.connection->connect(QStringLiteral("127.0.0.1"), kit.node.port(),
                                QStringLiteral("N0CALL"), afterPassword ? password : QString(),
                                role, false, true, ConnectionOrigin::manual);
        // Stalled, or refused once the line proved to be the prompt (a backup node at once).
        QVERIFY(kit.waitFor([&] {
            return !kit.console().filter(QStringLiteral("Login stalled")).isEmpty() ||
                   kit.connection->clusterNodeWarning() ||
                   kit.connection->autoReconnectController().alert();
        }));
        const qint64 endedAt = kit.node.elapsedMs();
        const qint64 endedAfter = endedAt - startedAt;
        ticker.stop();
        kit.settle(300);
        QVERIFY(traffic.isEmpty() || (!kit.connection->clusterNodeWarning() &&
                                      !kit.connection->autoReconnectController().alert()));
        QVERIFY(kit.node.countReceived(QString(), 0) <= 4);
        QVERIFY(endedAfter <= (timing.callsignSendWatchdog + timing.promptQuestionQuiet +
                               timing.promptQuestionWait + timing.promptQuestionPairSpan * 3 / 2)
                                      .count() +
                                  400);
        // Shown, held as a possible answer or not, with a line break yet or not; a line sent
        // just before the end may still have been on its way.
        QStringList arrived;
        for (qsizetype i = 0; i < sent.size(); ++i)
            if (sentAt[i] < endedAt - 100)
                arrived.append(sent[i]);
        for (const QString &line : std::as_const(arrived))
            QVERIFY2(traffic.isEmpty() || kit.console().count(line) >= arrived.count(line),
                     qPrintable(line));
    }

    // Whatever the node had sent when the empty lines went out, read or not, cannot answer them.
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
        kit.node.sendText(prompt);
        // Taken for an answer, the unread copy would have paired with the one sent after.
        kit.settle(int(3 * timing.promptQuestionPairSpan.count()));
        QCOMPARE(kit.node.countReceived(QString()), 2);
        QVERIFY(!kit.connection->clusterNodeWarning());
        QVERIFY(!kit.connection->isLoggedIn());
    }

    // The question played event by event against a clock, at the program's own timing, which the
    // rows are written for (1 s quiet, 4 s answer wait, 300 ms pair span, the watchdog at 5 s):
    // another value fails a row. Each step is
    // "<ms> <event> [arguments] = <result>" ("_" stands for a blank in a line):
    //   line <text> <readStart>  a complete line ending in ">": "answer" when it is held as a
    //                            possible answer, else "wait"
    //   greeting                 more of the greeting
    //   dxspider                 the greeting said DXSpider: the node answers every empty line
    //   response <ms>            the node took this long to answer the callsign
    //   asked <mark>             the two empty lines went out
    //   deadline                 the question's deadline passed: its decision
    //   watchdog                 the login watchdog fired: until when it waits, or none
    //   due                      the question's deadline, or none
    //   no-asking                from now on no empty line may go out
    void promptQuestion_decidesByTheEventsAndTheClock_data()
    {
        QTest::addColumn<QString>("steps");
        const QString talk = QStringLiteral("N0CALL_de_GB7TST:_>");
        const auto row = [&](const char *name, const char *steps) {
            QTest::newRow(name) << QString::fromUtf8(steps).replace(QStringLiteral("TALK"), talk);
        };
        row("two copies just within the pair span: the prompt, once its check is over",
            "0 line TALK 10 = wait; 0 due = 1000; 1000 deadline = ask; 1000 asked 20; "
            "1050 line TALK 30 = answer; 1340 line TALK 31 = answer; 1340 due = 1790; "
            "1789 deadline = wait; 1790 deadline = prompt; 1790 due = none; 5000 watchdog = none");
        row("copies just beyond the pair span never pair",
            "0 line TALK 10 = wait; 1000 deadline = ask; 1000 asked 20; "
            "1050 line TALK 30 = answer; 1350 due = 1350; 1360 line TALK 40 = wait; "
            "1360 deadline = wait; 1360 due = 5000");
        row("a third copy within the check is traffic",
            "0 line TALK 10 = wait; 1000 deadline = ask; 1000 asked 20; "
            "1050 line TALK 30 = answer; 1100 line TALK 40 = answer; 1400 line TALK 50 = wait; "
            "1500 deadline = wait; 5000 deadline = wait; 5000 due = none");
        row("the first sighting after the question pairs with no answer",
            "0 line Please_wait_--> 10 = wait; 1000 deadline = ask; 1000 asked 20; "
            "1100 line TALK 30 = wait; 1150 line TALK 40 = answer; 1160 line TALK 50 = answer; "
            "1610 deadline = prompt");
        row("a copy before any question is traffic for good",
            "0 line TALK 10 = wait; 500 line TALK 15 = wait; 1000 deadline = ask; 1000 asked 20; "
            "1050 line TALK 30 = wait; 1050 line TALK 31 = wait; 1050 due = 5000");
        row("a copy read before the question's mark is no answer",
            "0 line TALK 10 = wait; 1000 deadline = ask; 1000 asked 50; 1100 line TALK 40 = wait; "
            "1110 line TALK 60 = wait; 1110 due = 5000");
        row("an answer to the first question on its way as the second went out pairs with none",
            "0 line TALK 10 = wait; 1000 deadline = ask; 1000 asked 20; 5000 deadline = ask; "
            "5000 asked 40; 5010 line TALK 30 = wait; 5100 line TALK 50 = answer; "
            "5100 line TALK 51 = answer; 5550 deadline = prompt");
        row("greeting text restarts the quiet, traffic does not",
            "0 line Type_HELP_> 10 = wait; 600 greeting; 600 due = 1600; "
            "1100 line To_ALL_de_K1ABC:_hi_> 12 = wait; 1100 due = 1600; "
            "1200 line Enter_<your_name>_> 14 = wait; 1200 due = 2200");
        row("DXSpider: its own notices neither hold the question back nor make answers greeting",
            "0 dxspider; 0 line TALK 10 = wait; 600 greeting; 600 due = 1000; "
            "1000 deadline = ask; 1000 asked 20; 1050 line TALK 30 = answer; "
            "1050 line TALK 31 = answer; 1100 greeting; 1500 deadline = prompt");
        row("a plain line unanswered is the prompt of a node that ignores empty lines",
            "0 line NODE> 10 = wait; 1000 deadline = ask; 1000 asked 20; 1000 due = 5000; "
            "3000 line To_ALL_de_K1ABC:_hi_--> 30 = wait; 5000 deadline = prompt");
        row("a plain line that came back once stands no more unanswered",
            "0 line Line_1_> 10 = wait; 1000 deadline = ask; 1000 asked 20; "
            "3000 line Line_2_> 30 = answer; 3300 deadline = wait; 5000 deadline = ask");
        row("no asking: a plain line is judged after the quiet and a wait",
            "0 no-asking; 0 line NODE> 10 = wait; 1000 deadline = wait; 1000 due = 5000; "
            "5000 deadline = prompt");
        row("asked twice at most, four empty lines",
            "0 line TALK 10 = wait; 1000 deadline = ask; 1000 asked 20; 5000 deadline = ask; "
            "5000 asked 30; 9000 deadline = wait; 9000 due = none");
        row("a slow node's answer is awaited as long as its callsign's took, and a quarter more",
            "0 response 4250; 0 line TALK 10 = wait; 1000 deadline = ask; 1000 asked 20; "
            "1000 due = 6250");
        row("the watchdog waits for a quiet still running, the answer and its check",
            "4500 line TALK 10 = wait; 5000 watchdog = 5540; 5500 deadline = ask; "
            "5500 asked 20; 5540 watchdog = 9540; 9400 line TALK 30 = answer; "
            "9400 line TALK 31 = answer; 9500 deadline = wait; 9540 watchdog = 9890; "
            "9850 deadline = prompt");
        row("the watchdog waits one quiet, one answer wait and one check at most",
            "4500 line TALK 10 = wait; 5000 watchdog = 5540; 5500 deadline = ask; "
            "5500 asked 20; 5540 watchdog = 9540; 9500 deadline = ask; 9500 asked 30; "
            "9540 watchdog = 10490; 10490 watchdog = none");
        row("DXSpider: a line never answered is named by its silence at the watchdog's bound",
            "0 dxspider; 0 line N0CALL_de_GB7TST_2044Z_> 10 = wait; 1000 deadline = ask; "
            "1000 asked 20; 5000 watchdog = 5040; 5000 deadline = ask; 5000 asked 30; "
            "5040 watchdog = 9040; 9000 deadline = wait; 9000 due = 10450; "
            "9040 watchdog = 10490; 10449 deadline = wait; 10450 deadline = prompt");
    }

    void promptQuestion_decidesByTheEventsAndTheClock()
    {
        QFETCH(QString, steps);
        PromptQuestion question;
        question.reset(fullScale());
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
                result = question.noteCandidate(QString(words[2]).replace(u'_', u' '),
                                                words[3].toInt(), false, now)
                             ? QStringLiteral("answer")
                             : QStringLiteral("wait");
            } else if (event == QLatin1String("greeting")) {
                question.noteGreetingText(now);
            } else if (event == QLatin1String("dxspider")) {
                question.setAnswersEveryQuestion();
            } else if (event == QLatin1String("response")) {
                question.noteResponseTime(std::chrono::milliseconds(words[2].toInt()));
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

    // The question as the connection drives it, against a model of the node at full-scale
    // timing: its prompt answers each pair of empty lines a round trip later, two copies
    // together, and one talk line comes again and again at random intervals of its own. Over
    // many seeded runs the talk is named in fewer than 1 in 100 (none at all, so far), and the
    // prompt is found in every run, on the first connection, at every latency the login covers.
    void promptQuestion_modelOfTheNode_data()
    {
        QTest::addColumn<int>("oneWayMs"); // -1: no prompt, the talk alone
        QTest::addColumn<int>("nodeMs");   // the node's own time before its first prompt
        QTest::addColumn<int>("fromMs");   // the talk's intervals
        QTest::addColumn<int>("toMs");
        for (const auto &[from, to] :
             {std::pair{500, 1500}, {1000, 3000}, {2000, 4000}, {3000, 6000}, {4000, 8000}}) {
            QTest::addRow("talk every %d-%d ms", from, to) << -1 << 0 << from << to;
            QTest::addRow("prompt 1950 ms each way, talk every %d-%d ms", from, to)
                << 1950 << 0 << from << to;
        }
        for (const int oneWay : {0, 600, 1200, 1500, 1800})
            QTest::addRow("prompt %d ms each way, talk every 1000-3000 ms", oneWay)
                << oneWay << 0 << 1000 << 3000;
        QTest::newRow("prompt 1950 ms each way and 350 ms at the node, talk every 1000-3000 ms")
            << 1950 << 350 << 1000 << 3000;
    }

    void promptQuestion_modelOfTheNode()
    {
        QFETCH(int, oneWayMs);
        QFETCH(int, nodeMs);
        QFETCH(int, fromMs);
        QFETCH(int, toMs);
        constexpr int runs = 400;
        const QString prompt = QStringLiteral("N0CALL de GB7TST: >");
        const QString talk = QStringLiteral("To LOCAL de N3INJ: QSY 9 to 14.009 -->");
        const int roundTrip = 2 * oneWayMs;
        QRandomGenerator random(quint32(20261208 + oneWayMs * 31 + fromMs));
        int talkNamed = 0;
        int promptFound = 0;
        for (int run = 0; run < runs; ++run) {
            PromptQuestion question;
            question.reset(fullScale());
            const PromptQuestion::TimePoint start{};
            const auto at = [&](qint64 ms) { return start + std::chrono::milliseconds(ms); };
            // What the node sends, by when it arrives (ms after the callsign went out).
            std::multimap<qint64, QString> arriving;
            for (qint64 t = random.bounded(toMs); t < 30000; t += random.bounded(fromMs, toMs))
                arriving.emplace(t, talk);
            if (oneWayMs >= 0) {
                arriving.emplace(roundTrip + nodeMs, prompt);
                question.noteResponseTime(std::chrono::milliseconds(roundTrip + nodeMs));
            }
            qint64 received = 0; // where the received stream stands
            qint64 watchdog = 5000;
            QString verdict;
            for (int step = 0; step < 10000 && verdict.isEmpty(); ++step) {
                const qint64 line = arriving.empty() ? LLONG_MAX : arriving.begin()->first;
                const std::optional<PromptQuestion::TimePoint> due = question.deadline();
                const qint64 dueMs = due ? (*due - start) / 1ms : LLONG_MAX;
                const qint64 now = std::min({line, dueMs, watchdog});
                if (now == line) {
                    question.noteCandidate(arriving.begin()->second, received++, false, at(now));
                    arriving.erase(arriving.begin());
                } else if (now == dueMs) {
                    const PromptQuestion::Decision decision =
                        question.deadlineReached(at(now), true);
                    if (decision == PromptQuestion::Decision::nodePrompt)
                        verdict = question.prompt();
                    if (decision != PromptQuestion::Decision::ask)
                        continue;
                    question.noteAsked(received, at(now));
                    for (int answer = 0; answer < PromptQuestion::linesPerQuestion && oneWayMs >= 0;
                         ++answer)
                        arriving.emplace(now + roundTrip, prompt);
                } else if (const auto until = question.takeWatchdogExtension(at(now), 40ms)) {
                    watchdog = (*until - start) / 1ms;
                } else {
                    verdict = QStringLiteral("stalled");
                }
            }
            talkNamed += verdict == talk;
            promptFound += verdict == prompt;
        }
        QVERIFY2(talkNamed * 100 < runs, qPrintable(QString::number(talkNamed)));
        if (oneWayMs >= 0)
            QCOMPARE(promptFound, runs);
    }

    // Lines that show nothing of the line in question (passing traffic), lines ending in ">"
    // that are the prompt only if they come back when asked, and copies of one prompt.
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
            {">", false, true},
            {"Welcome to GB7TST -->", false, false}};
        for (const auto &[line, passing, mustComeBack] : lines) {
            QVERIFY2(PromptQuestion::isPassingTraffic(QString::fromUtf8(line)) == passing, line);
            QVERIFY2(PromptQuestion::mustComeBack(QString::fromUtf8(line)) == mustComeBack, line);
        }
        // A prompt's time and date move on, and its callsign stands in brackets while away.
        const std::tuple<const char *, const char *, bool> copies[] = {
            {"N0CALL de GB7TST 8-Dec-2026 2359Z >", "N0CALL de GB7TST 1-Jan-2027 0000Z >", true},
            {"N0CALL de GB7TST:  9-Dec-2026 2359Z >", "N0CALL de GB7TST: 10-Dec-2026 0000Z >",
             true},
            {"N0CALL de GB7TST: 31-Dec-2026 2359Z >", "N0CALL de GB7TST:  1-Jan-2027 0000Z >",
             true},
            {"N0CALL@GB7TST: 9-Dec-2026>", "N0CALL@GB7TST:10-Dec-2026>", true},
            {"GB7TST:31-Dec-2026 2359Z>", "GB7TST: 1-Jan-2027 0000Z>", true},
            {"N0CALL de GB7TST: >", "(N0CALL) de GB7TST: >", true},
            {"N0CALL de GB7TST <2044Z> >", "n0call DE gb7tst <2045Z> >", true},
            {"N0CALL de GB7TST >", "N0CALL de GB7TSX >", false},
            {"Line A >", "Line B >", false},
            {"Maybe >", "Maxbe >", false}};
        for (const auto &[a, b, same] : copies)
            QVERIFY2(PromptQuestion::sameLine(QString::fromUtf8(a), QString::fromUtf8(b)) == same,
                     b);
        QVERIFY(!prompts::announcesDXSpider(u"visit dxspider.org, version 1.57"));
        QVERIFY(!prompts::announcesDXSpider(u"MyDXSpider V1"));
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
        const QRegularExpression anyPrompt(QStringLiteral("(?:^|[\\r\\n])[^\\r\\n]{0,250}>\\s*$"));
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
