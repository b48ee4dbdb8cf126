#include "BenchSupport.h"

#include <algorithm>
#include <cstring>
#include <ctime>
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

namespace {

qint64 threadCpuNs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

double longest(const std::vector<qint64> &values)
{
    return values.empty() ? 0 : double(*std::max_element(values.begin(), values.end())) / 1e6;
}

double p999(std::vector<qint64> values)
{
    if (values.empty())
        return 0;
    const auto at = values.begin() + std::ptrdiff_t(double(values.size() - 1) * 0.999);
    std::nth_element(values.begin(), at, values.end());
    return double(*at) / 1e6;
}

} // namespace

TimerGapProbe::TimerGapProbe()
{
    m_ticker.setTimerType(Qt::PreciseTimer);
    m_ticker.setInterval(10);
    QObject::connect(&m_ticker, &QTimer::timeout, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        if (m_measuring && m_lastTick >= 0) {
            m_gapsNs.push_back(now - m_lastTick);
            m_cpuGapsNs.push_back(cpu - m_lastTickCpu);
        }
        m_lastTick = now;
        m_lastTickCpu = cpu;
    });
}

void TimerGapProbe::start()
{
    m_gapsNs.reserve(1 << 16);
    m_cpuGapsNs.reserve(1 << 16);
    m_clock.start();
    m_ticker.start();
}

void TimerGapProbe::stop()
{
    m_ticker.stop();
}

double TimerGapProbe::longestMs() const
{
    return longest(m_gapsNs);
}

double TimerGapProbe::p999Ms() const
{
    return p999(m_gapsNs);
}

double TimerGapProbe::longestCpuMs() const
{
    return longest(m_cpuGapsNs);
}

double TimerGapProbe::p999CpuMs() const
{
    return p999(m_cpuGapsNs);
}

} // namespace varnello::bench
