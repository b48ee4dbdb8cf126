// The window's own state: the connect action, the command field, tabs, the empty-state chain and
// the texts of the reconnect alert.
#include "WindowStateKit.h"

#include "MainWindowTexts.h"

using namespace varnello;
using namespace varnello::test;

Q_DECLARE_METATYPE(varnello::EmptyStateAction)

class ContentViewWindowTest : public QObject {
    Q_OBJECT

private slots:
    void connect_checksSettingsFirst_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("expectedPort"); // 0: Settings opened, no attempt

        QTest::newRow("blank callsign") << ""
                                        << "127.0.0.1"
                                        << "7300" << 0;
        QTest::newRow("callsign of blanks") << "   "
                                            << "127.0.0.1"
                                            << "7300" << 0;
        QTest::newRow("blank host") << "N0CALL"
                                    << " \n"
                                    << "7300" << 0;
        QTest::newRow("empty port") << "N0CALL"
                                    << "127.0.0.1"
                                    << "" << 0;
        QTest::newRow("port of blanks") << "N0CALL"
                                        << "127.0.0.1"
                                        << "  " << 0;
        QTest::newRow("port above 65535") << "N0CALL"
                                          << "127.0.0.1"
                                          << "65536" << 0;
        QTest::newRow("negative port") << "N0CALL"
                                       << "127.0.0.1"
                                       << "-1" << 0;
        QTest::newRow("letter in port") << "N0CALL"
                                        << "127.0.0.1"
                                        << "73OO" << 0;
        QTest::newRow("plus and zeros") << "N0CALL"
                                        << "127.0.0.1"
                                        << "+07300" << 7300;
        QTest::newRow("blanks around") << " N0CALL "
                                       << " 127.0.0.1 "
                                       << " 7300\n"
                                       << 7300;
        QTest::newRow("highest port") << "N0CALL"
                                      << "127.0.0.1"
                                      << "65535" << 65535;
    }

    void connect_checksSettingsFirst()
    {
        QFETCH(QString, callsign);
        QFETCH(QString, host);
        QFETCH(QString, port);
        QFETCH(int, expectedPort);
        WindowStateKit kit;
        kit.settings().setString(SettingsKeys::clusterCallsign, callsign);
        kit.settings().setString(SettingsKeys::clusterHost, host);
        kit.settings().setString(SettingsKeys::clusterPort, port);
        const qsizetype linesBefore = kit.cluster().lines().size();

        kit.view->connect(ConnectionOrigin::manual);

        if (expectedPort == 0) {
            QCOMPARE(kit.settingsOpened, 1);
            QCOMPARE(kit.cluster().lines().size(), linesBefore);
            QVERIFY(!kit.cluster().isConnectionSequenceActive());
            QCOMPARE(kit.view->connectButtonRole(), ConnectButtonRole::connect);
        } else {
            QCOMPARE(kit.settingsOpened, 0);
            QCOMPARE(kit.cluster().activePort(), std::optional<quint16>(expectedPort));
            QCOMPARE(kit.cluster().activeHost(), QStringLiteral("127.0.0.1"));
            QCOMPARE(kit.cluster().lines().constLast().text,
                     QStringLiteral("Connecting to 127.0.0.1:%1…").arg(expectedPort));
            QCOMPARE(kit.view->connectButtonRole(), ConnectButtonRole::cancel);
            kit.view->manualDisconnect();
            QCOMPARE(kit.view->connectButtonRole(), ConnectButtonRole::connect);
        }
    }

    // A port the connection refuses ends the attempt with its own sentence instead of leaving
    // the window offering to cancel an attempt that will never end.
    void connect_portZero_endsWithTheConnectionsSentence()
    {
        WindowStateKit kit;
        kit.configure();
        kit.settings().setString(SettingsKeys::clusterPort, QStringLiteral("0"));
        kit.view->connect(ConnectionOrigin::manual);
        QCOMPARE(kit.settingsOpened, 0);
        QCOMPARE(kit.view->statusText(), QStringLiteral("Invalid port"));
        QVERIFY(!kit.cluster().isConnectionSequenceActive());
        QCOMPARE(kit.view->connectButtonRole(), ConnectButtonRole::connect);
    }

    void connect_logsInWithThePasswordAsStored_andShowsTheStatusBar()
    {
        WindowStateKit kit;
        kit.net.node.setPassword(QStringLiteral(" secret "));
        kit.settings().setString(SettingsKeys::clusterPassword, QStringLiteral(" secret "));
        QCOMPARE(kit.view->statusColor(), StatusColor::red);
        QVERIFY(kit.logIn(QStringLiteral("N0CALL ")));
        QCOMPARE(kit.net.node.loginPassword(), QStringLiteral(" secret "));
        QCOMPARE(kit.net.node.loginCallsign(), QStringLiteral("N0CALL"));
        QCOMPARE(kit.view->statusColor(), StatusColor::green);
        // The callsign as stored, blanks included.
        QCOMPARE(kit.view->statusText(), QStringLiteral("Logged in as N0CALL "));
        QCOMPARE(kit.view->nodeAddressText(),
                 QStringLiteral("127.0.0.1:%1").arg(kit.net.node.port()));
        QCOMPARE(kit.view->connectButtonRole(), ConnectButtonRole::disconnect);
    }

    void sendCommand_trimsSwitchesToConsoleAndEmptiesTheField_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent"); // empty: nothing happens
        QTest::newRow("blanks around") << "  sh/dx  "
                                       << "sh/dx";
        QTest::newRow("blanks only") << "   "
                                     << "";
    }

    void sendCommand_trimsSwitchesToConsoleAndEmptiesTheField()
    {
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        WindowStateKit kit;
        QVERIFY(kit.logIn());
        kit.view->setCommand(typed);
        QCOMPARE(kit.view->canSendCommand(), !sent.isEmpty());
        kit.view->sendCommand();
        if (sent.isEmpty()) {
            QCOMPARE(kit.view->selectedTab(), MainTab::spots);
            QCOMPARE(kit.view->command(), typed);
            return;
        }
        QCOMPARE(kit.view->selectedTab(), MainTab::console);
        QCOMPARE(kit.view->command(), QString());
        QTRY_VERIFY(kit.net.node.hasReceived(sent));
        QVERIFY(kit.net.consoleHas(QStringLiteral("> ") + sent));
    }

    void emptyState_chain_data()
    {
        QTest::addColumn<bool>("callsign");
        QTest::addColumn<bool>("node");
        QTest::addColumn<bool>("connected");
        QTest::addColumn<bool>("attempting");
        QTest::addColumn<bool>("alertsTab");
        QTest::addColumn<bool>("hasSpots");
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("filter");
        QTest::addColumn<bool>("clearable");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("description");
        QTest::addColumn<EmptyStateAction>("action");

        using A = EmptyStateAction;
        QTest::newRow("no callsign beats no node")
            << false << false << false << false << false << false << "" << false << false
            << "Callsign Not Configured"
            << "Enter your callsign in Settings." << A::openSettings;
        QTest::newRow("no node") << true << false << true << false << false << true << "K1" << true
                                 << true << "Node Not Configured"
                                 << "Enter the DX cluster node and port in Settings."
                                 << A::openSettings;
        QTest::newRow("not connected")
            << true << true << false << false << false << true << "" << false << false
            << "Not Connected"
            << "Connect to the configured DX cluster to receive spots." << A::connect;
        QTest::newRow("attempt under way") << true << true << false << true << false << false << ""
                                           << false << false << "Not Connected"
                                           << "Connect to the configured DX cluster to receive "
                                              "spots."
                                           << A::cancel;
        QTest::newRow("alerts tab, no match")
            << true << true << true << false << true << true << "" << false << false
            << "No Alert Spots"
            << "No received spots match an enabled alert." << A::none;
        QTest::newRow("alerts tab with a search")
            << true << true << true << false << true << true << "K1" << true << false
            << "No Alert Spots"
            << "No received spots match an enabled alert." << A::clearSearch;
        QTest::newRow("search without hits") << true << true << true << false << false << true
                                             << "K1" << true << false << "No Matching Callsigns"
                                             << "No received spots match K1." << A::clearSearch;
        QTest::newRow("filters hide all")
            << true << true << true << false << false << true << "" << true << true
            << "No Matching Spots"
            << "No received spots match the active filters." << A::clearFilters;
        QTest::newRow("filter but no spots yet")
            << true << true << true << false << false << false << "" << true << true
            << "Waiting for Spots"
            << "Incoming DX spots will appear here, with the newest at the top." << A::clearFilters;
        QTest::newRow("waiting") << true << true << true << false << false << false << "" << false
                                 << false << "Waiting for Spots"
                                 << "Incoming DX spots will appear here, with the newest at the "
                                    "top."
                                 << A::none;
    }

    void emptyState_chain()
    {
        EmptyStateFacts facts;
        QFETCH(bool, callsign);
        QFETCH(bool, node);
        QFETCH(bool, connected);
        QFETCH(bool, attempting);
        QFETCH(bool, alertsTab);
        QFETCH(bool, hasSpots);
        QFETCH(QString, search);
        QFETCH(bool, filter);
        QFETCH(bool, clearable);
        facts = {callsign, node,   connected, attempting, alertsTab,
                 hasSpots, search, filter,    clearable};
        const EmptyStateContent content = emptyStateContent(facts);
        QTEST(content.title, "title");
        QTEST(content.description, "description");
        QTEST(content.action, "action");
        QVERIFY(!content.symbol.isEmpty());
    }

    void emptyState_searchOfBlanksNarrowsNothing_andClearSearchEmptiesIt()
    {
        WindowStateKit kit;
        QVERIFY(kit.logIn());
        kit.view->setSpotCallsignSearch(QStringLiteral("  "));
        QCOMPARE(kit.view->emptyState().title, QStringLiteral("Waiting for Spots"));
        kit.view->setSpotCallsignSearch(QStringLiteral(" K1 "));
        QCOMPARE(kit.view->emptyState().action, EmptyStateAction::clearSearch);
        kit.view->runEmptyStateAction(EmptyStateAction::clearSearch);
        QCOMPARE(kit.view->spotCallsignSearch(), QString());
    }

    void reconnectAlert_texts_data()
    {
        QTest::addColumn<QString>("localIP");   // "-": unknown
        QTest::addColumn<QString>("suggested"); // "": none
        QTest::addColumn<QString>("message");

        const QString opening = QStringLiteral(
            "The DX Cluster reports that N0CALL connected elsewhere and disconnected this "
            "instance. ");
        const QString offer = QStringLiteral(
            " This can happen when another cluster or logging program uses the same callsign. "
            "Varnello can change its callsign to N0CALL-2 and reconnect.");
        QTest::newRow("different address")
            << "198.51.100.9"
            << "N0CALL-2"
            << opening +
                   "The other connection came from 203.0.113.5, which is different from your "
                   "current public IP address (198.51.100.9)." +
                   offer;
        QTest::newRow("same address")
            << "203.0.113.5"
            << "N0CALL-2"
            << opening +
                   "The other connection came from your current public IP address (203.0.113.5), "
                   "so it is probably another program on the same Internet connection." +
                   offer;
        QTest::newRow("unknown address, no suggestion")
            << "-"
            << ""
            << opening +
                   "The other connection came from 203.0.113.5. Varnello could not determine "
                   "your current public IP address for comparison. The callsign already ends in "
                   "-22, so Varnello has stopped without trying another SSID.";
    }

    void reconnectAlert_texts()
    {
        QFETCH(QString, localIP);
        QFETCH(QString, suggested);
        const auto alert = AutoReconnectAlert::duplicateConnection(
            QStringLiteral("N0CALL"), QStringLiteral("203.0.113.5"),
            localIP == QLatin1String("-") ? std::nullopt : std::optional<QString>(localIP),
            suggested.isEmpty() ? std::nullopt : std::optional<QString>(suggested));
        const AutoReconnectAlertContent content = autoReconnectAlertContent(alert);
        QCOMPARE(content.title, QStringLiteral("Another connection is using this callsign"));
        QTEST(content.message, "message");
        QCOMPARE(content.suggestedCallsign.value_or(QString()), suggested);

        QCOMPARE(autoReconnectAlertContent(AutoReconnectAlert::repeatedFailures()).title,
                 QStringLiteral("Automatic reconnect stopped"));
        const AutoReconnectAlertContent unavailable = autoReconnectAlertContent(
            AutoReconnectAlert::allClustersUnavailable(QStringLiteral("Host not found")));
        QCOMPARE(unavailable.title, QStringLiteral("Unable to connect"));
        QVERIFY(unavailable.message.endsWith(
            QStringLiteral("to each node. The last attempt failed: Host not found.")));
        QCOMPARE(spotSubmissionAlertMessageText(std::nullopt),
                 QStringLiteral("The spot could not be sent."));
    }

    void continueAndDontAskAgain_storesTheNodeIdentity()
    {
        WindowStateKit kit;
        kit.net.node.setKind(FakeClusterNode::Kind::CCCluster);
        kit.configure();
        kit.settings().setString(SettingsKeys::clusterHost, QStringLiteral("  127.0.0.1 "));
        kit.view->connect(ConnectionOrigin::manual);
        QTRY_VERIFY(kit.cluster().clusterNodeWarning().has_value());
        kit.view->continueAndDontAskAgain();
        QCOMPARE(
            kit.settings().string(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode),
            QStringLiteral("127.0.0.1:%1").arg(kit.net.node.port()));
        QVERIFY(!kit.cluster().clusterNodeWarning().has_value());
        QVERIFY(kit.cluster().isConnected());
    }

    // "No" on the filter warning: the window's own SSID filter (when the warning included it) is
    // removed instead of loading the recent spots at once; "don't ask again" is stored first.
    void upstreamFilterNo_removesTheOwnFilterOrLoadsRecentSpots_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<bool>("dontAskAgain");
        QTest::addColumn<QString>("firstCommandAfter");
        QTest::newRow("own filter included") << "N0CALL-2" << false << "clear/spots 9";
        QTest::newRow("foreign only, don't ask again")
            << "N0CALL" << true << "sh/dx filter real 50";
    }

    void upstreamFilterNo_removesTheOwnFilterOrLoadsRecentSpots()
    {
        QFETCH(QString, callsign);
        QFETCH(bool, dontAskAgain);
        WindowStateKit kit;
        kit.net.node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No"),
                                                          QStringLiteral("Want RBN Beacon : No")});
        kit.net.node.setReply(QStringLiteral("sh/filter"),
                              {QStringLiteral("filter1 accept on hf/cw"),
                               QStringLiteral("filter9 reject on 100000/100001")});
        kit.configure(callsign);
        kit.view->connect(ConnectionOrigin::startup);
        QTRY_VERIFY_WITH_TIMEOUT(kit.cluster().upstreamFilterWarningLines().has_value(), 15000);
        const qsizetype before = kit.net.node.receivedLines().size();

        if (dontAskAgain)
            kit.view->keepUpstreamFiltersAndDontAskAgain();
        else
            kit.view->keepUpstreamFilters();
        QVERIFY(!kit.cluster().upstreamFilterWarningLines());
        QCOMPARE(kit.settings().boolValue(SettingsKeys::suppressUpstreamFilterWarning),
                 dontAskAgain);
        QTRY_VERIFY(kit.net.node.receivedLines().size() > before);
        QTEST(kit.net.node.receivedLines().at(before), "firstCommandAfter");
    }

    void clearSpots_emptiesOnlyTheSpotList()
    {
        WindowStateKit kit;
        QVERIFY(kit.logIn());
        kit.net.node.sendLine(spotLineFor(QStringLiteral("K1ABC")));
        QTRY_COMPARE(kit.cluster().spots().size(), 1);
        const qsizetype lines = kit.cluster().lines().size();
        kit.view->clearSpots();
        QVERIFY(kit.cluster().spots().isEmpty());
        QCOMPARE(kit.cluster().lines().size(), lines);
        QVERIFY(kit.cluster().isLoggedIn());
    }
};

QTEST_GUILESS_MAIN(ContentViewWindowTest)
#include "tst_ContentViewWindow.moc"
