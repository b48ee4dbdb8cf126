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
    void postSpotNotification(const DXSpot &spot, const QString &title);

    // "Varnello – <title>", "<time>  <call> — <entity>", "<frequency> kHz — spotted by <spotter>".
    static Content spotNotificationContent(const DXSpot &spot, const QString &title);
    // Control characters (C0, DEL, C1, line and paragraph separators) become blanks.
    static QString plainText(const QString &text);

Q_SIGNALS:
    // The user clicked a notification: the window comes to the front.
    void activationRequested();

private:
    SystemNotifications &m_output;
};

} // namespace varnello
