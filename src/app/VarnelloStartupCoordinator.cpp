#include "VarnelloStartupCoordinator.h"

#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "ClusterTypes.h"
#include "NotificationHub.h"
#include "ShellDataFiles.h"

#include <QPointer>

namespace varnello {

bool ClusterStartupConnection::isConnected() const
{
    return m_cluster.isConnected();
}

bool ClusterStartupConnection::isConnectionSequenceActive() const
{
    return m_cluster.isConnectionSequenceActive();
}

void ClusterStartupConnection::connectToPrimary(const QString &host, quint16 port,
                                                const QString &callsign, const QString &password,
                                                bool allowFailover)
{
    m_cluster.startPrimaryConnection(host, port, callsign, password, allowFailover,
                                     ConnectionOrigin::startup);
}

VarnelloStartupCoordinator::VarnelloStartupCoordinator(Setup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup))
{
    m_feedCheck.setTimerType(Qt::PreciseTimer);
    connect(&m_feedCheck, &QTimer::timeout, this, &VarnelloStartupCoordinator::checkCountryFeed);
}

void VarnelloStartupCoordinator::start()
{
    if (m_hasStarted)
        return;
    m_hasStarted = true;
    connectOnStartupIfEnabled();
    QTimer::singleShot(m_setup.timing.schedulesDelay, this, [this] {
        if (m_setup.startUpdateSchedule)
            m_setup.startUpdateSchedule();
        if (m_setup.startUsagePingSchedule)
            m_setup.startUsagePingSchedule();
    });
    // The first look is an hour after start: the start-up look belongs to fileAgeState().
    m_feedCheck.start(m_setup.timing.feedCheckInterval);
}

std::optional<StartupConnectRequest>
VarnelloStartupCoordinator::startupConnectRequest(const AppSettingsStore &settings)
{
    if (!settings.boolValue(SettingsKeys::autoConnectOnStartup))
        return std::nullopt;
    const QString host = settings.string(SettingsKeys::clusterHost.name, QString()).trimmed();
    const QString callsign = settings.string(SettingsKeys::clusterCallsign).trimmed();
    if (host.isEmpty() || callsign.isEmpty())
        return std::nullopt;
    const std::optional<quint16> port =
        parsePortText(settings.string(SettingsKeys::clusterPort).trimmed());
    if (!port)
        return std::nullopt;
    return StartupConnectRequest{host, *port, callsign,
                                 settings.string(SettingsKeys::clusterPassword)};
}

void VarnelloStartupCoordinator::connectOnStartupIfEnabled()
{
    const std::optional<StartupConnectRequest> request = startupConnectRequest(*m_setup.settings);
    if (!request)
        return;
    // On the next turn, after the application object has finished building.
    QTimer::singleShot(0, this, [this, request = *request] {
        StartupConnection &cluster = *m_setup.cluster;
        if (cluster.isConnected() || cluster.isConnectionSequenceActive())
            return; // a connection is up or under way
        cluster.connectToPrimary(request.host, request.port, request.callsign, request.password,
                                 m_setup.settings->boolValue(SettingsKeys::backupClusterEnabled));
    });
}

void VarnelloStartupCoordinator::checkCountryFeed()
{
    m_setup.dataFiles->checkForCountryFileUpdate([guard =
                                                      QPointer(this)](std::optional<bool> newer) {
        if (!guard || !newer.value_or(false))
            return;
        const std::optional<QDate> latest = guard->m_setup.dataFiles->latestCountryReleaseDate();
        if (latest && latest != guard->m_declinedCountryReleaseDate)
            NotificationHub::instance().post(QString(countryFileUpdateAvailableNotification));
    });
}

void VarnelloStartupCoordinator::fileAgeState(FileAgeDone done)
{
    if (m_cachedFileAgeState) {
        if (done)
            done(*m_cachedFileAgeState);
        return;
    }
    // Each step holds the coordinator weakly; its timers die with it.
    m_setup.dataFiles->reloadLoTWActivity([guard = QPointer(this), done = std::move(done)] {
        if (guard)
            guard->checkCountryFileAge(done);
    });
}

void VarnelloStartupCoordinator::checkCountryFileAge(const FileAgeDone &done)
{
    QTimer::singleShot(m_setup.timing.afterLoTWReload, this, [this, done] {
        m_setup.dataFiles->checkForCountryFileUpdate(
            [guard = QPointer(this), done](std::optional<bool> newer) {
                if (guard)
                    guard->checkLoTWFileAge(done, newer.value_or(false));
            });
    });
}

void VarnelloStartupCoordinator::checkLoTWFileAge(const FileAgeDone &done, bool staleCountry)
{
    QTimer::singleShot(m_setup.timing.afterCountryCheck, this, [this, done, staleCountry] {
        m_setup.dataFiles->checkForLoTWActivityUpdate(
            [guard = QPointer(this), done, staleCountry](std::optional<bool> newer) {
                if (!guard)
                    return;
                // Both stale: the LoTW list is offered first, the country file after its answer.
                const bool staleLoTW = newer.value_or(false);
                const FileAgeState state{staleLoTW, staleCountry && !staleLoTW};
                guard->m_cachedFileAgeState = state;
                if (done)
                    done(state);
            });
    });
}

} // namespace varnello
