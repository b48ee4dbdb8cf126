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
// action never runs, even when its timer event is already queued: a generation counter guards
// every firing, since a timer object's address can be reused.
class ClusterTask final {
public:
    ClusterTask() = default;
    ~ClusterTask();
    ClusterTask(const ClusterTask &) = delete;
    ClusterTask &operator=(const ClusterTask &) = delete;

    // Cancels any pending action and schedules this one. The action runs at most once, on the
    // thread of `context`, and not at all once `context` is gone.
    void start(QObject *context, std::chrono::milliseconds delay, std::function<void()> action);
    // The pending action will not run.
    void cancel();
    bool isActive() const { return m_timer != nullptr; }

private:
    void fire(std::uint64_t generation);

    std::unique_ptr<QTimer> m_timer;
    std::function<void()> m_action;
    std::uint64_t m_generation = 0;
};

} // namespace varnello
