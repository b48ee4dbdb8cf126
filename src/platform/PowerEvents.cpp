#include "PowerEvents.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

namespace varnello {

namespace {

const QString kLogindService = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");

} // namespace

LogindPowerEvents::LogindPowerEvents(QObject *parent)
    : LogindPowerEvents(QDBusConnection::systemBus(), kSleepGrace, parent)
{
}

LogindPowerEvents::LogindPowerEvents(QDBusConnection bus, std::chrono::milliseconds sleepGrace,
                                     QObject *parent)
    : PowerEvents(parent), m_bus(std::move(bus)), m_sleepGrace(sleepGrace)
{
    if (!m_bus.isConnected())
        return;
    m_listening =
        m_bus.connect(kLogindService, kLogindPath, kLogindManager,
                      QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
    if (m_listening)
        takeInhibitor();
}

LogindPowerEvents::~LogindPowerEvents()
{
    if (m_listening)
        m_bus.disconnect(kLogindService, kLogindPath, kLogindManager,
                         QStringLiteral("PrepareForSleep"), this, SLOT(onPrepareForSleep(bool)));
}

void LogindPowerEvents::takeInhibitor()
{
    if (!(m_bus.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return;
    QDBusMessage call = QDBusMessage::createMethodCall(kLogindService, kLogindPath, kLogindManager,
                                                       QStringLiteral("Inhibit"));
    call << QStringLiteral("sleep") << QStringLiteral("Varnello")
         << QStringLiteral("Logging out of the DX cluster node") << QStringLiteral("delay");
    // Asynchronous, so a slow or missing logind never holds up start-up or the wake handling.
    const std::uint64_t generation = ++m_inhibitorGeneration;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, generation](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
                if (generation != m_inhibitorGeneration || reply.isError())
                    return;
                m_inhibitor = reply.value();
            });
}

void LogindPowerEvents::releaseInhibitor()
{
    ++m_inhibitorGeneration;
    m_inhibitor = QDBusUnixFileDescriptor(); // closes our copy of the lock's descriptor
}

void LogindPowerEvents::onPrepareForSleep(bool start)
{
    if (start) {
        emit willSleep();
        const std::uint64_t generation = m_inhibitorGeneration;
        QTimer::singleShot(m_sleepGrace, Qt::PreciseTimer, this, [this, generation] {
            if (generation == m_inhibitorGeneration)
                releaseInhibitor();
        });
        return;
    }
    releaseInhibitor();
    takeInhibitor();
    emit didWake();
}

} // namespace varnello
