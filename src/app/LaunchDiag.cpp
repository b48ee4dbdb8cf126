#include "LaunchDiag.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <ctime>
#include <optional>
#include <unistd.h>

Q_LOGGING_CATEGORY(launchDiag, "brenik.varnello.LaunchDiag")

namespace varnello {

namespace {

// Where /proc cannot be read: from the program's own start, which misses only the loading.
const QElapsedTimer g_sinceLoaded = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
}();

// The process's start, in milliseconds since boot; nothing when /proc does not say.
std::optional<qint64> processStartSinceBoot()
{
    QFile stat(QStringLiteral("/proc/self/stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return std::nullopt;
    // The command name may hold blanks and parentheses: the fields are counted from its end.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    bool ok = false;
    const qint64 ticks = fields.value(19).toLongLong(&ok); // starttime, field 22
    const long perSecond = ::sysconf(_SC_CLK_TCK);
    if (!ok || perSecond <= 0)
        return std::nullopt;
    return ticks * 1000 / perSecond;
}

} // namespace

qint64 msSinceProcessStart()
{
    static const std::optional<qint64> started = processStartSinceBoot();
    timespec now{};
    if (!started || ::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
        return g_sinceLoaded.elapsed();
    const qint64 since = qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000 - *started;
    // The start is counted in coarse ticks: never less than the program itself has run.
    return std::max(since, g_sinceLoaded.elapsed());
}

} // namespace varnello
