#pragma once

#include "Clock.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

class QTimer;

namespace varnello {

class PublicAddressSource;

// What the operator is told after the reconnect policy stopped on its own.
struct AutoReconnectAlert {
    enum class Kind { duplicateConnection, repeatedFailures, allClustersUnavailable };

    Kind kind = Kind::repeatedFailures;
    // Only for duplicateConnection; empty or absent for the other kinds, so the defaulted
    // comparison compares exactly what identifies each alert.
    QString callsign;
    QString remoteIP;
    std::optional<QString> localIP;
    std::optional<QString> suggestedCallsign;
    // For the two kinds that end the attempts: how the last attempt failed, in words ("Host not
    // found", "Connection timed out"); empty when it is not known.
    QString lastFailure;

    static AutoReconnectAlert duplicateConnection(QString callsign, QString remoteIP,
                                                  std::optional<QString> localIP,
                                                  std::optional<QString> suggestedCallsign);
    static AutoReconnectAlert repeatedFailures(QString lastFailure = {});
    static AutoReconnectAlert allClustersUnavailable(QString lastFailure = {});

    // Stable identity for the window's alert presentation.
    QString id() const;

    bool operator==(const AutoReconnectAlert &) const = default;
};

// The node told us that the same callsign logged in elsewhere.
struct DuplicateConnection {
    QString callsign;
    QString remoteIP;

    bool operator==(const DuplicateConnection &) const = default;
};

// The settings the controller reads and writes, injected so the controller does not depend on
// how the connection object reaches the settings store.
struct AutoReconnectSettings {
    std::function<bool()> autoReconnectEnabled; // default true when unset
    std::function<QString()> clusterCallsign;   // the stored login callsign
    std::function<void(const QString &)> setClusterCallsign;
};

// Decides what follows a lost connection or a failed attempt: a reconnect after a short pause,
// an alert when the link keeps dropping, or, after a duplicate login, an offer of another
// callsign. The owning connection installs the two actions and reports events.
class AutoReconnectController final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AutoReconnectController)

public:
    struct Timing {
        std::chrono::milliseconds retryDelay{2000};
        std::chrono::milliseconds retryWindow{45000};
        int maximumDisconnectsInWindow = 8;
    };

    AutoReconnectController(AutoReconnectSettings settings, PublicAddressSource *publicAddress,
                            const Clock &clock, QObject *parent = nullptr);
    AutoReconnectController(AutoReconnectSettings settings, PublicAddressSource *publicAddress,
                            const Clock &clock, Timing timing, QObject *parent = nullptr);
    ~AutoReconnectController() override;

    const std::optional<AutoReconnectAlert> &alert() const { return m_alert; }

    void setReconnectAction(std::function<void()> action) { m_reconnectAction = std::move(action); }
    void setFailoverAction(std::function<void()> action) { m_failoverAction = std::move(action); }

    // Written by the line handler when the node reports a duplicate login.
    void setPendingDuplicateConnection(std::optional<DuplicateConnection> record);
    const std::optional<DuplicateConnection> &pendingDuplicateConnection() const
    {
        return m_pendingDuplicate;
    }

    void recordDisconnect(bool reconnectRequested, bool attemptFailed);
    void noteConnectAttemptStarted();
    void noteLoginSucceeded();
    // An attempt refused before any connection was made (empty address or callsign, port 0):
    // no outcome will ever be reported for it, so the reconnect sequence ends here.
    void noteAttemptRefused();
    // How the current attempt failed, for the alert should the attempts end; forgotten when the
    // next attempt starts or a login succeeds.
    void noteAttemptFailed(const QString &failure) { m_lastFailure = failure; }
    void failOverNow();
    // The connection gave up after logins that never completed: the same end as too many
    // disconnects in the window.
    void reportRepeatedFailures();
    void reportAllClustersUnavailable();
    void reset();
    void reconnectWithCallsign(const QString &callsign);
    void dismissAlert();

    // The suggestion offered after a duplicate login; absent when no different callsign can be
    // offered. loginCallsign is the callsign that was refused (the stored one, or the node's).
    static std::optional<QString> suggestedCallsign(const QString &storedCallsign,
                                                    const QString &reportedCallsign);
    static bool isIPv4Address(const QString &text);

    bool isReconnectPending() const { return m_reconnectTimer != nullptr; }
    bool isIncidentBeingHandled() const { return m_incidentIsBeingHandled; }
    bool isReconnectSequenceActive() const { return m_reconnectSequenceActive; }
    int recentDisconnectCount() const { return static_cast<int>(m_recentDisconnects.size()); }
    const Timing &timing() const { return m_timing; }

signals:
    void alertChanged();
    // Any change of the controller's observable state; the connection forwards it.
    void changed();
    // The attempts ended with the repeatedFailures or allClustersUnavailable alert: nothing
    // reconnects any more.
    void attemptsStopped();

private:
    void endIncident();
    void setAlert(std::optional<AutoReconnectAlert> alert);
    void cancelReconnectTask();
    void startReconnectTask(bool attemptFailed);
    void handleDuplicateLogin(DuplicateConnection record);
    bool autoReconnectEnabled() const;

    AutoReconnectSettings m_settings;
    PublicAddressSource *m_publicAddress;
    const Clock &m_clock;
    Timing m_timing;

    std::optional<AutoReconnectAlert> m_alert;
    std::function<void()> m_reconnectAction;
    std::function<void()> m_failoverAction;
    std::deque<std::chrono::steady_clock::time_point> m_recentDisconnects;
    std::optional<DuplicateConnection> m_pendingDuplicate;
    QString m_lastFailure;
    QTimer *m_reconnectTimer = nullptr;
    std::uint64_t m_reconnectGeneration = 0;
    std::uint64_t m_duplicateGeneration = 0;
    bool m_incidentIsBeingHandled = false;
    bool m_reconnectSequenceActive = false;
};

} // namespace varnello
