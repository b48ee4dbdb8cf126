#pragma once

#include <QUrl>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QCheckBox;
class QPushButton;
class QScrollArea;
class QStackedWidget;
class QTabBar;

namespace varnello {

class AppSettingsStore;
class CTYFileManager;
class ClusterConnection;
class ClusterNodesSettingsSection;
class DataFilesSource;
class LoginAndFeedsSettingsSection;
class LoginItem;
class SettingsAlertPresenter;
class SettingsConnectionLink;

// What the Settings window works with. Tests hand in fakes; SettingsView's second constructor
// builds the real ones around the program's data-file manager and connection.
struct SettingsViewServices {
    AppSettingsStore *settings = nullptr;         // null: AppSettingsStore::shared()
    SettingsConnectionLink *connection = nullptr; // required
    DataFilesSource *dataFiles = nullptr;         // required
    LoginItem *loginItem = nullptr;               // required
    SettingsAlertPresenter *alerts = nullptr;     // null: window-modal message boxes
    std::function<bool(const QUrl &)> openUrl;    // null: UrlOpener::shared()
};

// The whole content of the Settings window: the "Standard" and "Club Log" tabs, the scrolling
// sections and the "OK" button. Built once and kept for the life of the program; every value
// lives in the settings store.
class SettingsView final : public QWidget {
    Q_OBJECT

public:
    enum class SettingsTab { standard, clubLog };
    static QString label(SettingsTab tab);
    static std::optional<SettingsTab> settingsTab(const QString &label);

    explicit SettingsView(SettingsViewServices services, QWidget *parent = nullptr);
    SettingsView(CTYFileManager &ctyFileManager, ClusterConnection &cluster,
                 QWidget *parent = nullptr);
    ~SettingsView() override;

    SettingsTab selectedTab() const;
    void selectTab(SettingsTab tab);

    // The start-at-login checkbox's action: changes the login item and shows what the system
    // then reports, or puts the old state back and raises "Unable to change login item".
    void setStartAtLogin(bool enabled);
    // Copies the system's login-item state into the setting.
    void refreshLoginItemState();

    QPushButton *okButton() const { return m_okButton; }

Q_SIGNALS:
    // "OK" or Escape: the host hides the window.
    void dismissRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    struct Owned;
    SettingsView(std::unique_ptr<Owned> owned, QWidget *parent);
    void build();
    QWidget *buildStandardTab();
    QWidget *buildClubLogTab();
    void standardTabAppeared();

    std::unique_ptr<Owned> m_owned;
    SettingsViewServices m_services;
    AppSettingsStore &m_settings;
    QTabBar *m_tabs = nullptr;
    QStackedWidget *m_pages = nullptr;
    QScrollArea *m_scroll = nullptr;
    QPushButton *m_okButton = nullptr;
    ClusterNodesSettingsSection *m_nodes = nullptr;
    LoginAndFeedsSettingsSection *m_loginAndFeeds = nullptr;
    std::optional<QString> m_loginItemErrorMessage;
};

} // namespace varnello
