#pragma once

// A headless ContentView with fake outputs, a manual clock and an in-memory settings store.

#include "../alerts/AlertTestSupport.h"

#include "AlertCoding.h"
#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AppSettingsStore.h"
#include "Clock.h"
#include "ContentView.h"
#include "LoTWActivityLookup.h"
#include "SettingsKeys.h"

#include <memory>

namespace varnello::test {

struct ContentViewFixture {
    AppSettingsStore settings{std::nullopt};
    OutputLog log;
    FakeNotifications notificationOutput{&log};
    FakeSound soundOutput{&log};
    AlertNotificationManager notifications{notificationOutput};
    AlertSoundPlayer sounds{soundOutput};
    ManualClock clock;
    LoTWActivityLookup lotw;
    QString udpMode = QStringLiteral("everything");
    std::unique_ptr<ContentView> view;

    ContentViewEnvironment environment(HttpClient *http = nullptr, ClubLogService clubLog = {})
    {
        ContentViewEnvironment e;
        e.settings = &settings;
        e.notifications = &notifications;
        e.sounds = &sounds;
        e.clock = &clock;
        e.lotw = &lotw;
        e.http = http;
        e.clubLog = std::move(clubLog);
        e.udpFeedMode = [this] { return udpMode; };
        e.sendToUdpFeed = [this](const QString &line) {
            log.events.append(QStringLiteral("udp:") + line);
        };
        e.observeNotificationHub = false;
        return e;
    }

    ContentView &make(HttpClient *http = nullptr, ClubLogService clubLog = {})
    {
        view = std::make_unique<ContentView>(environment(http, std::move(clubLog)));
        return *view;
    }

    void storeAlerts(const QList<SpotAlertConfiguration> &alerts, const QList<bool> &flags)
    {
        settings.setData(SettingsKeys::spotAlertsConfiguration, *alertcoding::encode(alerts));
        settings.setData(SettingsKeys::spotAlertsEnabled, *alertcoding::encodeFlags(flags));
    }

    void storeNewSlot(const NewSlotAlertConfiguration &configuration,
                      const QList<ClubLogEntitySlotRule> &rules, bool enabled = true)
    {
        settings.setBool(SettingsKeys::newSlotAlertEnabled, enabled);
        settings.setData(SettingsKeys::newSlotAlertConfiguration,
                         *alertcoding::encode(configuration));
        settings.setData(SettingsKeys::newSlotAlertLookup, *alertcoding::encode(rules));
        if (view)
            view->loadNewSlotAlertRules();
    }

    QStringList takeEvents() { return std::exchange(log.events, {}); }
};

inline SpotAlertConfiguration modeAlert(const QString &name, SpotType mode)
{
    SpotAlertConfiguration c;
    c.name = name;
    c.selectedModes = {mode};
    return c;
}

inline SpotAlertConfiguration withSound(SpotAlertConfiguration c, AlertSoundChoice choice,
                                        AlertSoundFrequency frequency)
{
    c.playSound = true;
    c.soundChoice = choice;
    c.soundFrequency = frequency;
    return c;
}

inline SpotAlertConfiguration withNotification(SpotAlertConfiguration c)
{
    c.showNotification = true;
    return c;
}

} // namespace varnello::test
