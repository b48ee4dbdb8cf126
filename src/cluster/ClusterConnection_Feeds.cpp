#include "ClusterConnection.h"

#include "AppSettingsStore.h"
#include "LocalSpotServer.h"
#include "UDPSpotFeedSender.h"

// Re-serving live spots: the local telnet spot server and the UDP feed.

namespace varnello {

void ClusterConnection::applyStartupFeedSettings()
{
    m_udpFeedSender = new UDPSpotFeedSender(this);

    if (settings().boolValue(SettingsKeys::localTelnetServerEnabled)) {
        const std::optional<quint16> port =
            parsePortText(settings().string(SettingsKeys::localTelnetServerPort));
        if (port && *port != 0)
            startLocalSpotServer(*port);
    }

    const std::optional<quint16> udpPort =
        parsePortText(settings().string(SettingsKeys::udpFeedPort));
    if (!udpPort || *udpPort == 0)
        return;
    m_udpFeedMode = settings().string(SettingsKeys::udpFeedMode) == QLatin1String("alerts")
                        ? QStringLiteral("alerts")
                        : QStringLiteral("everything");
    m_udpFeedSender->configure(settings().boolValue(SettingsKeys::udpFeedEnabled),
                               settings().string(SettingsKeys::udpFeedDestination), *udpPort);
}

void ClusterConnection::startLocalSpotServer(quint16 port)
{
    if (!m_localSpotServer) {
        m_localSpotServer = new LocalSpotServer(this);
        QObject::connect(m_localSpotServer, &LocalSpotServer::consoleLine, this,
                         &ClusterConnection::appendConsoleLine);
    }
    m_localSpotServer->ensureListening(port);
}

void ClusterConnection::stopLocalSpotServer()
{
    if (m_localSpotServer)
        m_localSpotServer->stop();
}

std::optional<quint16> ClusterConnection::localServerPort() const
{
    return m_localSpotServer ? m_localSpotServer->port() : std::nullopt;
}

bool ClusterConnection::isLocalSpotServerListening() const
{
    return m_localSpotServer && m_localSpotServer->hasListener();
}

void ClusterConnection::broadcastSpot(const DXSpot &spot)
{
    if (m_udpFeedMode == QLatin1String("everything"))
        m_udpFeedSender->send(spot.rawLine);
    if (m_localSpotServer)
        m_localSpotServer->broadcastLine(spot.rawLine);
}

} // namespace varnello
