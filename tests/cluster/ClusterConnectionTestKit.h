#pragma once

// Shared set-up of the connection tests: a ClusterConnection on settings in a temporary folder,
// with scaled timers, talking to a FakeClusterNode on 127.0.0.1.

#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "ClusterConnectionTestAccess.h"
#include "ClusterTestTiming.h"
#include "FakeClusterNode.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace varnello::test {

using namespace std::chrono_literals;

class ConnectionKit {
public:
    // defaultPrimaryHost: the host taken for the shipped primary node (registration notices).
    explicit ConnectionKit(ClusterTiming timing = fastTiming(),
                           const QString &defaultPrimaryHost = {})
        : store(std::make_unique<AppSettingsStore>(dir.path() + QStringLiteral("/Varnello"))),
          storeOverride(*store)
    {
        ClusterConnectionEnvironment env;
        env.settings = store.get();
        env.timing = timing;
        if (!defaultPrimaryHost.isEmpty())
            env.defaultPrimaryHost = defaultPrimaryHost;
        connection = std::make_unique<ClusterConnection>(nullptr, env);
        QObject::connect(connection.get(), &ClusterConnection::liveSpotReceived,
                         [this](const DXSpot &spot) { liveSpots.append(spot); });
    }

    void connectTo(FakeClusterNode &target, const QString &callsign = QStringLiteral("N0CALL"),
                   const QString &password = {}, ConnectionOrigin origin = ConnectionOrigin::manual)
    {
        connection->connect(QStringLiteral("127.0.0.1"), target.port(), callsign, password,
                            ClusterNodeRole::primary, false, true, origin);
    }

    // Connects to the kit's node and waits for the login and the end of the post-login steps.
    bool logIn(const QString &callsign = QStringLiteral("N0CALL"))
    {
        connectTo(node, callsign);
        return waitFor([&] { return connection->isLoggedIn(); }) && waitFor([&] {
                   return node.hasReceived(QString(ClusterConnection::recentSpotsCommand));
               });
    }

    template <typename Predicate> static bool waitFor(Predicate predicate, int timeoutMs = 10000)
    {
        QElapsedTimer timer;
        timer.start();
        while (!predicate()) {
            if (timer.elapsed() > timeoutMs)
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QTest::qWait(5);
        }
        return true;
    }

    // Lets queued network events run for a while (to show that something does NOT happen).
    static void settle(int ms = 300) { QTest::qWait(ms); }

    QStringList console() const
    {
        QStringList texts;
        for (const ClusterLine &line : connection->lines())
            texts.append(line.text);
        return texts;
    }
    bool consoleHas(const QString &text) const { return console().contains(text); }

    QStringList spotCalls() const
    {
        QStringList calls;
        for (const DXSpot &spot : connection->spots())
            calls.append(spot.callsign);
        return calls;
    }

    QTemporaryDir dir;
    std::unique_ptr<AppSettingsStore> store;
    AppSettingsStore::SharedOverride storeOverride;
    FakeClusterNode node;
    std::unique_ptr<ClusterConnection> connection;
    QList<DXSpot> liveSpots;
};

// Connects to a node that answers nothing: every received line is plain console text.
inline bool connectSilent(ConnectionKit &kit)
{
    kit.node.setBehaviour(FakeClusterNode::Behaviour::Silent);
    kit.connectTo(kit.node);
    return ConnectionKit::waitFor([&] { return kit.connection->isConnected(); });
}

// A valid "DX de" line with a given DX callsign (14 MHz CW, clear of the band-edge rule).
inline QString spotLineFor(const QString &call, int minute = 0)
{
    return QStringLiteral("DX de W1AW:      14025.0  %1        CW 599                 12%2Z")
        .arg(call)
        .arg(minute % 60, 2, 10, QLatin1Char('0'));
}

} // namespace varnello::test
