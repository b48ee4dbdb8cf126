#include "FeedSettings.h"

#include "AppSettingsStore.h"
#include "ClusterTypes.h"
#include "SettingsConnectionLink.h"
#include "UDPSpotFeedSender.h"

#include <QHostAddress>
#include <QRegularExpression>

namespace varnello {

namespace {

// Typed text quoted back in a console line: kept short and on one line.
QString quoted(const QString &text)
{
    constexpr int longest = 16;
    QString shown = text.left(longest);
    for (QChar &c : shown) {
        if (!c.isPrint())
            c = u'?';
    }
    return text.size() > longest ? shown + u'…' : shown;
}

QString portRangeSentence()
{
    return QStringLiteral("Use a port from 1 to 65535.");
}

bool isIPv4Address(QStringView text)
{
    // QHostAddress also reads "1.2" or "0x7f.1" the way inet_aton does; a destination must be
    // written out in full.
    static const QRegularExpression dottedQuad(
        QStringLiteral("^(?:(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])\\.){3}"
                       "(?:25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9]?[0-9])$"));
    return dottedQuad.match(text).hasMatch();
}

bool isPlausibleHostName(QStringView text)
{
    if (text.endsWith(u'.'))
        text.chop(1);
    if (text.isEmpty() || text.size() > 253)
        return false;
    static const QRegularExpression label(
        QStringLiteral("^[A-Za-z0-9](?:[A-Za-z0-9-]{0,61}[A-Za-z0-9])?$"));
    static const QRegularExpression digits(QStringLiteral("^[0-9]+$"));
    const QList<QStringView> labels = text.split(u'.');
    for (QStringView part : labels) {
        if (!label.match(part).hasMatch())
            return false;
    }
    // "12.34" is no name but an address cut short, which resolvers read as 12.0.0.34.
    return !digits.match(labels.constLast()).hasMatch();
}

} // namespace

std::optional<quint16> feedPortNumber(QStringView text)
{
    // The shared parser also takes "-0" as 0; zero is refused here either way.
    const std::optional<quint16> port = parsePortText(text);
    if (!port || *port == 0 || text.startsWith(u'-'))
        return std::nullopt;
    return port;
}

FeedProblem nodePortProblem(QStringView text)
{
    if (feedPortNumber(text.trimmed()))
        return std::nullopt;
    return portRangeSentence();
}

FeedProblem udpDestinationProblem(QStringView destination)
{
    const QStringView trimmed = destination.trimmed();
    if (isIPv4Address(trimmed) || isPlausibleHostName(trimmed))
        return std::nullopt;
    return QStringLiteral("Not an IPv4 address or host name.");
}

FeedSettingsApplier::FeedSettingsApplier(AppSettingsStore &settings,
                                         SettingsConnectionLink &connection)
    : m_settings(settings), m_connection(connection)
{
}

FeedProblem FeedSettingsApplier::applyLocalServerSettings()
{
    const QString portText = m_settings.string(SettingsKeys::localTelnetServerPort);
    const std::optional<quint16> port = feedPortNumber(portText);
    const bool enabled = m_settings.boolValue(SettingsKeys::localTelnetServerEnabled);
    if (!enabled) {
        m_connection.stopLocalSpotServer();
        return std::nullopt;
    }
    if (!port) {
        m_connection.appendConsoleLine(
            QStringLiteral("Local server could not start: invalid port %1.").arg(quoted(portText)));
        const std::optional<quint16> running =
            m_connection.hasLocalServerListener() ? m_connection.localServerPort() : std::nullopt;
        return portRangeSentence() + (running
                                          ? QStringLiteral(" Still running on %1.").arg(*running)
                                          : QStringLiteral(" Not running."));
    }
    if (m_connection.hasLocalServerListener() && m_connection.localServerPort() == *port)
        return std::nullopt;
    m_connection.stopLocalSpotServer();
    if (const std::optional<QString> failure = m_connection.startLocalSpotServer(*port))
        return *failure + QStringLiteral(" Not running.");
    return std::nullopt;
}

FeedProblem FeedSettingsApplier::applyUDPFeedSettings(std::optional<bool> enabledValue,
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
    const std::optional<quint16> port = feedPortNumber(portText);
    if (!port) {
        m_connection.configureUDPFeed(false, destination, UDPSpotFeedSender::fallbackPort);
        return enabled ? FeedProblem(portRangeSentence() + QStringLiteral(" The feed is off."))
                       : std::nullopt;
    }
    // Refused rather than handed to the resolver, which would take "12" for 0.0.0.12.
    if (const FeedProblem problem = udpDestinationProblem(destination)) {
        m_connection.configureUDPFeed(false, destination, *port);
        return enabled ? FeedProblem(*problem + QStringLiteral(" The feed is off.")) : std::nullopt;
    }
    m_connection.configureUDPFeed(enabled, destination, *port);
    return std::nullopt;
}

} // namespace varnello
