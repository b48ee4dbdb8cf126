#include "InstanceChannel.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QTimer>

namespace varnello {

namespace {

// A lock file that names no process may be one being written this very moment by a starting
// copy; only one older than this is a leftover.
constexpr qint64 unreadableLockAgeMs = 5000;

} // namespace

LocalInstanceChannel::LocalInstanceChannel(QString dataFolder, QString runtimeFolder,
                                           QObject *parent)
    : InstanceChannel(parent), m_dataFolder(std::move(dataFolder)),
      m_serverName(serverName(m_dataFolder, runtimeFolder))
{
}

LocalInstanceChannel::~LocalInstanceChannel()
{
    if (m_server)
        m_server->close();
}

QString LocalInstanceChannel::serverName(const QString &dataFolder, const QString &runtimeFolder)
{
    QString folder = runtimeFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    const QFileInfo info(dataFolder);
    const QString canonical = info.canonicalFilePath();
    const QString identity =
        canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    // A hash keeps the socket path short (sun_path holds 108 bytes) whatever the folder's length.
    const QByteArray hash =
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(20);
    return folder + QStringLiteral("/varnello-") + QString::fromLatin1(hash) +
           QStringLiteral(".socket");
}

InstanceChannel::Claim LocalInstanceChannel::claim()
{
    if (m_lock && m_lock->isLocked())
        return Claim::acquired;
    if (m_dataFolder.isEmpty() || !QFileInfo(m_dataFolder).isDir())
        return Claim::unavailable;
    m_lock = std::make_unique<QLockFile>(m_dataFolder + QLatin1Char('/') + lockFileName);
    // Qt's default declares any lock older than 30 s stale, which would hand the folder to a
    // second copy once the first has run for half a minute. Staleness is decided by the owner's
    // process id alone: a crashed copy's lock names a process that no longer runs.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return Claim::acquired;
    if (m_lock->error() != QLockFile::LockFailedError)
        return Claim::unavailable;

    // A lock file that names no process (cut short by a crash while it was written) would keep
    // every later start out for good.
    qint64 pid = 0;
    QString host;
    QString application;
    const QFileInfo lockInfo(m_dataFolder + QLatin1Char('/') + lockFileName);
    if (!m_lock->getLockInfo(&pid, &host, &application) &&
        lockInfo.lastModified().msecsTo(QDateTime::currentDateTime()) > unreadableLockAgeMs &&
        m_lock->removeStaleLockFile() && m_lock->tryLock(0))
        return Claim::acquired;
    return Claim::heldByAnotherCopy;
}

bool LocalInstanceChannel::listen()
{
    if (m_server)
        return m_server->isListening();
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    m_server->setMaxPendingConnections(8);
    connect(m_server, &QLocalServer::newConnection, this, &LocalInstanceChannel::acceptCallers);
    if (m_server->listen(m_serverName))
        return true;
    // We hold the lock, so a socket file left here belongs to a copy that crashed.
    if (m_server->serverError() == QAbstractSocket::AddressInUseError) {
        QLocalServer::removeServer(m_serverName);
        return m_server->listen(m_serverName);
    }
    return false;
}

void LocalInstanceChannel::acceptCallers()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection())
        serveCaller(socket);
}

void LocalInstanceChannel::serveCaller(QLocalSocket *socket)
{
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(clientTimeout, socket, [socket] { socket->abort(); });
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
        // One short line is all a caller may send.
        if (socket->bytesAvailable() > raiseRequest.size()) {
            socket->abort();
            return;
        }
        if (!socket->canReadLine())
            return;
        const QByteArray line = socket->readLine();
        if (line == QByteArrayView(raiseRequest.data(), raiseRequest.size())) {
            socket->write(raiseAnswer.data(), raiseAnswer.size());
            socket->flush();
            Q_EMIT raiseRequested();
        }
        socket->disconnectFromServer();
    });
}

bool LocalInstanceChannel::requestRaise(std::chrono::milliseconds timeout)
{
    QElapsedTimer elapsed;
    elapsed.start();
    const auto remaining = [&] {
        return int(std::max<qint64>(0, timeout.count() - elapsed.elapsed()));
    };
    QLocalSocket socket;
    socket.connectToServer(m_serverName);
    if (!socket.waitForConnected(remaining()))
        return false;
    socket.write(raiseRequest.data(), raiseRequest.size());
    if (!socket.waitForBytesWritten(remaining()))
        return false;
    QByteArray answer;
    while (!answer.endsWith('\n') && answer.size() < 16) {
        if (!socket.bytesAvailable() && !socket.waitForReadyRead(remaining()))
            break;
        answer += socket.read(16);
    }
    return answer == QByteArrayView(raiseAnswer.data(), raiseAnswer.size());
}

} // namespace varnello
