#pragma once

#include "CTYFileManager.h"
#include "MainViewPreset.h"

#include <QObject>
#include <memory>
#include <optional>

namespace varnello {

class ActivationRequestEcho;
class AppSettingsStore;
class BlockedWindowKeys;
class ClusterConnection;
class ContentView;
class CTYShellDataFiles;
class ClusterStartupConnection;
class FactoryReset;
class FileManagerReveal;
class MainWindow;
class MainWindowFrameKeeper;
class MainWindowHostState;
class MessageBoxAlertPresenter;
class SettingsWindow;
class SettingsWindowController;
class ShellMenus;
class UpdateChecker;
class UsageTracker;
class VarnelloStartupCoordinator;
class WindowManagerClose;

// The program: builds every long-lived object in a fixed order, the main window around them, and
// runs the start-up work. One per process, on the main thread, after the QApplication.
class VarnelloApp final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VarnelloApp)

public:
    struct Options {
        // Where the data files come from; tests point them at a local stub.
        std::optional<CTYFileManager::Dependencies> dataFiles;
    };

    explicit VarnelloApp(Options options = {}, QObject *parent = nullptr);
    ~VarnelloApp() override;

    // Restores the saved frame and shows the main window.
    void show();
    // Shows the Settings window.
    void openSettings();
    // Brings the main window to the front (un-minimised), as a second start of the program asks,
    // with the focus on the sheet or alert over it, if one is up.
    void raiseMainWindow();
    // Ends the program, at Quit, the main window's close or the end of the desktop session:
    // nothing open may refuse, and a sheet, alert or dialog goes away unanswered.
    void endSession();

    CTYFileManager &dataFiles() { return *m_dataFiles; }
    ClusterConnection &cluster() { return *m_cluster; }
    ContentView &view() { return *m_view; }
    MainWindow &window() { return *m_window; }
    SettingsWindow &settingsWindow(); // built on first use
    VarnelloStartupCoordinator &coordinator() { return *m_coordinator; }
    MainWindowHostState &hostState() { return *m_hostState; }
    ShellMenus &menus() { return *m_menus; }
    WindowManagerClose &windowManagerClose() { return *m_windowManagerClose; }

    // How long after the start the main window's frame is saved once (and the window shown if it
    // is not yet).
    static constexpr int frameCheckDelayMs = 750;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMainWindow();
    void buildMenus();
    void refreshMenus();
    void showAbout();
    void showSupportGroupAlert();
    void checkFrameAfterStart();

    AppSettingsStore &m_settings;
    MainViewPresetState m_initialPreset;
    std::unique_ptr<MessageBoxAlertPresenter> m_alerts;
    std::unique_ptr<CTYFileManager> m_dataFiles;
    std::unique_ptr<ClusterConnection> m_cluster;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<SettingsWindowController> m_settingsWindowController;
    std::unique_ptr<FileManagerReveal> m_reveal;
    std::unique_ptr<UpdateChecker> m_updateChecker;
    std::unique_ptr<UsageTracker> m_usageTracker;
    std::unique_ptr<CTYShellDataFiles> m_shellDataFiles;
    std::unique_ptr<ClusterStartupConnection> m_startupConnection;
    std::unique_ptr<VarnelloStartupCoordinator> m_coordinator;
    std::unique_ptr<MainWindowFrameKeeper> m_frameKeeper;
    std::unique_ptr<MainWindowHostState> m_hostState;
    std::unique_ptr<FactoryReset> m_factoryReset;
    std::unique_ptr<ContentView> m_view;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<ShellMenus> m_menus;
    std::unique_ptr<WindowManagerClose> m_windowManagerClose;
    std::unique_ptr<BlockedWindowKeys> m_blockedWindowKeys;
    std::unique_ptr<ActivationRequestEcho> m_activationEcho;
    bool m_shown = false;
    bool m_ending = false;
    bool m_painted = false;
};

} // namespace varnello
