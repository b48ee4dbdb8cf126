#include "MainWindowTexts.h"

namespace varnello {

QString connectButtonTitle(ConnectButtonRole role)
{
    switch (role) {
    case ConnectButtonRole::disconnect:
        return QStringLiteral("Disconnect");
    case ConnectButtonRole::cancel:
        return QStringLiteral("Cancel");
    case ConnectButtonRole::connect:
        break;
    }
    return QStringLiteral("Connect");
}

QString emptyStateActionTitle(EmptyStateAction action)
{
    switch (action) {
    case EmptyStateAction::openSettings:
        return QStringLiteral("Open Settings");
    case EmptyStateAction::connect:
        return QStringLiteral("Connect");
    case EmptyStateAction::cancel:
        return QStringLiteral("Cancel");
    case EmptyStateAction::clearSearch:
        return QStringLiteral("Clear Search");
    case EmptyStateAction::clearFilters:
        return QStringLiteral("Clear Filters");
    case EmptyStateAction::none:
        break;
    }
    return {};
}

EmptyStateContent emptyStateContent(const EmptyStateFacts &facts)
{
    EmptyStateContent content;
    if (!facts.callsignConfigured) {
        content = {QStringLiteral("Callsign Not Configured"), QStringLiteral("gearshape"),
                   QStringLiteral("Enter your callsign in Settings.")};
    } else if (!facts.nodeConfigured) {
        content = {QStringLiteral("Node Not Configured"), QStringLiteral("gearshape"),
                   QStringLiteral("Enter the DX cluster node and port in Settings.")};
    } else if (!facts.isConnected) {
        content = {QStringLiteral("Not Connected"), QStringLiteral("network.slash"),
                   QStringLiteral("Connect to the configured DX cluster to receive spots.")};
    } else if (facts.alertsOnlyTab && facts.hasSpots) {
        content = {QStringLiteral("No Alert Spots"), QStringLiteral("bell.slash"),
                   QStringLiteral("No received spots match an enabled alert.")};
    } else if (!facts.trimmedSearch.isEmpty() && facts.hasSpots) {
        content = {QStringLiteral("No Matching Callsigns"), QStringLiteral("magnifyingglass"),
                   QStringLiteral("No received spots match ") + facts.trimmedSearch + u'.'};
    } else if (facts.anyFilterActive && facts.hasSpots) {
        content = {QStringLiteral("No Matching Spots"),
                   QStringLiteral("line.3.horizontal.decrease.circle"),
                   QStringLiteral("No received spots match the active filters.")};
    } else {
        content = {
            QStringLiteral("Waiting for Spots"),
            QStringLiteral("antenna.radiowaves.left.and.right"),
            QStringLiteral("Incoming DX spots will appear here, with the newest at the top.")};
    }

    if (!facts.callsignConfigured || !facts.nodeConfigured)
        content.action = EmptyStateAction::openSettings;
    else if (!facts.isConnected)
        content.action =
            facts.isConnectionSequenceActive ? EmptyStateAction::cancel : EmptyStateAction::connect;
    else if (!facts.trimmedSearch.isEmpty())
        content.action = EmptyStateAction::clearSearch;
    else if (facts.clearableFilters)
        content.action = EmptyStateAction::clearFilters;
    return content;
}

namespace {

QString duplicateConnectionMessage(const AutoReconnectAlert &alert)
{
    QString message = QStringLiteral("The DX Cluster reports that ") + alert.callsign +
                      QStringLiteral(" connected elsewhere and disconnected this instance. ");
    if (alert.localIP && *alert.localIP != alert.remoteIP) {
        message += QStringLiteral("The other connection came from ") + alert.remoteIP +
                   QStringLiteral(", which is different from your current public IP address (") +
                   *alert.localIP + QStringLiteral(").");
    } else if (alert.localIP) {
        message +=
            QStringLiteral("The other connection came from your current public IP address (") +
            alert.remoteIP +
            QStringLiteral("), so it is probably another program on the same Internet "
                           "connection.");
    } else {
        message += QStringLiteral("The other connection came from ") + alert.remoteIP +
                   QStringLiteral(". Varnello could not determine your current public IP address "
                                  "for comparison.");
    }
    if (alert.suggestedCallsign) {
        message += QStringLiteral(" This can happen when another cluster or logging program uses "
                                  "the same callsign. Varnello can change its callsign to ") +
                   *alert.suggestedCallsign + QStringLiteral(" and reconnect.");
    } else {
        message += QStringLiteral(" The callsign already ends in -22, so Varnello has stopped "
                                  "without trying another SSID.");
    }
    return message;
}

// Names the last failure, so the operator looks for a wrong address or port rather than a slow
// network when the node could not be found or refused.
QString withLastFailure(QString message, const AutoReconnectAlert &alert)
{
    if (!alert.lastFailure.isEmpty())
        message += QStringLiteral(" The last attempt failed: ") + alert.lastFailure + u'.';
    return message;
}

} // namespace

AutoReconnectAlertContent autoReconnectAlertContent(const std::optional<AutoReconnectAlert> &alert)
{
    if (!alert)
        return {QStringLiteral("Automatic reconnect"), QString(), std::nullopt};
    switch (alert->kind) {
    case AutoReconnectAlert::Kind::repeatedFailures:
        return {QStringLiteral("Automatic reconnect stopped"),
                withLastFailure(
                    QStringLiteral("Varnello disconnected and reconnected eight times within "
                                   "forty-five seconds, so automatic reconnect has been stopped. "
                                   "Check the node address, your Internet connection, and whether "
                                   "another program is connecting with the same callsign."),
                    *alert),
                std::nullopt};
    case AutoReconnectAlert::Kind::allClustersUnavailable:
        return {QStringLiteral("Unable to connect"),
                withLastFailure(QStringLiteral("Varnello was unable to connect to either the "
                                               "primary or backup DX Cluster after three attempts "
                                               "to each node."),
                                *alert),
                std::nullopt};
    case AutoReconnectAlert::Kind::duplicateConnection:
        break;
    }
    return {QStringLiteral("Another connection is using this callsign"),
            duplicateConnectionMessage(*alert), alert->suggestedCallsign};
}

QString spotSubmissionAlertMessageText(const std::optional<QString> &message)
{
    return message ? *message : QStringLiteral("The spot could not be sent.");
}

} // namespace varnello
