#include "ClusterConnectionTestKit.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QRandomGenerator>

#include <array>
#include <cmath>
#include <ctime>
#include <fstream>
#include <functional>
#include <limits>

using namespace varnello;
using namespace varnello::test;

namespace {

const QString backfillMarker = QStringLiteral("B4CKFILL");

// Logs in and waits until the back-fill (one marker spot) was listed, so that every later spot is
// a live one.
bool logInPastBackfill(ConnectionKit &kit)
{
    kit.node.setReply(QString(ClusterConnection::recentSpotsCommand),
                      {spotLineFor(backfillMarker)});
    return kit.logIn() && kit.waitFor([&] { return kit.spotCalls().contains(backfillMarker); });
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The CPU time this thread has used, which other programs on a busy machine leave alone.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

qint64 residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    qint64 size = 0;
    qint64 resident = 0;
    statm >> size >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace

class TestClusterConnectionReceive : public QObject {
    Q_OBJECT
    // How often the prompt-like text below is received in a row.
    static constexpr int cycles = 4;

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // ----- Framing

    void framing_handlesCrLfAndLoneCrAndKeepsTheTail()
    {
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        kit.node.send("L1\r\nL2\rtail");
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("L2")); }));
        kit.settle(100);
        QVERIFY(kit.consoleHas(QStringLiteral("L1")));
        QVERIFY(!kit.console().join(u'|').contains(QStringLiteral("tail")));
        kit.node.send(" end\n\nafter\n");
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("after")); }));
        const QStringList console = kit.console();
        const qsizetype at = console.indexOf(QStringLiteral("tail end"));
        QVERIFY(at > 0);
        QCOMPARE(console.value(at + 1), QString()); // an empty line is a line
        QCOMPARE(console.value(at + 2), QStringLiteral("after"));
    }

    void framing_crLfCutBetweenChunksIsOneLineBreak()
    {
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        kit.node.send("first\r");
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("first")); }));
        kit.node.send("\nsecond\r\n");
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("second")); }));
        const QStringList console = kit.console();
        QCOMPARE(console.mid(console.size() - 2),
                 (QStringList{QStringLiteral("first"), QStringLiteral("second")}));
    }

    void framing_splitWritesDeliverEverySpotOnce()
    {
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        kit.node.setSplitWrites(true);
        QStringList calls;
        for (int i = 0; i < 12; ++i) {
            calls.prepend(QStringLiteral("DL%1XYZ").arg(i));
            kit.node.sendLine(spotLineFor(calls.constFirst(), i));
        }
        QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() >= 12; }, 20000));
        kit.settle(200);
        QCOMPARE(kit.liveSpots.size(), 12);
        QCOMPARE(kit.spotCalls().mid(0, 12), calls);
    }

    void framing_invalidUtf8ShowsReplacementAndTheConnectionSurvives()
    {
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        kit.node.send(QByteArray("ab\xff\xfe cd\0e\x07\r\n", 12));
        QVERIFY(kit.waitFor([&] { return kit.console().size() >= 3; }));
        QCOMPARE(kit.console().constLast(),
                 QStringLiteral("ab\uFFFD\uFFFD cd") + QChar(0) + QStringLiteral("e\a"));
        kit.node.sendLine(QStringLiteral("still here"));
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("still here")); }));
        QVERIFY(kit.connection->isConnected());
    }

    void framing_promptWithoutLineEndDoesNotSwallowTheNextSpot_data()
    {
        QTest::addColumn<FakeClusterNode::LineBreak>("style");
        QTest::newRow("break after the text") << FakeClusterNode::LineBreak::After;
        QTest::newRow("break before the text") << FakeClusterNode::LineBreak::Before;
    }

    void framing_promptWithoutLineEndDoesNotSwallowTheNextSpot()
    {
        QFETCH(FakeClusterNode::LineBreak, style);
        ConnectionKit kit;
        kit.node.setLineBreak(style);
        QVERIFY(logInPastBackfill(kit));
        for (int i = 0; i < 3; ++i) {
            kit.node.sendPrompt();
            kit.settle(50); // the prompt arrives on its own, as from a real node
            kit.node.sendLine(spotLineFor(QStringLiteral("K%1ABC").arg(i)));
            QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() == i + 1; }));
        }
        QCOMPARE(kit.spotCalls().mid(0, 3),
                 (QStringList{QStringLiteral("K2ABC"), QStringLiteral("K1ABC"),
                              QStringLiteral("K0ABC")}));
    }

    // A prompt followed by a chunk that opens with the line break ending it is framed as if the
    // two had come together: no empty line appears between them.
    void framing_promptEndedByTheNextChunksLineBreakAddsNoEmptyLine_data()
    {
        QTest::addColumn<QByteArray>("next");
        QTest::newRow("CR LF") << QByteArray("\r\nplain text\r\n");
        QTest::newRow("LF") << QByteArray("\nplain text\n");
        QTest::newRow("lone CR") << QByteArray("\rplain text\r");
    }

    void framing_promptEndedByTheNextChunksLineBreakAddsNoEmptyLine()
    {
        QFETCH(QByteArray, next);
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        kit.settle(100);
        // The login's last prompt has no line end either: a copy right behind it would be one
        // line with it, as the node sent them.
        ClusterConnectionTestAccess::receive(*kit.connection, "\r\n");
        const QString prompt = kit.node.promptFor(QStringLiteral("N0CALL"));
        ClusterConnectionTestAccess::receive(*kit.connection, prompt.toUtf8());
        ClusterConnectionTestAccess::receive(*kit.connection, next);
        const QStringList console = kit.console();
        const qsizetype at = console.lastIndexOf(prompt);
        QVERIFY(at >= 0);
        QCOMPARE(console.mid(at), (QStringList{prompt, QStringLiteral("plain text")}));
    }

    void framing_tenMegabytesWithoutLineEndStayBounded()
    {
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        const qint64 residentBefore = residentBytes();
        const double cpuBefore = cpuSeconds();
        // Spot lines whose line ends were lost: the cut pieces begin like spots but are none.
        QByteArray megabyte = (spotLineFor(QStringLiteral("K1ABC")) + u' ').toUtf8();
        megabyte = megabyte.repeated(1024 * 1024 / megabyte.size() + 1).left(1024 * 1024);
        for (int i = 0; i < 10; ++i)
            kit.node.sendBurst(megabyte);
        // The 10 MiB are one line: its first piece is shown, shortened, and the rest let go up to
        // its end.
        kit.node.send("\r\nafter\r\n");
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("after")); }, 60000));
        const double cpu = cpuSeconds() - cpuBefore;
        const qint64 growth = residentBytes() - residentBefore;
        QCOMPARE(kit.connection->lines().size(), 2 + 2);
        const QString shown = kit.console().at(2);
        QCOMPARE(shown.size(), ClusterConnection::maximumConsoleLineLength + 1);
        QVERIFY(shown.endsWith(u'…'));
        QVERIFY(kit.connection->spots().isEmpty());
        QVERIFY(kit.connection->isConnected());
        qInfo("10 MiB without a line end: %.2f s CPU, resident growth %lld KiB", cpu,
              growth / 1024);
        QVERIFY2(cpu < 2.0, qPrintable(QString::number(cpu)));
#if !defined(VARNELLO_SANITIZE)
        // Under AddressSanitizer freed memory stays resident in its quarantine, so the memory
        // budget only holds for a plain build.
        QVERIFY2(growth < 20 * 1024 * 1024, qPrintable(QString::number(growth)));
#endif
    }

    void anyByteStream_leavesTheConnectionUpAndResponsive()
    {
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        QRandomGenerator random(7);
        const QList<QByteArray> pieces{"DX de ",   "N0CALL de NODE dxspider >",
                                       "\r",       "\n",
                                       "\r\n",     QByteArray(1, '\0'),
                                       "\xff\xfe", "\xe2\x82",
                                       "14025.0 ", "1234Z",
                                       "login: ",  "password: ",
                                       ">",        "pong\r\n"};
        QByteArray noise;
        while (noise.size() < 2 * 1024 * 1024) {
            if (random.bounded(4) == 0) {
                noise += pieces[random.bounded(pieces.size())];
            } else {
                for (int i = random.bounded(1, 200); i > 0; --i)
                    noise += char(random.bounded(256));
            }
        }
        kit.node.sendBurst(noise);
        kit.node.sendLine(QString());
        kit.node.sendLine(spotLineFor(QStringLiteral("AFTER1")));
        QVERIFY(kit.waitFor(
            [&] {
                return !kit.liveSpots.isEmpty() &&
                       kit.liveSpots.constLast().callsign == QStringLiteral("AFTER1");
            },
            60000));
        QVERIFY(kit.connection->isConnected());
        QVERIFY(kit.connection->isLoggedIn());
        QCOMPARE(kit.connection->statusText(), QStringLiteral("Logged in"));
        QVERIFY(kit.connection->lines().size() <= ClusterConnection::maximumLines);
        QVERIFY(kit.connection->spots().size() <= ClusterConnection::maximumSpots);
    }

    void closeAtAnyStepOfTheLogin_endsCleanly_data()
    {
        QTest::addColumn<FakeClusterNode::Behaviour>("behaviour");
        QTest::addColumn<QString>("status");
        QTest::addColumn<LoginState>("state");
        QTest::newRow("close before the prompt") << FakeClusterNode::Behaviour::CloseBeforePrompt
                                                 << "Connection closed" << LoginState::disconnected;
        QTest::newRow("close after login") << FakeClusterNode::Behaviour::CloseAfterLogin
                                           << "Connection closed" << LoginState::disconnected;
    }

    void closeAtAnyStepOfTheLogin_endsCleanly()
    {
        QFETCH(FakeClusterNode::Behaviour, behaviour);
        QFETCH(QString, status);
        QFETCH(LoginState, state);
        ConnectionKit kit;
        kit.node.setBehaviour(behaviour);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor(
            [&] { return kit.consoleHas(QStringLiteral("Connection closed by remote node.")); }));
        QCOMPARE(kit.connection->statusText(), status);
        QCOMPARE(kit.connection->loginState(), state);
        QVERIFY(!kit.connection->isConnected());
        QVERIFY(!kit.connection->isLoggedIn());
    }

    void resetDuringLogin_isAReceiveEnd()
    {
        ConnectionKit kit;
        kit.node.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.node.hasReceived(QStringLiteral("N0CALL")); }));
        kit.node.resetConnection();
        QVERIFY(kit.waitFor([&] { return !kit.connection->isConnected(); }));
        QVERIFY(kit.connection->loginState() == LoginState::disconnected ||
                kit.connection->loginState() == LoginState::failed);
        QVERIFY(!kit.connection->isLoggedIn());
    }

    // Prompt-like text up to the line cap, in reads that each end where a prompt could: every
    // read runs the prompt tests, before the login and after, and takes time in proportion to
    // the text (backtracking patterns took the square of the unfinished line at every read, and
    // seconds for one line of 2,000 blanks, minutes for 8,000; a line of copies walked again at
    // every read took the square of its length). Each row comes at two sizes, the second an
    // eighth of the first, and the thread's CPU time of the two is compared, which a busy
    // machine leaves alone; the figures themselves are the benchmarks' (bench_cluster).
    void promptLikeText_holdsTheLoopBriefly_data()
    {
        QTest::addColumn<bool>("loggedIn");
        QTest::addColumn<QByteArrayList>("reads");
        QTest::addColumn<QByteArrayList>("eighth"); // the same text, an eighth of its size
        QTest::addColumn<QString>("learned");       // the prompt the user set ("": none)
        QTest::addColumn<int>("consoleLines");      // the most all the reads show (-1: any)
        // The text of `eighths` eighths of the row's size.
        using Text = std::function<QByteArrayList(int eighths)>;
        const auto row = [](const char *name, bool loggedIn, const QString &learned,
                            int consoleLines, const Text &text) {
            QTest::newRow(name) << loggedIn << text(8) << text(1) << learned << consoleLines;
        };
        const auto inReadsOf = [](const QByteArray &text, qsizetype bytes) {
            QByteArrayList reads;
            for (qsizetype at = 0; at < text.size(); at += bytes)
                reads.append(text.mid(at, bytes));
            return reads;
        };
        row("prompt beginnings, then reads ending in >", true, QString(), -1, [](int eighths) {
            QByteArray run;
            while (run.size() < 875 * eighths)
                run += "N0CALL de NODE ";
            return QByteArrayList{run} + QByteArrayList(25 * eighths, ">b >");
        });
        // Copies of the prompt that nothing waits for: a line of thousands in one read (the
        // read's share of the loop), one line over many reads, however they cut it, and a line
        // the node sent is one console line (two when it ends in other text behind copies of a
        // prompt of the standard shape); copies a line each: a read looked through once. A line
        // in small reads fits under the cap at both sizes: the cap bounds the cost of a line
        // walked again at every read, and would hide it.
        const QString ownCopy = QStringLiteral(">");
        const auto copies = [](int eighths) {
            return QByteArray((ClusterConnection::maximumPartialLineLength - 2) * eighths / 8, '>');
        };
        row("a line of copies of the learned >", true, ownCopy, 2 * cycles,
            [&](int eighths) { return QByteArrayList{"\r\n" + copies(eighths) + "\r\n"}; });
        row("copies of the learned > without a line end", true, ownCopy, 1,
            [](int eighths) { return QByteArrayList(8, QByteArray(512 * eighths, '>')); });
        row("copies of the learned > in reads of 8 bytes", true, ownCopy, cycles,
            [&](int eighths) { return inReadsOf(copies(eighths) + "x\r\n", 8); });
        row("copies of the learned > a byte at a time", true, ownCopy, cycles,
            [&](int eighths) { return inReadsOf(QByteArray(256 * eighths, '>') + "\r\n", 1); });
        row("lines of the learned >, thousands in one read", true, ownCopy, -1, [](int eighths) {
            return QByteArrayList{QByteArray(">\r\n").repeated(250 * eighths)};
        });
        static const QByteArray own("N0CALL de GB7TST >");
        row("a line of copies of a learned prompt of the standard shape, then text", true,
            QString::fromLatin1(own), 2 * cycles,
            [](int eighths) { return QByteArrayList{own.repeated(455 * eighths) + "x\r\n"}; });
        static const QByteArray dated("N0CALL@GB7TST: 9-Dec-2026>");
        const QString datedOwn = QStringLiteral("N0CALL@GB7TST:10-Dec-2026>");
        row("copies of a learned prompt with a date in reads of 8 bytes", true, datedOwn, cycles,
            [&](int eighths) { return inReadsOf(dated.repeated(39 * eighths) + "x\r\n", 8); });
        row("copies of a learned prompt with a date, glued to a spot", true, datedOwn, 4 * cycles,
            [](int eighths) {
                return QByteArrayList(4, dated.repeated(20 * eighths) +
                                             spotLineFor(QStringLiteral("K1ABC")).toUtf8() +
                                             "\r\n");
            });
        static const QByteArray standard("N0CALL de GB7TST  9-Dec-2026 1200Z dxspider >");
        row("a line of copies of the standard prompt", true, QString(), cycles,
            [](int eighths) { return QByteArrayList{standard.repeated(3750 * eighths) + "\r\n"}; });
        row("copies of the standard prompt in reads of 8 bytes", true, QString(), 2 * cycles,
            [&](int eighths) { return inReadsOf(standard.repeated(22 * eighths) + "x\r\n", 8); });
        static const std::array<std::pair<const char *, const char *>, 3> lines{{
            {"call, de, blanks", "N0CALL de %1\r\n"},
            {"call, de, name, blanks, > without line end", "N0CALL de NODE%1>"},
            {"away call, de, blanks, arc", "(N0CALL) de %1arc\r\n"},
        }};
        for (const bool loggedIn : {false, true}) {
            for (const auto &[name, line] : lines) {
                const QByteArray rowName =
                    QByteArray(name) + (loggedIn ? ", logged in" : ", before the login");
                row(rowName.constData(), loggedIn, QString(), -1, [line](int eighths) {
                    const QString text =
                        QString::fromLatin1(line).arg(QString(1000 * eighths, u' '));
                    return QByteArrayList{text.toLatin1(), "\r\n"};
                });
            }
        }
    }

    void promptLikeText_holdsTheLoopBriefly()
    {
        QFETCH(bool, loggedIn);
        QFETCH(QByteArrayList, reads);
        QFETCH(QByteArrayList, eighth);
        QFETCH(QString, learned);
        QFETCH(int, consoleLines);
        // Eight times the text costs about eight times as much (less where each read has a cost
        // of its own); the square of the length, 64 times. What else the machine runs can only
        // add to a round's time: a round that shows a little more is tried again, the least time
        // counting.
        constexpr double mostTimes = 3 * 8;
        std::array<double, 2> cpuMs{std::numeric_limits<double>::infinity(),
                                    std::numeric_limits<double>::infinity()};
        const auto retry = [&] {
            const double times = cpuMs[0] / cpuMs[1];
            return std::isnan(times) || (times >= mostTimes && times < 2 * mostTimes);
        };
        for (int round = 0; round < 3 && retry(); ++round) {
            for (const QByteArrayList *text : {&reads, &eighth}) {
                ConnectionKit kit;
                if (loggedIn) {
                    QVERIFY(logInPastBackfill(kit));
                    // The node's last prompt has no line end: its line ends here.
                    ClusterConnectionTestAccess::receive(*kit.connection, "\r\n");
                    if (!learned.isEmpty())
                        ClusterConnectionTestAccess::learnPrompt(*kit.connection, learned);
                } else {
                    kit.node.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
                    kit.connectTo(kit.node);
                    QVERIFY(kit.waitFor(
                        [&] { return kit.node.hasReceived(QStringLiteral("N0CALL")); }));
                }
                const qsizetype linesBefore = kit.connection->lines().size();
                const double before = threadCpuMs();
                for (int cycle = 0; cycle < cycles; ++cycle) {
                    for (const QByteArray &read : *text)
                        ClusterConnectionTestAccess::receive(*kit.connection, read);
                }
                double &least = cpuMs[text == &reads ? 0 : 1];
                least = std::min(least, threadCpuMs() - before);
                QCOMPARE(kit.connection->isLoggedIn(), loggedIn);
                // A spot glued behind the prompts is still one.
                if (text->constFirst().contains("DX de"))
                    QCOMPARE(kit.liveSpots.size(), cycles * text->size());
                if (consoleLines >= 0)
                    QCOMPARE_LE(kit.connection->lines().size() - linesBefore, consoleLines);
            }
        }
        qInfo("CPU %.1f ms, for an eighth of the text %.1f ms: %.1f times", cpuMs[0], cpuMs[1],
              cpuMs[0] / cpuMs[1]);
        QVERIFY2(cpuMs[0] < mostTimes * cpuMs[1],
                 qPrintable(QStringLiteral("%1 ms, %2 ms").arg(cpuMs[0]).arg(cpuMs[1])));
    }

    // ----- Lists and their caps

    void console_neverExceedsItsCap()
    {
        ConnectionKit kit;
        QVERIFY(connectSilent(kit));
        QByteArray burst;
        for (int i = 0; i < 6000; ++i)
            burst += "line " + QByteArray::number(i) + "\r\n";
        QSignalSpy changes(kit.connection.get(), &ClusterConnection::linesChanged);
        int largest = 0;
        QObject::connect(kit.connection.get(), &ClusterConnection::linesChanged,
                         [&] { largest = std::max<int>(largest, kit.connection->lines().size()); });
        kit.node.sendBurst(burst);
        QVERIFY(
            kit.waitFor([&] { return kit.console().constLast() == QStringLiteral("line 5999"); }));
        QCOMPARE(kit.connection->lines().size(), ClusterConnection::maximumLines);
        QCOMPARE(largest, ClusterConnection::maximumLines);
        QCOMPARE(kit.console().constFirst(), QStringLiteral("line 1000"));
    }

    void spots_newestFirstAndCapped()
    {
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        QStringList lines;
        for (int i = 0; i < 6000; ++i)
            lines.append(spotLineFor(QStringLiteral("S%1X").arg(i), i));
        int largest = 0;
        QObject::connect(kit.connection.get(), &ClusterConnection::spotsChanged,
                         [&] { largest = std::max<int>(largest, kit.connection->spots().size()); });
        kit.node.sendLines(lines);
        QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() == 6000; }, 30000));
        QCOMPARE(kit.connection->spots().size(), ClusterConnection::maximumSpots);
        QCOMPARE(largest, ClusterConnection::maximumSpots);
        QCOMPARE(kit.connection->spots().constFirst().callsign, QStringLiteral("S5999X"));
        QCOMPARE(kit.connection->spots().constLast().callsign, QStringLiteral("S1000X"));
        QCOMPARE(kit.liveSpots.constLast().callsign, QStringLiteral("S5999X"));
    }

    // ----- Back-fill

    void backfill_appearsTogetherAtThePromptFirstListedFirstAndIsNotLive()
    {
        ConnectionKit kit;
        const QStringList calls{QStringLiteral("A1AA"), QStringLiteral("B2BB"),
                                QStringLiteral("C3CC")};
        QStringList reply;
        for (const QString &call : calls)
            reply.append(spotLineFor(call));
        reply.insert(1, QStringLiteral("a line that is no spot"));
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand), reply);
        QList<qsizetype> sizes;
        QObject::connect(kit.connection.get(), &ClusterConnection::spotsChanged,
                         [&] { sizes.append(kit.connection->spots().size()); });
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 3; }));
        QCOMPARE(kit.spotCalls(), calls);
        QCOMPARE(sizes, QList<qsizetype>{3});
        QVERIFY(kit.liveSpots.isEmpty());
        QVERIFY(kit.consoleHas(QStringLiteral("a line that is no spot")));
    }

    void backfill_ofMoreThanTheCapKeepsTheFirstListed()
    {
        // Five thousand lines take longer than the usual short step time-out on a loaded
        // machine; a listing cut by the time-out is another test's subject.
        ClusterTiming timing = fastTiming();
        timing.stepReplyTimeout = 10s;
        ConnectionKit kit(timing);
        QVERIFY(logInPastBackfill(kit)); // one older spot in the list
        kit.connection->disconnect();
        QStringList reply;
        for (int i = 0; i < 5010; ++i)
            reply.append(spotLineFor(QStringLiteral("R%1X").arg(i), i));
        kit.node.setReply(QString(ClusterConnection::recentSpotsCommand), reply);
        kit.connectTo(kit.node);
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 5000; }, 30000));
        QCOMPARE(kit.connection->spots().constFirst().callsign, QStringLiteral("R0X"));
        QCOMPARE(kit.connection->spots().constLast().callsign, QStringLiteral("R4999X"));
        QVERIFY(!kit.spotCalls().contains(backfillMarker));
        QVERIFY(kit.liveSpots.isEmpty());
    }

    void backfill_withoutClosingPromptEndsAfterItsTimeout()
    {
        ConnectionKit kit;
        kit.node.setPromptAfterCommands(false);
        kit.node.onLine = [&](int, const QString &line) {
            if (line == QString(ClusterConnection::recentSpotsCommand))
                kit.node.sendLines(
                    {spotLineFor(QStringLiteral("OLD1")), spotLineFor(QStringLiteral("OLD2"))});
            else if (kit.node.loginCallsign() != line)
                kit.node.sendPrompt();
        };
        QVERIFY(kit.logIn());
        QVERIFY(kit.waitFor([&] { return kit.connection->spots().size() == 2; }));
        QVERIFY(kit.liveSpots.isEmpty());
        kit.node.sendLine(spotLineFor(QStringLiteral("LIVE1")));
        QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() == 1; }));
        QCOMPARE(kit.spotCalls(), (QStringList{QStringLiteral("LIVE1"), QStringLiteral("OLD1"),
                                               QStringLiteral("OLD2")}));
    }

    // ----- Other node lines

    void registrationNotice_onlyFromTheDefaultNode()
    {
        for (const bool isDefault : {true, false}) {
            ClusterTiming timing = fastTiming();
            ConnectionKit kit(timing);
            ClusterConnectionEnvironment env;
            env.settings = kit.store.get();
            env.timing = timing;
            env.defaultPrimaryHost =
                isDefault ? QStringLiteral("127.0.0.1") : QStringLiteral("node.example");
            kit.connection = std::make_unique<ClusterConnection>(nullptr, env);
            QVERIFY(logInPastBackfill(kit));
            kit.node.sendLine(QStringLiteral("Please register: mail REGISTER@KA2PBT.COM"));
            QVERIFY(kit.waitFor([&] {
                return kit.consoleHas(QStringLiteral("Please register: mail REGISTER@KA2PBT.COM"));
            }));
            QCOMPARE(kit.connection->registrationRequired(), isDefault);
        }
    }

    void spotSubmissionRefusal_setsTheAlertMessage()
    {
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        kit.node.setReply(QStringLiteral("dx 14025.0 DL1ABC"),
                          {QStringLiteral("Sorry, you need to be registered to send spots")});
        kit.connection->sendSpot(QStringLiteral("dl1abc"), QStringLiteral("14025.0"), {});
        QVERIFY(
            kit.waitFor([&] { return kit.connection->spotSubmissionAlertMessage().has_value(); }));
        QCOMPARE(
            *kit.connection->spotSubmissionAlertMessage(),
            QStringLiteral("This DX cluster requires your callsign to be registered before you "
                           "can submit spots."));
    }

    void duplicateLoginLine_isParsed_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("address");
        QTest::newRow("record")
            << "Reconnected as N0CALL-3 at 192.0.2.10, this instance is disconnected"
            << "N0CALL-3"
            << "192.0.2.10";
        QTest::newRow("blank callsign")
            << "Reconnected as   at 192.0.2.10, this instance is disconnected"
            << ""
            << "";
        QTest::newRow("no at") << "Reconnected as N0CALL, this instance is disconnected"
                               << ""
                               << "";
        QTest::newRow("lower case")
            << "reconnected as N0CALL at 1.2.3.4, this instance is disconnected"
            << ""
            << "";
        QTest::newRow("overlapping ends") << "Reconnected as, this instance is disconnected"
                                          << ""
                                          << "";
    }

    void duplicateLoginLine_isParsed()
    {
        QFETCH(QString, line);
        QFETCH(QString, callsign);
        QFETCH(QString, address);
        const std::optional<DuplicateConnection> record =
            ClusterConnection::parseDuplicateLoginLine(line);
        QCOMPARE(record.has_value(), !callsign.isEmpty());
        if (record)
            QCOMPARE(*record, (DuplicateConnection{callsign, address}));
    }

    void duplicateLoginLine_isStoredAndShown()
    {
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        const QString line =
            QStringLiteral("Reconnected as N0CALL at 192.0.2.10, this instance is disconnected");
        kit.node.sendLine(line);
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(line); }));
        QCOMPARE(kit.connection->autoReconnectController().pendingDuplicateConnection(),
                 (DuplicateConnection{QStringLiteral("N0CALL"), QStringLiteral("192.0.2.10")}));
    }

    void rejectedTestSpot_leavesNoTrace()
    {
        ConnectionKit kit;
        QVERIFY(logInPastBackfill(kit));
        kit.node.sendLine(
            QStringLiteral("DX de W1AW:      14000.0  DL1ABC       test          1200Z"));
        kit.node.sendLine(QStringLiteral("pong"));
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("pong")); }));
        QVERIFY(!kit.console().join(u'|').contains(QStringLiteral("DL1ABC")));
        QVERIFY(!kit.spotCalls().contains(QStringLiteral("DL1ABC")));
    }
};

QTEST_GUILESS_MAIN(TestClusterConnectionReceive)
#include "tst_ClusterConnectionReceive.moc"
