// The operator and the node's other traffic while the program's own post-login steps and the
// keepalive ping wait for the node's prompt: operator lines wait their turn in view, talk and
// announcements stay visible, the ping's answer stays hidden, a node whose prompt is not
// recognised holds nothing up for long, and a slow node's late replies end their own steps.

#include "ClusterConnectionTestKit.h"
#include "PromptPatterns.h"

using namespace varnello;
using namespace varnello::test;

namespace {

const QString statUs = QStringLiteral("stat/us");
const QString shFilter = QStringLiteral("sh/filter");
const QString backFill = QString(ClusterConnection::recentSpotsCommand);
const QString showDx = QStringLiteral("sh/dx 3");
const QString showDxReply = QStringLiteral("14025.0  K1ABC        7-Dec-2026 0640Z CW 599");
const QString spotCommand = QStringLiteral("dx 14025.0 K1ABC tnx");
const QString spotReply = QStringLiteral("Spot of K1ABC on 14025.0 accepted");
const QString talk = QStringLiteral("To N0CALL de K1ABC: hello");
const QString waitingMark = QStringLiteral(" (waiting for the node)");
const QStringList statusReply{QStringLiteral("Want RBN Spots : Yes"),
                              QStringLiteral("Want RBN CW : yes"),
                              QStringLiteral("Want RBN Beacon : no")};
const QString beaconKick = QStringLiteral("set/skimmer BEACON");
const QString rbnOff = QStringLiteral("unset/skimmer");
const QString noRecognisedPrompt = QStringLiteral("No recognised prompt from the node in time; the "
                                                  "remaining set-up steps will not wait as long.");

// A callsign new to the node: its status says nothing of RBN until the mode was switched on and
// off once.
void actAsFreshUser(FakeClusterNode &node)
{
    node.setReply(statUs, {QStringLiteral("User Information for N0CALL")});
    node.onLine = [&node](int, const QString &line) {
        if (line == rbnOff)
            node.setReply(statUs, {QStringLiteral("Want RBN Spots : No"),
                                   QStringLiteral("Want RBN Beacon : No")});
    };
}

bool consoleHasFor(const ConnectionKit &kit, const QString &text, int ms = 10000)
{
    return ConnectionKit::waitFor([&] { return kit.consoleHas(text); }, ms);
}

bool anyLive(const ConnectionKit &kit, const QStringList &calls)
{
    return std::any_of(kit.liveSpots.begin(), kit.liveSpots.end(),
                       [&](const DXSpot &spot) { return calls.contains(spot.callsign); });
}

// Runs `action` from the slot of the console line "Login complete.", before any step started.
void onLoginComplete(ConnectionKit &kit, std::function<void()> action)
{
    QObject::connect(kit.connection.get(), &ClusterConnection::linesChanged, kit.connection.get(),
                     [&kit, action = std::move(action), done = false]() mutable {
                         const QList<ClusterLine> &lines = kit.connection->lines();
                         if (done || lines.isEmpty() ||
                             lines.constLast().text != QStringLiteral("Login complete."))
                             return;
                         done = true;
                         action();
                     });
}

} // namespace

class TestClusterOperatorDuringSteps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // What may cut into a step's reply and is shown: talk, announcements, WWV and WCY; never a
    // reply line or a node prompt.
    void unsolicitedNodeLine_isTalkAnnouncementOrPropagation_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("unsolicited");
        QTest::newRow("talk to us") << talk << true;
        QTest::newRow("talk, short form") << "N0CALL de K1ABC: see you at <1800Z>" << true;
        QTest::newRow("announcement") << "To ALL de GB7TST: node down at 2200Z" << true;
        QTest::newRow("WWV") << "WWV de W0MU <18>:   SFI=150, A=5, K=2, No Storms" << true;
        QTest::newRow("WCY") << "WCY de DK0WCY-1 <18> : K=2 expK=3 A=8 R=95" << true;
        QTest::newRow("after bells") << "\a\aTo ALL de K1ABC: QRV 6m" << true;
        QTest::newRow("glued to a prompt") << "GB7TST>To LOCAL de GB7TST: reboot" << true;
        QTest::newRow("node prompt") << "N0CALL de GB7TST  7-Dec-2026 0643Z dxspider >" << false;
        QTest::newRow("status line") << "Want RBN Spots : Yes" << false;
        QTest::newRow("filter line") << "filter 1 reject on hf/cw" << false;
        QTest::newRow("no filters") << "No filters defined for N0CALL" << false;
        QTest::newRow("back-fill entry") << showDxReply << false;
    }

    void unsolicitedNodeLine_isTalkAnnouncementOrPropagation()
    {
        QFETCH(QString, line);
        QFETCH(bool, unsolicited);
        QCOMPARE(prompts::isUnsolicitedLine(line), unsolicited);
    }

    // A command and a spot sent the moment the login completes go out after the back-fill, in
    // order, and their replies reach the console, however slowly the node answers each step.
    void operatorLinesDuringTheSteps_goOutAfterTheLastStep_data()
    {
        QTest::addColumn<int>("replyDelayMs");
        QTest::newRow("at once") << 0;
        QTest::newRow("100 ms per reply") << 100;
    }

    void operatorLinesDuringTheSteps_goOutAfterTheLastStep()
    {
        QFETCH(int, replyDelayMs);
        ConnectionKit kit;
        kit.node.setReplyDelay(replyDelayMs);
        kit.node.setReply(statUs, {QStringLiteral("Want RBN Spots : Yes"),
                                   QStringLiteral("Want RBN CW : yes"),
                                   QStringLiteral("Want RBN Beacon : no")});
        kit.node.setReply(shFilter, {QStringLiteral("No filters defined for N0CALL")});
        kit.node.setReply(backFill, {spotLineFor(QStringLiteral("OLD1"), 1),
                                     spotLineFor(QStringLiteral("OLD2"), 2)});
        kit.node.setReply(showDx, {showDxReply});
        kit.node.setReply(spotCommand, {spotReply});
        bool accepted = false;
        onLoginComplete(kit, [&] {
            accepted = kit.connection->sendUserCommand(showDx) &&
                       kit.connection->sendSpot(QStringLiteral("k1abc"), QStringLiteral("14025.0"),
                                                QStringLiteral("tnx"));
        });
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(spotCommand); }));
        QVERIFY(accepted);

        const QStringList received = kit.node.receivedLines();
        QCOMPARE(received.mid(1), (QStringList{statUs, shFilter, backFill, showDx, spotCommand}));
        QVERIFY(consoleHasFor(kit, showDxReply));
        QVERIFY2(consoleHasFor(kit, spotReply), qPrintable(kit.console().join(QLatin1Char(10))));
        // Each echo comes when its line is written, after the steps' replies.
        const QStringList console = kit.console();
        QVERIFY(console.indexOf(QStringLiteral("> ") + showDx) <
                console.indexOf(QStringLiteral("> ") + spotCommand));
        // Both showed as waiting at once, and the echo follows the prompt that let them go.
        const qsizetype echo = console.indexOf(QStringLiteral("> ") + showDx);
        QVERIFY(console.indexOf(QStringLiteral("> ") + showDx + waitingMark) >= 0);
        QVERIFY(console.indexOf(QStringLiteral("> ") + showDx + waitingMark) < echo);
        const QString prompt = kit.node.promptFor(QStringLiteral("N0CALL"));
        QCOMPARE(console.at(echo - 1), prompt);
        QVERIFY(!console.mid(echo, console.indexOf(showDxReply) - echo).contains(prompt));
        QVERIFY(!console.contains(QStringLiteral("No filters defined for N0CALL")));
        QVERIFY(kit.spotCalls().contains(QStringLiteral("OLD1")));
        QVERIFY(!anyLive(kit, {QStringLiteral("OLD1"), QStringLiteral("OLD2")}));
        QVERIFY(kit.connection->rbnStatusKnown());
        QVERIFY(!kit.connection->rbnStatusLoading());
        QCOMPARE(kit.connection->rbnModes(), RBNModeSet{RBNMode::cw});
    }

    // A talk line inside any step's reply reaches the console; the reply itself does not. The
    // status and the filter list know their reply's lines: a notice the node sends before them
    // is shown too.
    void talkLineDuringAStep_reachesTheConsole_data()
    {
        QTest::addColumn<QString>("command");
        for (const char *command : {"stat/us", "set/skimmer BEACON", "unset/skimmer", "sh/filter",
                                    "rej/spot 9 on 100000/100001", "sh/dx filter real 50"})
            QTest::newRow(command) << QString::fromLatin1(command);
    }

    void talkLineDuringAStep_reachesTheConsole()
    {
        QFETCH(QString, command);
        ConnectionKit kit;
        // No beacon line, so the kick runs; a numeric SSID, so the own filter is set.
        const QStringList replies{QStringLiteral("step reply one"),
                                  QStringLiteral("step reply two")};
        const QStringList status{QStringLiteral("Home Node : NODE"),
                                 QStringLiteral("Want Beep : Yes")};
        const QString noFilters = QStringLiteral("No filters defined for N0CALL-2");
        for (const QString &step :
             {QStringLiteral("set/skimmer BEACON"), QStringLiteral("unset/skimmer"),
              QStringLiteral("rej/spot 9 on 100000/100001")})
            kit.node.setReply(step, replies);
        kit.node.setReply(statUs, status);
        kit.node.setReply(shFilter, {noFilters});
        QStringList reply = command == shFilter ? QStringList{noFilters}
                            : command == statUs ? status
                                                : replies;
        reply.insert(1, talk);
        if (command == backFill)
            reply = {spotLineFor(QStringLiteral("OLD1")), talk};
        const QString notice = QStringLiteral("User K1ABC has logged in");
        if (command == statUs || command == shFilter)
            reply.prepend(notice);
        kit.node.setReply(command, reply);
        QVERIFY(kit.logIn(QStringLiteral("N0CALL-2")));
        QVERIFY(consoleHasFor(kit, talk));
        QVERIFY(kit.waitFor([&] {
            return kit.spotCalls().contains(QStringLiteral("OLD1")) || command != backFill;
        }));
        QVERIFY(kit.node.hasReceived(command));
        for (const QString &line : QStringList{replies.first(), status.first(), noFilters})
            QVERIFY2(!kit.consoleHas(line), qPrintable(line));
        QCOMPARE(kit.consoleHas(notice), reply.first() == notice);
        QVERIFY(kit.liveSpots.isEmpty());
    }

    // Pings refused with "Not Allowed" and a prompt leave nothing on the console, and a command
    // sent while a ping waits for its prompt keeps its own reply.
    void keepalivePingsRefused_leaveNoLineOnTheConsole()
    {
        const QString ping = QStringLiteral("ping");
        ClusterTiming timing = fastTiming();
        timing.keepaliveIdle = 300ms;
        ConnectionKit kit(timing);
        kit.node.setReplyDelay(100);
        kit.node.setReply(ping, {QStringLiteral("Not Allowed")});
        kit.node.setReply(QStringLiteral("marker"), {QStringLiteral("marker seen")});
        QVERIFY(kit.logIn());
        // The first ping's answer still shows the back-fill's closing prompt, which was waiting for
        // the next line to show it was complete.
        QVERIFY(kit.waitFor([&] { return kit.node.countReceived(ping) == 1; }));
        ConnectionKit::settle(200);
        const qsizetype consoleBefore = kit.connection->lines().size();
        kit.node.onLine = [&](int, const QString &line) {
            if (line == ping && kit.node.countReceived(ping) == 2)
                kit.connection->sendUserCommand(QStringLiteral("marker"));
        };
        QVERIFY(kit.waitFor([&] { return kit.node.countReceived(ping) >= 4; }));
        ConnectionKit::settle(200);
        QVERIFY(kit.consoleHas(QStringLiteral("marker seen")));
        // Written once the second ping's prompt had come, before the third ping.
        const QStringList received = kit.node.receivedLines();
        const qsizetype secondPing = received.indexOf(ping, received.indexOf(ping) + 1);
        const qsizetype marker = received.indexOf(QStringLiteral("marker"));
        QVERIFY(secondPing < marker && marker < received.indexOf(ping, secondPing + 1));
        const QStringList console = kit.console();
        QVERIFY(std::none_of(console.begin(), console.end(), [](const QString &text) {
            return text.contains(QStringLiteral("Not Allowed"));
        }));
        const QString prompt = kit.node.promptFor(QStringLiteral("N0CALL"));
        const auto promptLines = std::count(console.begin() + consoleBefore, console.end(), prompt);
        // Only the marker's own prompt, shown once the next ping's answer followed it.
        QVERIFY2(promptLines <= 1, qPrintable(QString::number(promptLines)));
        QVERIFY(kit.connection->isLoggedIn());
    }

    // A ping answered by a prompt alone is over: a later "pong" is the operator's and shows, and
    // the operator's next command goes out at once.
    void pingAnsweredByPromptAlone_endsThePing()
    {
        ClusterTiming timing = fastTiming();
        timing.keepaliveIdle = 300ms;
        timing.stepReplyTimeout = 10s;
        ConnectionKit kit(timing);
        kit.node.setReply(QStringLiteral("marker"), {QStringLiteral("pong")});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(QStringLiteral("ping")); }));
        ConnectionKit::settle(100);
        QElapsedTimer sent;
        sent.start();
        kit.connection->sendUserCommand(QStringLiteral("marker"));
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(QStringLiteral("marker")); }));
        QVERIFY(sent.elapsed() < 5000);
        QVERIFY(consoleHasFor(kit, QStringLiteral("pong")));
    }

    // A node whose prompt after login is not one the program knows: the first step times out,
    // the others are over within one more step time-out, and meanwhile every announcement, the
    // operator's reply and the back-fill (not live) arrive.
    void unrecognisedPrompt_losesNoLineAndEndsTheStepsSoon()
    {
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = 2000ms;
        timing.stepReplyTimeoutWithoutKnownPrompt = 250ms;
        ConnectionKit kit(timing);
        kit.node.setCommandPrompt(QStringLiteral("GB7TST>"));
        kit.node.setReply(statUs, {QStringLiteral("Want RBN Spots : No"),
                                   QStringLiteral("Want RBN Beacon : No")});
        kit.node.setReply(backFill, {spotLineFor(QStringLiteral("OLD1"))});
        kit.node.setReply(showDx, {showDxReply});
        QStringList announcements;
        QTimer announcer;
        QObject::connect(&announcer, &QTimer::timeout, &kit.node, [&] {
            announcements.append(
                QStringLiteral("To ALL de GB7TST: announcement %1").arg(announcements.size()));
            kit.node.sendLine(announcements.constLast());
        });
        QElapsedTimer sinceLogin;
        onLoginComplete(kit, [&] {
            sinceLogin.start();
            announcer.start(500);
            kit.connection->sendUserCommand(showDx);
        });
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(showDx); }));
        QVERIFY2(sinceLogin.elapsed() < 2 * timing.stepReplyTimeout.count(),
                 qPrintable(QString::number(sinceLogin.elapsed())));
        QVERIFY(!kit.connection->rbnStatusLoading());
        QVERIFY(consoleHasFor(kit, showDxReply));
        ConnectionKit::settle(700);
        announcer.stop();
        ConnectionKit::settle(200);
        QVERIFY(announcements.size() >= 5);
        const QStringList console = kit.console();
        for (const QString &announcement : std::as_const(announcements))
            QVERIFY2(std::any_of(console.begin(), console.end(),
                                 [&](const QString &text) { return text.endsWith(announcement); }),
                     qPrintable(announcement));
        QVERIFY(kit.spotCalls().contains(QStringLiteral("OLD1")));
        QVERIFY(kit.liveSpots.isEmpty());
    }

    // A node slower than the step time-out: each late reply and prompt end their own step, so the
    // listing is never taken for live spots, the status is read, and no late line reaches the
    // console. A live spot that the listing repeats is listed once.
    void slowNode_lateRepliesEndTheirOwnSteps_data()
    {
        QTest::addColumn<double>("firstDelay"); // in step time-outs
        QTest::addColumn<double>("laterDelay");
        QTest::newRow("first reply late") << 1.3 << 0.3;
        QTest::newRow("every reply late") << 1.3 << 1.3;
        QTest::newRow("only the listing late") << 0.0 << 0.0;
    }

    void slowNode_lateRepliesEndTheirOwnSteps()
    {
        QFETCH(double, firstDelay);
        QFETCH(double, laterDelay);
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = 500ms;
        ConnectionKit kit(timing);
        const auto delay = [&](double steps) { return int(steps * 500); };
        kit.node.setReplyDelay(delay(laterDelay));
        kit.node.setReplyDelayFor(statUs, delay(firstDelay));
        if (firstDelay == 0.0) // the others answer at once, the listing only after its time-out
            kit.node.setReplyDelayFor(backFill, delay(1.3));
        const QString live = spotLineFor(QStringLiteral("LIVE1"), 5);
        kit.node.setReply(statUs, statusReply);
        kit.node.setReply(shFilter, {QStringLiteral("No filters defined for N0CALL")});
        kit.node.setReply(backFill, {spotLineFor(QStringLiteral("OLD1"), 1), live,
                                     spotLineFor(QStringLiteral("OLD2"), 2)});
        kit.node.setReply(showDx, {showDxReply});
        // Another user's spot, sent as the listing is asked for: once the node is known to answer
        // late, it proves nothing about the listing.
        kit.node.onLine = [&](int, const QString &line) {
            if (line == backFill && firstDelay > 0)
                kit.node.sendLine(live);
        };
        onLoginComplete(kit, [&] { kit.connection->sendUserCommand(showDx); });
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(showDxReply); }, 20000));
        QVERIFY(kit.waitFor([&] { return kit.spotCalls().contains(QStringLiteral("OLD2")); }));

        QCOMPARE(kit.node.receivedLines().mid(1),
                 (QStringList{statUs, shFilter, backFill, showDx}));
        QVERIFY(!anyLive(kit, {QStringLiteral("OLD1"), QStringLiteral("OLD2")}));
        QCOMPARE(kit.spotCalls().count(QStringLiteral("LIVE1")), 1);
        QVERIFY(kit.connection->rbnStatusKnown());
        QVERIFY(!kit.connection->rbnStatusLoading());
        QCOMPARE(kit.connection->rbnModes(), RBNModeSet{RBNMode::cw});
        const QStringList console = kit.console();
        for (const QString &late : statusReply + QStringList{"No filters defined for N0CALL"})
            QVERIFY2(!console.contains(late), qPrintable(late));
    }

    // While the user is marked as not here ("unset/here"), every prompt shows the callsign in
    // parentheses. It ends a command, a Refresh and the ping as the ordinary one does: what waits
    // behind them goes out at once, and the ping's prompt is not shown.
    void awayPrompt_endsEachRequestAtOnce_data()
    {
        QTest::addColumn<QString>("request");
        QTest::addColumn<int>("promptsShown"); // before the last line's reply
        QTest::newRow("command") << showDx << 2;
        QTest::newRow("RBN refresh") << statUs << 1;
        QTest::newRow("keepalive ping") << "ping" << 1;
    }

    void awayPrompt_endsEachRequestAtOnce()
    {
        QFETCH(QString, request);
        QFETCH(int, promptsShown);
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = 8s;
        timing.keepaliveIdle = request == QLatin1String("ping") ? 500ms : 60s;
        ConnectionKit kit(timing);
        kit.node.setReply(statUs, statusReply);
        kit.node.setReply(QStringLiteral("marker"), {QStringLiteral("marker seen")});
        kit.node.setReplyDelay(100);
        QVERIFY(kit.logIn());
        const QString away = QStringLiteral("(%1) de NODE  7-Dec-2026 2044Z dxspider >");
        kit.node.setCommandPrompt(away);
        ConnectionKit::settle(300);
        kit.node.sendLine(QStringLiteral("hello")); // shows the last step's prompt
        QVERIFY(consoleHasFor(kit, QStringLiteral("hello")));
        const qsizetype consoleBefore = kit.connection->lines().size();
        if (request == showDx)
            kit.connection->sendUserCommand(showDx);
        else if (request == statUs)
            kit.connection->requestRBNStatus(false);
        else
            QVERIFY(kit.waitFor([&] { return kit.node.countReceived(request) == 2; }));
        QElapsedTimer elapsed;
        elapsed.start();
        kit.connection->requestRBNStatus(false);
        kit.connection->sendUserCommand(QStringLiteral("marker"));
        QVERIFY(consoleHasFor(kit, QStringLiteral("marker seen")));
        QVERIFY(elapsed.elapsed() < timing.stepReplyTimeout.count() / 2);
        QStringList shown = kit.console().mid(consoleBefore);
        shown = shown.mid(0, shown.indexOf(QStringLiteral("marker seen")));
        QCOMPARE(shown.count(away.arg(QStringLiteral("N0CALL"))), promptsShown);
        QVERIFY(!kit.console().contains(noRecognisedPrompt));
        QVERIFY(kit.connection->rbnStatusKnown());
    }

    // A login that skipped the beacon kick, its prompts not recognised then: a Refresh that finds
    // nothing of RBN in a fresh user's status makes the kick, once, and the status ends known.
    void refreshOfAFreshUserStatus_getsTheKickOnce()
    {
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeoutWithoutKnownPrompt = 200ms;
        ConnectionKit kit(timing);
        actAsFreshUser(kit.node);
        kit.node.setCommandPrompt(QStringLiteral("GB7TST>"));
        QVERIFY(kit.logIn());
        ConnectionKit::settle(400);
        kit.node.setCommandPrompt(kit.node.promptFor(QStringLiteral("%1")));
        kit.connection->sendUserCommand(showDx); // its prompt is recognised again
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(showDx); }));
        ConnectionKit::settle(300);
        QVERIFY(!kit.connection->rbnStatusKnown());
        kit.connection->requestRBNStatus(false);
        QVERIFY(kit.waitFor([&] { return kit.connection->rbnStatusKnown(); }));
        const QStringList received = kit.node.receivedLines();
        QCOMPARE(received.mid(received.indexOf(beaconKick)),
                 (QStringList{beaconKick, rbnOff, statUs}));
    }

    // A step of the program's own that comes due while an operator command waits for its turn
    // goes out only after that command's prompt: the command's reply reaches the console and the
    // step's does not. A fresh user's late status still gets its kick that way, and ends known.
    void automaticStepBehindAWaitingCommand_waitsForItsPrompt_data()
    {
        QTest::addColumn<QString>("stepCommand");
        QTest::newRow("registration re-check") << "sh/motd";
        QTest::newRow("late status's beacon kick") << beaconKick;
    }

    void automaticStepBehindAWaitingCommand_waitsForItsPrompt()
    {
        QFETCH(QString, stepCommand);
        const bool kick = stepCommand == beaconKick;
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = kick ? 500ms : 2000ms;
        timing.registrationRecheck = 150ms;
        ConnectionKit kit(timing, QStringLiteral("127.0.0.1"));
        kit.node.setReply(statUs, statusReply);
        kit.node.setReply(showDx, {showDxReply});
        kit.node.setReply(QStringLiteral("sh/motd"), {QStringLiteral("step reply")});
        kit.node.setReply(beaconKick, {QStringLiteral("step reply")});
        if (kick) {
            actAsFreshUser(kit.node);
            kit.node.setReplyDelay(100);
            kit.node.setReplyDelayFor(statUs, 700);
            // Typed as the login completes: it waits for the post-login steps, and the kick
            // that the late status calls for comes due behind it.
            onLoginComplete(kit, [&] { kit.connection->sendUserCommand(showDx); });
            QVERIFY(kit.logIn());
        } else {
            QVERIFY(kit.logIn());
            kit.node.sendLine(QStringLiteral("Please register: write to register@ka2pbt.com"));
            QVERIFY(kit.waitFor([&] { return kit.connection->registrationRequired(); }));
            ConnectionKit::settle(200);
            // A Refresh keeps the node busy, the command waits behind it and the re-check, due
            // meanwhile, behind the command.
            kit.node.setReplyDelay(300);
            kit.connection->requestRBNStatus(false);
            kit.connection->sendUserCommand(showDx);
            kit.connection->startRegistrationRecheck();
        }
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(stepCommand); }));
        QVERIFY(consoleHasFor(kit, showDxReply));
        QVERIFY(kit.waitFor([&] { return kit.connection->rbnStatusKnown(); }));
        const QList<FakeClusterNode::Received> log = kit.node.received();
        const auto at = [&](const QString &line) {
            return std::find_if(log.begin(), log.end(),
                                [&](const auto &entry) { return entry.line == line; })
                ->msecs;
        };
        // Once the command's reply had come, not beside it.
        QVERIFY(at(stepCommand) - at(showDx) >= 80);
        QCOMPARE(kit.node.countReceived(stepCommand), 1);
        QVERIFY(!kit.consoleHas(QStringLiteral("step reply")));
    }

    // A step the operator starts while a command is answered goes out after that command's
    // prompt: the command's reply reaches the console and the step's reply does not.
    void stepStartedDuringACommand_waitsForItsPrompt_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("stepReply");
        QTest::newRow("RBN refresh") << "refresh" << statUs << statusReply.first();
        QTest::newRow("clear the filters") << "clear"
                                           << "clear/spots all"
                                           << "Filters cleared";
        QTest::newRow("back-fill") << "back-fill" << backFill << spotLineFor("OLD9", 9);
    }

    void stepStartedDuringACommand_waitsForItsPrompt()
    {
        QFETCH(QString, step);
        QFETCH(QString, command);
        QFETCH(QString, stepReply);
        ConnectionKit kit;
        kit.node.setReply(statUs, statusReply);
        kit.node.setReply(command, {stepReply});
        kit.node.setReply(showDx, {showDxReply});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return !kit.connection->rbnStatusLoading(); }));
        ConnectionKit::settle(100);
        kit.node.setReplyDelay(150);
        const int before = kit.node.countReceived(command);
        kit.connection->sendUserCommand(showDx);
        if (step == QLatin1String("refresh"))
            kit.connection->requestRBNStatus(false);
        else if (step == QLatin1String("clear"))
            kit.connection->clearUpstreamFilters();
        else
            kit.connection->loadRecentSpots();
        QVERIFY(kit.waitFor([&] { return kit.node.countReceived(command) > before; }));
        QVERIFY(consoleHasFor(kit, showDxReply));
        ConnectionKit::settle(300);
        QVERIFY(!kit.consoleHas(stepReply));
        QVERIFY(kit.liveSpots.isEmpty());
        QVERIFY(kit.connection->rbnStatusKnown());
        QVERIFY(!kit.connection->rbnStatusLoading());
        // Written once the command's reply had come, not beside it.
        const QList<FakeClusterNode::Received> received = kit.node.received();
        const auto at = [&](const QString &line) {
            return std::find_if(received.rbegin(), received.rend(),
                                [&](const auto &entry) { return entry.line == line; })
                ->msecs;
        };
        QVERIFY2(at(command) - at(showDx) >= 100, qPrintable(QString::number(at(command))));
    }

    // A line that has to wait shows at once as waiting; typed again meanwhile, it is still sent
    // once, and the operator is told.
    void waitingLine_showsAtOnceAndGoesOutOnce_data()
    {
        QTest::addColumn<bool>("isSpot");
        QTest::newRow("command") << false;
        QTest::newRow("spot") << true;
    }

    void waitingLine_showsAtOnceAndGoesOutOnce()
    {
        QFETCH(bool, isSpot);
        ConnectionKit kit;
        kit.node.setReplyDelay(300);
        kit.node.setReply(showDx, {showDxReply});
        const auto send = [&] {
            return isSpot
                       ? kit.connection->sendSpot(QStringLiteral("k1abc"),
                                                  QStringLiteral("14025.0"), QStringLiteral("tnx"))
                       : kit.connection->sendUserCommand(showDx);
        };
        const QString line = isSpot ? spotCommand : showDx;
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(statUs); }));
        QVERIFY(send());
        QVERIFY(kit.consoleHas(QStringLiteral("> ") + line + waitingMark));
        QVERIFY(send());
        QVERIFY(kit.consoleHas(QStringLiteral("> ") + line +
                               QStringLiteral(" (already waiting for the node; sent once)")));
        QCOMPARE(kit.connection->waitingRequestCount(), 1);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(line); }));
        ConnectionKit::settle(700);
        QCOMPARE(kit.node.countReceived(line), 1);
    }

    // While a step waits, operator lines are held up to a cap; the rest are refused with a console
    // line, and the held ones are dropped, each with a console line, when the connection ends.
    void queuedLines_areCappedAndDroppedWithTheConnection()
    {
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = 30s;
        ConnectionKit kit(timing);
        kit.node.setPromptAfterCommands(false); // "stat/us" is never answered
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(statUs); }));
        const auto cap = ClusterConnection::maximumWaitingRequests;
        for (qsizetype i = 0; i < cap; ++i)
            QVERIFY(kit.connection->sendUserCommand(QStringLiteral("cmd%1").arg(i)));
        QVERIFY(!kit.connection->sendSpot(QStringLiteral("K1ABC"), QStringLiteral("14025"), {}));
        QVERIFY(kit.consoleHas(QStringLiteral(
            "Not sent, too many commands are waiting for the node: dx 14025 K1ABC")));
        QCOMPARE(kit.connection->waitingRequestCount(), cap);
        QVERIFY(!kit.consoleHas(QStringLiteral("> cmd0")));

        kit.node.closeConnection();
        QVERIFY(consoleHasFor(
            kit, QStringLiteral("Not sent, the connection to the node ended: cmd%1").arg(cap - 1)));
        QCOMPARE(kit.connection->waitingRequestCount(), 0);
        for (qsizetype i = 0; i < cap; ++i)
            QVERIFY(kit.consoleHas(
                QStringLiteral("Not sent, the connection to the node ended: cmd%1").arg(i)));
        QVERIFY(!kit.node.hasReceived(QStringLiteral("cmd0")));
    }
};

QTEST_GUILESS_MAIN(TestClusterOperatorDuringSteps)
#include "tst_ClusterOperatorDuringSteps.moc"
