// Alert outputs that only count, for benchmarks that run the alert step.
#pragma once

#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "ContentView.h"
#include "SoundOutput.h"
#include "SystemNotifications.h"

namespace varnello::bench {

class NullNotifications final : public SystemNotifications {
public:
    void post(const QString &, const QString &) override { ++posted; }
    long posted = 0;
};

class NullSound final : public SoundOutput {
public:
    void playBeep() override { ++played; }
    void playFile(const QString &) override { ++played; }
    long played = 0;
};

// The notification manager and sound player of a benchmarked ContentView, on counting outputs.
struct AlertOutputs {
    NullNotifications notificationOutput;
    NullSound soundOutput;
    AlertNotificationManager notifications{notificationOutput};
    AlertSoundPlayer sounds{soundOutput};

    void install(ContentViewEnvironment &environment)
    {
        environment.notifications = &notifications;
        environment.sounds = &sounds;
    }
};

} // namespace varnello::bench
