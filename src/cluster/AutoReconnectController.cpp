#include "AutoReconnectController.h"

#include "PublicAddressSource.h"

#include <QPointer>
#include <QRegularExpression>
#include <QTimer>

namespace varnello {

namespace {

const QString kSuggestedSuffix = QStringLiteral("-22");

// A different failure tells a different story, so the window shows the alert afresh.
QString failureSuffix(const QString &failure)
{
    return failure.isEmpty() ? QString() : QLatin1Char('-') + failure;
}

} // namespace

AutoReconnectAlert AutoReconnectAlert::duplicateConnection(QString callsign, QString remoteIP,
                                                           std::optional<QString> localIP,
                                                           std::optional<QString> suggestedCallsign)
{
    AutoReconnectAlert alert;
    alert.kind = Kind::duplicateConnection;
    alert.callsign = std::move(callsign);
    alert.remoteIP = std::move(remoteIP);
    alert.localIP = std::move(localIP);
    alert.suggestedCallsign = std::move(suggestedCallsign);
    return alert;
}

AutoReconnectAlert AutoReconnectAlert::repeatedFailures(QString lastFailure)
{
    AutoReconnectAlert alert;
    alert.kind = Kind::repeatedFailures;
    alert.lastFailure = std::move(lastFailure);
    return alert;
}

AutoReconnectAlert AutoReconnectAlert::allClustersUnavailable(QString lastFailure)
{
    AutoReconnectAlert alert;
    alert.kind = Kind::allClustersUnavailable;
    alert.lastFailure = std::move(lastFailure);
    return alert;
}

QString AutoReconnectAlert::id() const
{
    switch (kind) {
    case Kind::duplicateConnection:
        return QStringLiteral("duplicate-") + callsign + QLatin1Char('-') + remoteIP +
               QLatin1Char('-') + localIP.value_or(QStringLiteral("unknown")) + QLatin1Char('-') +
               suggestedCallsign.value_or(QStringLiteral("none"));
    case Kind::repeatedFailures:
        return QStringLiteral("repeated-failures") + failureSuffix(lastFailure);
    case Kind::allClustersUnavailable:
        return QStringLiteral("all-clusters-unavailable") + failureSuffix(lastFailure);
    }
    return {};
}

AutoReconnectController::AutoReconnectController(AutoReconnectSettings settings,
                                                 PublicAddressSource *publicAddress,
                                                 const Clock &clock, QObject *parent)
    : AutoReconnectController(std::move(settings), publicAddress, clock, Timing{}, parent)
{
}

AutoReconnectController::AutoReconnectController(AutoReconnectSettings settings,
                                                 PublicAddressSource *publicAddress,
                                                 const Clock &clock, Timing timing, QObject *parent)
    : QObject(parent), m_settings(std::move(settings)), m_publicAddress(publicAddress),
      m_clock(clock), m_timing(timing)
{
}

AutoReconnectController::~AutoReconnectController() = default;

bool AutoReconnectController::autoReconnectEnabled() const
{
    return m_settings.autoReconnectEnabled ? m_settings.autoReconnectEnabled() : true;
}

void AutoReconnectController::setAlert(std::optional<AutoReconnectAlert> alert)
{
    if (m_alert == alert)
        return;
    m_alert = std::move(alert);
    emit alertChanged();
}

void AutoReconnectController::setPendingDuplicateConnection(
    std::optional<DuplicateConnection> record)
{
    m_pendingDuplicate = std::move(record);
}

void AutoReconnectController::cancelReconnectTask()
{
    ++m_reconnectGeneration;
    if (m_reconnectTimer) {
        m_reconnectTimer->stop();
        m_reconnectTimer->deleteLater();
        m_reconnectTimer = nullptr;
    }
}

void AutoReconnectController::startReconnectTask(bool attemptFailed)
{
    cancelReconnectTask();
    const std::uint64_t generation = m_reconnectGeneration;
    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setSingleShot(true);
    m_reconnectTimer->setTimerType(Qt::PreciseTimer);
    connect(m_reconnectTimer, &QTimer::timeout, this, [this, generation, attemptFailed] {
        if (generation != m_reconnectGeneration)
            return;
        m_reconnectTimer->deleteLater();
        m_reconnectTimer = nullptr;
        // Turning automatic reconnect off during the pause keeps the incident open: nothing
        // reconnects until the operator or a new connection moves on. A failed attempt is
        // still retried, because the attempt itself was one the operator asked for.
        if (!autoReconnectEnabled() && !attemptFailed)
            return;
        m_incidentIsBeingHandled = false;
        emit changed();
        if (m_reconnectAction)
            m_reconnectAction();
    });
    m_reconnectTimer->start(m_timing.retryDelay);
}

void AutoReconnectController::recordDisconnect(bool reconnectRequested, bool attemptFailed)
{
    if (m_incidentIsBeingHandled)
        return;
    m_incidentIsBeingHandled = true;
    cancelReconnectTask();

    if (m_pendingDuplicate) {
        DuplicateConnection record = *std::exchange(m_pendingDuplicate, std::nullopt);
        handleDuplicateLogin(std::move(record));
        emit changed();
        return;
    }
    if ((!autoReconnectEnabled() && !attemptFailed) ||
        (!reconnectRequested && !m_reconnectSequenceActive && !attemptFailed)) {
        m_incidentIsBeingHandled = false;
        emit changed();
        return;
    }

    m_reconnectSequenceActive = true;
    const auto now = m_clock.steadyNow();
    // A stamp exactly one window old still counts.
    while (!m_recentDisconnects.empty() && now - m_recentDisconnects.front() > m_timing.retryWindow)
        m_recentDisconnects.pop_front();
    m_recentDisconnects.push_back(now);

    if (static_cast<int>(m_recentDisconnects.size()) < m_timing.maximumDisconnectsInWindow) {
        startReconnectTask(attemptFailed);
        emit changed();
        return;
    }
    reportRepeatedFailures();
}

void AutoReconnectController::reportRepeatedFailures()
{
    // Giving up keeps the incident open, so later reports stay ignored until the operator or
    // a new connection clears it.
    m_incidentIsBeingHandled = true;
    cancelReconnectTask();
    m_recentDisconnects.clear();
    m_pendingDuplicate.reset();
    m_reconnectSequenceActive = false;
    setAlert(AutoReconnectAlert::repeatedFailures(m_lastFailure));
    emit changed();
    emit attemptsStopped();
}

void AutoReconnectController::noteConnectAttemptStarted()
{
    cancelReconnectTask();
    m_pendingDuplicate.reset();
    m_lastFailure.clear();
    m_incidentIsBeingHandled = false;
    emit changed();
}

void AutoReconnectController::noteLoginSucceeded()
{
    cancelReconnectTask();
    m_pendingDuplicate.reset();
    m_lastFailure.clear();
    m_incidentIsBeingHandled = false;
    m_reconnectSequenceActive = false;
    emit changed();
}

// Forgets the current incident and its disconnect history; nothing is pending afterwards.
void AutoReconnectController::endIncident()
{
    cancelReconnectTask();
    m_recentDisconnects.clear();
    m_pendingDuplicate.reset();
    m_incidentIsBeingHandled = false;
    m_reconnectSequenceActive = false;
}

void AutoReconnectController::noteAttemptRefused()
{
    cancelReconnectTask();
    m_incidentIsBeingHandled = false;
    m_reconnectSequenceActive = false;
    emit changed();
}

void AutoReconnectController::failOverNow()
{
    endIncident();
    emit changed();
    if (m_failoverAction)
        m_failoverAction();
}

void AutoReconnectController::reportAllClustersUnavailable()
{
    endIncident();
    setAlert(AutoReconnectAlert::allClustersUnavailable(m_lastFailure));
    emit changed();
    emit attemptsStopped();
}

void AutoReconnectController::reset()
{
    // A public-address lookup still under way belongs to the connection that was just ended.
    ++m_duplicateGeneration;
    endIncident();
    m_lastFailure.clear();
    setAlert(std::nullopt);
    emit changed();
}

void AutoReconnectController::dismissAlert()
{
    m_pendingDuplicate.reset();
    m_incidentIsBeingHandled = false;
    setAlert(std::nullopt);
    emit changed();
}

void AutoReconnectController::reconnectWithCallsign(const QString &callsign)
{
    const QString trimmed = callsign.trimmed();
    if (trimmed.isEmpty())
        return;
    if (m_settings.setClusterCallsign)
        m_settings.setClusterCallsign(trimmed);
    ++m_duplicateGeneration;
    m_recentDisconnects.clear();
    m_pendingDuplicate.reset();
    m_incidentIsBeingHandled = false;
    m_reconnectSequenceActive = false;
    setAlert(std::nullopt);
    emit changed();
    if (m_reconnectAction)
        m_reconnectAction();
}

std::optional<QString> AutoReconnectController::suggestedCallsign(const QString &storedCallsign,
                                                                  const QString &reportedCallsign)
{
    static const QRegularExpression ssidSuffix(QStringLiteral("-\\d+$"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    QString login = storedCallsign.trimmed();
    if (login.isEmpty())
        login = reportedCallsign;
    QString base = login;
    const QRegularExpressionMatch match = ssidSuffix.match(base);
    if (match.hasMatch())
        base.truncate(match.capturedStart());
    base = base.toUpper();
    if (base.endsWith(kSuggestedSuffix))
        return std::nullopt;
    QString suggestion = base + kSuggestedSuffix;
    // Offering the callsign that was just refused would only repeat the duplicate login.
    if (suggestion.compare(login.trimmed(), Qt::CaseInsensitive) == 0)
        return std::nullopt;
    return suggestion;
}

bool AutoReconnectController::isIPv4Address(const QString &text)
{
    return PublicAddressSource::isIPv4Address(text);
}

void AutoReconnectController::handleDuplicateLogin(DuplicateConnection record)
{
    const std::uint64_t generation = m_duplicateGeneration;
    const QString stored = m_settings.clusterCallsign ? m_settings.clusterCallsign() : QString();
    auto finish = [this, generation, record, stored](std::optional<QString> localIP) {
        if (generation != m_duplicateGeneration)
            return;
        if (localIP && !isIPv4Address(*localIP))
            localIP.reset();
        setAlert(AutoReconnectAlert::duplicateConnection(
            record.callsign, record.remoteIP, std::move(localIP),
            suggestedCallsign(stored, record.callsign)));
        emit changed();
    };
    if (!m_publicAddress) {
        finish(std::nullopt);
        return;
    }
    m_publicAddress->fetchPublicIPv4Address(this, std::move(finish));
}

} // namespace varnello
