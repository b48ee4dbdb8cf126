#include "UsageTracker.h"

#include "AppSettingsStore.h"
#include "Clock.h"
#include "HostHardware.h"

#include <QRegularExpression>
#include <QUuid>

namespace varnello {

UsageTracker::UsageTracker(Setup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup))
{
    m_firstPing.setSingleShot(true);
    m_firstPing.setTimerType(Qt::PreciseTimer);
    connect(&m_firstPing, &QTimer::timeout, this, [this] {
        sendUsagePing(true);
        m_hourly.start(m_setup.timing.interval);
    });
    m_hourly.setTimerType(Qt::PreciseTimer);
    connect(&m_hourly, &QTimer::timeout, this, [this] { sendUsagePing(false); });
}

void UsageTracker::runUsagePingSchedule()
{
    if (m_isMonitoring)
        return;
    m_isMonitoring = true;
    m_firstPing.start(m_setup.timing.firstPingDelay);
}

void UsageTracker::stopUsagePingSchedule()
{
    m_firstPing.stop();
    m_hourly.stop();
    m_isMonitoring = false;
}

QString UsageTracker::installationIdentifier()
{
    static const QRegularExpression uuid(QStringLiteral(
        "^[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}$"));
    const QString stored = m_setup.settings->string(SettingsKeys::installationID);
    if (uuid.match(stored).hasMatch())
        return stored;
    const QString fresh = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    m_setup.settings->setString(SettingsKeys::installationID, fresh);
    return fresh;
}

QList<QPair<QString, QString>> UsageTracker::queryItems(const QString &identifier) const
{
    return {{QStringLiteral("id"), identifier},
            {QStringLiteral("arch"), HostHardware::architecture(m_setup.machine)},
            {QStringLiteral("model"), HostHardware::model(m_setup.sysfsRoot)},
            {QStringLiteral("version"),
             m_setup.version.isEmpty() ? QStringLiteral("unknown") : m_setup.version},
            {QStringLiteral("build"),
             m_setup.build.isEmpty() ? QStringLiteral("unknown") : m_setup.build}};
}

void UsageTracker::sendUsagePing(bool force)
{
    if (m_isPinging)
        return;
    m_isPinging = true;
    const double start = double(m_setup.clock->now().toMSecsSinceEpoch()) / 1000.0;
    const double last = m_setup.settings->doubleValue(SettingsKeys::lastUsagePing);
    if (!force && last > 0 && start - last < minimumSecondsBetweenPings)
        return finishPing();

    const QString identifier = installationIdentifier();
    const QUrl &endpoint = m_setup.endpoint;
    if (endpoint.isEmpty() || !endpoint.isValid() || endpoint.host().isEmpty())
        return finishPing();
    // Each value fully percent-encoded, "+" included, which some servers read as a blank.
    QStringList pairs;
    for (const auto &[key, value] : queryItems(identifier))
        pairs.append(key + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(value)));
    QUrl url = endpoint;
    url.setQuery(pairs.join(u'&'), QUrl::StrictMode);
    if (!url.isValid())
        return finishPing();

    const HttpRequest request{url, m_setup.timing.timeout, 64 * 1024};
    m_setup.http->get(request, this, [this, start](const HttpResult &result) {
        if (!result.isTransportFailure() && result.status >= 200 && result.status <= 299)
            m_setup.settings->setDouble(SettingsKeys::lastUsagePing, start);
        finishPing();
    });
}

void UsageTracker::finishPing()
{
    m_isPinging = false;
    Q_EMIT pingFinished();
}

} // namespace varnello
