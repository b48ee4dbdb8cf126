#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <optional>

namespace varnello {

// The desktop's notification service. Posting returns at once; without a service nothing is shown
// and nothing is reported.
class SystemNotifications {
public:
    virtual ~SystemNotifications() = default;
    // Title and text are plain text; the implementation keeps the service from reading them as
    // markup.
    virtual void post(const QString &title, const QString &text) = 0;
    // Finds out whether the service answers; there is no permission to ask for on Linux.
    virtual void prepare() {}
};

// org.freedesktop.Notifications on the session bus, by asynchronous calls only.
class DBusSystemNotifications final : public QObject, public SystemNotifications {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DBusSystemNotifications)

public:
    explicit DBusSystemNotifications(QObject *parent = nullptr);
    ~DBusSystemNotifications() override;

    void post(const QString &title, const QString &text) override;
    void prepare() override;

    // The service's body markup language must not see '<' or '&' from the network.
    static QString escapeForMarkup(const QString &text);

    // Posts waiting for the service's capabilities beyond this many are dropped.
    static constexpr qsizetype maximumWaitingPosts = 64;
    // Ids of shown notifications remembered for clicks.
    static constexpr qsizetype maximumRememberedIds = 256;

Q_SIGNALS:
    // The user clicked one of our notifications.
    void activated();

private Q_SLOTS:
    void onActionInvoked(uint id, const QString &actionKey);

private:
    void queryCapabilities();
    void send(const QString &title, const QString &text);

    enum class State { unknown, querying, ready };
    State m_state = State::unknown;
    bool m_bodyMarkup = false;
    QList<QPair<QString, QString>> m_waiting;
    QList<uint> m_ourIds;
};

} // namespace varnello
