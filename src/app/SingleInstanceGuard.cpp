#include "SingleInstanceGuard.h"

#include "LaunchDiag.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QThread>
#include <optional>

namespace varnello {

SingleInstanceGuard::SingleInstanceGuard(InstanceChannel &channel, SettingsAlertPresenter &alerts)
    : SingleInstanceGuard(channel, alerts, Timing{})
{
}

SingleInstanceGuard::SingleInstanceGuard(InstanceChannel &channel, SettingsAlertPresenter &alerts,
                                         Timing timing)
    : m_channel(channel), m_alerts(alerts), m_timing(timing)
{
}

SettingsAlert SingleInstanceGuard::noAnswerAlert(const InstanceChannel::Holder &holder)
{
    const QString who =
        holder.pid > 0
            ? QStringLiteral("Varnello (process %1 on %2) holds the data folder but does not "
                             "answer.")
                  .arg(holder.pid)
                  .arg(holder.host.isEmpty() ? QStringLiteral("an unknown computer") : holder.host)
            : QStringLiteral("Another copy of Varnello holds the data folder but does not answer.");
    return SettingsAlert{
        QMessageBox::Warning,
        QStringLiteral("Varnello is already running"),
        who + QStringLiteral("\n\nLock file: %1\n\nClose the other copy of Varnello and try "
                             "again. If no copy is running, on this or another computer, remove "
                             "the lock file and try again.")
                  .arg(holder.lockPath),
        {{QStringLiteral("Quit"), QMessageBox::RejectRole},
         {QStringLiteral("Try Again"), QMessageBox::AcceptRole}},
        quitButton,
    };
}

SingleInstanceGuard::Start SingleInstanceGuard::claim()
{
    for (;;) {
        switch (tryToClaim()) {
        case Outcome::run:
            return Start::run;
        case Outcome::raised:
            return Start::leave;
        case Outcome::unanswered:
            break;
        }
        const SettingsAlert alert = noAnswerAlert(m_channel.holder());
        const QString line =
            QString(alert.message).replace(QStringLiteral("\n\n"), QStringLiteral(" "));
        qCWarning(launchDiag, "%s", qUtf8Printable(line));
        if (ask(alert) != tryAgainButton)
            return Start::leave;
    }
}

SingleInstanceGuard::Outcome SingleInstanceGuard::tryToClaim()
{
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        switch (m_channel.claim()) {
        case InstanceChannel::Claim::unavailable:
            qCWarning(launchDiag, "no instance lock in the data folder; running unguarded");
            return Outcome::run;
        case InstanceChannel::Claim::acquired:
            if (!m_channel.listen())
                qCWarning(launchDiag, "cannot listen for later copies");
            return Outcome::run;
        case InstanceChannel::Claim::heldByAnotherCopy:
            break;
        }
        const auto left = m_timing.raiseBudget - std::chrono::milliseconds(elapsed.elapsed());
        if (left <= std::chrono::milliseconds(0))
            return Outcome::unanswered;
        if (m_channel.requestRaise(left)) {
            qCInfo(launchDiag, "another copy is running; asked it to show its window");
            return Outcome::raised;
        }
        // The running copy may be starting (not yet listening) or ending (lock about to go):
        // try both again shortly.
        QThread::msleep(static_cast<unsigned long>(
            std::min(m_timing.retryInterval, std::max(left, std::chrono::milliseconds(1)))
                .count()));
    }
}

int SingleInstanceGuard::ask(const SettingsAlert &alert)
{
    // This runs before the program's event loop: wait here for the answer.
    std::optional<int> answer;
    QEventLoop loop;
    m_alerts.present(nullptr, alert, [&answer, &loop](int button) {
        answer = button;
        loop.quit();
    });
    if (!answer)
        loop.exec();
    return *answer;
}

} // namespace varnello
