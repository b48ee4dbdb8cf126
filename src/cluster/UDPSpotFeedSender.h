#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QThread>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace varnello {

// Sends one UDP datagram per spot line to one IPv4 destination. The socket, the resolved address
// and the host-name lookup live on a worker thread of their own, so a slow lookup never stalls the
// main thread; calls from the main thread are queued to it and run in the order they were made.
// Sends are handed over in batches: a send wakes a sleeping worker, which from then on sends what
// has been queued every batch delay and goes back to sleep after a second with nothing to send,
// so a busy feed costs the main thread no cross-thread wake-up per spot. A configuration is
// handed over at once, behind the sends queued before it.
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
    // How long the worker collects sends between two batches.
    static constexpr std::chrono::milliseconds defaultBatchDelay{50};
    // Batch delays with nothing to send before the worker sleeps until the next send wakes it.
    static constexpr int idleBatchesBeforeSleep = 20;

    explicit UDPSpotFeedSender(QObject *parent = nullptr);
    explicit UDPSpotFeedSender(HostLookup lookup, QObject *parent = nullptr);
    UDPSpotFeedSender(HostLookup lookup, std::chrono::milliseconds batchDelay,
                      QObject *parent = nullptr);
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
        bool isSendingBatches = false; // awake, running the queue every batch delay
        bool operator==(const State &) const = default;
    };
    // Waits until everything queued before it has run, then reads the worker's state.
    State stateForTesting() const;

private:
    class Worker;
    struct Queue;

    // Wakes the worker: to run the queue now, or to start sending in batches.
    void wakeWorker(bool now);

    QThread m_thread;
    Worker *m_worker = nullptr;
    std::shared_ptr<Queue> m_queue;
};

} // namespace varnello
