#include "SingleInstanceGuard.h"

#include "InstanceChannel.h"
#include "LaunchDiag.h"

#include <QElapsedTimer>
#include <QThread>

namespace varnello {

SingleInstanceGuard::SingleInstanceGuard(InstanceChannel &channel)
    : SingleInstanceGuard(channel, Timing{})
{
}

SingleInstanceGuard::SingleInstanceGuard(InstanceChannel &channel, Timing timing)
    : m_channel(channel), m_timing(timing)
{
}

SingleInstanceGuard::Start SingleInstanceGuard::claim()
{
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        switch (m_channel.claim()) {
        case InstanceChannel::Claim::unavailable:
            qCWarning(launchDiag, "no instance lock in the data folder; running unguarded");
            return Start::run;
        case InstanceChannel::Claim::acquired:
            if (!m_channel.listen())
                qCWarning(launchDiag, "cannot listen for later copies");
            return Start::run;
        case InstanceChannel::Claim::heldByAnotherCopy:
            break;
        }
        const auto left = m_timing.raiseBudget - std::chrono::milliseconds(elapsed.elapsed());
        if (left <= std::chrono::milliseconds(0)) {
            qCWarning(launchDiag, "another copy holds the data folder but does not answer");
            return Start::leave;
        }
        if (m_channel.requestRaise(left)) {
            qCInfo(launchDiag, "another copy is running; asked it to show its window");
            return Start::leave;
        }
        // The running copy may be starting (not yet listening) or ending (lock about to go):
        // try both again shortly.
        QThread::msleep(static_cast<unsigned long>(
            std::min(m_timing.retryInterval, std::max(left, std::chrono::milliseconds(1)))
                .count()));
    }
}

} // namespace varnello
