#include "LaunchDiag.h"

#include <QElapsedTimer>

Q_LOGGING_CATEGORY(launchDiag, "brenik.varnello.LaunchDiag")

namespace varnello {

namespace {

// Made before every other static object of the program, so only the loading of the program and
// its libraries goes uncounted. Not the process's start in /proc: a script that ends in
// `exec varnello` (tools/run.sh builds first) would add its own running time.
const QElapsedTimer g_sinceProgramStart __attribute__((init_priority(101))) = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
}();

} // namespace

qint64 msSinceProgramStart()
{
    return g_sinceProgramStart.elapsed();
}

} // namespace varnello
