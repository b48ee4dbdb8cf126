// The spot server and the UDP feed as the cluster connection owns them: start-up from the stored
// settings, console lines, and the re-serving step.
#include "ClusterConnectionTestKit.h"
#include "LocalSpotServer.h"
#include "UDPSpotFeedSender.h"

#include <QNetworkDatagram>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

using namespace varnello;
using namespace varnello::test;

namespace {

constexpr int waitMs = 10'000;

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::Any, 0) ? probe.serverPort() : 0;
}

struct FeedSettings {
    bool serverEnabled = false;
    QString serverPort = QStringLiteral("7300");
    bool udpEnabled = false;
    QString udpPort = QStringLiteral("7301");
    QString udpMode = QStringLiteral("everything");
};

// Feed settings with the spot server switched on at `port`.
FeedSettings serverOn(quint16 port)
{
    FeedSettings feeds;
    feeds.serverEnabled = true;
    feeds.serverPort = QString::number(port);
    return feeds;
}

// A connection made after the feed settings were stored, as at program start.
std::unique_ptr<ConnectionKit> kitWith(const FeedSettings &feeds)
{
    auto kit = std::make_unique<ConnectionKit>();
    kit->connection.reset();
    AppSettingsStore &store = *kit->store;
    store.setBool(SettingsKeys::localTelnetServerEnabled, feeds.serverEnabled);
    store.setString(SettingsKeys::localTelnetServerPort, feeds.serverPort);
    store.setBool(SettingsKeys::udpFeedEnabled, feeds.udpEnabled);
    store.setString(SettingsKeys::udpFeedDestination, QStringLiteral("127.0.0.1"));
    store.setString(SettingsKeys::udpFeedPort, feeds.udpPort);
    store.setString(SettingsKeys::udpFeedMode, feeds.udpMode);
    ClusterConnectionEnvironment environment;
    environment.settings = kit->store.get();
    environment.timing = fastTiming();
    kit->connection = std::make_unique<ClusterConnection>(nullptr, environment);
    return kit;
}

DXSpot spotWithLine(const QString &line)
{
    DXSpot spot;
    spot.id = QUuid::createUuid();
    spot.rawLine = line;
    return spot;
}

struct TelnetClient {
    QTcpSocket socket;
    QByteArray received;
    explicit TelnetClient(quint16 port)
    {
        QObject::connect(&socket, &QIODevice::readyRead, [this] { received += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
    }
};

struct FeedReceiver {
    QUdpSocket socket;
    QList<QByteArray> datagrams;
    FeedReceiver()
    {
        socket.bind(QHostAddress::LocalHost, 0);
        QObject::connect(&socket, &QUdpSocket::readyRead, [this] {
            while (socket.hasPendingDatagrams())
                datagrams.append(socket.receiveDatagram().data());
        });
    }
};

// Re-serves warm-up lines until the client has been accepted and reached, then forgets them.
bool waitUntilServed(ConnectionKit &kit, TelnetClient &client)
{
    const bool served = ConnectionKit::waitFor([&] {
        kit.connection->broadcastSpot(spotWithLine(QStringLiteral("warm-up")));
        QTest::qWait(20);
        return !client.received.isEmpty();
    });
    ConnectionKit::settle(100);
    client.received.clear();
    return served;
}

bool consoleHasPrefix(const ConnectionKit &kit, const QString &prefix)
{
    for (const QString &line : kit.console()) {
        if (line.startsWith(prefix) && line.size() > prefix.size())
            return true;
    }
    return false;
}

} // namespace

class tst_LocalSpotServerThroughConnection : public QObject {
    Q_OBJECT

private slots:
    void busyPortAtStartup_writesFailureLineOnConsole_andLeavesServerStopped()
    {
        QTcpServer occupant;
        QVERIFY(occupant.listen(QHostAddress::Any, 0));
        auto kit = kitWith(serverOn(occupant.serverPort()));

        QTRY_VERIFY_WITH_TIMEOUT(
            consoleHasPrefix(*kit, QStringLiteral("Local spot server failed: ")), waitMs);
        QCOMPARE(kit->connection->localServerPort(), std::nullopt);
        QVERIFY(!kit->connection->isLocalSpotServerListening());
    }

    void enabledServerAtStartup_announcesItsPortOnConsole()
    {
        const quint16 port = freePort();
        auto kit = kitWith(serverOn(port));

        QCOMPARE(kit->connection->localServerPort(), std::optional<quint16>(port));
        QTRY_VERIFY_WITH_TIMEOUT(
            kit->consoleHas(QStringLiteral("Local spot server listening on port %1.").arg(port)),
            waitMs);
    }

    void portZeroStart_isRefusedOnConsole_andKeepsTheRunningServer()
    {
        const quint16 port = freePort();
        auto kit = kitWith(serverOn(port));
        kit->connection->startLocalSpotServer(0);
        QVERIFY(kit->consoleHas(QStringLiteral("Local server could not start: invalid port 0.")));
        QCOMPARE(kit->connection->localServerPort(), std::optional<quint16>(port));
    }

    void reServing_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("toUdpFeed");
        QTest::newRow("everything") << QStringLiteral("everything") << true;
        QTest::newRow("alerts") << QStringLiteral("alerts") << false;
        QTest::newRow("capitalised alerts means everything") << QStringLiteral("Alerts") << true;
        QTest::newRow("unknown means everything") << QStringLiteral("some") << true;
    }
    // The alert step sends the feed's spots in mode "alerts"; re-serving must not send them too.
    void reServing()
    {
        QFETCH(QString, mode);
        QFETCH(bool, toUdpFeed);
        FeedReceiver receiver;
        const quint16 port = freePort();
        FeedSettings feeds = serverOn(port);
        feeds.udpEnabled = true;
        feeds.udpPort = QString::number(receiver.socket.localPort());
        feeds.udpMode = mode;
        auto kit = kitWith(feeds);
        TelnetClient client(port);
        QVERIFY(waitUntilServed(*kit, client));

        const QString line = spotLineFor(QStringLiteral("JA1XYZ")) + QStringLiteral(" Grüße");
        kit->connection->broadcastSpot(spotWithLine(line));
        QTRY_COMPARE_WITH_TIMEOUT(client.received, line.toUtf8() + "\r\n", waitMs);
        if (toUdpFeed) {
            QTRY_VERIFY_WITH_TIMEOUT(!receiver.datagrams.isEmpty() &&
                                         receiver.datagrams.last() == line.toUtf8() + "\r\n",
                                     waitMs);
        } else {
            ConnectionKit::settle(200);
            QCOMPARE(receiver.datagrams.size(), 0);
        }
    }

    void unusableUdpPortAtStartup_leavesFeedUnconfigured_andModeEverything()
    {
        FeedSettings feeds;
        feeds.udpEnabled = true;
        feeds.udpPort = QStringLiteral("0");
        feeds.udpMode = QStringLiteral("alerts");
        auto kit = kitWith(feeds);
        QCOMPARE(kit->connection->udpFeedMode(), QStringLiteral("everything"));
        QVERIFY(!kit->connection->udpFeedSender()->stateForTesting().isEnabled);
    }

    void stopAndSamePortStart_followTheSettingsRules()
    {
        const quint16 port = freePort();
        auto kit = kitWith(serverOn(port));
        TelnetClient client(port);
        QVERIFY(waitUntilServed(*kit, client));

        kit->connection->startLocalSpotServer(port);
        kit->connection->broadcastSpot(spotWithLine(QStringLiteral("kept")));
        QTRY_COMPARE_WITH_TIMEOUT(client.received, QByteArray("kept\r\n"), waitMs);

        kit->connection->stopLocalSpotServer();
        QCOMPARE(kit->connection->localServerPort(), std::nullopt);
        QTRY_COMPARE_WITH_TIMEOUT(client.socket.state(), QAbstractSocket::UnconnectedState, waitMs);
    }
};

QTEST_GUILESS_MAIN(tst_LocalSpotServerThroughConnection)
#include "tst_LocalSpotServerThroughConnection.moc"
