#include "ClusterConnection.h"
#include "FeedSettings.h"
#include "LoginAndFeedsSettingsSection.h"
#include "SettingsTestKit.h"

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

    void localServer_typedPortRestartsOncePerNewValidValue()
    {
        StoreKit store;
        FakeConnectionLink link;
        LoginAndFeedsSettingsSection section(*store.store, link);
        findNamed<QCheckBox>(&section, "localServerEnabledCheckBox")->click();
        QTRY_COMPARE(link.calls, (QStringList{"stop", "start 7300"}));
        link.calls.clear();
        auto *field = findNamed<QLineEdit>(&section, "localServerPortField");
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace); // empty: keeps running
        QTest::keyClicks(field, QStringLiteral("7301"));
        QTRY_COMPARE(store.store->string(SettingsKeys::localTelnetServerPort),
                     QStringLiteral("7301"));
        QCOMPARE(link.takeCalls(), (QStringList{"stop", "start 7", "stop", "start 73", "stop",
                                                "start 730", "stop", "start 7301"}));
        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClicks(field, QStringLiteral("1")); // back to the same port
        QTRY_COMPARE(link.calls, (QStringList{"stop", "start 730", "stop", "start 7301"}));
        link.calls.clear();
        findNamed<QCheckBox>(&section, "localServerEnabledCheckBox")->click();
        QTRY_COMPARE(link.calls, QStringList{"stop"});
        link.calls.clear();
        QVERIFY(!field->isEnabled());
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

        // Ports stay immediate: every keystroke is applied.
        typeInto(findNamed<QLineEdit>(&section, "udpPortField"), QStringLiteral("74"));
        QCOMPARE(link.takeCalls(),
                 (QStringList{"mode everything", "udp 0 12.34.5.6 7301", "mode everything",
                              "udp 1 12.34.5.6 7", "mode everything", "udp 1 12.34.5.6 74"}));

        // A destination still being edited when the window goes away is applied then.
        typeInto(destination, QStringLiteral("10.1.1.1"));
        link.calls.clear();
        section.finishDestinationEditing();
        QCOMPARE(link.takeCalls(), (QStringList{"mode everything", "udp 1 10.1.1.1 74"}));
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
