// The desktop notification layer against a notification service on a private session bus.
#include "PrivateBusDaemon.h"
#include "SystemNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>

using namespace varnello;
using namespace varnello::test;

// Stands in for the desktop's org.freedesktop.Notifications service.
class FakeNotificationService final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList capabilities{QStringLiteral("body"), QStringLiteral("actions")};
    QStringList summaries;
    QStringList bodies;
    QList<QStringList> actions;
    uint nextId = 40;

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &actionList, const QVariantMap &, int)
    {
        summaries.append(summary);
        bodies.append(body);
        actions.append(actionList);
        return nextId++;
    }
};

class tst_DesktopNotifications : public QObject {
    Q_OBJECT

private:
    PrivateBusDaemon m_daemon;
    QDBusConnection m_serviceBus{QStringLiteral("none")};
    FakeNotificationService m_service;

    void invokeAction(uint id)
    {
        QDBusMessage signal = QDBusMessage::createSignal(
            QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"));
        signal << id << QStringLiteral("default");
        m_serviceBus.send(signal);
    }

private Q_SLOTS:
    void initTestCase()
    {
        const QString daemon = PrivateBusDaemon::executable();
        if (daemon.isEmpty())
            QFAIL("dbus-daemon is not installed (tools/deps.sh installs it)");
        const QByteArray address = m_daemon.start(daemon).toUtf8();
        QVERIFY(!address.isEmpty());
        // Before the first use of the session bus, so that the code under test talks to this one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        m_serviceBus = QDBusConnection::connectToBus(QString::fromLatin1(address),
                                                     QStringLiteral("fake-service"));
        QVERIFY(m_serviceBus.isConnected());
        QVERIFY(m_serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                            &m_service, QDBusConnection::ExportAllSlots));
        QVERIFY(m_serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void cleanupTestCase()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-service"));
        m_daemon.stop();
    }

    void posts_reachTheServiceAsPlainText()
    {
        m_service.capabilities = {QStringLiteral("body"), QStringLiteral("actions")};
        DBusSystemNotifications notifications;
        notifications.post(QStringLiteral("Varnello \u2013 Alert 1"),
                           QStringLiteral("K1ABC \u2014 A & B <i>"));
        notifications.post(QStringLiteral("Varnello \u2013 Alert 2"), QStringLiteral("second"));
        QTRY_COMPARE_WITH_TIMEOUT(m_service.summaries.size(), 2, 10000);
        QCOMPARE(m_service.summaries[0], QStringLiteral("Varnello \u2013 Alert 1"));
        QCOMPARE(m_service.bodies[0], QStringLiteral("K1ABC \u2014 A & B <i>"));
        QCOMPARE(m_service.actions[0], (QStringList{"default", "Show"}));
        m_service.summaries.clear();
        m_service.bodies.clear();
    }

    void markupServices_getEscapedText()
    {
        m_service.capabilities = {QStringLiteral("body"), QStringLiteral("body-markup")};
        DBusSystemNotifications notifications;
        notifications.post(QStringLiteral("Varnello \u2013 Alert 1"),
                           QStringLiteral("A & B <b>x</b>"));
        QTRY_COMPARE_WITH_TIMEOUT(m_service.bodies.size(), 1, 10000);
        QCOMPARE(m_service.bodies[0], QStringLiteral("A &amp; B &lt;b&gt;x&lt;/b&gt;"));
        m_service.bodies.clear();
        m_service.summaries.clear();
    }

    void clickingOurNotification_asksForTheWindow()
    {
        DBusSystemNotifications notifications;
        QSignalSpy activated(&notifications, &DBusSystemNotifications::activated);
        const uint id = m_service.nextId;
        notifications.post(QStringLiteral("Varnello \u2013 Alert 1"), QStringLiteral("text"));
        QTRY_COMPARE_WITH_TIMEOUT(m_service.summaries.size(), 1, 10000);
        QTest::qWait(100);      // the id comes back with the reply
        invokeAction(id + 100); // someone else's notification
        invokeAction(id);
        QTRY_COMPARE_WITH_TIMEOUT(activated.count(), 1, 10000);
        QTest::qWait(100);
        QCOMPARE(activated.count(), 1);
    }
};

QTEST_GUILESS_MAIN(tst_DesktopNotifications)
#include "tst_DesktopNotifications.moc"
