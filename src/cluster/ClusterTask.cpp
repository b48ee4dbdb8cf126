#include "ClusterTask.h"

#include <QTimer>

namespace varnello {

ClusterTask::ClusterTask() : m_timer(std::make_unique<QTimer>())
{
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
}

ClusterTask::~ClusterTask() = default;

void ClusterTask::start(QObject *context, std::chrono::milliseconds delay,
                        std::function<void()> action)
{
    if (!m_connected) {
        // Delivered only while the context lives; a timer event of an earlier start() never
        // arrives, since restarting the timer gives it a new id.
        QObject::connect(m_timer.get(), &QTimer::timeout, context, [this] { fire(); });
        m_connected = true;
    }
    m_action = std::move(action);
    m_timer->start(delay);
}

void ClusterTask::cancel()
{
    m_timer->stop();
    m_action = nullptr;
}

bool ClusterTask::isActive() const
{
    return m_timer->isActive();
}

void ClusterTask::fire()
{
    std::function<void()> action = std::move(m_action);
    m_action = nullptr;
    // The action may start this task again.
    if (action)
        action();
}

} // namespace varnello
