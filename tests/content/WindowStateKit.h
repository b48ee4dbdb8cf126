#pragma once

// The window's state on a real connection: a ContentView with fake alert outputs, sharing the
// settings store of a ClusterConnection that talks to a FakeClusterNode on 127.0.0.1.

#include "../cluster/ClusterConnectionTestKit.h"
#include "ContentViewFixture.h"

namespace varnello::test {

struct WindowStateKit {
    ConnectionKit net;
    ContentViewFixture outputs;
    std::unique_ptr<ContentView> view;
    int settingsOpened = 0;

    WindowStateKit()
    {
        ContentViewEnvironment environment = outputs.environment();
        environment.settings = net.store.get();
        environment.cluster = net.connection.get();
        view = std::make_unique<ContentView>(environment);
        view->setOnOpenSettings([this] { ++settingsOpened; });
    }

    AppSettingsStore &settings() { return *net.store; }
    ClusterConnection &cluster() { return *net.connection; }

    // Node settings pointing at the kit's fake node.
    void configure(const QString &callsign = QStringLiteral("N0CALL"))
    {
        settings().setString(SettingsKeys::clusterHost, QStringLiteral("127.0.0.1"));
        settings().setString(SettingsKeys::clusterPort, QString::number(net.node.port()));
        settings().setString(SettingsKeys::clusterCallsign, callsign);
        settings().setBool(SettingsKeys::backupClusterEnabled, false);
    }

    // Connects through the window's own action and waits for the end of the post-login steps.
    bool logIn(const QString &callsign = QStringLiteral("N0CALL"))
    {
        configure(callsign);
        view->connect(ConnectionOrigin::manual);
        return ConnectionKit::waitFor([&] { return cluster().isLoggedIn(); }) &&
               ConnectionKit::waitFor([&] {
                   return net.node.hasReceived(QString(ClusterConnection::recentSpotsCommand));
               });
    }
};

} // namespace varnello::test
