#include "PowerEvents.h"
#include "PrivateBusDaemon.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QtTest>

#include <poll.h>
#include <unistd.h>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

// Stands in for systemd-logind on a private bus: hands out inhibitor descriptors (the write ends
// of pipes, so the test sees when the last copy is closed) and raises PrepareForSleep.
class FakeLogind final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

public:
    QStringList modes;
    QList<int> lockReadEnds;

    ~FakeLogind() override
    {
        for (int fd : std::as_const(lockReadEnds))
            ::close(fd);
    }

    // True when every copy of the i-th lock was closed.
    bool lockReleased(int i) const
    {
        pollfd p{lockReadEnds.at(i), POLLIN, 0};
        if (::poll(&p, 1, 0) <= 0)
            return false;
        char c;
        return ::read(lockReadEnds.at(i), &c, 1) == 0;
    }

public Q_SLOTS:
    QDBusUnixFileDescriptor Inhibit(const QString &what, const QString &, const QString &,
                                    const QString &mode)
    {
        modes << what + QLatin1Char('/') + mode;
        int fds[2];
        if (::pipe(fds) != 0)
            return {};
        lockReadEnds << fds[0];
        QDBusUnixFileDescriptor lock(fds[1]);
        ::close(fds[1]);
        return lock;
    }

Q_SIGNALS:
    void PrepareForSleep(bool start);
};

class TestPowerEvents : public QObject {
    Q_OBJECT

    PrivateBusDaemon m_daemon;
    QString m_address;

private Q_SLOTS:
    void initTestCase()
    {
        const QString daemon = PrivateBusDaemon::executable();
        if (daemon.isEmpty())
            QFAIL("dbus-daemon is not installed (tools/deps.sh installs it)");
        m_address = m_daemon.start(daemon);
        QVERIFY(!m_address.isEmpty());
    }

    void cleanupTestCase() { m_daemon.stop(); }

    void noBus_reportsNothingSilently()
    {
        const QDBusConnection bus = QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/varnello-no-bus"), QStringLiteral("nobus"));
        QVERIFY(!bus.isConnected());
        LogindPowerEvents events(bus, 10ms);
        QVERIFY(!events.isListening());
        QVERIFY(!events.holdsInhibitor());
        QDBusConnection::disconnectFromBus(QStringLiteral("nobus"));
    }

    void sleepAndWake_reachListenersAndCycleTheDelayLock()
    {
        QDBusConnection service =
            QDBusConnection::connectToBus(m_address, QStringLiteral("logind"));
        QVERIFY(service.isConnected());
        FakeLogind logind;
        QVERIFY(service.registerService(QStringLiteral("org.freedesktop.login1")));
        QVERIFY(service.registerObject(QStringLiteral("/org/freedesktop/login1"), &logind,
                                       QDBusConnection::ExportAllSlots |
                                           QDBusConnection::ExportAllSignals));

        const QDBusConnection client =
            QDBusConnection::connectToBus(m_address, QStringLiteral("app"));
        {
            LogindPowerEvents events(client, 50ms);
            QVERIFY(events.isListening());
            QTRY_VERIFY(events.holdsInhibitor());
            QCOMPARE(logind.modes, QStringList{QStringLiteral("sleep/delay")});

            QSignalSpy sleeps(&events, &PowerEvents::willSleep);
            QSignalSpy wakes(&events, &PowerEvents::didWake);
            bool lockHeldDuringSleepHandler = false;
            connect(&events, &PowerEvents::willSleep, this,
                    [&] { lockHeldDuringSleepHandler = !logind.lockReleased(0); });

            emit logind.PrepareForSleep(true);
            QTRY_COMPARE(sleeps.count(), 1);
            QVERIFY(lockHeldDuringSleepHandler);
            QTRY_VERIFY(logind.lockReleased(0));
            QCOMPARE(wakes.count(), 0);

            emit logind.PrepareForSleep(false);
            QTRY_COMPARE(wakes.count(), 1);
            QTRY_COMPARE(logind.modes.size(), 2); // a new lock for the next sleep
            QTRY_VERIFY(events.holdsInhibitor());
            QCOMPARE(sleeps.count(), 1);
        }
        // Destroying the listener lets go of its lock.
        QTRY_VERIFY(logind.lockReleased(1));
        QDBusConnection::disconnectFromBus(QStringLiteral("app"));
        QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
    }
};

QTEST_GUILESS_MAIN(TestPowerEvents)
#include "tst_PowerEvents.moc"
