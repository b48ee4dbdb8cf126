#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <map>
#include <optional>

class QTcpServer;
class QTcpSocket;

namespace varnello {

struct LocalSpotServerLimits {
    // Loggers stay connected for days; a program that leaks connections must not exhaust ours.
    int maximumClients = 64;
    // A client that stops reading is dropped once this much is waiting for it.
    qint64 maximumUnsentBytesPerClient = 1024 * 1024;
    // The kernel's share of a client's backlog. Left to autotuning it grows to megabytes for a
    // client that stops reading, before the cap above even sees the backlog; spot lines trickle
    // at a few hundred bytes a second, so a small fixed buffer costs nobody anything.
    int clientSendBufferBytes = 64 * 1024;
    bool operator==(const LocalSpotServerLimits &) const = default;
};

// The local telnet spot server: other programs on the machine or the network connect and receive
// every re-served spot line followed by CR LF. No greeting, no prompt, no commands: whatever a
// client sends is thrown away. Each client has its own output buffer, so one slow or stuck client
// never holds up another. Lives on the main thread; trouble is reported through `consoleLine`.
class LocalSpotServer final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(LocalSpotServer)

public:
    explicit LocalSpotServer(QObject *parent = nullptr);
    explicit LocalSpotServer(LocalSpotServerLimits limits, QObject *parent = nullptr);
    ~LocalSpotServer() override;

    // Listens on every interface. Any earlier listener and its clients are stopped first.
    void start(quint16 port);
    // Closes the listener and drops every client. Writes no console line.
    void stop();
    // Starts on the port unless a listener for that very port already exists.
    void ensureListening(quint16 port);
    // The settings rule: enabled with a usable non-zero port keeps or (re)starts the server;
    // disabled stops it; enabled with an unusable port leaves it as it is.
    void applySettings(bool enabled, const QString &portText);

    // Queues the line plus CR LF for every connected client.
    void broadcastLine(const QString &rawLine);

    bool hasListener() const { return m_listener != nullptr; }
    std::optional<quint16> port() const { return m_port; }
    int clientCount() const { return static_cast<int>(m_clients.size()); }
    // What clients have sent and the server still holds; stays near zero since input is dropped.
    qint64 bufferedClientInput() const;

signals:
    void consoleLine(const QString &text);

private:
    struct Client {
        QTcpSocket *socket = nullptr;
        QByteArray unsent; // not yet handed to the socket; flushed once per event-loop turn
    };

    void acceptPendingConnections();
    void acceptClient(QTcpSocket *socket);
    void handleListenerFailure(const QString &description);
    void scheduleFlush();
    void flushClients();
    void removeClient(quint64 id);
    static void discardSocket(QTcpSocket *socket, QObject *receiver);

    LocalSpotServerLimits m_limits;
    QTcpServer *m_listener = nullptr;
    std::optional<quint16> m_port;
    std::map<quint64, Client> m_clients;
    quint64 m_nextClientId = 1;
    // Tells a queued listener report whether its listener is still the current one.
    quint64 m_listenerGeneration = 0;
    bool m_flushScheduled = false;
};

} // namespace varnello
