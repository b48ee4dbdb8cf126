#include "UDPSpotFeedSender.h"

#include "ClusterTypes.h"

#include <QMetaObject>
#include <QMutex>
#include <QTimer>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <variant>
#include <vector>

namespace varnello {

namespace {

std::optional<QByteArray> socketAddressBytes(const sockaddr_in &address)
{
    return QByteArray(reinterpret_cast<const char *>(&address), sizeof address);
}

struct Configuration {
    bool enabled = false;
    QString destination;
    quint16 port = 0;
};

} // namespace

// What the main thread has handed over and the worker has not run yet, in call order.
struct UDPSpotFeedSender::Queue {
    QMutex mutex;
    std::vector<std::variant<QString, Configuration>> items;
    // The worker is awake, running the queue every batch delay: sends need not wake it. It
    // clears this, with the queue empty, only when it goes to sleep.
    bool workerAwake = false;
};

class UDPSpotFeedSender::Worker final : public QObject {
public:
    Worker(HostLookup lookup, std::shared_ptr<Queue> queue, std::chrono::milliseconds batchDelay)
        : m_lookup(std::move(lookup)), m_queue(std::move(queue)), m_batchTimer(new QTimer(this))
    {
        m_batchTimer->setInterval(batchDelay);
        connect(m_batchTimer, &QTimer::timeout, this, &Worker::runBatch);
    }
    ~Worker() override { closeFeed(); }

    void wake(bool now)
    {
        if (now)
            runQueue();
        if (!m_batchTimer->isActive()) {
            m_idleBatches = 0;
            m_batchTimer->start();
        }
    }

    // Runs everything queued; false when there was nothing.
    bool runQueue()
    {
        std::vector<std::variant<QString, Configuration>> items;
        {
            const QMutexLocker locker(&m_queue->mutex);
            items.swap(m_queue->items);
        }
        for (const auto &item : items) {
            if (const QString *line = std::get_if<QString>(&item))
                sendNow(*line);
            else if (const Configuration *configuration = std::get_if<Configuration>(&item))
                applyConfiguration(configuration->enabled, configuration->destination,
                                   configuration->port);
        }
        return !items.empty();
    }

    void applyConfiguration(bool enabled, const QString &destination, quint16 port)
    {
        const QString trimmed = destination.trimmed();
        if (enabled && isOpen() && trimmed == m_configuredDestination && port == m_configuredPort)
            return;

        closeFeed();
        if (!enabled || port == 0 || trimmed.isEmpty())
            return;

        std::optional<QByteArray> address = resolveDestination(trimmed, port);
        if (!address)
            return;

        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
        if (fd < 0)
            return;
        ++m_socketsOpened;
        const int on = 1;
        // Lets the operator name a broadcast address; without it the kernel refuses the send.
        (void)::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);

        m_socketFD = fd;
        m_destinationAddress = *std::move(address);
        m_configuredDestination = trimmed;
        m_configuredPort = port;
        m_isEnabled = true;
    }

    void sendNow(const QString &line)
    {
        if (!isOpen() || m_destinationAddress.isEmpty())
            return;
        const QByteArray datagram = line.toUtf8() + "\r\n";
        // Never block the worker on a full send buffer: a lost datagram is the feed's normal
        // failure, and a blocked worker would hold up every later configuration.
        (void)::sendto(m_socketFD, datagram.constData(), static_cast<size_t>(datagram.size()),
                       MSG_DONTWAIT | MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr *>(m_destinationAddress.constData()),
                       static_cast<socklen_t>(m_destinationAddress.size()));
    }

    State state() const
    {
        return State{m_isEnabled,      m_socketFD >= 0, m_configuredDestination,
                     m_configuredPort, m_socketsOpened, m_batchTimer->isActive()};
    }

private:
    void runBatch()
    {
        if (runQueue()) {
            m_idleBatches = 0;
            return;
        }
        if (++m_idleBatches < idleBatchesBeforeSleep)
            return;
        const QMutexLocker locker(&m_queue->mutex);
        if (!m_queue->items.empty())
            return;
        m_queue->workerAwake = false;
        m_batchTimer->stop();
    }

    bool isOpen() const { return m_isEnabled && m_socketFD >= 0; }

    std::optional<QByteArray> resolveDestination(const QString &destination, quint16 port) const
    {
        if (destination.contains(QChar(0)))
            return std::nullopt;
        const QByteArray host = destination.toUtf8();

        // A dotted IPv4 address is used as it is: glibc's AI_ADDRCONFIG refuses even
        // "127.0.0.1" on a machine whose only IPv4 address is the loopback one.
        sockaddr_in numeric{};
        if (::inet_pton(AF_INET, host.constData(), &numeric.sin_addr) == 1) {
            numeric.sin_family = AF_INET;
            numeric.sin_port = htons(port);
            return socketAddressBytes(numeric);
        }

        // A machine that started before its network was up has no configured address yet, and
        // the name may still resolve (from the hosts file, for one): try once more without it.
        std::optional<QByteArray> address = m_lookup(host, port, true);
        if (!isUsableAddress(address))
            address = m_lookup(host, port, false);
        return isUsableAddress(address) ? address : std::nullopt;
    }

    static bool isUsableAddress(const std::optional<QByteArray> &address)
    {
        if (!address || address->size() != static_cast<qsizetype>(sizeof(sockaddr_in)))
            return false;
        sockaddr_in parsed{};
        std::memcpy(&parsed, address->constData(), sizeof parsed);
        return parsed.sin_family == AF_INET;
    }

    void closeFeed()
    {
        if (m_socketFD >= 0)
            ::close(m_socketFD);
        m_socketFD = -1;
        m_destinationAddress.clear();
        m_isEnabled = false;
        m_configuredDestination.clear();
        m_configuredPort = 0;
    }

    HostLookup m_lookup;
    std::shared_ptr<Queue> m_queue;
    QTimer *m_batchTimer = nullptr;
    int m_idleBatches = 0;
    int m_socketFD = -1;
    QByteArray m_destinationAddress;
    bool m_isEnabled = false;
    QString m_configuredDestination;
    quint16 m_configuredPort = 0;
    int m_socketsOpened = 0;
};

std::optional<QByteArray> UDPSpotFeedSender::systemHostLookup(const QByteArray &host, quint16 port,
                                                              bool requireConfiguredAddress)
{
    addrinfo hints{};
    hints.ai_flags = requireConfiguredAddress ? AI_ADDRCONFIG : 0;
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    const QByteArray service = QByteArray::number(port);

    addrinfo *list = nullptr;
    if (::getaddrinfo(host.constData(), service.constData(), &hints, &list) != 0)
        return std::nullopt;
    std::optional<QByteArray> found;
    for (const addrinfo *entry = list; entry; entry = entry->ai_next) {
        if (entry->ai_family == AF_INET && entry->ai_addr && entry->ai_addrlen > 0) {
            found = QByteArray(reinterpret_cast<const char *>(entry->ai_addr),
                               static_cast<qsizetype>(entry->ai_addrlen));
            break;
        }
    }
    ::freeaddrinfo(list);
    return found;
}

UDPSpotFeedSender::UDPSpotFeedSender(QObject *parent)
    : UDPSpotFeedSender(&UDPSpotFeedSender::systemHostLookup, parent)
{
}

UDPSpotFeedSender::UDPSpotFeedSender(HostLookup lookup, QObject *parent)
    : UDPSpotFeedSender(std::move(lookup), defaultBatchDelay, parent)
{
}

UDPSpotFeedSender::UDPSpotFeedSender(HostLookup lookup, std::chrono::milliseconds batchDelay,
                                     QObject *parent)
    : QObject(parent), m_queue(std::make_shared<Queue>())
{
    m_worker = new Worker(std::move(lookup), m_queue, batchDelay);
    m_thread.setObjectName(QStringLiteral("udp-spot-feed"));
    m_worker->moveToThread(&m_thread);
    // The worker closes its socket as the thread's last act.
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

UDPSpotFeedSender::~UDPSpotFeedSender()
{
    m_thread.quit();
    m_thread.wait();
}

void UDPSpotFeedSender::configure(bool enabled, const QString &destination, quint16 port)
{
    {
        const QMutexLocker locker(&m_queue->mutex);
        m_queue->items.emplace_back(Configuration{enabled, destination, port});
        m_queue->workerAwake = true;
    }
    wakeWorker(true);
}

void UDPSpotFeedSender::applySettings(bool enabled, const QString &destination,
                                      const QString &portText)
{
    const std::optional<quint16> port = parsePortText(portText);
    if (port && *port != 0)
        configure(enabled, destination, *port);
    else
        configure(false, destination, fallbackPort);
}

void UDPSpotFeedSender::send(const QString &line)
{
    bool wake = false;
    {
        const QMutexLocker locker(&m_queue->mutex);
        // Configurations count too; there are never more than a handful of them.
        if (m_queue->items.size() >= size_t(maximumQueuedSends))
            return;
        m_queue->items.emplace_back(line);
        wake = !m_queue->workerAwake;
        m_queue->workerAwake = true;
    }
    if (wake)
        wakeWorker(false);
}

void UDPSpotFeedSender::wakeWorker(bool now)
{
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, now] { worker->wake(now); }, Qt::QueuedConnection);
}

UDPSpotFeedSender::State UDPSpotFeedSender::stateForTesting() const
{
    State state;
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, &state] {
            worker->runQueue();
            state = worker->state();
        },
        Qt::BlockingQueuedConnection);
    return state;
}

} // namespace varnello
