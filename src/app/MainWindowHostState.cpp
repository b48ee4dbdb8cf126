#include "MainWindowHostState.h"

#include "LoTWActivityLookup.h"
#include "NotificationHub.h"
#include "SettingsAlertPresenter.h"
#include "ShellDataFiles.h"
#include "VarnelloStartupCoordinator.h"

#include <QPointer>
#include <QTimer>

namespace varnello {

MainWindowHostState::MainWindowHostState(Setup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup)), m_presetState(m_setup.initialPreset)
{
}

void MainWindowHostState::runStartupTask()
{
    if (m_hasCheckedFileAges)
        return;
    m_hasCheckedFileAges = true;
    m_setup.coordinator->fileAgeState(
        [guard = QPointer(this)](VarnelloStartupCoordinator::FileAgeState state) {
            if (!guard)
                return;
            guard->m_showStaleLoTWAlert = state.showStaleLoTW;
            guard->m_showStaleCountryAlert = state.showStaleCountry;
            guard->presentWantedAlert();
            QTimer::singleShot(guard->m_setup.initialRefreshDelay, guard, [] {
                NotificationHub::instance().post(QStringLiteral("VarnelloInitialNewSlotRefresh"));
            });
        });
}

void MainWindowHostState::handleNotification(const QString &name, const QVariantMap &userInfo)
{
    if (name == QLatin1String("VarnelloCheckForUpdates")) {
        if (m_setup.checkForUpdates)
            m_setup.checkForUpdates();
    } else if (name == QLatin1String("varnelloMainTabChanged")) {
        const QVariant isTable = userInfo.value(QStringLiteral("isTable"));
        if (isTable.typeId() == QMetaType::Bool && isTable.toBool() != m_isTableTabSelected) {
            m_isTableTabSelected = isTable.toBool();
            Q_EMIT viewStateChanged();
        }
    } else if (name == QLatin1String("varnelloViewPresetStateChanged")) {
        setPresetState(presetStateFromUserInfo(userInfo));
    } else if (name == VarnelloStartupCoordinator::countryFileUpdateAvailableNotification) {
        m_showStaleCountryAlert = true;
        presentWantedAlert();
    }
}

void MainWindowHostState::setPresetState(MainViewPresetState state)
{
    if (state == m_presetState)
        return;
    m_presetState = state;
    Q_EMIT viewStateChanged();
}

void MainWindowHostState::selectDefaultView(std::optional<QRect> keyWindowFrame)
{
    if (m_presetState == MainViewPresetState::defaultView)
        return;
    setPresetState(MainViewPresetState::defaultView);
    QVariantMap userInfo;
    if (keyWindowFrame) {
        userInfo.insert(QStringLiteral("fallbackTopEdge"), double(keyWindowFrame->top()));
        userInfo.insert(QStringLiteral("fallbackOriginX"), double(keyWindowFrame->left()));
    }
    NotificationHub::instance().post(QStringLiteral("varnelloApplyDefaultView"), userInfo);
}

void MainWindowHostState::selectSmallView()
{
    if (m_presetState == MainViewPresetState::smallView)
        return;
    setPresetState(MainViewPresetState::smallView);
    NotificationHub::instance().post(QStringLiteral("varnelloApplySmallView"));
}

std::optional<MainWindowHostState::AlertKind> MainWindowHostState::wantedAlert() const
{
    if (m_showStaleLoTWAlert)
        return AlertKind::staleLoTW;
    if (m_showStaleCountryAlert)
        return AlertKind::staleCountry;
    if (m_lotwUpdateError)
        return AlertKind::lotwUpdateFailed;
    if (m_countryUpdateError)
        return AlertKind::countryUpdateFailed;
    return std::nullopt;
}

QString MainWindowHostState::alertTitle(AlertKind kind) const
{
    switch (kind) {
    case AlertKind::staleLoTW:
        return QStringLiteral("A new LoTW activity file is available");
    case AlertKind::staleCountry:
        return QStringLiteral("A new country file is available");
    case AlertKind::lotwUpdateFailed:
        return QStringLiteral("LoTW activity update failed");
    case AlertKind::countryUpdateFailed:
        break;
    }
    return QStringLiteral("Country file update failed");
}

QString MainWindowHostState::alertMessage(AlertKind kind) const
{
    const ShellDataFiles &files = *m_setup.dataFiles;
    auto date = [this](const QDate &day) {
        return formatLongDateWithoutWeekday(day, m_setup.locale);
    };
    switch (kind) {
    case AlertKind::staleLoTW: {
        const std::optional<QDate> installed = files.lotwLatestActivityDate();
        const std::optional<QDate> latest = files.latestLoTWActivityDate();
        if (!installed || !latest)
            return QStringLiteral(
                "A new LoTW activity file is available. Would you like to update it?");
        return QStringLiteral("Your current LoTW activity file has a most recent date of %1. The "
                              "latest file has a most recent date of %2. Would you like to update "
                              "it?")
            .arg(date(*installed), date(*latest));
    }
    case AlertKind::staleCountry: {
        const std::optional<QDate> installed = files.countryReleaseDate();
        const std::optional<QDate> latest = files.latestCountryReleaseDate();
        if (!installed || !latest)
            return QStringLiteral(
                "A newer country file is available. Would you like to update it?");
        return QStringLiteral("The installed country file was released on %1. A newer version "
                              "dated %2 is available. Would you like to update it?")
            .arg(date(*installed), date(*latest));
    }
    case AlertKind::lotwUpdateFailed:
        if (m_lotwUpdateError && !m_lotwUpdateError->isEmpty())
            return *m_lotwUpdateError;
        return QStringLiteral("The LoTW activity file could not be updated.");
    case AlertKind::countryUpdateFailed:
        break;
    }
    if (m_countryUpdateError && !m_countryUpdateError->isEmpty())
        return *m_countryUpdateError;
    return QStringLiteral("The country file could not be updated.");
}

void MainWindowHostState::presentWantedAlert()
{
    const std::optional<AlertKind> kind = wantedAlert();
    if (m_shownAlert || !kind || !m_setup.alerts)
        return;
    m_shownAlert = kind;
    const bool offer = *kind == AlertKind::staleLoTW || *kind == AlertKind::staleCountry;
    SettingsAlert alert{QMessageBox::Information, alertTitle(*kind), alertMessage(*kind), {}};
    if (offer)
        alert.buttons = {{QStringLiteral("Update"), QMessageBox::AcceptRole},
                         {QStringLiteral("Cancel"), QMessageBox::RejectRole}};
    else
        alert.buttons = {{QStringLiteral("OK"), QMessageBox::AcceptRole}};
    m_setup.alerts->present(m_alertWindow, alert,
                            [guard = QPointer(this), kind = *kind](int button) {
                                if (guard)
                                    guard->answerAlert(kind, button);
                            });
}

void MainWindowHostState::answerAlert(AlertKind kind, int button)
{
    m_shownAlert.reset();
    switch (kind) {
    case AlertKind::staleLoTW:
        m_showStaleLoTWAlert = false;
        button == 0 ? installLoTWActivityUpdate() : skipLoTWActivityUpdate();
        break;
    case AlertKind::staleCountry:
        m_showStaleCountryAlert = false;
        button == 0 ? installCountryFileUpdate() : declineCountryFileUpdate();
        break;
    case AlertKind::lotwUpdateFailed:
        m_lotwUpdateError.reset();
        break;
    case AlertKind::countryUpdateFailed:
        m_countryUpdateError.reset();
        break;
    }
    presentWantedAlert();
}

void MainWindowHostState::installLoTWActivityUpdate()
{
    m_setup.dataFiles->updateLoTWActivity(
        [guard = QPointer(this)](const std::optional<QString> &failure) {
            if (!guard)
                return;
            if (failure)
                guard->m_lotwUpdateError = *failure;
            else
                guard->m_showStaleCountryAlert =
                    guard->m_setup.dataFiles->isCountryFileUpdateAvailable();
            guard->presentWantedAlert();
        });
}

void MainWindowHostState::skipLoTWActivityUpdate()
{
    m_showStaleCountryAlert = m_setup.dataFiles->isCountryFileUpdateAvailable();
}

void MainWindowHostState::installCountryFileUpdate()
{
    m_setup.dataFiles->updateCountryFile(
        [guard = QPointer(this)](const std::optional<QString> &failure) {
            if (!guard)
                return;
            if (failure)
                guard->m_countryUpdateError = *failure;
            else
                guard->m_setup.coordinator->setDeclinedCountryReleaseDate(std::nullopt);
            guard->presentWantedAlert();
        });
}

void MainWindowHostState::declineCountryFileUpdate()
{
    m_setup.coordinator->setDeclinedCountryReleaseDate(
        m_setup.dataFiles->latestCountryReleaseDate());
}

} // namespace varnello
