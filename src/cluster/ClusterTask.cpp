#include "ClusterTask.h"

#include <QTimer>

namespace varnello {

ClusterTask::~ClusterTask()
{
    cancel();
}

void ClusterTask::start(QObject *context, std::chrono::milliseconds delay,
                        std::function<void()> action)
{
    cancel();
    const std::uint64_t generation = ++m_generation;
    m_action = std::move(action);
    m_timer = std::make_unique<QTimer>();
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer.get(), &QTimer::timeout, context,
                     [this, generation] { fire(generation); });
    m_timer->start(delay);
}

void ClusterTask::cancel()
{
    ++m_generation;
    m_action = nullptr;
    if (m_timer) {
        m_timer->stop();
        // The timer may be the one whose signal is being delivered right now.
        m_timer.release()->deleteLater();
    }
}

void ClusterTask::fire(std::uint64_t generation)
{
    if (generation != m_generation || !m_timer)
        return;
    std::function<void()> action = std::move(m_action);
    m_action = nullptr;
    m_timer.release()->deleteLater();
    // The action may start this task again; that is a new generation.
    if (action)
        action();
}

} // namespace varnello
