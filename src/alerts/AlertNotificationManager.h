#pragma once

#include "DXSpot.h"

#include <QObject>
#include <QString>

namespace varnello {

class SystemNotifications;

// Posts a desktop notification for an alert spot. Spot texts come from the cluster node and are
// shown as plain text: control characters become blanks and nothing in them is read as markup.
class AlertNotificationManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertNotificationManager)

public:
    struct Content {
        QString title;
        QString subtitle;
        QString body;
        bool operator==(const Content &) const = default;
    };

    explicit AlertNotificationManager(SystemNotifications &output, QObject *parent = nullptr);

    // The process's manager on the desktop's notification service, made on first use.
    static AlertNotificationManager &shared();

    // There is no permission to ask for on Linux; this only makes the service known early.
    void requestNotificationAuthorization();
    // matchedCount > 1: the spot is the latest of that many that matched the alert at once (a
    // resumed list), which the body says on a line of its own.
    void postSpotNotification(const DXSpot &spot, const QString &title, int matchedCount = 1);

    // "Varnello – <title>", "<time>  <call> — <entity>", "<frequency> kHz — spotted by <spotter>"
    // (and "<n> spots matched" for more than one).
    static Content spotNotificationContent(const DXSpot &spot, const QString &title,
                                           int matchedCount = 1);
    // Control characters (C0, DEL, C1, line and paragraph separators) become blanks; the
    // bidirectional formatting characters are dropped.
    static QString plainText(const QString &text);

Q_SIGNALS:
    // The user clicked a notification: the window comes to the front.
    void activationRequested();

private:
    SystemNotifications &m_output;
};

} // namespace varnello
