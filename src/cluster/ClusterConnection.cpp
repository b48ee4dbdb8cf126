#include "ClusterConnection.h"

#include "AppSettingsStore.h"
#include "CTYDatabase.h"
#include "CTYFileManager.h"
#include "Clock.h"
#include "PowerEvents.h"

#include <QTimer>

namespace varnello {

ClusterConnection::ClusterConnection(CTYFileManager *ctyFileManager,
                                     ClusterConnectionEnvironment environment, QObject *parent)
    : QObject(parent), m_ctyFileManager(ctyFileManager),
      m_settings(environment.settings ? environment.settings : &AppSettingsStore::shared()),
      m_clock(environment.clock ? environment.clock : &Clock::system()),
      m_powerEvents(environment.powerEvents), m_timing(environment.timing),
      m_defaultPrimaryHost(environment.defaultPrimaryHost.trimmed().toLower())
{
    AppSettingsStore *store = m_settings;
    AutoReconnectSettings reconnectSettings{
        [store] { return store->boolValue(SettingsKeys::autoReconnectEnabled); },
        [store] { return store->string(SettingsKeys::clusterCallsign); },
        [store](const QString &callsign) {
            store->setString(SettingsKeys::clusterCallsign, callsign);
        },
    };
    m_autoReconnectController = std::make_unique<AutoReconnectController>(
        std::move(reconnectSettings), environment.publicAddress, *m_clock, m_timing.autoReconnect);

    QPointer<ClusterConnection> self(this);
    m_autoReconnectController->setReconnectAction([self] {
        if (self)
            self->connectToPrimary();
    });
    m_autoReconnectController->setFailoverAction([self] {
        if (self)
            self->connectToBackup(false);
    });

    QObject::connect(m_autoReconnectController.get(), &AutoReconnectController::changed, this,
                     &ClusterConnection::autoReconnectChanged);
    QObject::connect(m_autoReconnectController.get(), &AutoReconnectController::alertChanged, this,
                     [this] {
                         if (m_autoReconnectController->alert())
                             setIsConnectionSequenceActive(false);
                         emit autoReconnectChanged();
                     });
    // The last attempt's status ("Login stalled — reconnecting…") would promise a reconnect that
    // no longer comes.
    QObject::connect(
        m_autoReconnectController.get(), &AutoReconnectController::attemptsStopped, this, [this] {
            if (!m_autoReconnectController->alert())
                return; // already dismissed by whoever heard of the alert first
            const AutoReconnectAlert &alert = *m_autoReconnectController->alert();
            QString text = alert.kind == AutoReconnectAlert::Kind::allClustersUnavailable
                               ? QStringLiteral("Primary and backup clusters unavailable — "
                                                "attempts stopped")
                               : QStringLiteral("Automatic reconnect stopped");
            if (!alert.lastFailure.isEmpty())
                text += QStringLiteral(" (") + alert.lastFailure + u')';
            setStatusText(text);
        });
    subscribeToCountryDatabase();
    if (m_powerEvents) {
        QObject::connect(m_powerEvents, &PowerEvents::willSleep, this,
                         &ClusterConnection::handleSystemWillSleep, Qt::QueuedConnection);
        QObject::connect(m_powerEvents, &PowerEvents::didWake, this,
                         &ClusterConnection::handleSystemDidWake, Qt::QueuedConnection);
    }
    applyStartupFeedSettings();
}

ClusterConnection::~ClusterConnection()
{
    // Nothing may report back into a half-destroyed object, nor the console tell of lines that
    // were waiting to be sent.
    m_waitingRequests.clear();
    releaseConnection();
    if (m_primaryProbeConnection) {
        m_primaryProbeConnection->disconnect(this);
        m_primaryProbeConnection->cancel(true);
        delete m_primaryProbeConnection.data();
    }
}

// ---------------------------------------------------------------------------------------------
// Published state

void ClusterConnection::setStatusText(const QString &text)
{
    if (m_statusText == text)
        return;
    m_statusText = text;
    emit statusTextChanged();
}

void ClusterConnection::setIsConnected(bool value)
{
    if (m_isConnected == value)
        return;
    m_isConnected = value;
    emit isConnectedChanged();
}

void ClusterConnection::setIsLoggedIn(bool value)
{
    if (m_isLoggedIn == value)
        return;
    m_isLoggedIn = value;
    emit isLoggedInChanged();
}

void ClusterConnection::setLoginState(LoginState state)
{
    if (m_loginState == state)
        return;
    m_loginState = state;
    emit loginStateChanged();
}

void ClusterConnection::setActiveNode(const QString &host, std::optional<quint16> port,
                                      const QString &callsign)
{
    if (m_activeHost == host && m_activePort == port && m_activeCallsign == callsign)
        return;
    m_activeHost = host;
    m_activePort = port;
    m_activeCallsign = callsign;
    emit activeNodeChanged();
}

void ClusterConnection::setRegistrationRequired(bool value)
{
    if (m_registrationRequired == value)
        return;
    m_registrationRequired = value;
    emit registrationRequiredChanged();
}

void ClusterConnection::setIsConnectionSequenceActive(bool active)
{
    if (m_isConnectionSequenceActive == active)
        return;
    m_isConnectionSequenceActive = active;
    emit isConnectionSequenceActiveChanged();
}

void ClusterConnection::setRbnStatusKnown(bool value)
{
    if (m_rbnStatusKnown == value)
        return;
    m_rbnStatusKnown = value;
    emit rbnStateChanged();
}

void ClusterConnection::setRbnStatusLoading(bool value)
{
    if (m_rbnStatusLoading == value)
        return;
    m_rbnStatusLoading = value;
    emit rbnStateChanged();
}

void ClusterConnection::setRbnEnabled(bool value)
{
    if (m_rbnEnabled == value)
        return;
    m_rbnEnabled = value;
    emit rbnStateChanged();
}

void ClusterConnection::setRbnModes(const RBNModeSet &modes)
{
    if (m_rbnModes == modes)
        return;
    m_rbnModes = modes;
    emit rbnStateChanged();
}

void ClusterConnection::bumpRbnStateVersion()
{
    ++m_rbnStateVersion;
    emit rbnStateChanged();
}

void ClusterConnection::resetPublishedRbnState()
{
    setRbnStatusLoading(false);
    setRbnStatusKnown(false);
    setRbnEnabled(false);
    setRbnModes({});
    bumpRbnStateVersion();
}

void ClusterConnection::setSpotSubmissionAlertMessage(const std::optional<QString> &message)
{
    if (m_spotSubmissionAlertMessage == message)
        return;
    m_spotSubmissionAlertMessage = message;
    emit spotSubmissionAlertMessageChanged();
}

void ClusterConnection::setUpstreamFilterWarningLines(const std::optional<QStringList> &lines)
{
    if (m_upstreamFilterWarningLines == lines)
        return;
    m_upstreamFilterWarningLines = lines;
    emit upstreamFilterWarningLinesChanged();
}

void ClusterConnection::setDetectedNodeType(ClusterNodeType type)
{
    if (m_detectedNodeType == type)
        return;
    m_detectedNodeType = type;
    emit detectedNodeTypeChanged();
}

void ClusterConnection::setClusterNodeWarning(const std::optional<ClusterNodeWarning> &warning)
{
    if (m_clusterNodeWarning == warning)
        return;
    m_clusterNodeWarning = warning;
    emit clusterNodeWarningChanged();
}

// ---------------------------------------------------------------------------------------------
// Console

void ClusterConnection::appendConsoleLine(const QString &text)
{
    // The console is for reading: a node that sends kilobytes without a line break would
    // otherwise fill 5,000 lines with up to 16 KB each.
    if (text.size() > maximumConsoleLineLength)
        m_lines.append(ClusterLine::make(text.left(maximumConsoleLineLength) + u'…'));
    else
        m_lines.append(ClusterLine::make(text));
    if (m_lines.size() > maximumLines)
        m_lines.remove(0, m_lines.size() - maximumLines);
    emit linesChanged();
}

void ClusterConnection::clearSpots()
{
    if (m_spots.isEmpty())
        return;
    m_spots.clear();
    emit spotsChanged();
}

// ---------------------------------------------------------------------------------------------
// Country data

const CTYDatabase *ClusterConnection::currentDatabase() const
{
    if (!m_ctyFileManager)
        return nullptr;
    const std::optional<CTYDatabase> &database = m_ctyFileManager->database();
    return database ? &*database : nullptr;
}

void ClusterConnection::subscribeToCountryDatabase()
{
    if (!m_ctyFileManager)
        return;
    // Later databases only: the one present now is what the spots were parsed with.
    QObject::connect(m_ctyFileManager, &CTYFileManager::databaseChanged, this,
                     &ClusterConnection::reapplyCountryData, Qt::QueuedConnection);
}

void ClusterConnection::reapplyCountryData()
{
    const CTYDatabase *database = currentDatabase();
    QList<DXSpot> updated = m_spots;
    for (DXSpot &spot : updated) {
        const std::optional<CTYResult> result =
            database ? database->lookup(spot.callsign) : std::nullopt;
        if (result) {
            spot.dxcc = result->entityName;
            spot.dxccADIFNumber = result->adifNumber;
        } else {
            spot.dxcc.reset();
            spot.dxccADIFNumber.reset();
        }
    }
    m_spots = std::move(updated);
    emit spotsChanged();
}

bool ClusterConnection::isOnDefaultPrimaryNode() const
{
    return m_activeNodeRole == ClusterNodeRole::primary &&
           m_activeHost.trimmed().toLower() == m_defaultPrimaryHost;
}

} // namespace varnello
