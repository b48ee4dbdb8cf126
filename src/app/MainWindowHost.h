#pragma once

#include <memory>

namespace varnello {

class CTYFileManager;
class ClusterConnection;
class ContentView;
class MainWindow;

// Builds the program's long-lived objects around the main window: the data files, the one cluster
// connection, the window's state and the window itself, and connects at start when the settings
// ask for it. Destroyed in the reverse order.
class MainWindowHost final {
public:
    MainWindowHost();
    ~MainWindowHost();
    MainWindowHost(const MainWindowHost &) = delete;
    MainWindowHost &operator=(const MainWindowHost &) = delete;

    CTYFileManager &dataFiles() { return *m_dataFiles; }
    ClusterConnection &cluster() { return *m_cluster; }
    ContentView &view() { return *m_view; }
    MainWindow &window() { return *m_window; }

    void show();

private:
    void scheduleStartupConnect();

    std::unique_ptr<CTYFileManager> m_dataFiles;
    std::unique_ptr<ClusterConnection> m_cluster;
    std::unique_ptr<ContentView> m_view;
    std::unique_ptr<MainWindow> m_window;
};

} // namespace varnello
