#include "ClusterConnection.h"

#include "AppSettingsStore.h"

namespace varnello {

namespace {

// A port text from the settings: blanks and line breaks around it are forgiven.
std::optional<quint16> settingsPort(const QString &text)
{
    return parsePortText(QStringView(text).trimmed());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Where the automatic reconnect and the failover go

void ClusterConnection::connectToPrimary()
{
    AppSettingsStore &s = settings();
    const QString host = s.string(QString(SettingsKeys::clusterHost.name), QString());
    const auto port =
        settingsPort(s.string(QString(SettingsKeys::clusterPort.name), QStringLiteral("7300")));
    const QString callsign = s.string(QString(SettingsKeys::clusterCallsign.name), QString());
    const QString password = s.string(QString(SettingsKeys::clusterPassword.name), QString());
    if (!port) {
        m_autoReconnectController->dismissAlert();
        setStatusText(QStringLiteral("Invalid port"));
        setLoginState(LoginState::failed);
        // Nothing will try again, so the window must not offer to cancel a connection.
        endSequenceIfNothingScheduled();
        return;
    }
    // An empty address is refused by connect() with its own status; no node was tried, so no
    // alert about unavailable nodes follows.
    connect(host, *port, callsign, password, ClusterNodeRole::primary, true, true,
            ConnectionOrigin::automaticReconnect);
}

void ClusterConnection::connectToBackup(bool isRetry)
{
    AppSettingsStore &s = settings();
    const QString host = s.string(QString(SettingsKeys::backupClusterHost.name),
                                  QString(SettingsDefaults::backupClusterHost));
    const auto port = settingsPort(
        s.string(QString(SettingsKeys::backupClusterPort.name), QStringLiteral("7300")));
    const QString callsign = s.string(QString(SettingsKeys::clusterCallsign.name), QString());
    const QString password = s.string(QString(SettingsKeys::clusterPassword.name), QString());
    if (!port) {
        setLoginState(LoginState::failed);
        m_autoReconnectController->noteAttemptFailed(QStringLiteral("Invalid backup cluster port"));
        m_autoReconnectController->reportAllClustersUnavailable();
        return;
    }
    if (isRetry) {
        appendConsoleLine(QStringLiteral("Retrying backup cluster…"));
    } else {
        appendConsoleLine(QStringLiteral("Primary cluster unavailable. Trying backup cluster…"));
        m_consecutivePrimaryReconnectFailures = 0;
        m_consecutiveBackupConnectionFailures = 0;
    }
    connect(host, *port, callsign, password, ClusterNodeRole::backup, false, true,
            ConnectionOrigin::failover);
    if (host.trimmed().isEmpty()) {
        m_autoReconnectController->noteAttemptFailed(
            QStringLiteral("Backup node address is empty"));
        m_autoReconnectController->reportAllClustersUnavailable();
    }
}

void ClusterConnection::reconnectToRole(ClusterNodeRole role)
{
    if (role == ClusterNodeRole::primary) {
        connectToPrimary();
        return;
    }
    AppSettingsStore &s = settings();
    const QString host = s.string(QString(SettingsKeys::backupClusterHost.name),
                                  QString(SettingsDefaults::backupClusterHost));
    const auto port = settingsPort(
        s.string(QString(SettingsKeys::backupClusterPort.name), QStringLiteral("7300")));
    if (!port) {
        setIsConnectionSequenceActive(false);
        setStatusText(QStringLiteral("Invalid backup cluster port"));
        setLoginState(LoginState::failed);
        return;
    }
    connect(host, *port, s.string(QString(SettingsKeys::clusterCallsign.name), QString()),
            s.string(QString(SettingsKeys::clusterPassword.name), QString()),
            ClusterNodeRole::backup, false, true, ConnectionOrigin::wakeRecovery);
    if (host.trimmed().isEmpty())
        setIsConnectionSequenceActive(false);
}

// ---------------------------------------------------------------------------------------------
// Attempt time-out and login watchdog

bool ClusterConnection::isReturnFromBackupAttempt() const
{
    return m_activeNodeRole == ClusterNodeRole::primary &&
           m_connectionOrigin == ConnectionOrigin::returnFromBackup && !m_isLoggedIn;
}

void ClusterConnection::armConnectionAttemptTimeout(TcpConnection *connection, ClusterNodeRole role)
{
    const QPointer<TcpConnection> armedFor(connection);
    const auto delay = role == ClusterNodeRole::primary ? m_timing.primaryReconnectAttemptTimeout
                                                        : m_timing.backupConnectionAttemptTimeout;
    // Covers the way to a ready connection and, once ready, the wait for the callsign question.
    m_connectionAttemptTimeoutTask.start(this, delay, [this, armedFor, role] {
        if (!armedFor || !isCurrent(armedFor) || m_activeNodeRole != role || m_hasSentCallsign ||
            m_isLoggedIn)
            return;
        const bool supervised = role == ClusterNodeRole::primary
                                    ? (m_isPrimaryReconnectAttempt || isReturnFromBackupAttempt())
                                    : m_isBackupConnectionAttempt;
        if (!supervised && !m_isConnected)
            return; // an unsupervised attempt waits for the platform until it is ready
        // A refused or unresolvable node has already said why it cannot be reached; calling that
        // a time-out would send the operator after a slow network.
        const QString failure = armedFor->waitingReason();
        const bool wasConnected = m_isConnected;
        releaseConnection();
        setIsConnected(false);
        setIsLoggedIn(false);
        setLoginState(LoginState::failed);
        const bool primary = role == ClusterNodeRole::primary;
        if (!supervised) {
            appendConsoleLine(QStringLiteral("No login prompt from the node. Reconnecting…"));
            setStatusText(QStringLiteral("No login prompt — reconnecting…"));
        } else if (!failure.isEmpty()) {
            setStatusText((primary ? QStringLiteral("Primary cluster connection failed: ")
                                   : QStringLiteral("Backup cluster connection failed: ")) +
                          failure);
            appendConsoleLine((primary ? QStringLiteral("Primary reconnect attempt failed: ")
                                       : QStringLiteral("Backup connection attempt failed: ")) +
                              failure);
        } else if (primary) {
            setStatusText(QStringLiteral("Primary cluster connection timed out"));
            appendConsoleLine(
                QStringLiteral("Primary reconnect attempt timed out after 5 seconds."));
        } else {
            setStatusText(QStringLiteral("Backup cluster connection timed out"));
            appendConsoleLine(
                QStringLiteral("Backup connection attempt timed out after 5 seconds."));
        }
        m_autoReconnectController->noteAttemptFailed(
            !failure.isEmpty() ? failure
            : wasConnected     ? QStringLiteral("No login prompt from the node")
                               : QStringLiteral("Connection timed out"));
        handleAttemptEndedBeforeLogin();
    });
}

void ClusterConnection::armCallsignWatchdog(TcpConnection *connection,
                                            std::chrono::milliseconds delay)
{
    const QPointer<TcpConnection> armedFor(connection);
    // Whichever went out last, the callsign or the password, the login must go on from it.
    const auto watching = [this] {
        return !m_isLoggedIn && (m_loginState == LoginState::callsignSent ||
                                 m_loginState == LoginState::passwordSent);
    };
    m_callsignSendWatchdogTask.start(this, delay, [this, armedFor, watching] {
        if (!armedFor || !isCurrent(armedFor) || !watching())
            return;
        // A line that may be the node's prompt is waited for: its quiet, its answer and the
        // check of the answer (PromptQuestion says how long).
        const auto now = std::chrono::steady_clock::now();
        if (const auto until =
                m_promptQuestion.takeWatchdogExtension(now, m_timing.tailSettleDelay)) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(*until - now);
            armCallsignWatchdog(armedFor, std::max(left, std::chrono::milliseconds(0)));
            // The question may have a deadline from now on (a DXSpider node's silence).
            armPromptQuestionDeadline();
            return;
        }
        const bool afterPassword = m_loginState == LoginState::passwordSent;
        const QString stalled = afterPassword
                                    ? QStringLiteral("Login stalled after sending password")
                                    : QStringLiteral("Login stalled after sending callsign");
        appendConsoleLine(stalled + QStringLiteral(". Reconnecting…"));
        setStatusText(afterPassword ? stalled + QStringLiteral(" — reconnecting…")
                                    : QStringLiteral("Login stalled — reconnecting…"));
        m_autoReconnectController->noteAttemptFailed(stalled);
        // What the node sent is shown, however the attempt ended.
        flushPartialLine();
        releaseConnection();
        setIsConnected(false);
        setIsLoggedIn(false);
        setLoginState(LoginState::failed);
        handleAttemptEndedBeforeLogin();
    });
}

void ClusterConnection::handleAttemptEndedBeforeLogin()
{
    m_connectionAttemptTimeoutTask.cancel();
    if (m_activeNodeRole == ClusterNodeRole::backup && m_isBackupConnectionAttempt) {
        handleBackupAttemptFailure();
    } else if (m_activeNodeRole == ClusterNodeRole::primary && m_isPrimaryReconnectAttempt) {
        handlePrimaryAttemptFailure();
    } else if (isReturnFromBackupAttempt() || m_connectionIncidentHandled ||
               m_isPreparingForSystemSleep || m_userRequestedRemoteLogout) {
        applyConnectionLostPolicy(false);
    } else {
        if (giveUpAfterRepeatedFailedLogins())
            return;
        m_connectionIncidentHandled = true;
        m_autoReconnectController->recordDisconnect(false, true);
        endSequenceIfNothingScheduled();
    }
}

bool ClusterConnection::giveUpAfterRepeatedFailedLogins()
{
    if (++m_consecutiveFailedLogins < failedLoginsBeforeGivingUp)
        return false;
    m_consecutiveFailedLogins = 0;
    m_connectionIncidentHandled = true;
    m_autoReconnectController->reportRepeatedFailures();
    setIsConnectionSequenceActive(false);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Failure policy

void ClusterConnection::handlePrimaryAttemptFailure()
{
    if (m_activeNodeRole == ClusterNodeRole::primary && m_isPrimaryReconnectAttempt &&
        settings().boolValue(SettingsKeys::backupClusterEnabled)) {
        m_isPrimaryReconnectAttempt = false;
        ++m_consecutivePrimaryReconnectFailures;
        if (m_consecutivePrimaryReconnectFailures >= primaryReconnectFailuresBeforeFailover) {
            appendConsoleLine(
                QStringLiteral("Primary cluster failed 3 consecutive reconnect attempts."));
            m_autoReconnectController->failOverNow();
        } else {
            m_autoReconnectController->recordDisconnect(false, true);
        }
        return;
    }
    m_isPrimaryReconnectAttempt = false;
    // Without a backup node a primary that never lets the login complete would be tried for
    // ever, each try too slow for the reconnect controller's rate limit to notice.
    if (m_activeNodeRole == ClusterNodeRole::primary && !m_connectionIncidentHandled &&
        !m_userRequestedRemoteLogout && !m_isPreparingForSystemSleep &&
        giveUpAfterRepeatedFailedLogins())
        return;
    applyConnectionLostPolicy(false);
}

void ClusterConnection::handleBackupAttemptFailure()
{
    if (m_activeNodeRole != ClusterNodeRole::backup || !m_isBackupConnectionAttempt)
        return;
    m_isBackupConnectionAttempt = false;
    const int failures = ++m_consecutiveBackupConnectionFailures;
    if (failures < backupConnectionFailuresBeforeGivingUp) {
        appendConsoleLine(QStringLiteral("Backup cluster connection failed. Attempt %1 of 3 in 2 "
                                         "seconds…")
                              .arg(failures + 1));
        m_backupRetryTask.start(this, m_timing.backupRetryDelay, [this] { connectToBackup(true); });
        return;
    }
    m_backupRetryTask.cancel();
    appendConsoleLine(QStringLiteral("Backup cluster failed 3 consecutive connection attempts."));
    appendConsoleLine(
        QStringLiteral("Unable to connect to either the primary or backup DX Cluster."));
    setLoginState(LoginState::failed);
    setIsConnectionSequenceActive(false);
    m_autoReconnectController->reportAllClustersUnavailable();
}

void ClusterConnection::refuseBackupNode(const QString &prompt)
{
    // The backup node named itself as one this program cannot use: trying it again would only
    // meet the same node, so the attempts end here with what it is.
    const QString found = describeUnsupportedNode(prompt);
    m_callsignSendWatchdogTask.cancel();
    m_connectionAttemptTimeoutTask.cancel();
    m_backupRetryTask.cancel();
    m_isBackupConnectionAttempt = false;
    m_connectionIncidentHandled = true;
    releaseConnection();
    setIsConnected(false);
    setIsLoggedIn(false);
    setLoginState(LoginState::failed);
    setStatusText(QStringLiteral("Unsupported DX Cluster node"));
    stopPrimaryRecovery();
    appendConsoleLine(
        QStringLiteral("Unable to connect to either the primary or backup DX Cluster."));
    setIsConnectionSequenceActive(false);
    m_autoReconnectController->noteAttemptFailed(found +
                                                 QStringLiteral(", not supported by Varnello"));
    m_autoReconnectController->reportAllClustersUnavailable();
}

void ClusterConnection::applyConnectionLostPolicy(bool wasLoggedIn)
{
    if (m_isPreparingForSystemSleep)
        return; // the wake reconnect takes over
    if (m_userRequestedRemoteLogout) {
        m_userRequestedRemoteLogout = false;
        setIsConnectionSequenceActive(false);
        m_autoReconnectController->reset();
        stopPrimaryRecovery();
        m_connectionIncidentHandled = true;
        return;
    }
    if (m_connectionIncidentHandled)
        return; // each connection is handled once, whichever report comes first
    // The backup session was given up for this attempt; failing it must lead back to a
    // connection rather than leave the program offline.
    if (!wasLoggedIn && m_activeNodeRole == ClusterNodeRole::primary &&
        m_connectionOrigin == ConnectionOrigin::returnFromBackup)
        wasLoggedIn = true;

    m_connectionIncidentHandled = true;
    if (wasLoggedIn && settings().boolValue(SettingsKeys::autoReconnectEnabled))
        setIsConnectionSequenceActive(true);

    if (m_activeNodeRole == ClusterNodeRole::backup) {
        stopPrimaryRecovery();
        if (!wasLoggedIn) {
            appendConsoleLine(QStringLiteral("Unable to connect to the backup cluster."));
            m_autoReconnectController->reportAllClustersUnavailable();
        } else {
            appendConsoleLine(
                QStringLiteral("Backup cluster connection lost. Trying primary cluster again…"));
            m_activeNodeRole = ClusterNodeRole::primary;
            m_autoReconnectController->recordDisconnect(true, false);
        }
    } else {
        m_autoReconnectController->recordDisconnect(wasLoggedIn, false);
    }
    endSequenceIfNothingScheduled();
}

void ClusterConnection::endSequenceIfNothingScheduled()
{
    const AutoReconnectController &controller = *m_autoReconnectController;
    if (controller.isReconnectPending() || controller.alert() ||
        controller.isReconnectSequenceActive() || m_backupRetryTask.isActive() ||
        m_systemWakeReconnectTask.isActive())
        return;
    setIsConnectionSequenceActive(false);
}

// ---------------------------------------------------------------------------------------------
// Restoring the default node and the registration re-check

void ClusterConnection::restoreDefaultPrimaryNode()
{
    if (!m_clusterNodeWarning)
        return;
    AppSettingsStore &s = settings();
    const QString callsign = s.string(QString(SettingsKeys::clusterCallsign.name), QString());
    const QString password = s.string(QString(SettingsKeys::clusterPassword.name), QString());
    setClusterNodeWarning(std::nullopt);
    const QString host = QString(SettingsDefaults::primaryClusterHost);
    s.setString(QString(SettingsKeys::clusterHost.name), host);
    s.setString(QString(SettingsKeys::clusterPort.name), QStringLiteral("7300"));
    appendConsoleLine(QStringLiteral("Restoring primary cluster to %1:7300.").arg(host));
    m_autoReconnectController->reset();
    setIsConnectionSequenceActive(true);
    stopPrimaryRecovery();
    connect(host, defaultPrimaryPort, callsign, password, ClusterNodeRole::primary,
            s.boolValue(SettingsKeys::backupClusterEnabled), true, ConnectionOrigin::manual);
}

bool ClusterConnection::isOnDefaultNodeForRecheck() const
{
    return m_registrationRequired && m_isLoggedIn && isOnDefaultPrimaryNode();
}

void ClusterConnection::startRegistrationRecheck()
{
    if (isOnDefaultNodeForRecheck())
        scheduleRegistrationRecheck();
}

void ClusterConnection::scheduleRegistrationRecheck()
{
    m_registrationRecheckTask.cancel();
    if (!isOnDefaultNodeForRecheck())
        return;
    m_registrationRecheckTask.start(this, m_timing.registrationRecheck, [this] {
        if (isOnDefaultNodeForRecheck())
            runSilentRegistrationCheck(StepStart::inTurn);
    });
}

void ClusterConnection::runSilentRegistrationCheck(StepStart start)
{
    if (!isOnDefaultNodeForRecheck() || m_awaitingSilentRegistrationCheck ||
        queueUntilItsTurn(WaitingStep::registrationCheck, start))
        return;
    m_awaitingSilentRegistrationCheck = true;
    m_silentRegistrationMarkerSeen = false;
    m_promptBuffer.clear();
    sendLine(QStringLiteral("sh/motd"));
}

} // namespace varnello
