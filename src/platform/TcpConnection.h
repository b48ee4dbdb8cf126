#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>

class QTcpSocket;
class QTimer;

namespace varnello {

// An outgoing TCP connection that reports its progress the way the cluster connection expects:
// preparing, then ready, or "waiting" while the peer cannot be reached. A plain QTcpSocket gives up
// at the first refusal; this one keeps the attempt alive and tries again every retry interval
// until it connects or its owner cancels it (the owner's attempt time-out decides when to stop).
//
// Once ready, errors and the peer's close are left to whoever reads the socket: no further state
// is reported after ready except cancelled.
class TcpConnection final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TcpConnection)

public:
    enum class State { setup, preparing, waiting, ready, failed, cancelled };
    Q_ENUM(State)

    static constexpr std::chrono::milliseconds kDefaultRetryInterval{1000};

    TcpConnection(QString host, quint16 port, QObject *parent = nullptr);
    TcpConnection(QString host, quint16 port, std::chrono::milliseconds retryInterval,
                  QObject *parent = nullptr);
    ~TcpConnection() override;

    const QString &host() const { return m_host; }
    quint16 port() const { return m_port; }
    State state() const { return m_state; }
    // How many times the connection was attempted so far (1 after start()).
    int attemptCount() const { return m_attempts; }
    // Why the connection is waiting (the system's error text); empty in every other state.
    QString waitingReason() const { return m_state == State::waiting ? m_lastReason : QString(); }

    // The socket for reading and writing once ready; owned by this object.
    QTcpSocket *socket() const { return m_socket; }

    // Received bytes the system holds for the socket that it has not read yet (0 when unknown).
    qint64 unreadSystemBytes() const;

    void start();
    // Ends the connection at once. Reports cancelled, unless quiet, in which case no signal at
    // all follows (the owner has already let go of it).
    void cancel(bool quiet = false);

signals:
    // reason is the last error text for waiting and failed, empty otherwise.
    void stateChanged(varnello::TcpConnection::State state, const QString &reason);

private:
    void setState(State state, const QString &reason = {});
    void attempt();
    void onConnected();
    void onError();

    QString m_host;
    quint16 m_port;
    std::chrono::milliseconds m_retryInterval;
    QTcpSocket *m_socket = nullptr;
    QTimer *m_retryTimer = nullptr;
    State m_state = State::setup;
    QString m_lastReason;
    int m_attempts = 0;
};

} // namespace varnello
