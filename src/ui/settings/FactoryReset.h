#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace varnello {

class AppSettingsStore;
class CTYFileManager;
class LoginItem;
class SettingsAlertPresenter;

// "Factory Reset…": after a warning, deletes the downloaded data files and the login item,
// clears the settings (all but installationID, and no write lands afterwards) with the kept
// copies of damaged settings files, and quits. A failed deletion or settings write stops it with
// "Factory Reset Failed", the settings untouched and the program running.
class FactoryReset final : public QObject {
    Q_OBJECT

public:
    struct Services {
        AppSettingsStore *settings = nullptr; // null: AppSettingsStore::shared()
        // Deletes the downloaded country file and LoTW list; the failure's sentence, if any.
        std::function<std::optional<QString>()> removeDownloadedFiles;
        LoginItem *loginItem = nullptr;           // null: the autostart entry
        SettingsAlertPresenter *alerts = nullptr; // null: message boxes
        std::function<void()> quit;               // null: the application quits
    };

    explicit FactoryReset(Services services, QObject *parent = nullptr);
    // The program's own data-file manager and autostart entry.
    FactoryReset(CTYFileManager &ctyFileManager, QObject *parent = nullptr);
    ~FactoryReset() override;

    // Shows the warning over `window` (none: application-modal) and resets on confirmation.
    void confirmFactoryReset(QWidget *window = nullptr);

private:
    void reset();
    void fail(const QString &message);

    Services m_services;
    std::unique_ptr<SettingsAlertPresenter> m_ownedAlerts;
    std::unique_ptr<LoginItem> m_ownedLoginItem;
    QPointer<QWidget> m_window;
};

} // namespace varnello
