#include "AlertNotificationManager.h"

#include "SystemNotifications.h"

namespace varnello {

AlertNotificationManager::AlertNotificationManager(SystemNotifications &output, QObject *parent)
    : QObject(parent), m_output(output)
{
}

AlertNotificationManager &AlertNotificationManager::shared()
{
    // Both live for the rest of the process, like the desktop's own notification centre.
    static auto *output = new DBusSystemNotifications;
    static auto *manager = [] {
        auto *m = new AlertNotificationManager(*output);
        QObject::connect(output, &DBusSystemNotifications::activated, m,
                         &AlertNotificationManager::activationRequested);
        return m;
    }();
    return *manager;
}

void AlertNotificationManager::requestNotificationAuthorization()
{
    m_output.prepare();
}

QString AlertNotificationManager::plainText(const QString &text)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        // Direction marks, embeddings, overrides and isolates would reorder the rest.
        if (u == 0x061C || u == 0x200E || u == 0x200F || (u >= 0x202A && u <= 0x202E) ||
            (u >= 0x2066 && u <= 0x2069))
            continue;
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            result.append(QLatin1Char(' '));
        else
            result.append(c);
    }
    return result;
}

AlertNotificationManager::Content
AlertNotificationManager::spotNotificationContent(const DXSpot &spot, const QString &title,
                                                  int matchedCount)
{
    Content content;
    content.title = plainText(QStringLiteral("Varnello \u2013 ") + title);
    QString subtitle = spot.time + QStringLiteral("  ") + spot.callsign;
    if (spot.dxcc) {
        const QString entity = spot.dxcc->trimmed();
        if (!entity.isEmpty())
            subtitle += QStringLiteral(" \u2014 ") + entity;
    }
    content.subtitle = plainText(subtitle);
    content.body =
        plainText(spot.frequencyText() + QStringLiteral(" kHz \u2014 spotted by ") + spot.spotter);
    if (matchedCount > 1)
        content.body += QStringLiteral("\n%1 spots matched").arg(matchedCount);
    return content;
}

void AlertNotificationManager::postSpotNotification(const DXSpot &spot, const QString &title,
                                                    int matchedCount)
{
    const Content content = spotNotificationContent(spot, title, matchedCount);
    // The desktop service has no subtitle: it opens the text.
    m_output.post(content.title, content.subtitle + QLatin1Char('\n') + content.body);
}

} // namespace varnello
