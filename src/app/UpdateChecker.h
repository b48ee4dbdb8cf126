#pragma once

#include "HttpClient.h"
#include "UpdateVersionFile.h"

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace varnello {

class AppSettingsStore;
class Clock;
class SettingsAlertPresenter;
class UpdateDownloadFile;

// Looks for a newer release on the update site, on the operator's schedule and on request, and
// downloads the release tarball into the Downloads folder when asked. Everything it tells the user
// is a shell alert; checks the user did not ask for speak only when there is a newer release.
//
// The download is checked against the version file's sha256 while it streams, written under a
// temporary name and renamed only when the hash matches. It is never unpacked or run.
class UpdateChecker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)

public:
    struct Timing {
        std::chrono::milliseconds firstCheckDelay{std::chrono::seconds(4)};
        std::chrono::milliseconds dueTestInterval{std::chrono::hours(1)};
        std::chrono::milliseconds versionFileTimeout{std::chrono::seconds(15)};
        std::chrono::milliseconds downloadTimeout{std::chrono::seconds(60)};
    };

    struct Setup {
        HttpClient *http = nullptr;
        AppSettingsStore *settings = nullptr;
        const Clock *clock = nullptr;
        SettingsAlertPresenter *alerts = nullptr; // application-modal alerts
        QUrl updateSite;                          // empty: this build has no update server
        QString tarballPath; // below the site, e.g. "varnello/varnello-linux-x86_64.tar.gz"
        std::optional<qint64> localBuild;
        std::optional<QString> localVersion;
        // The Downloads folder, or nothing when the desktop names none.
        std::function<std::optional<QString>()> downloadsFolder;
        std::function<void(const QString &filePath)> showInFolder;
        std::function<void()> quitApplication;
        qint64 maximumDownloadBytes = qint64(512) * 1024 * 1024;
        Timing timing{};
    };

    static constexpr qint64 maximumVersionFileBytes = 64 * 1024;
    static constexpr double dailyInterval = 86400;
    static constexpr double weeklyInterval = 604800;

    explicit UpdateChecker(Setup setup, QObject *parent = nullptr);
    ~UpdateChecker() override;

    // Starts the schedule: a check shortly after start unless checks are disabled, then an hourly
    // due test. A second start does nothing.
    void runUpdateSchedule();
    void stopUpdateSchedule();

    // A user-initiated check reports every outcome; a scheduled one only a newer release.
    void checkForUpdates(bool userInitiated);

    // Ignored while a download runs.
    void downloadUpdate(const VersionInfo &info);

    void setAlertPresenter(SettingsAlertPresenter *alerts) { m_setup.alerts = alerts; }

    bool isChecking() const { return m_isChecking; }
    bool isDownloading() const { return m_isDownloading; }
    bool isMonitoring() const { return m_isMonitoring; }

    // Whether the hourly turn should check, given the stored frequency and the time of the last
    // successful check (seconds since 1970).
    static bool isCheckDue(const QString &frequency, std::optional<double> lastSuccessfulCheck,
                           double now);

    // The local file name of the tarball ("varnello-linux-x86_64.tar.gz"), or empty when the path
    // names no plain file.
    static QString tarballFileName(const QString &tarballPath);

    // Texts of the alerts.
    static QString availableTitle(const VersionInfo &info);
    static QString availableText(const VersionInfo &info);
    static QString upToDateText(const std::optional<QString> &version, qint64 build);
    static QString downloadedTitle(const QString &version);
    static QString downloadedText(const QString &fileName);

Q_SIGNALS:
    // Emitted when a check or a download has ended, its alert closed; tests wait on them.
    void checkFinished();
    void downloadFinished();

private:
    void runScheduledTurn();
    void finishCheck();
    void onVersionFile(const HttpResult &result, bool userInitiated);
    struct Button {
        QString text;
        QMessageBox::ButtonRole role;
    };
    // Shows an alert; `answered` gets the index of the chosen button, or -1 when the alert went
    // away without one.
    void showAlert(const QString &title, const QString &text, const QList<Button> &buttons,
                   std::function<void(int)> answered);
    void showMessage(const QString &title, const QString &text, std::function<void()> closed);
    void showUpdateAvailable(const VersionInfo &info);
    void failDownload(const QString &sentence);
    void onDownloadFinished(const HttpResult &result);
    void showUpdateDownloaded(const QString &version, const QString &filePath);
    void finishDownload();
    void abandonDownload();
    QUrl siteUrl(const QString &path) const;
    double nowSeconds() const;

    Setup m_setup;
    bool m_isChecking = false;
    bool m_isDownloading = false;
    bool m_isMonitoring = false;
    QTimer m_firstCheck;
    QTimer m_dueTest;
    std::unique_ptr<UpdateDownloadFile> m_download;
    HttpClient::RequestId m_downloadRequest = 0;
    QString m_downloadVersion;
};

} // namespace varnello
