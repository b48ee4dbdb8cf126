#include "PrivateBusDaemon.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

namespace varnello::test {

QString PrivateBusDaemon::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
}

QString PrivateBusDaemon::start(const QString &program, int timeoutMs)
{
    m_process.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                              QStringLiteral("--print-address=1")});
    const QDeadlineTimer deadline(timeoutMs);
    if (!m_process.waitForStarted(timeoutMs))
        return {};
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(50);
    return m_process.canReadLine() ? QString::fromUtf8(m_process.readLine()).trimmed() : QString();
}

void PrivateBusDaemon::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}

} // namespace varnello::test
