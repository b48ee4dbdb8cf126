#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "FakeClusterNode.h"
#include "RbnSkimmerSettings.h"

#include <QStandardPaths>
#include <QTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace varnello;
using varnello::test::FakeClusterNode;

namespace {

constexpr int waitMs = 15000;

const QString statUs = QStringLiteral("stat/us");
const QString shFilter = QStringLiteral("sh/filter");
const QString backFill = QStringLiteral("sh/dx filter real 50");
const QString ownFilter = QStringLiteral("rej/spot 9 on 100000/100001");
const QString clearOwn = QStringLiteral("clear/spots 9");
const QString clearAll = QStringLiteral("clear/spots all");

// A status that already names the beacon mode, so no kick follows.
const QStringList statusWithBeacon{"User Information for the test node", "Want RBN Spots : No",
                                   "Want RBN Beacon : No"};

// One connection object talking to one fake node, with the settings kept in memory.
struct Rig {
    AppSettingsStore store{std::nullopt};
    AppSettingsStore::SharedOverride storeOverride{store};
    FakeClusterNode node;
    std::unique_ptr<ClusterConnection> connection;
    // Extra script for commands the canned replies do not cover.
    std::function<void(int index, const QString &line)> onCommand;
    qsizetype spotsBeforeLogin = 0;
    int backFillsListed = 0;

    explicit Rig(ClusterTiming timing = {})
    {
        ClusterConnectionEnvironment environment;
        environment.settings = &store;
        environment.timing = timing;
        connection = std::make_unique<ClusterConnection>(nullptr, environment);
        node.setReply(statUs, statusWithBeacon);
        // The back-fill lists one spot, so its end shows as a new entry in the spot list.
        node.setReply(backFill, {FakeClusterNode::spotLine(1)});
        node.onLine = [this](int index, const QString &line) {
            // A spot already in the list is not listed twice, so each back-fill brings a new one.
            if (line == backFill)
                node.setReply(backFill, {FakeClusterNode::spotLine(++backFillsListed + 1)});
            // Answered after the prompt, so by the time this line shows in the console every
            // prompt before it has been dealt with.
            if (line.startsWith(QLatin1String("settle")))
                node.sendLine(QStringLiteral("settled ") + line, index);
            if (onCommand)
                onCommand(index, line);
        };
    }

    void connectTo(const QString &callsign, ConnectionOrigin origin,
                   ClusterNodeRole role = ClusterNodeRole::primary)
    {
        spotsBeforeLogin = connection->spots().size();
        connection->connect(QStringLiteral("127.0.0.1"), node.port(), callsign, QString(), role,
                            false, true, origin);
    }

    // Waits until the back-fill that ends the post-login steps has been listed and closed.
    bool waitForBackFill()
    {
        return QTest::qWaitFor([&] { return connection->spots().size() > spotsBeforeLogin; },
                               waitMs);
    }

    // Lines the node received on one connection after the login callsign.
    QStringList commands(int index) const { return node.receivedLines(index).mid(1); }

    // Sends a console command (a new marker each time) and waits for the node's answer to it: every
    // command the connection sent before has then arrived, and every prompt before it has been
    // handled.
    bool settle(const QString &marker = QStringLiteral("settle"))
    {
        connection->sendUserCommand(marker);
        const QString answer = QStringLiteral("settled ") + marker;
        return QTest::qWaitFor(
            [&] {
                const QStringList texts = consoleTexts();
                return std::any_of(texts.begin(), texts.end(),
                                   [&](const QString &text) { return text.endsWith(answer); });
            },
            waitMs);
    }

    // The node prompts only where the script says so: the status reply comes with its prompt, the
    // filter list is answered by `filterReply`, which decides about the prompt itself.
    void answerFilterListWith(std::function<void(int index)> filterReply)
    {
        node.setPromptAfterCommands(false);
        onCommand = [this, filterReply = std::move(filterReply)](int index, const QString &line) {
            if (line == statUs) {
                node.sendLines(statusWithBeacon, index);
                node.sendPrompt(index);
            } else if (line == shFilter) {
                filterReply(index);
            }
        };
    }

    QStringList consoleTexts() const
    {
        QStringList texts;
        for (const ClusterLine &line : connection->lines())
            texts.append(line.text);
        return texts;
    }
};

} // namespace

class tst_ClusterPostLogin : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void dxSpiderLogin_readsStatusKicksOnceAndSavesPrimarySettings()
    {
        Rig rig;
        rig.node.setReply(statUs,
                          {"Want RBN Spots : Yes", "Want RBN CW: yes", "want rbn ft4/8 :no"});
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::startup);
        QVERIFY(rig.waitForBackFill());
        QVERIFY(rig.settle());

        QCOMPARE(rig.commands(0), (QStringList{statUs, "set/skimmer BEACON", "unset/skimmer",
                                               statUs, shFilter, backFill, "settle"}));
        QVERIFY(rig.connection->rbnStatusKnown());
        QVERIFY(rig.connection->rbnEnabled());
        QCOMPARE(rig.connection->rbnModes(), RBNModeSet{RBNMode::cw});
        QCOMPARE(readPrimaryRBNStatus(rig.store),
                 std::optional<PrimaryRBNStatus>(PrimaryRBNStatus{true, {RBNMode::cw}}));
        for (const char *key :
             {"primaryRBNBeacon", "primaryRBNPSK", "primaryRBNRTTY", "primaryRBNFT"})
            QCOMPARE(rig.store.value(QString::fromLatin1(key)).has_value(), true);

        // A new connection kicks again; the operator's Refresh never does.
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::automaticReconnect);
        QVERIFY(rig.waitForBackFill());
        QVERIFY(rig.settle(QStringLiteral("settle 2")));
        QCOMPARE(rig.commands(1), (QStringList{statUs, "set/skimmer BEACON", "unset/skimmer",
                                               statUs, backFill, "settle 2"}));

        const qint64 version = rig.connection->rbnStateVersion();
        rig.connection->requestRBNStatus(false);
        QVERIFY(rig.connection->rbnStatusLoading());
        QTRY_VERIFY_WITH_TIMEOUT(!rig.connection->rbnStatusLoading(), waitMs);
        QVERIFY(rig.settle(QStringLiteral("settle again")));
        QCOMPARE(rig.commands(1).mid(6), (QStringList{statUs, "settle again"}));
        QVERIFY(rig.connection->rbnStatusKnown());
        QVERIFY(rig.connection->rbnStateVersion() > version);
    }

    void statusWithoutSpotsLine_isUnknownAndStillRunsFilterCheck()
    {
        Rig rig;
        rig.node.setReply(statUs, {"Want RBN Beacon : yes", "want rbn cw : yes"});
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 0), waitMs);
        QCOMPARE(rig.commands(0).mid(0, 3), (QStringList{statUs, shFilter, backFill}));
        QVERIFY(!rig.connection->rbnStatusKnown());
        QVERIFY(!rig.connection->rbnStatusLoading());
        QCOMPARE(readPrimaryRBNStatus(rig.store), std::nullopt);
    }

    void applyRBNSettings_sendsCaseOrderedCommandWithEcho()
    {
        Rig rig;
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::startup);
        QVERIFY(rig.waitForBackFill());
        QVERIFY(rig.settle());
        const qsizetype before = rig.commands(0).size();

        rig.connection->applyRBNSettings(true, {RBNMode::beacon, RBNMode::cw});
        QVERIFY(rig.consoleTexts().contains(QStringLiteral("> set/skimmer CW BEACON")));
        QVERIFY(rig.connection->rbnEnabled());
        QCOMPARE(rig.connection->rbnModes(), (RBNModeSet{RBNMode::cw, RBNMode::beacon}));
        QCOMPARE(readPrimaryRBNStatus(rig.store), std::optional<PrimaryRBNStatus>(PrimaryRBNStatus{
                                                      true, {RBNMode::cw, RBNMode::beacon}}));

        const qint64 version = rig.connection->rbnStateVersion();
        rig.connection->applyRBNSettings(true, {});
        QCOMPARE(rig.connection->rbnStateVersion(), version);

        rig.connection->applyRBNSettings(false, {RBNMode::cw});
        QVERIFY(rig.consoleTexts().contains(QStringLiteral("> unset/skimmer")));
        QVERIFY(!rig.connection->rbnEnabled());
        QVERIFY(rig.connection->rbnModes().isEmpty());
        QVERIFY(rig.settle(QStringLiteral("settle again")));
        QCOMPARE(rig.commands(0).mid(before),
                 (QStringList{"set/skimmer CW BEACON", "unset/skimmer", "settle again"}));
        QCOMPARE(readPrimaryRBNStatus(rig.store),
                 std::optional<PrimaryRBNStatus>(PrimaryRBNStatus{false, {}}));
    }

    void applyRBNSettings_whileLoggedOutIsIgnored()
    {
        Rig rig;
        rig.connection->applyRBNSettings(true, {RBNMode::cw});
        rig.connection->requestRBNStatus(false);
        QVERIFY(!rig.connection->rbnStatusKnown());
        QVERIFY(!rig.connection->rbnStatusLoading());
        QVERIFY(rig.consoleTexts().isEmpty());
    }

    void backupNode_mirrorsDifferingPrimarySettingsWithoutEcho_data()
    {
        QTest::addColumn<QStringList>("backupStatus");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("differs") << QStringList{"want rbn spots : yes", "want rbn beacon : no",
                                                "want rbn rtty : yes"}
                                 << QStringList{statUs, "set/skimmer CW FT", "settle"};
        QTest::newRow("equal") << QStringList{"want rbn spots : yes", "want rbn beacon : no",
                                              "want rbn cw : yes", "want rbn ft4/8 : yes"}
                               << QStringList{statUs, "settle"};
    }
    void backupNode_mirrorsDifferingPrimarySettingsWithoutEcho()
    {
        QFETCH(QStringList, backupStatus);
        QFETCH(QStringList, expected);
        Rig rig;
        writePrimaryRBNStatus(rig.store, true, {RBNMode::cw, RBNMode::ft});
        rig.node.setReply(statUs, backupStatus);
        rig.connectTo(QStringLiteral("N0CALL-2"), ConnectionOrigin::failover,
                      ClusterNodeRole::backup);
        QTRY_VERIFY_WITH_TIMEOUT(rig.connection->rbnStatusKnown(), waitMs);
        QVERIFY(rig.settle());

        QCOMPARE(rig.commands(0), expected);
        QCOMPARE(rig.connection->rbnModes(), (RBNModeSet{RBNMode::cw, RBNMode::ft}));
        QVERIFY(rig.connection->rbnEnabled());
        for (const QString &text : rig.consoleTexts())
            QVERIFY2(!text.startsWith(QLatin1String("> set/skimmer")), qPrintable(text));
        // The backup's own status never replaces the kept primary settings.
        QCOMPARE(readPrimaryRBNStatus(rig.store), std::optional<PrimaryRBNStatus>(PrimaryRBNStatus{
                                                      true, {RBNMode::cw, RBNMode::ft}}));
        // The filter check counts as done for this run.
        QVERIFY(rig.connection->clusterFilterChecker().hasCompletedSessionCheck());
    }

    void filterCheck_runsOncePerRunUnlessManualWithNumericSSID()
    {
        Rig rig;
        rig.node.setReply(shFilter, {"No filters defined for N0CALL"});
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 0), waitMs);
        QCOMPARE(rig.commands(0), (QStringList{statUs, shFilter, backFill}));

        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::automaticReconnect);
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 1), waitMs);
        QCOMPARE(rig.commands(1), (QStringList{statUs, backFill}));

        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::manual);
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 2), waitMs);
        QCOMPARE(rig.commands(2), (QStringList{statUs, backFill}));

        rig.node.setReply(shFilter, {"No filters defined for N0CALL-2"});
        rig.connectTo(QStringLiteral("N0CALL-2"), ConnectionOrigin::manual);
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 3), waitMs);
        QCOMPARE(rig.commands(3), (QStringList{statUs, shFilter, ownFilter, backFill}));
    }

    void filterCheck_replyKindsLeadToTheirCommands_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QStringList>("reply");
        QTest::addColumn<bool>("suppressed");
        QTest::addColumn<QStringList>("expected");

        const QStringList foreignAndOwn{"Filter1 accept on hf/cw",
                                        "filter 9 reject on 100000/100001",
                                        "filter9 reject on 100000/100001"};
        QTest::newRow("no filters, numeric SSID")
            << "N0CALL-2" << QStringList{"No filters defined for N0CALL-2"} << false
            << QStringList{shFilter, ownFilter, backFill};
        QTest::newRow("no filters, plain callsign")
            << "N0CALL" << QStringList{"no filters defined for n0call"} << false
            << QStringList{shFilter, backFill};
        QTest::newRow("only own filter")
            << "N0CALL-2" << QStringList{"  Filter9 Reject On 100000/100001"} << true
            << QStringList{shFilter, backFill};
        QTest::newRow("foreign, warning off, own present, numeric SSID")
            << "N0CALL-2" << foreignAndOwn << true << QStringList{shFilter, clearOwn, backFill};
        QTest::newRow("foreign, warning off, plain callsign")
            << "N0CALL" << foreignAndOwn << true << QStringList{shFilter, backFill};
    }
    void filterCheck_replyKindsLeadToTheirCommands()
    {
        QFETCH(QString, callsign);
        QFETCH(QStringList, reply);
        QFETCH(bool, suppressed);
        QFETCH(QStringList, expected);
        Rig rig;
        if (suppressed)
            rig.store.setBool(QStringLiteral("suppressUpstreamFilterWarning"), true);
        rig.node.setReply(shFilter, reply);
        rig.connectTo(callsign, ConnectionOrigin::startup);
        QVERIFY(rig.waitForBackFill());
        QVERIFY(rig.settle());
        expected.prepend(statUs);
        expected.append(QStringLiteral("settle"));
        QCOMPARE(rig.commands(0), expected);
        QCOMPARE(rig.connection->upstreamFilterWarningLines(), std::nullopt);
    }

    void filterCheck_cleanNodeForgetsSuppressedWarning()
    {
        Rig rig;
        rig.store.setBool(QStringLiteral("suppressUpstreamFilterWarning"), true);
        rig.node.setReply(shFilter, {"filter9 reject on 100000/100001"});
        rig.connectTo(QStringLiteral("N0CALL-2"), ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 0), waitMs);
        QVERIFY(!rig.store.value(QStringLiteral("suppressUpstreamFilterWarning")).has_value());
    }

    void foreignFilters_warnInOrderAndYesClearsThenSetsOwnFilter()
    {
        Rig rig;
        rig.node.setReply(shFilter, {"filter1 accept on hf/cw", "Filter9 reject on 100000/100001",
                                     "filter2 reject by_zone 14"});
        rig.node.setReply(clearAll, {"Filter(s) cleared"});
        rig.connectTo(QStringLiteral("N0CALL-2"), ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(rig.connection->upstreamFilterWarningLines().has_value(), waitMs);
        QCOMPARE(*rig.connection->upstreamFilterWarningLines(),
                 (QStringList{"filter1 accept on hf/cw", "filter2 reject by_zone 14"}));
        QVERIFY(rig.connection->warningIncludesSSIDFilterOverride());
        QVERIFY(rig.settle());
        QCOMPARE(rig.commands(0), (QStringList{statUs, shFilter, "settle"}));

        rig.connection->clearUpstreamFilters();
        QCOMPARE(rig.connection->upstreamFilterWarningLines(), std::nullopt);
        QVERIFY(!rig.connection->warningIncludesSSIDFilterOverride());
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 0), waitMs);
        QCOMPARE(rig.commands(0).mid(3), (QStringList{clearAll, ownFilter, backFill}));
        QVERIFY(!rig.consoleTexts().contains(QStringLiteral("Filter(s) cleared")));
    }

    void foreignFilters_noRemovesOwnFilterThenBackFills()
    {
        Rig rig;
        rig.node.setReply(shFilter, {"filter1 accept on hf/cw", "filter9 reject on 100000/100001"});
        rig.connectTo(QStringLiteral("N0CALL-2"), ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(rig.connection->upstreamFilterWarningLines().has_value(), waitMs);

        // The warning sheet's "No": close it, then drop the own filter it included.
        rig.connection->dismissUpstreamFilterWarning();
        QVERIFY(rig.connection->warningIncludesSSIDFilterOverride());
        rig.connection->setWarningIncludesSSIDFilterOverride(false);
        rig.connection->clearSSIDFilterOverride();
        QTRY_VERIFY_WITH_TIMEOUT(rig.node.hasReceived(backFill, 0), waitMs);
        QCOMPARE(rig.commands(0), (QStringList{statUs, shFilter, clearOwn, backFill}));
    }

    void capturedReplies_stayOffConsoleAndLaterLinesShow()
    {
        Rig rig;
        rig.node.setReply(statUs, {"Want RBN Spots : Yes", "Want RBN CW: yes"});
        rig.node.setReply(QStringLiteral("set/skimmer BEACON"), {"kick on reply"});
        rig.node.setReply(QStringLiteral("unset/skimmer"), {"kick off reply"});
        rig.node.setReply(shFilter, {"No filters defined for N0CALL-2"});
        rig.node.setReply(ownFilter, {"filter 9 added"});
        rig.connectTo(QStringLiteral("N0CALL-2"), ConnectionOrigin::startup);
        QVERIFY(rig.waitForBackFill());
        QVERIFY(rig.settle());

        rig.node.sendLine(QStringLiteral("To ALL de N1ABC: after the prompt"));
        QTRY_VERIFY_WITH_TIMEOUT(
            rig.consoleTexts().contains(QStringLiteral("To ALL de N1ABC: after the prompt")),
            waitMs);
        const QStringList console = rig.consoleTexts();
        for (const char *captured :
             {"Want RBN Spots : Yes", "Want RBN CW: yes", "kick on reply", "kick off reply",
              "No filters defined for N0CALL-2", "filter 9 added"})
            QVERIFY2(!console.contains(QString::fromLatin1(captured)), captured);
    }

    void filterReply_withoutPromptIsCappedAndKeptOffConsole()
    {
        Rig rig;
        FakeClusterNode &node = rig.node;
        rig.answerFilterListWith([&node](int index) {
            QStringList flood;
            for (int i = 0; i < 3000; ++i)
                flood.append(QStringLiteral("filter%1 reject on hf").arg(i));
            node.sendLines(flood, index);
        });
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::startup);
        QTRY_COMPARE_WITH_TIMEOUT(rig.connection->clusterFilterChecker().responseLines().size(),
                                  ClusterFilterChecker::maximumResponseLines, waitMs);
        QTest::qWait(200);
        QCOMPARE(rig.connection->clusterFilterChecker().responseLines().size(),
                 ClusterFilterChecker::maximumResponseLines);
        for (const QString &text : rig.consoleTexts())
            QVERIFY2(!text.startsWith(QLatin1String("filter")), qPrintable(text));

        node.sendPrompt();
        QTRY_VERIFY_WITH_TIMEOUT(rig.connection->upstreamFilterWarningLines().has_value(), waitMs);
        const QStringList warned = *rig.connection->upstreamFilterWarningLines();
        QCOMPARE(warned.size(), ClusterFilterChecker::maximumResponseLines);
        QCOMPARE(warned.constLast(),
                 QStringLiteral("filter%1 reject on hf").arg(warned.size() - 1));
    }

    void stalledFilterReply_keepsKeepaliveRunning()
    {
        ClusterTiming timing;
        timing.keepaliveIdle = std::chrono::milliseconds(500);
        Rig rig(timing);
        FakeClusterNode &node = rig.node;
        rig.answerFilterListWith([&node](int index) {
            node.sendLine(QStringLiteral("filter1 accept on hf"), index); // and no prompt
        });
        rig.connectTo(QStringLiteral("N0CALL"), ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(node.receivedLines(0).lastIndexOf(QStringLiteral("ping")) >
                                     node.receivedLines(0).indexOf(shFilter),
                                 waitMs);
        QVERIFY(node.hasReceived(shFilter, 0));
        QVERIFY(rig.connection->clusterFilterChecker().isAwaitingResponse());
        QVERIFY(!node.hasReceived(backFill, 0));
        QVERIFY(!rig.consoleTexts().contains(QStringLiteral("filter1 accept on hf")));
    }
};

QTEST_GUILESS_MAIN(tst_ClusterPostLogin)
#include "tst_ClusterPostLogin.moc"
