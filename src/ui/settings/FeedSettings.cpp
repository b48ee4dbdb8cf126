#include "FeedSettings.h"

#include "AppSettingsStore.h"
#include "ClusterTypes.h"
#include "SettingsConnectionLink.h"
#include "UDPSpotFeedSender.h"

namespace varnello {

std::optional<quint16> feedPortNumber(QStringView text)
{
    const std::optional<quint16> port = parsePortText(text);
    if (!port || *port == 0)
        return std::nullopt;
    return port;
}

FeedSettingsApplier::FeedSettingsApplier(AppSettingsStore &settings,
                                         SettingsConnectionLink &connection)
    : m_settings(settings), m_connection(connection)
{
}

void FeedSettingsApplier::applyLocalServerSettings()
{
    const std::optional<quint16> port =
        feedPortNumber(m_settings.string(SettingsKeys::localTelnetServerPort));
    const bool enabled = m_settings.boolValue(SettingsKeys::localTelnetServerEnabled);
    if (!enabled) {
        m_connection.stopLocalSpotServer();
        return;
    }
    if (!port)
        return;
    if (m_connection.hasLocalServerListener() && m_connection.localServerPort() == *port)
        return;
    m_connection.stopLocalSpotServer();
    m_connection.startLocalSpotServer(*port);
}

void FeedSettingsApplier::applyUDPFeedSettings(std::optional<bool> enabledValue,
                                               std::optional<QString> destinationValue,
                                               std::optional<QString> portValue,
                                               std::optional<QString> modeValue)
{
    const bool enabled = enabledValue.value_or(m_settings.boolValue(SettingsKeys::udpFeedEnabled));
    const QString destination =
        destinationValue.value_or(m_settings.string(SettingsKeys::udpFeedDestination));
    const QString portText = portValue.value_or(m_settings.string(SettingsKeys::udpFeedPort));
    const QString mode = modeValue.value_or(m_settings.string(SettingsKeys::udpFeedMode));

    m_connection.setUdpFeedMode(mode == QLatin1String("alerts") ? QStringLiteral("alerts")
                                                                : QStringLiteral("everything"));
    if (const std::optional<quint16> port = feedPortNumber(portText))
        m_connection.configureUDPFeed(enabled, destination, *port);
    else
        m_connection.configureUDPFeed(false, destination, UDPSpotFeedSender::fallbackPort);
}

} // namespace varnello
