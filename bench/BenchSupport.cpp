#include "BenchSupport.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string>

namespace varnello::bench {

double statusMiB(const char *field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::stod(line.substr(std::strlen(field))) / 1024.0;
    }
    return -1;
}

TimerGapProbe::TimerGapProbe()
{
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(10);
    QObject::connect(&m_ticker, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        if (m_measuring && m_lastTick >= 0)
            m_gapsNs.push_back(now - m_lastTick);
        m_lastTick = now;
    });
}

void TimerGapProbe::start()
{
    m_gapsNs.reserve(1 << 16);
    m_clock.start();
    m_ticker.start();
}

void TimerGapProbe::stop()
{
    m_ticker.stop();
}

double TimerGapProbe::longestMs() const
{
    return m_gapsNs.empty() ? 0 : double(*std::max_element(m_gapsNs.begin(), m_gapsNs.end())) / 1e6;
}

double TimerGapProbe::p999Ms() const
{
    if (m_gapsNs.empty())
        return 0;
    std::vector<qint64> sorted = m_gapsNs;
    const auto at = sorted.begin() + std::ptrdiff_t(double(sorted.size() - 1) * 0.999);
    std::nth_element(sorted.begin(), at, sorted.end());
    return double(*at) / 1e6;
}

} // namespace varnello::bench
