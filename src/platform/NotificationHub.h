#pragma once

#include <QObject>
#include <QString>
#include <QVariantMap>

namespace varnello {

// Program-wide named notifications ("LoTWActivityLookupDidReload",
// "VarnelloInitialNewSlotRefresh"). One instance, living on the main thread. Observers connect to
// `posted` and compare the name.
//
//   QObject::connect(&NotificationHub::instance(), &NotificationHub::posted, this,
//                    [](const QString &name, const QVariantMap &) { ... });
class NotificationHub final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NotificationHub)

public:
    // Made on first use (from any thread) and moved to the application's main thread.
    static NotificationHub &instance();

    // Posts from any thread. Delivery is always queued to the main thread: `posted` is emitted
    // on a later turn of the main loop, never inside this call.
    void post(const QString &name, const QVariantMap &userInfo = {});

Q_SIGNALS:
    void posted(const QString &name, const QVariantMap &userInfo);

private:
    NotificationHub();
};

} // namespace varnello
