// Shared by every benchmark executable: BenchMain.cpp gives them one main (a QCoreApplication
// around Google Benchmark), BenchSupport.cpp the memory figures some of them report.
#pragma once

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

} // namespace varnello::bench
