// The window's own state and actions: tabs, callsign search, command field, status bar, the
// connect action, the empty-state panel and the answers to the connection's warnings.
#include "ContentView.h"

#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "NotificationHub.h"
#include "SettingsKeys.h"

namespace varnello {

void ContentView::openSettings()
{
    if (m_onOpenSettings)
        m_onOpenSettings();
}

void ContentView::handleTabChange()
{
    // The table keeps showing the last table tab's list behind the console.
    if (m_selectedTab != MainTab::console)
        m_alertsOnlyTableIsSelected = m_selectedTab == MainTab::alertsOnly;
    postMainTabChanged();
}

void ContentView::postMainTabChanged() const
{
    NotificationHub::instance().post(
        QStringLiteral("varnelloMainTabChanged"),
        {{QStringLiteral("isTable"), m_selectedTab != MainTab::console}});
}

void ContentView::setSidebarIsVisible(bool visible)
{
    if (m_sidebarIsVisible == visible)
        return;
    m_sidebarIsVisible = visible;
    emit windowStateChanged();
}

void ContentView::setAlertSidebarIsVisible(bool visible)
{
    if (m_alertSidebarIsVisible == visible)
        return;
    m_alertSidebarIsVisible = visible;
    emit windowStateChanged();
}

void ContentView::setCommand(const QString &text)
{
    if (m_command == text)
        return;
    m_command = text;
    emit windowStateChanged();
}

bool ContentView::canSendCommand() const
{
    return m_cluster && m_cluster->isLoggedIn() && !m_command.trimmed().isEmpty();
}

void ContentView::sendCommand()
{
    const QString text = m_command.trimmed();
    if (text.isEmpty())
        return;
    setSelectedTab(MainTab::console);
    // A command the connection refused stays in the field to be sent again.
    if (m_cluster && !m_cluster->sendUserCommand(text))
        return;
    setCommand(QString());
}

// --- Status bar and connect ---------------------------------------------------------------------

StatusColor ContentView::statusColor() const
{
    if (!m_cluster)
        return StatusColor::red;
    if (m_cluster->isLoggedIn())
        return StatusColor::green;
    return m_cluster->isConnected() ? StatusColor::orange : StatusColor::red;
}

QString ContentView::statusText() const
{
    if (!m_cluster)
        return {};
    if (m_cluster->isLoggedIn())
        return QStringLiteral("Logged in as ") + m_settings.string(SettingsKeys::clusterCallsign);
    return m_cluster->statusText();
}

QString ContentView::nodeAddressText() const
{
    QString host = m_cluster ? m_cluster->activeHost() : QString();
    if (host.isEmpty())
        host = m_settings.string(SettingsKeys::clusterHost);
    if (host.isEmpty())
        return {};
    const std::optional<quint16> port = m_cluster ? m_cluster->activePort() : std::nullopt;
    return host + u':' +
           (port ? QString::number(*port) : m_settings.string(SettingsKeys::clusterPort));
}

ConnectButtonRole ContentView::connectButtonRole() const
{
    if (m_cluster && m_cluster->isConnected())
        return ConnectButtonRole::disconnect;
    if (m_cluster && m_cluster->isConnectionSequenceActive())
        return ConnectButtonRole::cancel;
    return ConnectButtonRole::connect;
}

void ContentView::pressConnectButton()
{
    if (connectButtonRole() == ConnectButtonRole::connect)
        connect(ConnectionOrigin::manual);
    else
        manualDisconnect();
}

bool ContentView::hasConfiguredCallsign() const
{
    return !m_settings.string(SettingsKeys::clusterCallsign).trimmed().isEmpty();
}

bool ContentView::hasConfiguredNode() const
{
    return !m_settings.string(SettingsKeys::clusterHost).trimmed().isEmpty() &&
           parsePortText(m_settings.string(SettingsKeys::clusterPort).trimmed()).has_value();
}

void ContentView::connect(ConnectionOrigin origin)
{
    if (!m_cluster)
        return;
    const QString host = m_settings.string(SettingsKeys::clusterHost).trimmed();
    const QString callsign = m_settings.string(SettingsKeys::clusterCallsign).trimmed();
    const std::optional<quint16> port =
        parsePortText(m_settings.string(SettingsKeys::clusterPort).trimmed());
    if (host.isEmpty() || callsign.isEmpty() || !port) {
        openSettings();
        return;
    }
    m_cluster->startPrimaryConnection(
        host, *port, callsign, m_settings.string(SettingsKeys::clusterPassword),
        m_settings.boolValue(SettingsKeys::backupClusterEnabled), origin);
}

void ContentView::manualDisconnect()
{
    if (m_cluster)
        m_cluster->disconnect();
}

void ContentView::clearSpots()
{
    if (m_cluster)
        m_cluster->clearSpots();
}

// --- Empty state -------------------------------------------------------------------------------

EmptyStateContent ContentView::emptyState() const
{
    EmptyStateFacts facts;
    facts.callsignConfigured = hasConfiguredCallsign();
    facts.nodeConfigured = hasConfiguredNode();
    facts.isConnected = m_cluster && m_cluster->isConnected();
    facts.isConnectionSequenceActive = m_cluster && m_cluster->isConnectionSequenceActive();
    facts.alertsOnlyTab = m_selectedTab == MainTab::alertsOnly;
    facts.hasSpots = m_cluster && !m_cluster->spots().isEmpty();
    facts.trimmedSearch = m_spotCallsignSearch.trimmed();
    // The same-entity switch hides spots but is not counted here.
    facts.anyFilterActive =
        !selectedBands().isEmpty() || filterSwitch(FilterSwitch::hideCWSpots) ||
        filterSwitch(FilterSwitch::hideSSBSpots) || filterSwitch(FilterSwitch::hideFTxSpots) ||
        filterSwitch(FilterSwitch::hideOtherDigitalSpots) ||
        filterSwitch(FilterSwitch::hideBeaconSpots) || filterSwitch(FilterSwitch::hideQRPSpots) ||
        showLoTWOnly() || !hiddenDXFromContinents().isEmpty() ||
        !hiddenDXByContinents().isEmpty() ||
        filterSwitch(FilterSwitch::customSpotterEntityFilterEnabled) ||
        filterSwitch(FilterSwitch::customInfoFilterEnabled) || !facts.trimmedSearch.isEmpty();
    facts.clearableFilters = !selectedBands().isEmpty() || hasActiveSpotFilters();
    return emptyStateContent(facts);
}

void ContentView::runEmptyStateAction(EmptyStateAction action)
{
    switch (action) {
    case EmptyStateAction::openSettings:
        openSettings();
        break;
    case EmptyStateAction::connect:
        connect(ConnectionOrigin::manual);
        break;
    case EmptyStateAction::cancel:
        manualDisconnect();
        break;
    case EmptyStateAction::clearSearch:
        setSpotCallsignSearch(QString());
        break;
    case EmptyStateAction::clearFilters:
        setSelectedBands({});
        clearSpotFilters();
        break;
    case EmptyStateAction::none:
        break;
    }
}

// --- Answers to the connection's warnings
// ----------------------------------------------------------

void ContentView::fixUnsupportedNode()
{
    if (m_cluster)
        m_cluster->restoreDefaultPrimaryNode();
}

void ContentView::continueWithReducedFeatures()
{
    if (m_cluster)
        m_cluster->continueWithReducedFeatures();
}

void ContentView::continueAndDontAskAgain()
{
    if (!m_cluster || !m_cluster->clusterNodeWarning())
        return;
    const ClusterNodeWarning &warning = *m_cluster->clusterNodeWarning();
    m_settings.setString(SettingsKeys::suppressedUnsupportedPrimaryClusterWarningNode,
                         ClusterConnection::nodeIdentity(warning.host, warning.port));
    m_cluster->continueWithReducedFeatures();
}

void ContentView::clearUpstreamFilters()
{
    if (m_cluster)
        m_cluster->clearUpstreamFilters();
}

void ContentView::keepUpstreamFilters()
{
    if (!m_cluster)
        return;
    m_cluster->dismissUpstreamFilterWarning();
    if (m_cluster->warningIncludesSSIDFilterOverride()) {
        m_cluster->setWarningIncludesSSIDFilterOverride(false);
        m_cluster->clearSSIDFilterOverride();
    } else {
        m_cluster->loadRecentSpots();
    }
}

void ContentView::keepUpstreamFiltersAndDontAskAgain()
{
    m_settings.setBool(SettingsKeys::suppressUpstreamFilterWarning, true);
    keepUpstreamFilters();
}

void ContentView::dismissSpotSubmissionAlert()
{
    if (m_cluster)
        m_cluster->dismissSpotSubmissionAlert();
}

void ContentView::dismissAutoReconnectAlert()
{
    if (m_cluster)
        m_cluster->autoReconnectController().dismissAlert();
}

void ContentView::reconnectWithCallsign(const QString &callsign)
{
    if (m_cluster)
        m_cluster->autoReconnectController().reconnectWithCallsign(callsign);
}

} // namespace varnello
