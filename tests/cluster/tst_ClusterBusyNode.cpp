// The login and the post-login steps against a node that is busy the way real ones are: other
// users' spots right behind a prompt, a greeting with placeholders in angle brackets, talk lines,
// replies that never end in a prompt, spots listed twice.

#include "ClusterConnectionTestKit.h"
#include "ResilienceHarness.h"

using namespace varnello;
using namespace varnello::test;

namespace {

const QString backFill = QString(ClusterConnection::recentSpotsCommand);
const QString operatorCommand = QStringLiteral("show/time");
const QString operatorReply = QStringLiteral("Current time: 7-Dec-2026 0643Z");

bool consoleHasFor(const ConnectionKit &kit, const QString &text, int ms = 10000)
{
    return ConnectionKit::waitFor([&] { return kit.consoleHas(text); }, ms);
}

} // namespace

class TestClusterBusyNode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // Every prompt comes in one write with another user's spot behind it: each step still ends at
    // its prompt, and the spot behind the back-fill's closing prompt is a live one.
    void promptFollowedBySpotInOneRead_endsEachStep()
    {
        ConnectionKit kit;
        kit.node.setSpotAfterPrompt(true);
        kit.node.setReply(backFill, {spotLineFor(QStringLiteral("OLD1"))});
        QVERIFY(kit.logIn());
        QCOMPARE(kit.connection->detectedNodeType(), ClusterNodeType::dxSpider);
        QVERIFY(kit.waitFor([&] { return kit.spotCalls().contains(QStringLiteral("OLD1")); }));
        QVERIFY(!std::any_of(kit.liveSpots.begin(), kit.liveSpots.end(),
                             [](const DXSpot &s) { return s.callsign == QStringLiteral("OLD1"); }));
        // The spot that came with the back-fill's closing prompt was not taken for a listed one.
        QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() >= 1; }));
        kit.node.setReply(operatorCommand, {operatorReply});
        kit.connection->sendUserCommand(operatorCommand);
        QVERIFY(consoleHasFor(kit, operatorReply));
    }

    // Replies that a slow link delivers together: each request's prompt, without a line break,
    // right behind the one before. Each prompt ends its own request, so a Refresh asked for behind
    // them goes out at once.
    void promptsOfSeveralRequestsInOneRead_endEachRequest_data()
    {
        QTest::addColumn<int>("commands");
        QTest::addColumn<QString>("prompt"); // "": the node's standard one
        QTest::newRow("two") << 2 << QString();
        QTest::newRow("three") << 3 << QString();
        QTest::newRow("two, user marked as not here") << 2 << "(%1) de NODE 2044Z dxspider >";
    }

    void promptsOfSeveralRequestsInOneRead_endEachRequest()
    {
        QFETCH(int, commands);
        QFETCH(QString, prompt);
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = 5s;
        ConnectionKit kit(timing);
        kit.node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No")});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->rbnStatusKnown(); }));
        ConnectionKit::settle(200);
        if (!prompt.isEmpty())
            kit.node.setCommandPrompt(prompt);
        kit.node.setReplyDelay(150); // every reply is due at the same moment
        for (int i = 0; i < commands; ++i)
            kit.connection->sendUserCommand(QStringLiteral("cmd%1").arg(i));
        kit.connection->requestRBNStatus(false);
        QVERIFY(kit.waitFor([&] { return kit.node.countReceived(QStringLiteral("stat/us")) == 2; },
                            2000));
        QVERIFY(kit.waitFor([&] { return !kit.connection->rbnStatusLoading(); }, 2000));
        QVERIFY(kit.connection->rbnStatusKnown());
    }

    // A placeholder is no prompt, and a line ending in ">" with more greeting right behind it
    // needs no question: the node is not even asked. A pause after a placeholder may draw one
    // question, two empty lines (a prompt of the user's own may hold "<" too), never a warning.
    void greetingLineEndingInBracket_isNoPrompt_data()
    {
        QTest::addColumn<QStringList>("greeting");
        QTest::addColumn<int>("pauseMs");
        QTest::addColumn<int>("questions"); // empty lines, at most
        QTest::newRow("placeholders, each line read on its own")
            << QStringList{QStringLiteral("Hello N0CALL, this is NODE in Testland"),
                           QStringLiteral("\r\nPlease enter your name, set/name <your name>"),
                           QStringLiteral("\r\nPlease enter your Home Node, set/homenode <your "
                                          "home DX Cluster>"),
                           QStringLiteral("\r\n")}
            << 150 << 2;
        QTest::newRow("bracket line whose end follows at once")
            << QStringList{QStringLiteral("Cluster: 12 nodes, 40 users >"),
                           QStringLiteral("\r\nUptime 12 days\r\n")}
            << 0 << 0;
    }

    void greetingLineEndingInBracket_isNoPrompt()
    {
        QFETCH(QStringList, greeting);
        QFETCH(int, pauseMs);
        QFETCH(int, questions);
        ConnectionKit kit;
        kit.node.setGreeting(greeting, pauseMs);
        QVERIFY(kit.logIn());
        QCOMPARE(kit.connection->detectedNodeType(), ClusterNodeType::dxSpider);
        QVERIFY(!kit.connection->clusterNodeWarning());
        // Each greeting line is a console line of its own, none glued to the callsign question.
        for (const QString &line :
             greeting.join(QString()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
            QVERIFY2(kit.consoleHas(line), qPrintable(line));
        QVERIFY(kit.node.countReceived(QString()) <= questions);
    }

    void talkLineEndingInBracket_doesNotEndTheBackFill()
    {
        ConnectionKit kit;
        const QString talk = QStringLiteral("N0CALL de K1ABC: see you at <1800Z>");
        // The listing pauses right after the talk line, so a read ends on its ">".
        kit.node.setPromptAfterCommands(false);
        kit.node.onLine = [&](int, const QString &line) {
            if (line == kit.node.loginCallsign())
                return;
            if (line != backFill) {
                if (line == QStringLiteral("stat/us"))
                    kit.node.sendLines({QStringLiteral("Want RBN Spots : No"),
                                        QStringLiteral("Want RBN Beacon : No")});
                kit.node.sendPrompt();
                return;
            }
            kit.node.sendBurst(talk.toUtf8());
            QTimer::singleShot(150, &kit.node, [&] {
                kit.node.sendBurst(("\r\n" + spotLineFor(QStringLiteral("OLD1")) + "\r\n" +
                                    spotLineFor(QStringLiteral("OLD2")) + "\r\n")
                                       .toUtf8());
                kit.node.sendPrompt();
            });
        };
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 2; }));
        QCOMPARE(kit.spotCalls(), (QStringList{QStringLiteral("OLD1"), QStringLiteral("OLD2")}));
        QVERIFY(kit.liveSpots.isEmpty());
        QVERIFY(kit.consoleHas(talk));
    }

    // A step whose reply never ends in a prompt is given up after its time-out: the sequence goes
    // on to the back-fill, and the operator's command shows its reply.
    void stepWithoutClosingPrompt_timesOutAndTheSequenceGoesOn_data()
    {
        QTest::addColumn<QString>("silentCommand");
        QTest::newRow("RBN status") << QStringLiteral("stat/us");
        QTest::newRow("filter check") << QStringLiteral("sh/filter");
    }

    void stepWithoutClosingPrompt_timesOutAndTheSequenceGoesOn()
    {
        QFETCH(QString, silentCommand);
        ConnectionKit kit;
        kit.node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No"),
                                                      QStringLiteral("Want RBN Beacon : No")});
        kit.node.setReply(operatorCommand, {operatorReply});
        kit.node.setPromptAfterCommands(false);
        kit.node.onLine = [&](int, const QString &line) {
            if (line == kit.node.loginCallsign())
                return;
            if (line == silentCommand) {
                kit.node.sendLine(QStringLiteral("a reply without its prompt"));
                return;
            }
            const QStringList reply = line == QStringLiteral("stat/us")
                                          ? QStringList{QStringLiteral("Want RBN Spots : No"),
                                                        QStringLiteral("Want RBN Beacon : No")}
                                      : line == operatorCommand ? QStringList{operatorReply}
                                                                : QStringList{};
            kit.node.sendLines(reply);
            kit.node.sendPrompt();
        };
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(backFill); }));
        kit.connection->sendUserCommand(operatorCommand);
        QVERIFY(consoleHasFor(kit, operatorReply));
    }

    // A node that accepts and never asks for the callsign fails the attempt after the attempt
    // time-out, whether or not the attempt was a supervised one.
    void acceptedButNeverAsked_isAFailedAttempt_data()
    {
        QTest::addColumn<bool>("backupEnabled");
        QTest::addColumn<QString>("consoleText");
        QTest::newRow("supervised")
            << true << QStringLiteral("Primary reconnect attempt timed out after 5 seconds.");
        QTest::newRow("unsupervised")
            << false << QStringLiteral("No login prompt from the node. Reconnecting…");
    }

    void acceptedButNeverAsked_isAFailedAttempt()
    {
        QFETCH(bool, backupEnabled);
        QFETCH(QString, consoleText);
        FakeClusterNode primary;
        primary.setBehaviour(FakeClusterNode::Behaviour::Silent);
        ResilienceHarness h;
        h.usePrimary(primary);
        h.setBool(SettingsKeys::backupClusterEnabled, backupEnabled);
        h.connectAsWindowDoes();
        QTRY_VERIFY_WITH_TIMEOUT(h.conn->isConnected(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(h.consoleHas(consoleText), 5000);
        QVERIFY(!h.conn->isConnected());
        QVERIFY(h.conn->statusText() != QStringLiteral("Connected — waiting for login prompt"));
        QTRY_COMPARE_WITH_TIMEOUT(primary.connectionCount(), 2, 5000); // tried again
    }

    void liveSpotListedAgainInTheBackFill_isNotDuplicated()
    {
        ConnectionKit kit;
        const QString twice = spotLineFor(QStringLiteral("TWICE"), 3);
        // The spot comes in live during the status reply, then the listing repeats it.
        kit.node.setReply(QStringLiteral("stat/us"), {twice, QStringLiteral("Want RBN Spots : No"),
                                                      QStringLiteral("Want RBN Beacon : No")});
        kit.node.setReply(backFill, {twice, spotLineFor(QStringLiteral("OLDER"), 2)});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.spotCalls().contains(QStringLiteral("OLDER")); }));
        QCOMPARE(kit.spotCalls(), (QStringList{QStringLiteral("OLDER"), QStringLiteral("TWICE")}));
        QCOMPARE(kit.liveSpots.size(), 1);
    }

    // The node's refusal of our own keepalive "ping" is kept off the console like its "pong",
    // and so is the prompt that follows it.
    void refusalOfTheKeepalivePing_staysOffTheConsole()
    {
        ClusterTiming timing = fastTiming();
        timing.keepaliveIdle = 300ms;
        ConnectionKit kit(timing);
        kit.node.setReply(QStringLiteral("ping"), {QStringLiteral("Not Allowed")});
        kit.node.setReply(QStringLiteral("marker"), {QStringLiteral("marker seen")});
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(QStringLiteral("ping")); }));
        kit.settle(200);
        kit.connection->sendUserCommand(QStringLiteral("marker"));
        QVERIFY(consoleHasFor(kit, QStringLiteral("marker seen")));
        QVERIFY(!kit.consoleHas(QStringLiteral("Not Allowed")));
        QVERIFY(kit.connection->isLoggedIn());
    }

    // Twenty logins in a row while the node streams spots: each completes, reaches the back-fill
    // and shows the reply of an operator command sent right after.
    void twentyLoginsWhileTheNodeStreams_allComplete()
    {
        ConnectionKit kit;
        kit.node.setSpotAfterPrompt(true);
        kit.node.setReply(operatorCommand, {operatorReply});
        kit.node.startSpotStream(500);
        for (int login = 0; login < 20; ++login) {
            const qsizetype consoleBefore = kit.connection->lines().size();
            kit.connectTo(kit.node);
            QVERIFY2(kit.waitFor([&] { return kit.connection->isLoggedIn(); }),
                     qPrintable(QString::number(login)));
            QVERIFY2(kit.waitFor([&] { return kit.node.countReceived(backFill, login) == 1; }),
                     qPrintable(QString::number(login)));
            kit.connection->sendUserCommand(operatorCommand);
            QVERIFY2(kit.waitFor([&] {
                const QList<ClusterLine> &lines = kit.connection->lines();
                return std::any_of(
                    lines.begin() + std::min(consoleBefore, lines.size()), lines.end(),
                    [](const ClusterLine &line) { return line.text == operatorReply; });
            }),
                     qPrintable(QString::number(login)));
            QCOMPARE(kit.node.connectionCount(), login + 1); // no reconnect in between
        }
        kit.node.stopSpotStream();
    }
};

QTEST_GUILESS_MAIN(TestClusterBusyNode)
#include "tst_ClusterBusyNode.moc"
