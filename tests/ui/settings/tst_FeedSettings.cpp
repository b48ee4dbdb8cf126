#include "ClusterConnection.h"
#include "FeedSettings.h"
#include "LoginAndFeedsSettingsSection.h"
#include "PrivateFiles.h"
#include "SettingsTestKit.h"

#include <QLabel>
#include <QNetworkProxy>
#include <QTcpServer>
#include <QTcpSocket>

using namespace varnello;
using namespace varnello::test;

class tst_FeedSettings final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void portRule_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -1: invalid
        QTest::newRow("plain") << "7300" << 7300;
        QTest::newRow("one plus") << "+7300" << 7300;
        QTest::newRow("leading zeros") << "007300" << 7300;
        QTest::newRow("lowest") << "1" << 1;
        QTest::newRow("highest") << "65535" << 65535;
        QTest::newRow("zero") << "0" << -1;
        QTest::newRow("zero with plus and zeros") << "+000" << -1;
        QTest::newRow("blank before") << " 7300" << -1;
        QTest::newRow("blank after") << "7300 " << -1;
        QTest::newRow("above range") << "65536" << -1;
        QTest::newRow("far above range") << "99999999999999999999" << -1;
        QTest::newRow("empty") << "" << -1;
        QTest::newRow("plus alone") << "+" << -1;
        QTest::newRow("two plus signs") << "++7300" << -1;
        QTest::newRow("negative") << "-7300" << -1;
        QTest::newRow("negative zero") << "-0" << -1;
        QTest::newRow("letters") << "73a0" << -1;
        QTest::newRow("other digits") << QString::fromUtf8("７３００") << -1;
    }
    void portRule()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<quint16> port = feedPortNumber(text);
        QCOMPARE(port ? int(*port) : -1, expected);
    }

    void localServer_applySequence_data()
    {
        QTest::addColumn<int>("running"); // port of the running server, 0: none
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("port");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("enabled, new port: restart there")
            << 7300 << true << "7301" << QStringList{"stop", "start 7301"};
        QTest::newRow("enabled, nothing running: start")
            << 0 << true << "+7300" << QStringList{"stop", "start 7300"};
        QTest::newRow("enabled, same port: untouched") << 7300 << true << "07300" << QStringList{};
        QTest::newRow("enabled, invalid: old port kept") << 7300 << true << "" << QStringList{};
        QTest::newRow("enabled, zero: old port kept") << 7300 << true << "0" << QStringList{};
        QTest::newRow("disabled: stop") << 7300 << false << "7300" << QStringList{"stop"};
        QTest::newRow("disabled, invalid: stop") << 7300 << false << "x" << QStringList{"stop"};
    }
    void localServer_applySequence()
    {
        QFETCH(int, running);
        QFETCH(bool, enabled);
        QFETCH(QString, port);
        StoreKit store;
        FakeConnectionLink link;
        if (running)
            link.listenerPort = quint16(running);
        store.store->setBool(SettingsKeys::localTelnetServerEnabled, enabled);
        store.store->setString(SettingsKeys::localTelnetServerPort, port);
        FeedSettingsApplier(*store.store, link).applyLocalServerSettings();
        QTEST(link.calls, "calls");
    }

    void localServer_portAppliedWhenEditingEnds()
    {
        StoreKit store;
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(*store.store, link);
        auto *message = findNamed<QLabel>(&section, "localServerPortMessage");
        findNamed<QCheckBox>(&section, "localServerEnabledCheckBox")->click();
        QTRY_COMPARE(link.calls, (QStringList{"stop", "start 7300"}));
        link.calls.clear();
        auto *field = findNamed<QLineEdit>(&section, "localServerPortField");
        // Typed digit by digit: stored as typed, but no prefix ever opens a listener.
        for (const char *typed : {"9", "99", "999", "9999", "99999"}) {
            typeInto(field, typed);
            QCOMPARE(store.store->string(SettingsKeys::localTelnetServerPort),
                     QLatin1String(typed));
        }
        QTest::qWait(20);
        QCOMPARE(link.calls, QStringList{});
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(link.takeCalls(), QStringList{}); // refused: the server stays on its last port
        QCOMPARE(link.listenerPort, std::optional<quint16>(7300));
        QVERIFY(!message->isHidden());
        QCOMPARE(message->text(),
                 QStringLiteral("Use a port from 1 to 65535. Still running on 7300."));
        QCOMPARE(link.console,
                 QStringList{QStringLiteral("Local server could not start: invalid port 99999.")});

        typeInto(field, QStringLiteral("9999"));
        QCOMPARE(link.calls, QStringList{});
        emit field->editingFinished(); // as focus leaving the field does
        QCOMPARE(link.takeCalls(), (QStringList{"stop", "start 9999"}));
        QVERIFY(message->isHidden());
        emit field->editingFinished(); // nothing new to apply
        QCOMPARE(link.calls, QStringList{});

        // A port that cannot be bound says why, and that nothing runs.
        link.startFailure = QStringLiteral("Local spot server failed: The address is protected");
        typeInto(field, QStringLiteral("80"));
        section.finishFeedEditing(); // the window going away applies it too
        QCOMPARE(link.takeCalls(), (QStringList{"stop", "start 80"}));
        QCOMPARE(message->text(),
                 QStringLiteral("Local spot server failed: The address is protected Not running."));
        findNamed<QCheckBox>(&section, "localServerEnabledCheckBox")->click();
        QTRY_COMPARE(link.calls, QStringList{"stop"});
        QVERIFY(message->isHidden());
        QVERIFY(!field->isEnabled());
    }

    void typing_savesTheFileOnceTheTypingPauses()
    {
        QTemporaryDir dir;
        int writes = 0;
        AppSettingsStore store(dir.filePath(QStringLiteral("Varnello")),
                               [&writes](const QString &path, const QByteArray &bytes) {
                                   ++writes;
                                   return PrivateFiles::writeAtomically(path, bytes);
                               });
        store.setCoalescingDelay(std::chrono::milliseconds(200));
        store.setBool(SettingsKeys::udpFeedEnabled, true);
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(store, link);
        writes = 0;
        typeInto(findNamed<QLineEdit>(&section, "callsignField"), QStringLiteral("N0CALL/P"));
        typeInto(findNamed<QLineEdit>(&section, "udpDestinationField"), QStringLiteral("10.9.8.7"));
        QTRY_COMPARE(store.string(SettingsKeys::clusterCallsign), QStringLiteral("N0CALL/P"));
        QCOMPARE(store.string(SettingsKeys::udpFeedDestination), QStringLiteral("10.9.8.7"));
        QTRY_VERIFY(!store.hasPendingSave());
        QCOMPARE(writes, 1);
        QFile file(*store.settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray saved = file.readAll();
        QVERIFY(saved.contains("N0CALL\\/P") && saved.contains("10.9.8.7"));
    }

    void localServer_busyPortReportedBesideField()
    {
        StoreKit store;
        ClusterConnectionEnvironment env;
        env.settings = store.store.get();
        ClusterConnection cluster(nullptr, env);
        ClusterConnectionLink link(cluster);
        QTcpServer occupant; // holds the port on every interface, as another program would
        QVERIFY(occupant.listen(QHostAddress::Any, 0));
        store.store->setBool(SettingsKeys::localTelnetServerEnabled, true);
        LoginAndFeedsSettingsSection section(*store.store, link);
        auto *field = findNamed<QLineEdit>(&section, "localServerPortField");
        typeInto(field, QString::number(occupant.serverPort()));
        QTest::keyClick(field, Qt::Key_Return);
        QVERIFY(!cluster.isLocalSpotServerListening());
        const QString shown = findNamed<QLabel>(&section, "localServerPortMessage")->text();
        QVERIFY2(shown.startsWith(QStringLiteral("Local spot server")) &&
                     shown.endsWith(QStringLiteral(" Not running.")),
                 qPrintable(shown));
        QVERIFY(shown.startsWith(cluster.lines().constLast().text));
    }

    void localServer_realListenerAcceptsClient()
    {
        StoreKit store;
        ClusterConnectionEnvironment env;
        env.settings = store.store.get();
        ClusterConnection cluster(nullptr, env);
        ClusterConnectionLink link(cluster);
        QTcpServer probe; // a port nobody uses, given back at once
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();
        store.store->setString(SettingsKeys::localTelnetServerPort, QString::number(port));
        store.store->setBool(SettingsKeys::localTelnetServerEnabled, true);
        FeedSettingsApplier applier(*store.store, link);
        applier.applyLocalServerSettings();
        QVERIFY(cluster.isLocalSpotServerListening());
        QCOMPARE(cluster.localServerPort(), port);
        QTcpSocket client;
        client.setProxy(QNetworkProxy::NoProxy);
        client.connectToHost(QHostAddress::LocalHost, port);
        QVERIFY(client.waitForConnected(5000));
        store.store->setBool(SettingsKeys::localTelnetServerEnabled, false);
        applier.applyLocalServerSettings();
        QVERIFY(!cluster.isLocalSpotServerListening());
        QTRY_COMPARE(client.state(), QAbstractSocket::UnconnectedState);
    }

    void udpFeed_configureArguments_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("calls");
        // Stored: enabled, "127.0.0.1", "7301", "alerts".
        QTest::newRow("port") << "port"
                              << "+7400" << QStringList{"mode alerts", "udp 1 127.0.0.1 7400"};
        QTest::newRow("invalid port: off on 7301")
            << "port"
            << "74x0" << QStringList{"mode alerts", "udp 0 127.0.0.1 7301"};
        QTest::newRow("zero port: off on 7301")
            << "port"
            << "0" << QStringList{"mode alerts", "udp 0 127.0.0.1 7301"};
        QTest::newRow("disable") << "enabled"
                                 << "0" << QStringList{"mode alerts", "udp 0 127.0.0.1 7301"};
        QTest::newRow("destination as typed")
            << "destination"
            << " 10.0.0.5 " << QStringList{"mode alerts", "udp 1  10.0.0.5  7301"};
        QTest::newRow("mode everything")
            << "mode"
            << "everything" << QStringList{"mode everything", "udp 1 127.0.0.1 7301"};
    }
    void udpFeed_configureArguments()
    {
        QFETCH(QString, control);
        QFETCH(QString, value);
        StoreKit store;
        store.store->setBool(SettingsKeys::udpFeedEnabled, true);
        store.store->setString(SettingsKeys::udpFeedMode, QStringLiteral("alerts"));
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(*store.store, link);
        if (control == QLatin1String("port"))
            section.setUDPFeedPort(value);
        else if (control == QLatin1String("enabled"))
            section.setUDPFeedEnabled(value == QLatin1String("1"));
        else if (control == QLatin1String("destination"))
            section.setUDPFeedDestination(value);
        else
            section.setUDPFeedMode(value);
        QTEST(link.calls, "calls");
    }

    void udpFeed_destinationAppliedWhenEditingEnds()
    {
        StoreKit store;
        store.store->setBool(SettingsKeys::udpFeedEnabled, true);
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(*store.store, link);
        auto *destination = findNamed<QLineEdit>(&section, "udpDestinationField");
        typeInto(destination, QStringLiteral("12.34.5.6"));
        // Stored as typed, but no partial address ("12", "12.34") ever reached the feed.
        QCOMPARE(store.store->string(SettingsKeys::udpFeedDestination),
                 QStringLiteral("12.34.5.6"));
        QCOMPARE(link.calls, QStringList{});
        QTest::keyClick(destination, Qt::Key_Return);
        QCOMPARE(link.takeCalls(), (QStringList{"mode everything", "udp 1 12.34.5.6 7301"}));
        emit destination->editingFinished(); // nothing new to apply
        QCOMPARE(link.calls, QStringList{});

        // The port likewise: stored per keystroke, applied once.
        auto *port = findNamed<QLineEdit>(&section, "udpPortField");
        typeInto(port, QStringLiteral("74"));
        QCOMPARE(store.store->string(SettingsKeys::udpFeedPort), QStringLiteral("74"));
        QCOMPARE(link.calls, QStringList{});
        QTest::keyClick(port, Qt::Key_Return);
        QCOMPARE(link.takeCalls(), (QStringList{"mode everything", "udp 1 12.34.5.6 74"}));

        // A destination still being edited when the window goes away is applied then.
        typeInto(destination, QStringLiteral("10.1.1.1"));
        link.calls.clear();
        section.finishFeedEditing();
        QCOMPARE(link.takeCalls(), (QStringList{"mode everything", "udp 1 10.1.1.1 74"}));
    }

    void udpFeed_unusableDestinationRefusedBesideField()
    {
        StoreKit store;
        store.store->setBool(SettingsKeys::udpFeedEnabled, true);
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(*store.store, link);
        auto *destination = findNamed<QLineEdit>(&section, "udpDestinationField");
        auto *message = findNamed<QLabel>(&section, "udpFeedMessage");
        pasteInto(destination, QStringLiteral("<b>x</b>日本"));
        QTest::keyClick(destination, Qt::Key_Return);
        QCOMPARE(link.takeCalls(), (QStringList{"mode everything", "udp 0 <b>x</b>日本 7301"}));
        QVERIFY(!message->isHidden());
        QCOMPARE(message->textFormat(), Qt::PlainText);
        QCOMPARE(message->text(),
                 QStringLiteral("Not an IPv4 address or host name. The feed is off."));
        typeInto(destination, QStringLiteral("logger.local"));
        QTest::keyClick(destination, Qt::Key_Return);
        QCOMPARE(link.takeCalls(), (QStringList{"mode everything", "udp 1 logger.local 7301"}));
        QVERIFY(message->isHidden());
        typeInto(findNamed<QLineEdit>(&section, "udpPortField"), QStringLiteral("0"));
        QTest::keyClick(findNamed<QLineEdit>(&section, "udpPortField"), Qt::Key_Return);
        QCOMPARE(message->text(), QStringLiteral("Use a port from 1 to 65535. The feed is off."));
        section.setUDPFeedEnabled(false); // nothing to complain about while the feed is off
        QVERIFY(message->isHidden());
    }

    void udpFeed_destinationRule_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<bool>("usable");
        QTest::newRow("loopback") << "127.0.0.1" << true;
        QTest::newRow("broadcast") << "192.168.1.255" << true;
        QTest::newRow("blanks around") << " 10.0.0.5 " << true;
        QTest::newRow("host name") << "logger-2.example.org" << true;
        QTest::newRow("single label") << "localhost" << true;
        QTest::newRow("trailing dot") << "example.org." << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("partial address") << "12.34" << false;
        QTest::newRow("octet too large") << "10.0.0.256" << false;
        QTest::newRow("short form") << "127.1" << false;
        QTest::newRow("markup") << "<b>x</b>" << false;
        QTest::newRow("non-ASCII") << "日本" << false;
        QTest::newRow("blank inside") << "exa mple.org" << false;
        QTest::newRow("leading hyphen") << "-host.org" << false;
        QTest::newRow("empty label") << "a..b" << false;
        QTest::newRow("label of 64") << QString(64, u'a') + ".org" << false;
        QTest::newRow("IPv6") << "::1" << false;
    }
    void udpFeed_destinationRule()
    {
        QFETCH(QString, destination);
        QTEST(!udpDestinationProblem(destination).has_value(), "usable");
    }

    void udpFeed_modeCheckboxesBehaveAsOneChoice()
    {
        StoreKit store;
        store.store->setBool(SettingsKeys::udpFeedEnabled, true);
        store.store->setString(SettingsKeys::udpFeedMode, QStringLiteral("Alerts")); // by hand
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(*store.store, link);
        auto *everything = findNamed<QCheckBox>(&section, "udpModeEverythingCheckBox");
        auto *alerts = findNamed<QCheckBox>(&section, "udpModeAlertsCheckBox");
        QVERIFY(!everything->isChecked() && !alerts->isChecked());
        alerts->click();
        QVERIFY(alerts->isChecked() && !everything->isChecked());
        QCOMPARE(store.store->string(SettingsKeys::udpFeedMode), QStringLiteral("alerts"));
        QCOMPARE(link.takeCalls(), (QStringList{"mode alerts", "udp 1 127.0.0.1 7301"}));
        alerts->click(); // the chosen one stays chosen
        QVERIFY(alerts->isChecked());
        QCOMPARE(link.calls, QStringList{});
    }
};

QTEST_MAIN(tst_FeedSettings)
#include "tst_FeedSettings.moc"
