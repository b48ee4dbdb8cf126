#include "UDPSpotFeedSender.h"

#include "ClusterTypes.h"

#include <QMetaObject>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace varnello {

namespace {

std::optional<QByteArray> socketAddressBytes(const sockaddr_in &address)
{
    return QByteArray(reinterpret_cast<const char *>(&address), sizeof address);
}

} // namespace

class UDPSpotFeedSender::Worker final : public QObject {
public:
    explicit Worker(HostLookup lookup) : m_lookup(std::move(lookup)) {}
    ~Worker() override { closeFeed(); }

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
        return State{m_isEnabled, m_socketFD >= 0, m_configuredDestination, m_configuredPort,
                     m_socketsOpened};
    }

private:
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
    : QObject(parent), m_worker(new Worker(std::move(lookup))),
      m_queuedSends(std::make_shared<std::atomic<int>>(0))
{
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
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, enabled, destination, port] {
            worker->applyConfiguration(enabled, destination, port);
        },
        Qt::QueuedConnection);
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
    if (m_queuedSends->fetch_add(1) >= maximumQueuedSends) {
        m_queuedSends->fetch_sub(1);
        return;
    }
    QMetaObject::invokeMethod(
        m_worker,
        [worker = m_worker, queued = m_queuedSends, line] {
            queued->fetch_sub(1);
            worker->sendNow(line);
        },
        Qt::QueuedConnection);
}

UDPSpotFeedSender::State UDPSpotFeedSender::stateForTesting() const
{
    State state;
    QMetaObject::invokeMethod(
        m_worker, [worker = m_worker, &state] { state = worker->state(); },
        Qt::BlockingQueuedConnection);
    return state;
}

} // namespace varnello
