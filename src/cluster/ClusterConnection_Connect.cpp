#include "ClusterConnection.h"

#include <QTcpSocket>

namespace varnello {

void ClusterConnection::startPrimaryConnection(const QString &host, quint16 port,
                                               const QString &callsign, const QString &password,
                                               bool allowFailover, ConnectionOrigin origin)
{
    setIsConnectionSequenceActive(true);
    stopPrimaryRecovery();
    connect(host, port, callsign, password, ClusterNodeRole::primary, allowFailover, true, origin);
}

void ClusterConnection::connect(const QString &host, quint16 port, const QString &callsign,
                                const QString &password, ClusterNodeRole role, bool allowFailover,
                                bool loadRecentSpotsAfterLogin, ConnectionOrigin origin)
{
    if (role == ClusterNodeRole::primary)
        stopPrimaryRecovery();
    else
        allowFailover = false;

    teardownConnection();
    m_autoReconnectController->noteConnectAttemptStarted();
    // A wake notice that never came must not mute the failure policy for the rest of the run.
    m_isPreparingForSystemSleep = false;

    m_connectionIncidentHandled = false;
    // The operator starts afresh; automatic attempts keep counting logins that never completed.
    if (origin == ConnectionOrigin::manual || origin == ConnectionOrigin::startup)
        m_consecutiveFailedLogins = 0;
    m_activeNodeRole = role;
    m_connectionOrigin = origin;
    m_loadRecentSpotsAfterLogin = loadRecentSpotsAfterLogin;
    m_isPrimaryReconnectAttempt = role == ClusterNodeRole::primary && allowFailover;
    m_isBackupConnectionAttempt = role == ClusterNodeRole::backup;

    const QString trimmedHost = host.trimmed();
    const QString trimmedCallsign = callsign.trimmed();
    const auto refuse = [this](const QString &status) {
        setStatusText(status);
        setLoginState(LoginState::failed);
        // An automatic attempt refused here schedules nothing more: the window must not go on
        // offering to cancel it.
        m_autoReconnectController->noteAttemptRefused();
        endSequenceIfNothingScheduled();
    };
    if (trimmedHost.isEmpty()) {
        refuse(QStringLiteral("Node address is empty"));
        return;
    }
    if (trimmedCallsign.isEmpty()) {
        refuse(QStringLiteral("Callsign is empty"));
        return;
    }
    // Port 0 cannot be connected to; every other 16-bit value is a port.
    if (port == 0) {
        refuse(QStringLiteral("Invalid port"));
        return;
    }

    m_loginCallsign = trimmedCallsign;
    m_loginPassword = password;
    setActiveNode(trimmedHost, port, trimmedCallsign);

    clearRegistrationState();
    m_partialLine.clear();
    m_promptBuffer.clear();
    resetSessionFlags();
    resetPublishedRbnState();

    setIsConnected(false);
    setIsLoggedIn(false);
    setLoginState(LoginState::connecting);
    setStatusText(QStringLiteral("Connecting…"));
    // Built by concatenation: a host may hold "%" followed by digits (an IPv6 scope), which a
    // chained arg() would take for a placeholder.
    appendConsoleLine(QStringLiteral("Connecting to ") + trimmedHost + u':' +
                      QString::number(port) + u'…');

    auto *connection = new TcpConnection(trimmedHost, port, m_timing.connectRetryInterval, this);
    m_connection = connection;
    ++m_connectionGeneration;
    QObject::connect(connection, &TcpConnection::stateChanged, this,
                     [this, connection](TcpConnection::State state, const QString &reason) {
                         handleConnectionState(connection, state, reason);
                     });
    connection->start();

    // start() may already have reported a state that replaced or dropped this connection.
    if (!isCurrent(connection))
        return;
    if (m_isPrimaryReconnectAttempt)
        armConnectionAttemptTimeout(connection, ClusterNodeRole::primary);
    else if (m_isBackupConnectionAttempt)
        armConnectionAttemptTimeout(connection, ClusterNodeRole::backup);
}

void ClusterConnection::clearRegistrationState()
{
    m_registrationRecheckTask.cancel();
    setRegistrationRequired(false);
    m_awaitingSilentRegistrationCheck = false;
    m_silentRegistrationMarkerSeen = false;
}

void ClusterConnection::resetSessionFlags()
{
    m_lastChunkEndedInCR = false;
    m_learnedPromptLineEnds = 0;
    m_hasSentCallsign = false;
    m_hasSentPassword = false;
    m_awaitingRBNStatus = false;
    m_loadRecentSpotsAfterRBNStatus = false;
    m_sawRBNBeaconStatusField = false;
    m_rbnBootstrapAttempted = false;
    m_awaitingRecentSpots = false;
    m_stepReplyTimeoutTask.cancel();
    m_nodePromptUnconfirmed = false;
    m_nodeSpokeSinceCommand = false;
    m_nodeAnswersLate = false;
    m_keepaliveAnswerSeen = false;
    m_utf8Carry.clear();
    m_skipLeadingLineBreak = false;
    m_dropSpotRemainder = false;
    m_continuingOverlongLine = false;
    m_tailSettleTask.cancel();
    m_readStart = 0;
    m_bytesReceived = 0;
    m_partialLineReadStart = 0;
    m_lineStart = 0;
    m_partialLineStart = 0;
    m_lastCommandMark = 0;
    resetPromptQuestion();
    m_awaitingSpotSubmission = false;
    m_awaitingUpstreamFilterClear = false;
    m_awaitingSSIDFilterOverride = false;
    m_awaitingSSIDFilterOverrideClear = false;
    m_warningIncludesSSIDFilterOverride = false;
    m_rbnBootstrapState = RBNBootstrapState::idle;
    m_pendingRecentSpots.clear();
    setSpotSubmissionAlertMessage(std::nullopt);
    setDetectedNodeType(ClusterNodeType::unknown);
    setClusterNodeWarning(std::nullopt);
    m_pendingRBNEnabled.reset();
    m_pendingRBNModes.clear();
    m_awaitingBackupRBNMirrorPrompt = false;
    m_loadRecentSpotsAfterBackupRBNMirror = false;
}

void ClusterConnection::handleConnectionState(TcpConnection *connection, TcpConnection::State state,
                                              const QString &reason)
{
    if (!isCurrent(connection))
        return;

    switch (state) {
    case TcpConnection::State::setup:
        setStatusText(QStringLiteral("Setting up…"));
        break;
    case TcpConnection::State::preparing:
        setStatusText(QStringLiteral("Connecting…"));
        break;
    case TcpConnection::State::ready:
        handleReady(connection);
        break;
    case TcpConnection::State::waiting:
        m_callsignSendWatchdogTask.cancel();
        setIsConnected(false);
        setIsLoggedIn(false);
        setLoginState(LoginState::failed);
        setStatusText(QStringLiteral("Waiting: ") + reason);
        appendConsoleLine(QStringLiteral("Connection waiting: ") + reason);
        break;
    case TcpConnection::State::failed: {
        m_callsignSendWatchdogTask.cancel();
        const bool wasLoggedIn = m_isLoggedIn;
        cancelKeepalive();
        setIsConnected(false);
        setIsLoggedIn(false);
        setLoginState(LoginState::failed);
        setStatusText(QStringLiteral("Failed: ") + reason);
        appendConsoleLine(QStringLiteral("Connection failed: ") + reason);
        m_autoReconnectController->noteAttemptFailed(reason);
        m_connectionAttemptTimeoutTask.cancel();
        releaseConnection();
        if (m_activeNodeRole == ClusterNodeRole::backup) {
            if (m_isBackupConnectionAttempt && !wasLoggedIn)
                handleBackupAttemptFailure();
            else
                applyConnectionLostPolicy(wasLoggedIn);
        } else {
            if (m_isPrimaryReconnectAttempt && !wasLoggedIn)
                handlePrimaryAttemptFailure();
            else
                applyConnectionLostPolicy(wasLoggedIn);
        }
        break;
    }
    case TcpConnection::State::cancelled:
        m_callsignSendWatchdogTask.cancel();
        releaseConnection();
        setIsConnected(false);
        setIsLoggedIn(false);
        setLoginState(LoginState::disconnected);
        setStatusText(QStringLiteral("Disconnected"));
        break;
    }
}

void ClusterConnection::handleReady(TcpConnection *connection)
{
    // The attempt's time-out goes on until the node asks for the callsign; an attempt without
    // one gets it now, since a node that accepts and never asks would otherwise hold the
    // connection for good.
    if (!m_connectionAttemptTimeoutTask.isActive())
        armConnectionAttemptTimeout(connection, m_activeNodeRole);
    setIsConnected(true);
    setIsLoggedIn(false);
    setLoginState(LoginState::waitingForCallsignPrompt);
    setStatusText(QStringLiteral("Connected — waiting for login prompt"));
    appendConsoleLine(QStringLiteral("Connected. Waiting for login prompt…"));
    if (!isCurrent(connection))
        return;

    QTcpSocket *socket = connection->socket();
    QObject::connect(socket, &QTcpSocket::readyRead, this,
                     [this, connection] { handleReadyRead(connection); });
    // An orderly close and a reset both end here; data still buffered is read first.
    QObject::connect(socket, &QTcpSocket::errorOccurred, this,
                     [this, connection] { handleSocketClosedOrFailed(connection); });
    QObject::connect(socket, &QTcpSocket::disconnected, this,
                     [this, connection] { handleSocketClosedOrFailed(connection); });
    // Data may have arrived together with the connection.
    if (socket->bytesAvailable() > 0)
        readAvailable(connection);
}

void ClusterConnection::releaseConnection()
{
    TcpConnection *connection = m_connection.data();
    m_connection.clear();
    ++m_connectionGeneration;
    m_readContinuationTask.cancel();
    m_readGatherTask.cancel();
    m_lastReadHandled.invalidate();
    m_gatheredReads.clear();
    m_gatheredReadBytes = 0;
    m_receiveEndPending = false;
    dropWaitingRequests(QStringLiteral("the connection to the node ended"));
    m_owedPrompts.clear();
    m_owedPromptExpiryTask.cancel();
    m_lateFilterReply.clear();
    if (!connection)
        return;
    // Order matters: abort() reports synchronously, so nobody may be listening any more.
    connection->disconnect(this);
    if (QTcpSocket *socket = connection->socket())
        socket->disconnect(this);
    connection->cancel(true);
    connection->deleteLater();
}

void ClusterConnection::teardownConnection()
{
    m_connectionAttemptTimeoutTask.cancel();
    m_callsignSendWatchdogTask.cancel();
    m_backupRetryTask.cancel();
    cancelKeepalive();
    m_registrationRecheckTask.cancel();
    m_awaitingSilentRegistrationCheck = false;
    m_silentRegistrationMarkerSeen = false;
    m_isPrimaryReconnectAttempt = false;
    m_isBackupConnectionAttempt = false;
    releaseConnection();
}

void ClusterConnection::resetConnectionState()
{
    m_callsignSendWatchdogTask.cancel();
    flushPartialLine();
    m_promptBuffer.clear();
    resetSessionFlags();
    clearRegistrationState();
    setRbnStatusLoading(false);
    setIsConnected(false);
    setIsLoggedIn(false);
    m_isPrimaryReconnectAttempt = false;
    m_isBackupConnectionAttempt = false;
    m_consecutivePrimaryReconnectFailures = 0;
    m_consecutiveBackupConnectionFailures = 0;
    setLoginState(LoginState::disconnected);
    setStatusText(QStringLiteral("Disconnected"));
}

void ClusterConnection::disconnect()
{
    m_reconnectAfterSystemWake = false;
    m_nodeRoleBeforeSystemSleep.reset();
    m_systemWakeReconnectTask.cancel();
    m_isPreparingForSystemSleep = false;
    setIsConnectionSequenceActive(false);
    m_autoReconnectController->reset();
    stopPrimaryRecovery();
    teardownConnection();
    resetConnectionState();
}

} // namespace varnello
