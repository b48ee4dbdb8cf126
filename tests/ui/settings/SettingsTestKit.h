#pragma once

// Fakes and set-up shared by the Settings window tests: settings in a temporary folder, a
// connection link that records what it is asked, a scriptable data-file manager, and an alert
// presenter that records alerts and answers them on request.

#include "AppSettingsStore.h"
#include "DataFilesSource.h"
#include "LoginItem.h"
#include "SettingsAlertPresenter.h"
#include "SettingsConnectionLink.h"
#include "SettingsView.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace varnello::test {

class FakeConnectionLink final : public SettingsConnectionLink {
public:
    bool active = false;
    std::optional<quint16> listenerPort; // the running local server
    QStringList calls;                   // "stop", "start 7300", "mode alerts", "udp 1 host 7301"
    QStringList console;
    std::optional<QString> startFailure; // what the next starts answer

    void setActive(bool value)
    {
        active = value;
        emit connectionActivityChanged();
    }

    bool isConnectionActive() const override { return active; }
    void clearSuppressedNodeWarningIfChanged(const QString &host, const QString &port) override
    {
        calls.append(QStringLiteral("clear ") + host + u' ' + port);
    }
    bool hasLocalServerListener() const override { return listenerPort.has_value(); }
    std::optional<quint16> localServerPort() const override { return listenerPort; }
    void stopLocalSpotServer() override
    {
        listenerPort.reset();
        calls.append(QStringLiteral("stop"));
    }
    std::optional<QString> startLocalSpotServer(quint16 port) override
    {
        calls.append(QStringLiteral("start %1").arg(port));
        if (startFailure)
            return startFailure;
        listenerPort = port;
        return std::nullopt;
    }
    void appendConsoleLine(const QString &line) override { console.append(line); }
    void setUdpFeedMode(const QString &mode) override
    {
        calls.append(QStringLiteral("mode ") + mode);
    }
    void configureUDPFeed(bool enabled, const QString &destination, quint16 port) override
    {
        calls.append(QStringLiteral("udp %1 %2 %3").arg(int(enabled)).arg(destination).arg(port));
    }
    QStringList takeCalls() { return std::exchange(calls, {}); }
};

class FakeDataFiles final : public DataFilesSource {
public:
    QString countryText = QStringLiteral("Bundled — release 2023.05.02");
    FileSource country = FileSource::bundled;
    bool updating = false;
    QString lotwText = QStringLiteral("No LoTW activity file loaded");
    bool hasLoTW = false;
    FileSource lotw = FileSource::unavailable;
    bool updatingLoTW = false;
    bool bundledLoTW = true;
    // What the next operations answer; the downloads answer when finish*() is called.
    Failure bundledCountryFailure;
    Failure bundledLoTWFailure;
    Completion pendingCountry;
    Completion pendingLoTW;

    void publish() { emit changed(); }

    QString installedDescription() const override { return countryText; }
    FileSource source() const override { return country; }
    bool isUpdating() const override { return updating; }
    QString lotwInstalledDescription() const override { return lotwText; }
    bool hasLoTWActivityFile() const override { return hasLoTW; }
    FileSource lotwSource() const override { return lotw; }
    bool isUpdatingLoTW() const override { return updatingLoTW; }
    bool hasBundledLoTWActivityFile() const override { return bundledLoTW; }
    void updateCountryFile(Completion done) override { pendingCountry = std::move(done); }
    void updateLoTWActivity(Completion done) override { pendingLoTW = std::move(done); }
    Failure useBundledCountryFile() override { return bundledCountryFailure; }
    Failure useBundledLoTWActivityFile() override { return bundledLoTWFailure; }
};

class RecordingAlerts final : public SettingsAlertPresenter {
public:
    struct Shown {
        SettingsAlert alert;
        Answer answer;
    };
    QList<Shown> shown;

    void present(QWidget *, const SettingsAlert &alert, Answer answer) override
    {
        shown.append({alert, std::move(answer)});
    }
    QStringList titles() const
    {
        QStringList t;
        for (const Shown &s : shown)
            t.append(s.alert.title);
        return t;
    }
    // Answers the oldest alert still up.
    void answer(int button = 0)
    {
        Shown first = shown.takeFirst();
        if (first.answer)
            first.answer(button);
    }
};

// A store in a temporary folder, installed as the shared one while the kit lives.
struct StoreKit {
    QTemporaryDir dir;
    std::unique_ptr<AppSettingsStore> store =
        std::make_unique<AppSettingsStore>(dir.path() + QStringLiteral("/Varnello"));
    AppSettingsStore::SharedOverride sharedOverride{*store};
};

// Sets a line edit's text as typing would, one key at a time after clearing it.
inline void typeInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    if (!text.isEmpty())
        QTest::keyClicks(edit, text);
}

// Replaces a line edit's text in one user edit, as a paste does.
inline void pasteInto(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Backspace);
        return;
    }
    QGuiApplication::clipboard()->setText(text);
    edit->paste();
}

template <typename T> T *findNamed(QWidget *root, const char *name)
{
    T *w = root->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qFatal("no widget named %s", name);
    return w;
}

} // namespace varnello::test
