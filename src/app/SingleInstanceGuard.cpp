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

SettingsAlert SingleInstanceGuard::unusableLockAlert(InstanceChannel::LockFileProblem problem,
                                                     const QString &lockPath)
{
    using Problem = InstanceChannel::LockFileProblem;
    QString wrong = QStringLiteral("Varnello's lock file cannot be read.");
    QString remedy = QStringLiteral("Remove or rename it, then try again.");
    switch (problem) {
    case Problem::folder:
        wrong = QStringLiteral("Varnello's lock file is a folder.");
        remedy = QStringLiteral("Remove or rename the folder, then try again.");
        break;
    case Problem::notAFile:
        wrong = QStringLiteral("Varnello's lock file is not a regular file but a pipe, socket or "
                               "device.");
        break;
    case Problem::brokenLink:
        wrong = QStringLiteral("Varnello's lock file is a symbolic link that leads to no file.");
        remedy = QStringLiteral("Remove the link, then try again.");
        break;
    case Problem::noPermission:
        wrong = QStringLiteral("Varnello is not permitted to read its lock file.");
        remedy = QStringLiteral("Make the file readable and writable for your user, or remove it "
                                "if no copy of Varnello is running, then try again.");
        break;
    case Problem::none:
    case Problem::unreadable:
        break;
    }
    return SettingsAlert{
        QMessageBox::Warning,
        QStringLiteral("Varnello cannot use its lock file"),
        wrong +
            QStringLiteral(" Without a working lock file Varnello cannot make sure that only "
                           "one copy uses the data folder.\n\nLock file: %1\n\n")
                .arg(lockPath) +
            remedy,
        {{QStringLiteral("Quit"), QMessageBox::RejectRole},
         {QStringLiteral("Try Again"), QMessageBox::AcceptRole}},
        quitButton,
    };
}

SingleInstanceGuard::Start SingleInstanceGuard::claim()
{
    for (;;) {
        SettingsAlert alert;
        switch (tryToClaim()) {
        case Outcome::run:
            return Start::run;
        case Outcome::raised:
            return Start::leave;
        case Outcome::unanswered:
            alert = noAnswerAlert(m_channel.holder());
            break;
        case Outcome::lockFileUnusable:
            alert = unusableLockAlert(m_channel.lockFileProblem(), m_channel.holder().lockPath);
            break;
        }
        const QString line =
            QString(alert.message).replace(QStringLiteral("\n\n"), QStringLiteral(" "));
        qCWarning(launchDiag, "%s", qUtf8Printable(line));
        if (ask(alert) != tryAgainButton)
            return Start::leave;
    }
}

SingleInstanceGuard::Outcome SingleInstanceGuard::tryToClaim()
{
    // The running copy may have lost its socket just now and not yet be listening again.
    const auto budget = m_timing.raiseBudget + m_channel.longestOutOfReach();
    QElapsedTimer elapsed;
    elapsed.start();
    for (;;) {
        switch (m_channel.claim()) {
        case InstanceChannel::Claim::unavailable:
            qCWarning(launchDiag, "no instance lock in the data folder; running unguarded");
            return Outcome::run;
        case InstanceChannel::Claim::acquired:
            // A copy whose lock file was removed under it runs on, and answers at the socket;
            // whatever else listens there is not this program and is moved aside by listen().
            if (m_channel.requestRaise(m_timing.raiseBudget)) {
                qCInfo(launchDiag, "another copy is running; asked it to show its window");
                return Outcome::raised;
            }
            if (!m_channel.listen())
                qCWarning(launchDiag, "cannot listen for later copies");
            return Outcome::run;
        case InstanceChannel::Claim::lockFileUnusable:
            // No copy can hold such a lock, though one may still run from before it was spoiled:
            // one try to reach it, no waiting for one to come.
            if (m_channel.requestRaise(m_timing.raiseBudget)) {
                qCInfo(launchDiag, "another copy is running; asked it to show its window");
                return Outcome::raised;
            }
            return Outcome::lockFileUnusable;
        case InstanceChannel::Claim::heldByAnotherCopy:
            break;
        }
        const auto left = budget - std::chrono::milliseconds(elapsed.elapsed());
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
