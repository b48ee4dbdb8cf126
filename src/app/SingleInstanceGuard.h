#pragma once

#include "InstanceChannel.h"
#include "SettingsAlertPresenter.h"

#include <chrono>

namespace varnello {

// Keeps one running copy per data folder. A starting copy claims the folder before it reads a
// setting or opens a socket; when another live copy holds it, the new one asks that copy to come
// to the front and leaves without writing anything. When that copy does not answer, the operator
// is told which copy holds the folder and what to do before this one leaves; so is one who finds
// something in the lock file's place that cannot serve as a lock. A start never ends without a
// window or a message.
class SingleInstanceGuard final {
public:
    enum class Start { run, leave };

    struct Timing {
        // How long a later copy keeps trying to reach the running one (which may still be
        // starting and not yet listening) before it gives up and says so, beyond the longest the
        // running one may be out of reach (InstanceChannel::longestOutOfReach).
        std::chrono::milliseconds raiseBudget{1500};
        std::chrono::milliseconds retryInterval{100};
    };

    // Buttons of the alerts that stop a start; Quit is the default.
    enum AlertButton { quitButton = 0, tryAgainButton = 1 };

    // `alerts` shows the alerts that stop a start; the guard waits for their answers.
    SingleInstanceGuard(InstanceChannel &channel, SettingsAlertPresenter &alerts);
    SingleInstanceGuard(InstanceChannel &channel, SettingsAlertPresenter &alerts, Timing timing);

    // Claims the folder: `run` when this copy is to start (it then listens for later copies),
    // `leave` when another copy runs and either came to the front or the operator chose Quit.
    // Without a usable lock the copy runs unguarded.
    Start claim();

    // The alert for a holder that does not answer.
    static SettingsAlert noAnswerAlert(const InstanceChannel::Holder &holder);
    // The alert for a lock file that cannot be used, naming what is wrong and what to do.
    static SettingsAlert unusableLockAlert(InstanceChannel::LockFileProblem problem,
                                           const QString &lockPath);

private:
    enum class Outcome { run, raised, unanswered, lockFileUnusable };
    Outcome tryToClaim();
    int ask(const SettingsAlert &alert);

    InstanceChannel &m_channel;
    SettingsAlertPresenter &m_alerts;
    Timing m_timing;
};

} // namespace varnello
