#include "RefreshCoalescer.h"

namespace varnello {

RefreshCoalescer::RefreshCoalescer(std::function<void()> refresh,
                                   std::chrono::milliseconds minimumInterval, QObject *parent)
    : QObject(parent), m_refresh(std::move(refresh)), m_minimumInterval(minimumInterval)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RefreshCoalescer::run);
}

void RefreshCoalescer::request()
{
    if (m_timer.isActive())
        return;
    qint64 delay = 0;
    if (m_sinceLastRefresh.isValid()) {
        const qint64 elapsed = m_sinceLastRefresh.elapsed();
        if (elapsed < m_minimumInterval.count())
            delay = m_minimumInterval.count() - elapsed;
    }
    m_timer.start(static_cast<int>(delay));
}

void RefreshCoalescer::flush()
{
    m_timer.stop();
    run();
}

void RefreshCoalescer::run()
{
    m_sinceLastRefresh.start();
    if (m_refresh)
        m_refresh();
}

} // namespace varnello
