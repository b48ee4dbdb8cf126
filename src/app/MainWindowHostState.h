#pragma once

#include "MainViewPreset.h"

#include <QLocale>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <QWidget>
#include <chrono>
#include <functional>
#include <optional>

namespace varnello {

class SettingsAlertPresenter;
class ShellDataFiles;
class VarnelloStartupCoordinator;

// The shell's state around the main window, shared by the window and the menus for the whole
// run: the one-time start-up task with its data-file offers, the tab and preset the View menu
// follows, the observers of the shell's notifications, and the four data-file alerts, shown one
// at a time through the presenter.
class MainWindowHostState final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindowHostState)

public:
    enum class AlertKind { staleLoTW, staleCountry, lotwUpdateFailed, countryUpdateFailed };

    struct Setup {
        ShellDataFiles *dataFiles = nullptr;
        VarnelloStartupCoordinator *coordinator = nullptr;
        SettingsAlertPresenter *alerts = nullptr;
        std::function<void()> checkForUpdates; // a user-initiated update check
        MainViewPresetState initialPreset = MainViewPresetState::defaultView;
        QLocale locale{};
        std::chrono::milliseconds initialRefreshDelay{std::chrono::seconds(1)};
    };

    explicit MainWindowHostState(Setup setup, QObject *parent = nullptr);

    // The window the data-file alerts belong to (window-modal); none: application-modal.
    void setAlertWindow(QWidget *window) { m_alertWindow = window; }

    // The data-file age check, its offers and, 1 s later, the first New Slot refresh: once per
    // process, whatever calls it again.
    void runStartupTask();

    // The shell's observers: update checks, tab and preset changes, newer country files.
    void handleNotification(const QString &name, const QVariantMap &userInfo);

    // View menu: choosing the preset that is already on does nothing.
    void selectDefaultView(std::optional<QRect> keyWindowFrame);
    void selectSmallView();

    bool hasCheckedFileAges() const { return m_hasCheckedFileAges; }
    bool showStaleLoTWAlert() const { return m_showStaleLoTWAlert; }
    bool showStaleCountryAlert() const { return m_showStaleCountryAlert; }
    const std::optional<QString> &lotwUpdateError() const { return m_lotwUpdateError; }
    const std::optional<QString> &countryUpdateError() const { return m_countryUpdateError; }
    bool isTableTabSelected() const { return m_isTableTabSelected; }
    MainViewPresetState mainViewPresetState() const { return m_presetState; }

    // The alert the state asks for now, first of the four in the order of AlertKind.
    std::optional<AlertKind> wantedAlert() const;
    QString alertTitle(AlertKind kind) const;
    QString alertMessage(AlertKind kind) const;

Q_SIGNALS:
    // The tab or preset changed (the View menu follows them).
    void viewStateChanged();

private:
    void presentWantedAlert();
    void answerAlert(AlertKind kind, int button);
    void installLoTWActivityUpdate();
    void skipLoTWActivityUpdate();
    void installCountryFileUpdate();
    void declineCountryFileUpdate();
    void setPresetState(MainViewPresetState state);

    Setup m_setup;
    bool m_hasCheckedFileAges = false;
    bool m_showStaleLoTWAlert = false;
    bool m_showStaleCountryAlert = false;
    std::optional<QString> m_lotwUpdateError;
    std::optional<QString> m_countryUpdateError;
    bool m_isTableTabSelected = true;
    MainViewPresetState m_presetState;
    std::optional<AlertKind> m_shownAlert;
    QPointer<QWidget> m_alertWindow;
};

} // namespace varnello
