#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

namespace varnello {

// Sends one UDP datagram per spot line to one IPv4 destination. The socket, the resolved address
// and the host-name lookup live on a worker thread of their own, so a slow lookup never stalls the
// main thread; calls from the main thread are queued to it and run in the order they were made.
// Nothing is ever reported: a destination that does not resolve leaves the feed closed, and a
// datagram that cannot be sent is lost.
class UDPSpotFeedSender final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UDPSpotFeedSender)

public:
    // Turns a host name (or address text) and port into an IPv4 socket address, as raw
    // `sockaddr_in` bytes. `requireConfiguredAddress` asks for AI_ADDRCONFIG behaviour.
    using HostLookup = std::function<std::optional<QByteArray>(const QByteArray &host, quint16 port,
                                                               bool requireConfiguredAddress)>;

    // The port the feed is configured with when its port setting is unusable, which closes it.
    static constexpr quint16 fallbackPort = 7301;
    // Sends queued behind a slow lookup beyond this many are dropped, so the queue cannot grow
    // without bound.
    static constexpr int maximumQueuedSends = 10'000;

    explicit UDPSpotFeedSender(QObject *parent = nullptr);
    explicit UDPSpotFeedSender(HostLookup lookup, QObject *parent = nullptr);
    ~UDPSpotFeedSender() override;

    // Opens, re-opens or closes the feed; returns at once. The same enabled destination and port
    // as the open feed (ignoring surrounding blanks) keeps the socket as it is.
    void configure(bool enabled, const QString &destination, quint16 port);

    // Configures from the stored setting texts: an unusable or zero port closes the feed.
    void applySettings(bool enabled, const QString &destination, const QString &portText);

    // Queues one datagram: the line, CR LF, as UTF-8. Dropped silently while the feed is closed.
    void send(const QString &line);

    // getaddrinfo for IPv4 datagram sockets.
    static std::optional<QByteArray> systemHostLookup(const QByteArray &host, quint16 port,
                                                      bool requireConfiguredAddress);

    struct State {
        bool isEnabled = false;
        bool hasSocket = false;
        QString configuredDestination;
        quint16 configuredPort = 0;
        int socketsOpened = 0;
        bool operator==(const State &) const = default;
    };
    // Waits until everything queued before it has run, then reads the worker's state.
    State stateForTesting() const;

private:
    class Worker;

    QThread m_thread;
    Worker *m_worker = nullptr;
    std::shared_ptr<std::atomic<int>> m_queuedSends;
};

} // namespace varnello
