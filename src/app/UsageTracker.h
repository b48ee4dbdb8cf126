#pragma once

#include "HttpClient.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <chrono>

namespace varnello {

class AppSettingsStore;
class Clock;

// Tells the maker's statistics endpoint, anonymously, that an installation is in use: one GET
// with the installation's random identifier, the processor family, the machine's model name and
// the program's version and build. One ping shortly after every start, then at most one a day.
// Nothing is ever shown or logged; a build without an endpoint sends nothing.
class UsageTracker final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UsageTracker)

public:
    struct Timing {
        std::chrono::milliseconds firstPingDelay{5250};
        std::chrono::milliseconds interval{std::chrono::hours(1)};
        std::chrono::milliseconds timeout{std::chrono::seconds(15)};
    };

    struct Setup {
        HttpClient *http = nullptr;
        AppSettingsStore *settings = nullptr;
        const Clock *clock = nullptr;
        QUrl endpoint; // empty: this build sends nothing
        QString version;
        QString build;
        QString machine;                            // uname's machine field
        QString sysfsRoot = QStringLiteral("/sys"); // where the model name is read
        Timing timing{};
    };

    static constexpr double minimumSecondsBetweenPings = 86400;

    explicit UsageTracker(Setup setup, QObject *parent = nullptr);

    // A forced ping shortly after the start, then an unforced one every hour. A second start does
    // nothing.
    void runUsagePingSchedule();
    void stopUsagePingSchedule();

    // `force` skips the once-a-day test.
    void sendUsagePing(bool force);

    // The stored identifier when it is a UUID, else a new lower-case one, stored first.
    QString installationIdentifier();

    // The five query items, in order.
    QList<QPair<QString, QString>> queryItems(const QString &identifier) const;

    bool isPinging() const { return m_isPinging; }
    bool isMonitoring() const { return m_isMonitoring; }

Q_SIGNALS:
    // A ping ended: answered, failed or not sent.
    void pingFinished();

private:
    void finishPing();

    Setup m_setup;
    bool m_isPinging = false;
    bool m_isMonitoring = false;
    QTimer m_firstPing;
    QTimer m_hourly;
};

} // namespace varnello
