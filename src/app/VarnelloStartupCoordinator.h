#pragma once

#include <QDate>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>

namespace varnello {

class AppSettingsStore;
class ClusterConnection;
class ShellDataFiles;

// What the coordinator uses of the cluster connection.
class StartupConnection {
public:
    virtual ~StartupConnection() = default;
    virtual bool isConnected() const = 0;
    virtual bool isConnectionSequenceActive() const = 0;
    // Marks a connection sequence as under way and connects to the primary node.
    virtual void connectToPrimary(const QString &host, quint16 port, const QString &callsign,
                                  const QString &password, bool allowFailover) = 0;
};

// The program's connection behind that interface.
class ClusterStartupConnection final : public StartupConnection {
public:
    explicit ClusterStartupConnection(ClusterConnection &cluster) : m_cluster(cluster) {}
    bool isConnected() const override;
    bool isConnectionSequenceActive() const override;
    void connectToPrimary(const QString &host, quint16 port, const QString &callsign,
                          const QString &password, bool allowFailover) override;

private:
    ClusterConnection &m_cluster;
};

// The node the settings ask to connect to at start, when they ask for one and name it fully.
struct StartupConnectRequest {
    QString host;     // trimmed
    quint16 port = 0; // decimal, optional "+", 0 to 65535
    QString callsign; // trimmed
    QString password; // as stored
    bool operator==(const StartupConnectRequest &) const = default;
};

// The work of the program's start: the automatic connection, the update and usage schedules
// 2 s later, the hourly look at the country-file feed, and the one-time check of the data files'
// ages that the main window asks for.
class VarnelloStartupCoordinator final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VarnelloStartupCoordinator)

public:
    struct FileAgeState {
        bool showStaleLoTW = false;
        bool showStaleCountry = false; // never together with showStaleLoTW
        bool operator==(const FileAgeState &) const = default;
    };

    struct Timing {
        std::chrono::milliseconds schedulesDelay{std::chrono::seconds(2)};
        std::chrono::milliseconds feedCheckInterval{std::chrono::hours(1)};
        std::chrono::milliseconds afterLoTWReload{std::chrono::seconds(5)};
        std::chrono::milliseconds afterCountryCheck{std::chrono::seconds(2)};
    };

    struct Setup {
        ShellDataFiles *dataFiles = nullptr;
        StartupConnection *cluster = nullptr;
        AppSettingsStore *settings = nullptr;
        std::function<void()> startUpdateSchedule;
        std::function<void()> startUsagePingSchedule;
        Timing timing{};
    };

    static constexpr QLatin1StringView countryFileUpdateAvailableNotification{
        "VarnelloCountryFileUpdateAvailable"};

    explicit VarnelloStartupCoordinator(Setup setup, QObject *parent = nullptr);

    // Runs once per process; later calls do nothing.
    void start();
    bool hasStarted() const { return m_hasStarted; }

    // The answer is computed once and then kept; `done` runs on a later turn or, when kept, at
    // once. Calls made before the first answer each run the whole check.
    using FileAgeDone = std::function<void(FileAgeState)>;
    void fileAgeState(FileAgeDone done);
    std::optional<FileAgeState> cachedFileAgeState() const { return m_cachedFileAgeState; }

    // The country release the operator turned down in this run; the hourly check does not offer
    // it again.
    std::optional<QDate> declinedCountryReleaseDate() const { return m_declinedCountryReleaseDate; }
    void setDeclinedCountryReleaseDate(std::optional<QDate> date)
    {
        m_declinedCountryReleaseDate = date;
    }

    // The automatic connection the settings ask for, if any.
    static std::optional<StartupConnectRequest>
    startupConnectRequest(const AppSettingsStore &settings);

private:
    void connectOnStartupIfEnabled();
    void checkCountryFeed();
    void checkCountryFileAge(const FileAgeDone &done);
    void checkLoTWFileAge(const FileAgeDone &done, bool staleCountry);

    Setup m_setup;
    bool m_hasStarted = false;
    std::optional<FileAgeState> m_cachedFileAgeState;
    std::optional<QDate> m_declinedCountryReleaseDate;
    QTimer m_feedCheck;
};

} // namespace varnello
