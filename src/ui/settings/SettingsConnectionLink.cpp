#include "SettingsConnectionLink.h"

#include "ClusterConnection.h"
#include "UDPSpotFeedSender.h"

namespace varnello {

ClusterConnectionLink::ClusterConnectionLink(ClusterConnection &connection, QObject *parent)
    : SettingsConnectionLink(parent), m_connection(connection)
{
    for (auto changed :
         {&ClusterConnection::isConnectionSequenceActiveChanged,
          &ClusterConnection::isConnectedChanged, &ClusterConnection::isLoggedInChanged})
        connect(&connection, changed, this, &SettingsConnectionLink::connectionActivityChanged);
}

bool ClusterConnectionLink::isConnectionActive() const
{
    return m_connection.isConnectionSequenceActive() || m_connection.isConnected() ||
           m_connection.isLoggedIn();
}

void ClusterConnectionLink::clearSuppressedNodeWarningIfChanged(const QString &host,
                                                                const QString &portText)
{
    m_connection.clearSuppressedNodeWarningIfChanged(host, portText);
}

bool ClusterConnectionLink::hasLocalServerListener() const
{
    return m_connection.isLocalSpotServerListening();
}

std::optional<quint16> ClusterConnectionLink::localServerPort() const
{
    return m_connection.localServerPort();
}

void ClusterConnectionLink::stopLocalSpotServer()
{
    m_connection.stopLocalSpotServer();
}

std::optional<QString> ClusterConnectionLink::startLocalSpotServer(quint16 port)
{
    // A listener that cannot start says why in the console, at once; that line is the reason.
    std::optional<QString> reported;
    const QMetaObject::Connection watch =
        connect(&m_connection, &ClusterConnection::linesChanged, this, [this, &reported] {
            if (!m_connection.lines().isEmpty())
                reported = m_connection.lines().constLast().text;
        });
    m_connection.startLocalSpotServer(port);
    disconnect(watch);
    if (m_connection.isLocalSpotServerListening() && m_connection.localServerPort() == port)
        return std::nullopt;
    return reported.value_or(
        QStringLiteral("Local spot server could not start on port %1.").arg(port));
}

void ClusterConnectionLink::appendConsoleLine(const QString &line)
{
    m_connection.appendConsoleLine(line);
}

void ClusterConnectionLink::setUdpFeedMode(const QString &mode)
{
    m_connection.setUdpFeedMode(mode);
}

void ClusterConnectionLink::configureUDPFeed(bool enabled, const QString &destination, quint16 port)
{
    if (UDPSpotFeedSender *sender = m_connection.udpFeedSender())
        sender->configure(enabled, destination, port);
}

} // namespace varnello
