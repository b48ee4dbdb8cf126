#include "PrivateBusDaemon.h"
#include "ShortTemporaryDir.h"

#include <QDeadlineTimer>
#include <QStandardPaths>
#include <QUrl>

namespace varnello::test {

QString PrivateBusDaemon::executable()
{
    return QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
}

QString PrivateBusDaemon::start(const QString &program, int timeoutMs)
{
    // The socket goes into a folder of the daemon's own, removed once it has ended: the session
    // configuration's "unix:tmpdir=/tmp" leaves a socket file there for every daemon killed.
    // The folder's path stays short enough for the socket's address.
    m_folder.emplace(shortTemporaryTemplate());
    if (!m_folder->isValid())
        return {};
    const QByteArray path =
        QUrl::toPercentEncoding(m_folder->filePath(QStringLiteral("bus")), "/", "~");
    // The daemon makes a folder for transient services in its runtime folder: its own folder
    // serves as that, so what it makes there goes with it.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder->path());
    m_process.setProcessEnvironment(environment);
    m_process.start(program, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                              QStringLiteral("--print-address=1"),
                              QStringLiteral("--address=unix:path=") + QString::fromLatin1(path)});
    const QDeadlineTimer deadline(timeoutMs);
    if (!m_process.waitForStarted(timeoutMs))
        return {};
    while (!m_process.canReadLine() && !deadline.hasExpired())
        m_process.waitForReadyRead(50);
    return m_process.canReadLine() ? QString::fromUtf8(m_process.readLine()).trimmed() : QString();
}

void PrivateBusDaemon::stop()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    m_folder.reset();
}

} // namespace varnello::test
