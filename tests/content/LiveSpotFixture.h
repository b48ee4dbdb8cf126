#pragma once

// A ContentView wired to a ClusterConnection without a node: spots are put into the connection's
// list the way its receive loop does, so the lists, counts and pausing see the real list.

#include "ClusterConnection.h"
#include "ContentViewFixture.h"

namespace varnello {

struct ClusterConnectionTestAccess {
    static void insertLiveSpot(ClusterConnection &connection, const DXSpot &spot)
    {
        connection.insertLiveSpot(spot);
    }
    static void logIn(ClusterConnection &connection, ClusterNodeType type)
    {
        connection.setIsLoggedIn(true);
        connection.setDetectedNodeType(type);
    }
    static void setRbnState(ClusterConnection &connection, bool loading, bool known, bool enabled,
                            RBNModeSet modes)
    {
        connection.setRbnStatusLoading(loading);
        connection.setRbnStatusKnown(known);
        connection.setRbnEnabled(enabled);
        connection.setRbnModes(modes);
        connection.bumpRbnStateVersion();
    }
    static void clearSpots(ClusterConnection &connection)
    {
        connection.m_spots.clear();
        emit connection.spotsChanged();
    }
};

} // namespace varnello

namespace varnello::test {

struct LiveSpotFixture : ContentViewFixture {
    std::unique_ptr<ClusterConnection> cluster;

    ContentView &makeWithCluster()
    {
        ClusterConnectionEnvironment clusterEnvironment;
        clusterEnvironment.settings = &settings;
        clusterEnvironment.clock = &clock;
        cluster = std::make_unique<ClusterConnection>(nullptr, clusterEnvironment);
        ContentViewEnvironment e = environment();
        e.cluster = cluster.get();
        view = std::make_unique<ContentView>(e);
        return *view;
    }

    // A live spot as the connection publishes it.
    DXSpot arrive(DXSpot spot)
    {
        ClusterConnectionTestAccess::insertLiveSpot(*cluster, spot);
        return spot;
    }
    DXSpot arrive(const QString &callsign, SpotType type = SpotType::cw,
                  const QString &band = QStringLiteral("20m"))
    {
        return arrive(makeSpot(callsign, band, type));
    }
};

inline QStringList callsignsOf(const QList<DXSpot> &spots)
{
    QStringList calls;
    for (const DXSpot &spot : spots)
        calls.append(spot.callsign);
    return calls;
}

} // namespace varnello::test
