#include "MainWindowHost.h"

#include "AppSettingsStore.h"
#include "CTYFileManager.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "MainWindow.h"
#include "SettingsKeys.h"

#include "LaunchDiag.h"

#include <QTimer>

namespace varnello {

MainWindowHost::MainWindowHost()
{
    // Loads the downloaded or built-in country file at once; the LoTW list is read later.
    m_dataFiles = std::make_unique<CTYFileManager>();
    qCInfo(launchDiag, "Varnello %s started; country file: %s", VARNELLO_VERSION,
           qUtf8Printable(m_dataFiles->installedDescription()));
    m_cluster = std::make_unique<ClusterConnection>(m_dataFiles.get());

    ContentViewEnvironment environment;
    environment.cluster = m_cluster.get();
    m_view = std::make_unique<ContentView>(environment);
    m_view->setOnOpenSettings([] { qCInfo(launchDiag, "Settings window requested"); });
    m_window = std::make_unique<MainWindow>(*m_view);
    scheduleStartupConnect();
}

MainWindowHost::~MainWindowHost()
{
    m_window.reset();
    m_view.reset();
    m_cluster.reset();
}

void MainWindowHost::show()
{
    m_window->show();
}

void MainWindowHost::scheduleStartupConnect()
{
    AppSettingsStore &settings = AppSettingsStore::shared();
    if (!settings.boolValue(SettingsKeys::autoConnectOnStartup))
        return;
    if (!m_view->hasConfiguredCallsign() || !m_view->hasConfiguredNode())
        return;
    QTimer::singleShot(0, m_cluster.get(), [this] {
        if (!m_cluster->isConnected() && !m_cluster->isConnectionSequenceActive())
            m_view->connect(ConnectionOrigin::startup);
    });
}

} // namespace varnello
