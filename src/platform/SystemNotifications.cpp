#include "SystemNotifications.h"

#include "DesktopEntry.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace varnello {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");

} // namespace

DBusSystemNotifications::DBusSystemNotifications(QObject *parent) : QObject(parent)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
}

DBusSystemNotifications::~DBusSystemNotifications() = default;

QString DBusSystemNotifications::escapeForMarkup(const QString &text)
{
    return text.toHtmlEscaped();
}

void DBusSystemNotifications::prepare()
{
    if (m_state == State::unknown)
        queryCapabilities();
}

void DBusSystemNotifications::post(const QString &title, const QString &text)
{
    if (m_state == State::ready) {
        send(title, text);
        return;
    }
    // Whether the body is read as markup is known only once the service has answered.
    if (m_waiting.size() < maximumWaitingPosts)
        m_waiting.append({title, text});
    if (m_state == State::unknown)
        queryCapabilities();
}

void DBusSystemNotifications::queryCapabilities()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        m_waiting.clear();
        return;
    }
    m_state = State::querying;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            // No service: nothing is shown; a service started later is asked at the next post.
            m_state = State::unknown;
            m_waiting.clear();
            return;
        }
        m_bodyMarkup = reply.value().contains(QStringLiteral("body-markup"));
        m_state = State::ready;
        const auto waiting = std::exchange(m_waiting, {});
        for (const auto &[title, text] : waiting)
            send(title, text);
    });
}

void DBusSystemNotifications::send(const QString &title, const QString &text)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry::id());
    call << QStringLiteral("Varnello") << uint(0) << QString() << title
         << (m_bodyMarkup ? escapeForMarkup(text) : text)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show")} << hints << int(-1);
    auto *watcher =
        new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<uint> reply = *w;
        if (reply.isError())
            return;
        m_ourIds.append(reply.value());
        if (m_ourIds.size() > maximumRememberedIds)
            m_ourIds.removeFirst();
    });
}

void DBusSystemNotifications::onActionInvoked(uint id, const QString &actionKey)
{
    if (actionKey == QLatin1String("default") && m_ourIds.contains(id))
        emit activated();
}

} // namespace varnello
