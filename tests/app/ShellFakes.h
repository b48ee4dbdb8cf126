#pragma once

// Scripted stand-ins for the data-file manager and the connection, for the shell's tests.

#include "SettingsAlertPresenter.h"
#include "ShellDataFiles.h"
#include "VarnelloStartupCoordinator.h"

#include <QStringList>
#include <QTimer>

namespace varnello::test {

// Answers every operation on a later turn of the event loop with the scripted result, and
// records the order of the calls.
class FakeDataFiles final : public ShellDataFiles {
public:
    QStringList calls;
    std::optional<bool> countryNewer = false; // nothing: the check fails
    std::optional<bool> lotwNewer = false;
    std::optional<QString> countryInstallFailure;
    std::optional<QString> lotwInstallFailure;
    bool countryUpdateAvailable = false;
    std::optional<QDate> installedCountry, latestCountry, installedLoTW, latestLoTW;

    void reloadLoTWActivity(std::function<void()> done) override
    {
        later(QStringLiteral("reloadLoTW"), [done] { done(); });
    }
    void checkForCountryFileUpdate(Check done) override
    {
        later(QStringLiteral("checkCountry"), [this, done] { done(countryNewer); });
    }
    void checkForLoTWActivityUpdate(Check done) override
    {
        later(QStringLiteral("checkLoTW"), [this, done] { done(lotwNewer); });
    }
    void updateCountryFile(Install done) override
    {
        later(QStringLiteral("updateCountry"), [this, done] { done(countryInstallFailure); });
    }
    void updateLoTWActivity(Install done) override
    {
        later(QStringLiteral("updateLoTW"), [this, done] { done(lotwInstallFailure); });
    }
    bool isCountryFileUpdateAvailable() const override { return countryUpdateAvailable; }
    std::optional<QDate> countryReleaseDate() const override { return installedCountry; }
    std::optional<QDate> latestCountryReleaseDate() const override { return latestCountry; }
    std::optional<QDate> lotwLatestActivityDate() const override { return installedLoTW; }
    std::optional<QDate> latestLoTWActivityDate() const override { return latestLoTW; }

private:
    void later(const QString &name, std::function<void()> answer)
    {
        calls.append(name);
        QTimer::singleShot(0, [answer = std::move(answer)] { answer(); });
    }
};

// Records the alerts and leaves them open until the test answers them.
class FakeAlerts final : public SettingsAlertPresenter {
public:
    struct Shown {
        QString title;
        QString text;
        QStringList buttons;
        bool windowModal = false;
    };
    QList<Shown> shown;
    QList<Answer> pending;

    void present(QWidget *parent, const SettingsAlert &alert, Answer answer) override
    {
        QStringList buttons;
        for (const auto &button : alert.buttons)
            buttons.append(button.text);
        shown.append({alert.title, alert.message, buttons, parent != nullptr});
        pending.append(std::move(answer));
    }
    void answer(int button) { pending.takeFirst()(button); }
};

class FakeConnection final : public StartupConnection {
public:
    bool connected = false;
    bool connecting = false;
    QList<StartupConnectRequest> requests;
    QList<bool> failoverFlags;

    bool isConnected() const override { return connected; }
    bool isConnectionSequenceActive() const override { return connecting; }
    void connectToPrimary(const QString &host, quint16 port, const QString &callsign,
                          const QString &password, bool allowFailover) override
    {
        connecting = true;
        requests.append({host, port, callsign, password});
        failoverFlags.append(allowFailover);
    }
};

} // namespace varnello::test
