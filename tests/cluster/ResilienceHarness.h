#pragma once

// Shared set-up of the connection-resilience tests: a ClusterConnection on in-memory settings, a
// manual clock for the reconnect rate limit, hand-fired power events and scaled timers, plus a
// log of every console line with the time it appeared.

#include "AppSettingsStore.h"
#include "Clock.h"
#include "ClusterConnection.h"
#include "ClusterTestTiming.h"
#include "FakeClusterNode.h"
#include "PowerEvents.h"
#include "PublicAddressSource.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace varnello::test {

using namespace std::chrono_literals;

// Lets the timers of a scaled run play out for a while.
inline void settle(std::chrono::milliseconds time)
{
    QTest::qWait(int(time.count()));
}

// A node that answers the RBN status question with every field, so that the login play ends
// after one "stat/us".
inline void answerStatus(FakeClusterNode &node)
{
    node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No"),
                                              QStringLiteral("Want RBN Beacon : No")});
}

// Answers the public-address question at once with a fixed value (or nothing).
class FixedPublicAddress final : public PublicAddressSource {
public:
    std::optional<QString> answer;
    void fetchPublicIPv4Address(QObject *context, Completion done) override
    {
        QTimer::singleShot(0, context, [done = std::move(done), a = answer] { done(a); });
    }
};

struct ConsoleEntry {
    qint64 msecs;
    QString text;
};

class ResilienceHarness {
public:
    ManualClock clock;
    AppSettingsStore settings{std::nullopt};
    ManualPowerEvents power;
    FixedPublicAddress publicAddress;
    std::unique_ptr<ClusterConnection> conn;
    QElapsedTimer elapsed;
    QList<ConsoleEntry> console;
    QStringList statuses;
    // Every status text with the time it was set.
    QList<ConsoleEntry> statusLog;

    explicit ResilienceHarness(ClusterTiming timing = scaledTiming(),
                               QString defaultPrimaryHost = QStringLiteral("dx.invalid"),
                               PublicAddressSource *address = nullptr)
    {
        elapsed.start();
        settings.setString(QString(SettingsKeys::clusterCallsign.name), QStringLiteral("N0CALL"));
        settings.setString(QString(SettingsKeys::clusterPassword.name), QString());
        settings.setBool(QString(SettingsKeys::backupClusterEnabled.name), true);
        settings.setBool(QString(SettingsKeys::autoReconnectEnabled.name), true);
        ClusterConnectionEnvironment env;
        env.settings = &settings;
        env.clock = &clock;
        env.publicAddress = address ? address : &publicAddress;
        env.powerEvents = &power;
        env.timing = timing;
        env.defaultPrimaryHost = std::move(defaultPrimaryHost);
        conn = std::make_unique<ClusterConnection>(nullptr, env);
        QObject::connect(conn.get(), &ClusterConnection::linesChanged, conn.get(), [this] {
            const QList<ClusterLine> &lines = conn->lines();
            if (!lines.isEmpty() && (lastLineId.isNull() || lines.last().id != lastLineId)) {
                lastLineId = lines.last().id;
                console.append({elapsed.elapsed(), lines.last().text});
            }
        });
        QObject::connect(conn.get(), &ClusterConnection::statusTextChanged, conn.get(),
                         [this] {
                             statuses.append(conn->statusText());
                             statusLog.append({elapsed.elapsed(), conn->statusText()});
                         });
    }

    ~ResilienceHarness()
    {
        // Stop every timer before the nodes of the test go away.
        conn->disconnect();
        conn.reset();
    }

    void usePrimary(const FakeClusterNode &node)
    {
        settings.setString(QString(SettingsKeys::clusterHost.name), QStringLiteral("127.0.0.1"));
        settings.setString(QString(SettingsKeys::clusterPort.name), QString::number(node.port()));
    }
    void useBackup(const FakeClusterNode &node)
    {
        settings.setString(QString(SettingsKeys::backupClusterHost.name),
                           QStringLiteral("127.0.0.1"));
        settings.setString(QString(SettingsKeys::backupClusterPort.name),
                           QString::number(node.port()));
    }
    void setBool(const BoolSettingKey &key, bool value)
    {
        settings.setBool(QString(key.name), value);
    }

    // The main window's Connect command.
    void connectAsWindowDoes()
    {
        conn->setIsConnectionSequenceActive(true);
        conn->connect(settings.string(QString(SettingsKeys::clusterHost.name)),
                      settings.string(QString(SettingsKeys::clusterPort.name)).toUShort(),
                      settings.string(QString(SettingsKeys::clusterCallsign.name)),
                      settings.string(QString(SettingsKeys::clusterPassword.name)),
                      ClusterNodeRole::primary,
                      settings.boolValue(QString(SettingsKeys::backupClusterEnabled.name), true),
                      true, ConnectionOrigin::manual);
    }

    int consoleCount(const QString &text) const
    {
        int n = 0;
        for (const ConsoleEntry &e : console)
            n += e.text == text ? 1 : 0;
        return n;
    }
    bool consoleHas(const QString &text) const { return consoleCount(text) > 0; }
    // When the status first read text, or -1.
    qint64 statusTime(const QString &text) const
    {
        for (const ConsoleEntry &e : statusLog)
            if (e.text == text)
                return e.msecs;
        return -1;
    }
    QList<qint64> consoleTimes(const QString &text) const
    {
        QList<qint64> times;
        for (const ConsoleEntry &e : console)
            if (e.text == text)
                times.append(e.msecs);
        return times;
    }
    // Index of the first console line equal to text at or after from, or -1.
    qsizetype consoleIndex(const QString &text, qsizetype from = 0) const
    {
        for (qsizetype i = from; i < console.size(); ++i)
            if (console[i].text == text)
                return i;
        return -1;
    }
    static QString connectingTo(const FakeClusterNode &node)
    {
        return QStringLiteral("Connecting to 127.0.0.1:%1…").arg(node.port());
    }

private:
    QUuid lastLineId;
};

// Logs in on the node as the main window's Connect command does and waits until the post-login
// commands are done.
inline void logIn(ResilienceHarness &h, FakeClusterNode &node)
{
    h.usePrimary(node);
    h.connectAsWindowDoes();
    QTRY_VERIFY_WITH_TIMEOUT(h.conn->isLoggedIn(), 10000);
    settle(150ms);
}

} // namespace varnello::test
