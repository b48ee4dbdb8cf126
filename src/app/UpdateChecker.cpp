#include "UpdateChecker.h"

#include "AppSettingsStore.h"
#include "Clock.h"
#include "SettingsAlertPresenter.h"
#include "ShellLinks.h"
#include "UpdateDownloadFile.h"

namespace varnello {

namespace {
const QString kVersionFilePath = QStringLiteral("varnello/version.txt");
const QString kUnableTitle = QStringLiteral("Unable to check for updates");
} // namespace

UpdateChecker::UpdateChecker(Setup setup, QObject *parent)
    : QObject(parent), m_setup(std::move(setup))
{
    m_firstCheck.setSingleShot(true);
    m_firstCheck.setTimerType(Qt::PreciseTimer);
    connect(&m_firstCheck, &QTimer::timeout, this, [this] { checkForUpdates(false); });
    m_dueTest.setTimerType(Qt::PreciseTimer);
    connect(&m_dueTest, &QTimer::timeout, this, &UpdateChecker::runScheduledTurn);
}

UpdateChecker::~UpdateChecker()
{
    abandonDownload();
}

void UpdateChecker::runUpdateSchedule()
{
    if (m_isMonitoring)
        return;
    m_isMonitoring = true;
    // The first check of every start ignores when the last one was made.
    if (m_setup.settings->string(SettingsKeys::updateCheckFrequency) != QLatin1String("disabled"))
        m_firstCheck.start(m_setup.timing.firstCheckDelay);
    m_dueTest.start(m_setup.timing.dueTestInterval);
}

void UpdateChecker::stopUpdateSchedule()
{
    m_firstCheck.stop();
    m_dueTest.stop();
    m_isMonitoring = false;
}

bool UpdateChecker::isCheckDue(const QString &frequency, std::optional<double> lastSuccessfulCheck,
                               double now)
{
    if (frequency == QLatin1String("disabled"))
        return false;
    const double interval = frequency == QLatin1String("weekly") ? weeklyInterval : dailyInterval;
    // A clock set back makes the elapsed time negative: not due until it passes the stored time.
    return !(lastSuccessfulCheck && *lastSuccessfulCheck > 0 &&
             now - *lastSuccessfulCheck < interval);
}

void UpdateChecker::runScheduledTurn()
{
    const QString frequency = m_setup.settings->string(SettingsKeys::updateCheckFrequency);
    const std::optional<double> last =
        m_setup.settings->doubleValue(SettingsKeys::lastSuccessfulUpdateCheck);
    if (isCheckDue(frequency, last, nowSeconds()))
        checkForUpdates(false);
}

double UpdateChecker::nowSeconds() const
{
    return double(m_setup.clock->now().toMSecsSinceEpoch()) / 1000.0;
}

QUrl UpdateChecker::siteUrl(const QString &path) const
{
    return ShellLinks::below(m_setup.updateSite, path).value_or(QUrl());
}

void UpdateChecker::checkForUpdates(bool userInitiated)
{
    if (m_isChecking) {
        if (userInitiated)
            showMessage(QStringLiteral("Update check already in progress"),
                        QStringLiteral("Varnello is already checking for a new version."), {});
        return;
    }
    m_isChecking = true;
    const QUrl url = siteUrl(kVersionFilePath);
    if (!url.isValid()) {
        if (userInitiated)
            showMessage(kUnableTitle, QStringLiteral("This build has no update server."),
                        [this] { finishCheck(); });
        else
            finishCheck();
        return;
    }
    const HttpRequest request{url, m_setup.timing.versionFileTimeout, maximumVersionFileBytes};
    m_setup.http->get(request, this, [this, userInitiated](const HttpResult &result) {
        onVersionFile(result, userInitiated);
    });
}

void UpdateChecker::onVersionFile(const HttpResult &result, bool userInitiated)
{
    auto fail = [&](const QString &sentence) {
        if (userInitiated)
            showMessage(kUnableTitle, sentence, [this] { finishCheck(); });
        else
            finishCheck(); // work the user did not ask for fails silently
    };
    if (result.isTransportFailure())
        return fail(result.errorMessage);
    if (result.status < 200 || result.status > 299)
        return fail(updateErrorSentence(UpdateError::invalidResponse));
    const auto decoded = decodeVersionFile(result.body);
    if (const auto *error = std::get_if<UpdateError>(&decoded))
        return fail(updateErrorSentence(*error));
    const VersionInfo &info = std::get<VersionInfo>(decoded);

    m_setup.settings->setDouble(SettingsKeys::lastSuccessfulUpdateCheck, nowSeconds());
    if (!m_setup.localBuild)
        return fail(updateErrorSentence(UpdateError::missingLocalBuild));
    if (*m_setup.localBuild >= info.build) {
        if (!userInitiated)
            return finishCheck();
        return showMessage(QStringLiteral("Varnello is up to date"),
                           upToDateText(m_setup.localVersion, *m_setup.localBuild),
                           [this] { finishCheck(); });
    }
    showUpdateAvailable(info);
}

void UpdateChecker::finishCheck()
{
    m_isChecking = false;
    Q_EMIT checkFinished();
}

void UpdateChecker::showAlert(const QString &title, const QString &text,
                              const QList<Button> &buttons, std::function<void(int)> answered)
{
    SettingsAlert alert{QMessageBox::Information, title, text, {}};
    for (const Button &button : buttons)
        alert.buttons.append({button.text, button.role});
    m_setup.alerts->present(nullptr, alert,
                            [guard = QPointer(this), answered = std::move(answered)](int index) {
                                if (guard && answered)
                                    answered(index);
                            });
}

void UpdateChecker::showMessage(const QString &title, const QString &text,
                                std::function<void()> closed)
{
    showAlert(title, text, {{QStringLiteral("OK"), QMessageBox::AcceptRole}},
              [closed = std::move(closed)](int) {
                  if (closed)
                      closed();
              });
}

void UpdateChecker::showUpdateAvailable(const VersionInfo &info)
{
    showAlert(availableTitle(info), availableText(info),
              {{QStringLiteral("Download"), QMessageBox::AcceptRole},
               {QStringLiteral("Later"), QMessageBox::RejectRole}},
              [this, info](int button) {
                  finishCheck();
                  if (button == 0)
                      downloadUpdate(info);
              });
}

QString UpdateChecker::availableTitle(const VersionInfo &info)
{
    return QStringLiteral("Varnello %1 (%2) is available")
        .arg(info.version, QString::number(info.build));
}

QString UpdateChecker::availableText(const VersionInfo &info)
{
    return info.note + QStringLiteral("\n\nWould you like to download it now?");
}

QString UpdateChecker::upToDateText(const std::optional<QString> &version, qint64 build)
{
    return QStringLiteral("You are using the latest version of Varnello (%1, build %2).")
        .arg(version.value_or(QStringLiteral("this version")), QString::number(build));
}

} // namespace varnello
