// Shared by every benchmark executable: BenchMain.cpp gives them one main (a QCoreApplication
// around Google Benchmark), BenchSupport.cpp the memory figures some of them report and the probe
// of the event loop's responsiveness.
#pragma once

#include <QElapsedTimer>
#include <QTimer>

#include <vector>

namespace varnello::bench {

// A memory figure of this process from /proc/self/status ("VmRSS:" resident now, "VmHWM:"
// peak resident), in MiB; -1 when it cannot be read.
double statusMiB(const char *field);

inline double residentMiB()
{
    return statusMiB("VmRSS:");
}

inline double peakResidentMiB()
{
    return statusMiB("VmHWM:");
}

// How long the event loop is held up: the intervals between the ticks of a precise 10 ms timer
// while measuring. A free loop gives 10 ms; anything above is time the loop spent elsewhere. On a
// loaded machine the intervals also hold the time other processes had the core; the main
// thread's own CPU time between two ticks leaves that out (under a flood, when the thread never
// sleeps, it is the interval a machine of its own would show).
class TimerGapProbe {
public:
    TimerGapProbe();
    void start();
    // Gaps count only from here (ticks before just keep the previous tick's time fresh).
    void measure() { m_measuring = true; }
    void stop();
    double longestMs() const;
    // The gap that 99.9 % of the measured gaps do not exceed.
    double p999Ms() const;
    double longestCpuMs() const;
    double p999CpuMs() const;
    qsizetype count() const { return qsizetype(m_gapsNs.size()); }

private:
    QTimer m_ticker;
    QElapsedTimer m_clock;
    qint64 m_lastTick = -1;
    qint64 m_lastTickCpu = -1;
    bool m_measuring = false;
    std::vector<qint64> m_gapsNs;
    std::vector<qint64> m_cpuGapsNs;
};

} // namespace varnello::bench
