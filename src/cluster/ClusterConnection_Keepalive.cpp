#include "ClusterConnection.h"

#include "AppSettingsStore.h"

#include <QTcpSocket>

namespace varnello {

namespace {

const QByteArray kKeepaliveRequest = QByteArrayLiteral("ping\r\n");
const QByteArray kSleepLogout = QByteArrayLiteral("bye\r\n");

// Writes bytes straight to the node, outside the console and the command path.
bool writeDirect(TcpConnection *connection, const QByteArray &bytes)
{
    QTcpSocket *socket = connection ? connection->socket() : nullptr;
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return false;
    if (socket->write(bytes) != bytes.size())
        return false;
    socket->flush();
    return true;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Keepalive: a logged-in link that has been silent for the idle time gets a "ping"; any data at
// all within the reply time proves it alive.

void ClusterConnection::scheduleKeepalivePing()
{
    m_keepaliveIdleTask.cancel();
    if (!m_isLoggedIn || !m_connection)
        return;
    m_lastReceiveTime = std::chrono::steady_clock::now();
    armKeepaliveIdleCheck(m_timing.keepaliveIdle);
}

// The idle time is a deadline counted from the last received data; the one idle timer re-checks
// it when it fires, so received data never has to touch a timer.
void ClusterConnection::armKeepaliveIdleCheck(std::chrono::milliseconds delay)
{
    m_keepaliveIdleTask.start(this, delay, [this] {
        if (!m_isLoggedIn || !m_connection)
            return;
        const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - m_lastReceiveTime);
        if (idle < m_timing.keepaliveIdle)
            armKeepaliveIdleCheck(m_timing.keepaliveIdle - idle);
        else
            sendKeepalivePing();
    });
}

void ClusterConnection::noteKeepaliveActivity()
{
    if (!m_isLoggedIn)
        return;
    m_lastReceiveTime = std::chrono::steady_clock::now();
    // After a ping the idle timer has fired and the reply timer runs: this data is the answer.
    if (m_keepaliveResponseTimeoutTask.isActive())
        m_keepaliveResponseTimeoutTask.cancel();
    if (!m_keepaliveIdleTask.isActive())
        armKeepaliveIdleCheck(m_timing.keepaliveIdle);
}

void ClusterConnection::cancelKeepalive()
{
    m_keepaliveIdleTask.cancel();
    m_keepaliveResponseTimeoutTask.cancel();
    m_automaticPingOutstanding = false;
    m_keepaliveAnswerSeen = false;
}

void ClusterConnection::sendKeepalivePing()
{
    if (!m_connection || !m_isLoggedIn)
        return;
    const QPointer<TcpConnection> pinged(m_connection);
    m_keepaliveResponseTimeoutTask.start(this, m_timing.keepaliveResponseTimeout, [this, pinged] {
        if (pinged && isCurrent(pinged) && m_isLoggedIn)
            handleConnectionLost(pinged, std::nullopt);
    });
    // A line the operator wrote since the node last sent anything is answered soon, which proves
    // the link as well as a ping would; a ping now could only take that reply's prompt for its own.
    if (m_lastOperatorWrite > m_lastReceiveTime || !m_owedPrompts.isEmpty())
        return;
    m_automaticPingOutstanding = true;
    m_keepaliveAnswerSeen = false;
    m_promptBuffer.clear(); // only a prompt after the ping answers it
    // Until the ping's prompt, the operator's lines wait, so that each keeps its own reply; a
    // node that never sends it holds them only for a step's time-out.
    armStepReplyTimeout(stepReplyTimeout());
    if (!writeDirect(pinged, kKeepaliveRequest)) {
        const QString reason = pinged->socket()->errorString();
        // Reported from the event loop, as a send completion would be.
        QMetaObject::invokeMethod(
            this,
            [this, pinged, reason] {
                if (!pinged || !isCurrent(pinged))
                    return;
                m_keepaliveResponseTimeoutTask.cancel();
                handleConnectionLost(pinged, reason);
            },
            Qt::QueuedConnection);
    }
}

void ClusterConnection::handleConnectionLost(TcpConnection *connection,
                                             const std::optional<QString> &error)
{
    if (!isCurrent(connection))
        return;
    const bool wasLoggedIn = m_isLoggedIn;
    cancelKeepalive();
    releaseConnection();
    setIsConnected(false);
    setIsLoggedIn(false);
    setLoginState(LoginState::failed);
    setStatusText(error ? QStringLiteral("Connection lost: ") + *error
                        : QStringLiteral("Connection lost"));
    applyConnectionLostPolicy(wasLoggedIn);
}

// ---------------------------------------------------------------------------------------------
// Sleep and wake

void ClusterConnection::handleSystemWillSleep()
{
    m_systemWakeReconnectTask.cancel();
    if (!settings().boolValue(SettingsKeys::autoReconnectEnabled) ||
        (!m_isConnected && !m_isLoggedIn)) {
        m_reconnectAfterSystemWake = false;
        m_nodeRoleBeforeSystemSleep.reset();
        return;
    }
    m_isPreparingForSystemSleep = true;
    m_reconnectAfterSystemWake = true;
    m_nodeRoleBeforeSystemSleep = m_activeNodeRole;
    m_autoReconnectController->reset();
    stopPrimaryRecovery();
    cancelKeepalive();
    // The connection stays: when the node closes it, the loss is shown but not acted on.
    if (m_isLoggedIn && m_connection)
        writeDirect(m_connection, kSleepLogout);
}

void ClusterConnection::handleSystemDidWake()
{
    if (!m_reconnectAfterSystemWake) {
        m_isPreparingForSystemSleep = false;
        return;
    }
    m_reconnectAfterSystemWake = false;
    const ClusterNodeRole role = m_nodeRoleBeforeSystemSleep.value_or(ClusterNodeRole::primary);
    m_nodeRoleBeforeSystemSleep.reset();
    teardownConnection();
    resetConnectionState();
    m_autoReconnectController->reset();
    m_isPreparingForSystemSleep = false;
    setIsConnectionSequenceActive(true);
    m_systemWakeReconnectTask.start(this, m_timing.systemWakeReconnectDelay,
                                    [this, role] { reconnectToRole(role); });
}

} // namespace varnello
