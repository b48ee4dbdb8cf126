#include "VarnelloApp.h"

#include "ActivationRequestEcho.h"
#include "AlertPanelsInstaller.h"
#include "AppSettingsStore.h"
#include "BlockedWindowKeys.h"
#include "BuildInfo.h"
#include "ClusterConnection.h"
#include "ContentView.h"
#include "FactoryReset.h"
#include "FileManagerReveal.h"
#include "FilterPanelsInstaller.h"
#include "HostHardware.h"
#include "Icons.h"
#include "LaunchDiag.h"
#include "LoginItem.h"
#include "MainWindow.h"
#include "MainWindowFrameKeeper.h"
#include "MainWindowHostState.h"
#include "ModalFocus.h"
#include "NotificationHub.h"
#include "RegistrationMail.h"
#include "ScreenFit.h"
#include "SettingsAlertPresenter.h"
#include "SettingsNotices.h"
#include "SettingsWindow.h"
#include "SettingsWindowController.h"
#include "SheetPresenter.h"
#include "ShellDataFiles.h"
#include "ShellLinks.h"
#include "ShellMenus.h"
#include "UpdateChecker.h"
#include "UrlOpener.h"
#include "UsageTracker.h"
#include "VarnelloStartupCoordinator.h"
#include "WindowManagerClose.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QStandardPaths>
#include <QTimer>

namespace varnello {

namespace {

std::optional<QString> downloadsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    return folder.isEmpty() ? std::nullopt : std::optional(folder);
}

void openUrl(const std::optional<QUrl> &url)
{
    if (url)
        UrlOpener::shared().open(*url);
}

} // namespace

VarnelloApp::VarnelloApp(Options options, QObject *parent)
    // The first use of the store loads settings.json, writing the load defaults, before anything
    // else reads a setting.
    : QObject(parent), m_settings(AppSettingsStore::shared()),
      m_initialPreset(
          initialMainViewPresetState(m_settings.string(SettingsKeys::DXSpotTableViewPreset)))
{
    m_alerts = std::make_unique<MessageBoxAlertPresenter>();

    // Loads the downloaded or built-in country file at once; the LoTW list is read later, by the
    // file-age check.
    m_dataFiles = options.dataFiles ? std::make_unique<CTYFileManager>(*options.dataFiles)
                                    : std::make_unique<CTYFileManager>();
    qCInfo(launchDiag, "Varnello %s started; country file: %s", VARNELLO_VERSION,
           qUtf8Printable(m_dataFiles->installedDescription()));
    m_cluster = std::make_unique<ClusterConnection>(m_dataFiles.get());

    m_reveal = std::make_unique<FileManagerReveal>(
        [](const QUrl &folder) { return UrlOpener::shared().open(folder); });
    m_updateChecker = std::make_unique<UpdateChecker>(UpdateChecker::Setup{
        .http = &HttpClient::shared(),
        .settings = &m_settings,
        .clock = &Clock::system(),
        .alerts = m_alerts.get(),
        .updateSite = BuildInfo::updateSite(),
        .tarballPath = BuildInfo::updateTarballPath(),
        .localBuild = BuildInfo::buildNumber(),
        .localVersion = BuildInfo::version(),
        .downloadsFolder = downloadsFolder,
        .showInFolder = [this](const QString &path) { m_reveal->reveal(path); },
        .quitApplication = [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); },
    });
    m_usageTracker = std::make_unique<UsageTracker>(UsageTracker::Setup{
        .http = &HttpClient::shared(),
        .settings = &m_settings,
        .clock = &Clock::system(),
        .endpoint = BuildInfo::usageEndpoint(),
        .version = BuildInfo::version(),
        .build = BuildInfo::buildText().value_or(QString()),
        .machine = HostHardware::currentMachine(),
    });

    m_shellDataFiles = std::make_unique<CTYShellDataFiles>(*m_dataFiles);
    m_startupConnection = std::make_unique<ClusterStartupConnection>(*m_cluster);
    m_coordinator = std::make_unique<VarnelloStartupCoordinator>(VarnelloStartupCoordinator::Setup{
        .dataFiles = m_shellDataFiles.get(),
        .cluster = m_startupConnection.get(),
        .settings = &m_settings,
        .startUpdateSchedule = [this] { m_updateChecker->runUpdateSchedule(); },
        .startUsagePingSchedule = [this] { m_usageTracker->runUsagePingSchedule(); },
    });
    m_frameKeeper = std::make_unique<MainWindowFrameKeeper>(m_settings);

    m_hostState = std::make_unique<MainWindowHostState>(MainWindowHostState::Setup{
        .dataFiles = m_shellDataFiles.get(),
        .coordinator = m_coordinator.get(),
        .alerts = m_alerts.get(),
        .checkForUpdates = [this] { m_updateChecker->checkForUpdates(true); },
        .initialPreset = m_initialPreset,
    });
    connect(&NotificationHub::instance(), &NotificationHub::posted, m_hostState.get(),
            &MainWindowHostState::handleNotification);
    m_factoryReset = std::make_unique<FactoryReset>(*m_dataFiles);
    // A start at login left naming a moved or removed copy of the program starts this one.
    if (m_settings.boolValue(SettingsKeys::startVarnelloAtLogin))
        XdgAutostartLoginItem().refreshedStatus(true);

    buildMainWindow();
    m_coordinator->start();
    QTimer::singleShot(frameCheckDelayMs, this, &VarnelloApp::checkFrameAfterStart);
}

VarnelloApp::~VarnelloApp()
{
    // The window and its state go before the connection and the data files they show.
    m_menus.reset();
    m_windowManagerClose.reset();
    m_blockedWindowKeys.reset();
    m_activationEcho.reset();
    m_window.reset();
    m_view.reset();
}

void VarnelloApp::buildMainWindow()
{
    ContentViewEnvironment environment;
    environment.settings = &m_settings;
    environment.cluster = m_cluster.get();
    m_view = std::make_unique<ContentView>(environment);
    m_view->setOnOpenSettings([this] { openSettings(); });
    // Every window of the program, the task bar and About show the program's own icon.
    QApplication::setWindowIcon(applicationIcon());
    m_window = std::make_unique<MainWindow>(*m_view);
    installFilterPanels(*m_window, *m_view, registrationRequestMailURL);
    installAlertPanels(*m_window, *m_view);
    // The first-run size, made smaller on a screen that cannot show it with its frame (a
    // 1280 x 800 laptop), so the bottom bars are never below the screen's edge.
    m_window->resize(
        screenfit::clampedSize(QSize(1000, 800), screenfit::availableArea(m_window.get())));
    m_window->installEventFilter(this);
    qApp->installEventFilter(this); // until the first paint
    m_frameKeeper->watch(m_window.get());
    m_hostState->setAlertWindow(m_window.get());
    // A program that seems stuck is often one waiting for an answer: the log says to what.
    connect(&m_window->presenter(), &SheetPresenter::presented, this, [this] {
        if (const QDialog *dialog = m_window->presenter().currentDialog())
            qCInfo(launchDiag, "the window shows %s", qUtf8Printable(dialog->objectName()));
    });
    new SettingsNotices(m_settings, *m_window); // owned by the window
    buildMenus();
    // The window manager's close of the main window while a sheet blocks it, which Qt drops.
    m_windowManagerClose = std::make_unique<WindowManagerClose>(
        [window = m_window.get()] { return quintptr(window->internalWinId()); });
    connect(m_windowManagerClose.get(), &WindowManagerClose::closeRequested, this,
            &VarnelloApp::endSession, Qt::QueuedConnection);
    // Ctrl+Q typed in a window behind a sheet, which Qt drops with every other key there. The
    // keyboard stays where the operator put it: a key meant for the window never answers the
    // sheet.
    m_blockedWindowKeys = std::make_unique<BlockedWindowKeys>(&modalfocus::isBlocked);
    connect(
        m_blockedWindowKeys.get(), &BlockedWindowKeys::keyPressed, this,
        [this](QKeyCombination key) { m_menus->quitOnKey(key); }, Qt::QueuedConnection);
    m_activationEcho = std::make_unique<ActivationRequestEcho>();
}

void VarnelloApp::buildMenus()
{
    const QString supportHost = BuildInfo::supportGroupHost();
    const QUrl site = BuildInfo::makerSite();
    ShellMenus::Commands commands;
    commands.openSettings = [this] { openSettings(); };
    commands.factoryReset = [this] { m_factoryReset->confirmFactoryReset(m_window.get()); };
    commands.quit = [this] { endSession(); };
    commands.selectDefaultView = [this] {
        const QWidget *key = QApplication::activeWindow();
        m_hostState->selectDefaultView(key ? std::optional(key->geometry()) : std::nullopt);
    };
    commands.selectSmallView = [this] { m_hostState->selectSmallView(); };
    commands.toggleAdvanced = [this] {
        m_settings.setBool(SettingsKeys::advancedMode,
                           !m_settings.boolValue(SettingsKeys::advancedMode));
    };
    if (ShellLinks::supportGroupPage(supportHost))
        commands.showSupportGroup = [this] { showSupportGroupAlert(); };
    if (const std::optional<QUrl> manual = ShellLinks::manual(site))
        commands.openManual = [manual] { openUrl(manual); };
    if (const std::optional<QUrl> mail = ShellLinks::contactMail(
            BuildInfo::contactAddress(), BuildInfo::version(), BuildInfo::buildText()))
        commands.contactAuthor = [mail] { openUrl(mail); };
    commands.checkForUpdates = [] {
        NotificationHub::instance().post(QStringLiteral("VarnelloCheckForUpdates"));
    };
    commands.showAbout = [this] { showAbout(); };
    m_menus = std::make_unique<ShellMenus>(
        m_window->menuBar(), std::move(commands),
        ShellLinks::supportGroupItemTitle(
            supportHost.isEmpty() ? QStringLiteral("the support group") : supportHost));
    connect(m_hostState.get(), &MainWindowHostState::viewStateChanged, this,
            &VarnelloApp::refreshMenus);
    connect(&m_settings, &AppSettingsStore::valueChanged, this, [this](const QString &key) {
        if (key == SettingsKeys::advancedMode.name)
            refreshMenus();
    });
    refreshMenus();
}

void VarnelloApp::refreshMenus()
{
    m_menus->update({m_hostState->mainViewPresetState(), m_hostState->isTableTabSelected(),
                     m_settings.boolValue(SettingsKeys::advancedMode)});
}

void VarnelloApp::show()
{
    // Every preset restores the position; only a custom layout owns its size, the others size
    // the window themselves.
    const bool custom =
        m_settings.string(SettingsKeys::DXSpotTableViewPreset) == QLatin1String("custom");
    m_frameKeeper->restoreMainWindowFrame(m_window.get(), custom);
    m_window->show();
}

void VarnelloApp::raiseMainWindow()
{
    qCInfo(launchDiag, "raise requested by another copy");
    if (!m_window->isVisible())
        show();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->raise();
    // A sheet over the window comes forward with it and takes the focus, which the window itself
    // could not use until the sheet is answered.
    QWidget *front = modalfocus::blockerOf(m_window->windowHandle());
    if (!front)
        front = m_window.get();
    front->raise();
    front->activateWindow();
}

void VarnelloApp::endSession()
{
    if (std::exchange(m_ending, true))
        return;
    // A sheet, alert or dialog goes away unanswered: answering acts (an unsupported node's
    // Continue restores the default node), and the answer is the operator's to give, not the
    // quit's. Hidden, it refuses no close, and a loop of its own ends.
    QStringList putAway;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->isVisible() && widget->isModal()) {
            const QString name = widget->objectName();
            putAway.append(name.isEmpty() ? QString::fromLatin1(widget->metaObject()->className())
                                          : name);
            widget->hide();
        }
    }
    qCInfo(launchDiag, "the program ends%s%s", putAway.isEmpty() ? "" : "; put away unanswered: ",
           qUtf8Printable(putAway.join(QStringLiteral(", "))));
    // The main window's frame is not kept while a sheet covers it: it is taken now, also when
    // that window has closed already (the sheet's close closes it).
    m_frameKeeper->saveMainWindowFrame(m_window.get());
    // The windows close, which ends an edit in the Settings window; the program then ends even if
    // one of them refused.
    QApplication::closeAllWindows();
    QCoreApplication::exit(0);
}

bool VarnelloApp::eventFilter(QObject *watched, QEvent *event)
{
    if (!m_painted && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget *>(watched)->window() == m_window.get()) {
        m_painted = true;
        // For the start-up benchmark (tools/bench-startup.sh).
        qApp->removeEventFilter(this);
        qCInfo(launchDiag, "main window first paint at %lld ms after the program started",
               msSinceProgramStart());
    }
    if (watched == m_window.get()) {
        if (event->type() == QEvent::Show && !m_shown) {
            m_shown = true;
            m_hostState->runStartupTask();
        } else if (event->type() == QEvent::Close) {
            // Closing the main window ends the program, also while the Settings window is open.
            QTimer::singleShot(0, this, &VarnelloApp::endSession);
        }
    }
    return QObject::eventFilter(watched, event);
}

void VarnelloApp::checkFrameAfterStart()
{
    // The program makes its one window itself, so no stand-in window is needed: the shown
    // window's frame is saved once, and a window nobody showed is shown now (its frame is then
    // saved as the window manager places it).
    if (m_window->isVisible())
        m_frameKeeper->saveMainWindowFrame(m_window.get());
    else
        show();
}

SettingsWindow &VarnelloApp::settingsWindow()
{
    // Built on first use, hidden; its frame is restored before it is first shown, so that it
    // opens where it was left.
    if (!m_settingsWindow) {
        m_settingsWindow = std::make_unique<SettingsWindow>(*m_dataFiles, *m_cluster);
        m_settingsWindowController =
            std::make_unique<SettingsWindowController>(m_settingsWindow.get(), m_settings);
    }
    return *m_settingsWindow;
}

void VarnelloApp::openSettings()
{
    settingsWindow();
    m_settingsWindowController->showSettingsWindow();
}

void VarnelloApp::showSupportGroupAlert()
{
    const QString host = BuildInfo::supportGroupHost();
    SettingsAlert alert{QMessageBox::Information,
                        QStringLiteral("Varnello Help"),
                        QStringLiteral("Support for Varnello is given through the Varnello "
                                       "support group on %1.")
                            .arg(host),
                        {{QStringLiteral("Open Support Group"), QMessageBox::AcceptRole},
                         {QStringLiteral("Cancel"), QMessageBox::RejectRole}}};
    m_alerts->present(nullptr, alert, [host](int button) {
        if (button == 0)
            openUrl(ShellLinks::supportGroupPage(host));
    });
}

void VarnelloApp::showAbout()
{
    QString links;
    for (const std::optional<QUrl> &url :
         {ShellLinks::productPage(BuildInfo::makerSite()),
          ShellLinks::supportGroupPage(BuildInfo::supportGroupHost())}) {
        if (!url)
            continue;
        const QString address = url->toString().toHtmlEscaped();
        links += QStringLiteral("<p><a href=\"%1\">%1</a></p>").arg(address);
    }
    QMessageBox::about(m_window.get(), QStringLiteral("About Varnello"),
                       QStringLiteral("<h3>Varnello</h3><p>Version %1 (build %2)</p>%3")
                           .arg(BuildInfo::version().toHtmlEscaped(),
                                BuildInfo::buildText().value_or(QStringLiteral("Unknown")), links));
}

} // namespace varnello
