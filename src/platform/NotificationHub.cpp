#include "NotificationHub.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

namespace varnello {

NotificationHub::NotificationHub() = default;

NotificationHub &NotificationHub::instance()
{
    // Never destroyed: posts queued during shutdown must not reach a dead object.
    static NotificationHub *const hub = [] {
        auto *h = new NotificationHub;
        if (auto *app = QCoreApplication::instance(); app && h->thread() != app->thread())
            h->moveToThread(app->thread());
        return h;
    }();
    return *hub;
}

void NotificationHub::post(const QString &name, const QVariantMap &userInfo)
{
    QMetaObject::invokeMethod(
        this, [this, name, userInfo] { Q_EMIT posted(name, userInfo); }, Qt::QueuedConnection);
}

} // namespace varnello
