#pragma once

#include <QObject>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

class QTimer;

namespace varnello {

// A delayed main-thread action that can be cancelled: the connection's timers (attempt time-out,
// login watchdog, keepalive, retries). Once cancelled, or replaced by a new start(), the old
// action never runs. Each task keeps one timer for its whole life and only stops and starts it,
// so arming a task again costs no allocation and no extra wake-up of the event loop.
class ClusterTask final {
public:
    ClusterTask();
    ~ClusterTask();
    ClusterTask(const ClusterTask &) = delete;
    ClusterTask &operator=(const ClusterTask &) = delete;

    // Cancels any pending action and schedules this one. The action runs at most once, on the
    // thread of `context`, and not at all once `context` is gone. A task serves one context: the
    // first one given.
    void start(QObject *context, std::chrono::milliseconds delay, std::function<void()> action);
    // The pending action will not run.
    void cancel();
    bool isActive() const;

private:
    void fire();

    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_action;
    bool m_connected = false;
};

} // namespace varnello
