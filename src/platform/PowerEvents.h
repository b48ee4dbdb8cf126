#pragma once

#include <QDBusConnection>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <chrono>
#include <cstdint>

namespace varnello {

// Tells the program that the machine is about to sleep and that it woke up again.
class PowerEvents : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PowerEvents)

public:
    using QObject::QObject;
    ~PowerEvents() override = default;

signals:
    // Handlers run synchronously and may write a last message to the network; the machine waits
    // a moment for it (see LogindPowerEvents::kSleepGrace).
    void willSleep();
    void didWake();
};

// Power events that a test (or any caller) raises by hand.
class ManualPowerEvents final : public PowerEvents {
    Q_OBJECT

public:
    using PowerEvents::PowerEvents;
    void fireWillSleep() { emit willSleep(); }
    void fireDidWake() { emit didWake(); }
};

// Sleep and wake from systemd-logind's PrepareForSleep signal on the system bus. A "delay"
// inhibitor is held while awake so the program gets a moment to say goodbye before suspend.
// Without a reachable bus (containers, CI) it simply never reports anything.
class LogindPowerEvents final : public PowerEvents {
    Q_OBJECT

public:
    // How long sleep is held off after willSleep, so queued writes can leave the machine.
    static constexpr std::chrono::milliseconds kSleepGrace{500};

    explicit LogindPowerEvents(QObject *parent = nullptr);
    // For tests: any bus that carries an org.freedesktop.login1 service.
    LogindPowerEvents(QDBusConnection bus, std::chrono::milliseconds sleepGrace,
                      QObject *parent = nullptr);
    ~LogindPowerEvents() override;

    // Subscribed to the sleep signal.
    bool isListening() const { return m_listening; }
    // A delay inhibitor is currently held.
    bool holdsInhibitor() const { return m_inhibitor.isValid(); }

private slots:
    void onPrepareForSleep(bool start);

private:
    void takeInhibitor();
    void releaseInhibitor();

    QDBusConnection m_bus;
    std::chrono::milliseconds m_sleepGrace;
    QDBusUnixFileDescriptor m_inhibitor;
    std::uint64_t m_inhibitorGeneration = 0;
    bool m_listening = false;
};

} // namespace varnello
