#include "InstanceChannel.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace varnello {

namespace {

// A lock file that names no process may be one being written this very moment by a starting
// copy; only one older than this is a leftover.
constexpr qint64 unreadableLockAgeMs = 5000;
// Any lock file is a few short lines; more is not one of ours.
constexpr qint64 lockFileReadCap = 4096;

// What a QLockFile writes: process id, program name, host name, machine id and boot id, one a
// line (older writers stop after the host name).
struct LockFileText {
    qint64 pid = 0;
    QString host;
    QByteArray machineId;
};

std::optional<LockFileText> readLockFile(const QString &path)
{
    // Without O_NONBLOCK a pipe under the lock file's name would stall the start for good.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    QByteArray text;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        text.resize(lockFileReadCap);
        const ssize_t got = ::read(fd, text.data(), text.size());
        text.truncate(std::max<ssize_t>(got, 0));
    }
    ::close(fd);
    const QList<QByteArray> lines = text.split('\n');
    bool isNumber = false;
    const qint64 pid = lines.value(0).toLongLong(&isNumber);
    if (!isNumber || pid <= 0 || lines.size() < 3)
        return std::nullopt;
    return LockFileText{pid, QString::fromUtf8(lines[2]), lines.value(3)};
}

// Why what is under the lock file's name cannot serve as a lock; `none` also when nothing is.
InstanceChannel::LockFileProblem lockFileProblemAt(const QString &path)
{
    using Problem = InstanceChannel::LockFileProblem;
    const QByteArray name = QFile::encodeName(path);
    struct stat link {};
    if (::lstat(name.constData(), &link) != 0)
        return Problem::none;
    struct stat target {};
    if (::stat(name.constData(), &target) != 0) {
        if (!S_ISLNK(link.st_mode))
            return errno == ENOENT ? Problem::none : Problem::unreadable; // removed meanwhile
        if (errno == EACCES)
            return Problem::noPermission;
        return errno == ENOENT || errno == ELOOP || errno == ENOTDIR ? Problem::brokenLink
                                                                     : Problem::unreadable;
    }
    if (S_ISDIR(target.st_mode))
        return Problem::folder;
    if (!S_ISREG(target.st_mode))
        return Problem::notAFile;
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return Problem::none;
        return errno == EACCES || errno == EPERM ? Problem::noPermission : Problem::unreadable;
    }
    ::close(fd);
    return Problem::none;
}

// Whether the lock's process can be looked up here: QLockFile does that for this machine only.
bool writtenOnThisMachine(const LockFileText &lock)
{
    return (lock.host.isEmpty() || lock.host == QSysInfo::machineHostName()) &&
           (lock.machineId.isEmpty() || lock.machineId == QSysInfo::machineUniqueId());
}

qint64 ageMs(const QString &path)
{
    return QFileInfo(path).lastModified().msecsTo(QDateTime::currentDateTime());
}

// Renames `from` to `to` unless something has that name already (errno EEXIST then): what was
// moved aside before is never replaced.
bool renameUnlessTaken(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system that cannot refuse to replace: look first.
    struct stat info {};
    if (::lstat(to.constData(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return errno == ENOENT && ::rename(from.constData(), to.constData()) == 0;
}

// Whether a socket file has a listener behind it. Refused at once when nobody listens; a listener
// whose backlog is full still counts.
bool someoneListensOn(const QByteArray &path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return true; // cannot be asked: taken for live, so it is kept
    std::copy(path.begin(), path.end(), address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return true;
    const bool refused =
        ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)) != 0 &&
        (errno == ECONNREFUSED || errno == ENOENT);
    ::close(fd);
    return !refused;
}

} // namespace

LocalInstanceChannel::LocalInstanceChannel(QString dataFolder, QString runtimeFolder,
                                           QObject *parent)
    : InstanceChannel(parent), m_dataFolder(std::move(dataFolder)),
      m_serverName(serverName(m_dataFolder, runtimeFolder))
{
    connect(&m_refreshTimer, &QTimer::timeout, this, &LocalInstanceChannel::refreshLock);
    m_listenTimer.setSingleShot(true);
    connect(&m_listenTimer, &QTimer::timeout, this, &LocalInstanceChannel::checkListening);
}

LocalInstanceChannel::~LocalInstanceChannel()
{
    if (!m_server || !m_server->isListening())
        return;
    // Closing deletes whatever is under the socket's name, which may no longer be our socket: what
    // took its place, a socket too, goes aside first (a folder that refuses the rename refuses
    // the deletion as well).
    if (!listeningHere())
        moveAside();
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

QString LocalInstanceChannel::lockPath() const
{
    return m_dataFolder + QLatin1Char('/') + lockFileName;
}

InstanceChannel::Claim LocalInstanceChannel::claim()
{
    if (m_lock && m_lock->isLocked())
        return Claim::acquired;
    if (m_dataFolder.isEmpty() || !QFileInfo(m_dataFolder).isDir())
        return Claim::unavailable;
    // QLockFile waits for ever to read a pipe in the lock file's place, and takes anything else it
    // cannot read for a lock held by a copy that does not answer: the operator is to hear what
    // is actually wrong.
    m_lockFileProblem = lockFileProblemAt(lockPath());
    if (m_lockFileProblem != LockFileProblem::none)
        return Claim::lockFileUnusable;
    m_lock = std::make_unique<QLockFile>(lockPath());
    // Qt's default declares any lock older than 30 s stale, which would hand the folder to a
    // second copy once the first has run for half a minute. QLockFile itself takes over a lock of
    // this machine whose process is gone; the rest is decided below.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return startHolding();
    if (m_lock->error() != QLockFile::LockFailedError)
        return Claim::unavailable;

    // A lock file that names no process (cut short by a crash while it was written) would keep
    // every later start out for good; so would one of another machine whose holder is gone.
    const std::optional<LockFileText> lock = readLockFile(lockPath());
    const qint64 age = ageMs(lockPath());
    const bool stale = lock ? !writtenOnThisMachine(*lock) &&
                                  age > std::chrono::milliseconds(foreignLockStaleAge).count()
                            : age > unreadableLockAgeMs;
    if (stale && m_lock->removeStaleLockFile() && m_lock->tryLock(0))
        return startHolding();
    return Claim::heldByAnotherCopy;
}

InstanceChannel::Claim LocalInstanceChannel::startHolding()
{
    m_refreshTimer.start(m_timing.lockRefresh);
    return Claim::acquired;
}

void LocalInstanceChannel::refreshLock()
{
    // Now as the modification time tells copies on other machines that this one still runs.
    ::utimensat(AT_FDCWD, QFile::encodeName(lockPath()).constData(), nullptr, 0);
}

InstanceChannel::Holder LocalInstanceChannel::holder() const
{
    const std::optional<LockFileText> lock = readLockFile(lockPath());
    return lock ? Holder{lock->pid, lock->host, lockPath()} : Holder{0, QString(), lockPath()};
}

bool LocalInstanceChannel::listen()
{
    if (!m_server) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        m_server->setMaxPendingConnections(8);
        connect(m_server, &QLocalServer::newConnection, this, &LocalInstanceChannel::acceptCallers);
    }
    const bool listening = listeningHere() || startListening();
    m_listenRetry = m_timing.listenCheck;
    m_listenTimer.start(m_timing.listenCheck);
    return listening;
}

std::optional<LocalInstanceChannel::FileIdentity>
LocalInstanceChannel::identityOf(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    // The type and change time tell a new file from ours where the file system reuses the inode.
    return FileIdentity{quint64(info.st_dev), quint64(info.st_ino), quint32(info.st_mode & S_IFMT),
                        qint64(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec};
}

bool LocalInstanceChannel::listeningHere() const
{
    return m_server->isListening() && m_socketIdentity &&
           identityOf(m_serverName) == m_socketIdentity;
}

bool LocalInstanceChannel::startListening()
{
    if (!clearSocketPath())
        return false;
    // Only now: closing deletes whatever is under the server's name.
    m_server->close();
    if (!m_server->listen(m_serverName)) {
        m_socketIdentity.reset();
        return false;
    }
    m_socketIdentity = identityOf(m_serverName);
    return true;
}

bool LocalInstanceChannel::clearSocketPath()
{
    const QByteArray path = QFile::encodeName(m_serverName);
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0)
        return errno == ENOENT;
    // We hold the lock: since we listened, a socket here that is still ours holds nothing; before
    // that, one that nobody listens on is a crashed copy's. Another program's, live before we
    // started or put in place of ours since, is its own business, and goes aside like anything
    // else.
    if (S_ISSOCK(info.st_mode) &&
        (m_socketIdentity ? identityOf(m_serverName) == m_socketIdentity : !someoneListensOn(path)))
        return ::unlink(path.constData()) == 0 || errno == ENOENT;
    // Anything else was put here by hand or by another program, and may be worth keeping.
    return moveAside();
}

bool LocalInstanceChannel::moveAside()
{
    const QString base = m_serverName + QStringLiteral(".moved-aside");
    const QString time =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    // Ends: once a name is free, or when the move itself fails (nothing left to move included).
    for (int n = 1;; ++n) {
        QString movedTo = n > movedAsideNames ? base + u'-' + time : base;
        const int number = n > movedAsideNames ? n - movedAsideNames : n;
        if (number > 1)
            movedTo += QStringLiteral("-%1").arg(number);
        if (renameUnlessTaken(QFile::encodeName(m_serverName), QFile::encodeName(movedTo))) {
            Q_EMIT socketPathMovedAside(m_serverName, movedTo);
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
}

void LocalInstanceChannel::checkListening()
{
    // A failed accept (the open-files limit reached) closes the server without a signal, and a
    // cleaner of the runtime folder may remove the socket file under a server that listens on
    // unseen: either way every later start would be left unanswered for the rest of the session.
    if (listeningHere() || startListening()) {
        m_listenRetry = m_timing.listenCheck;
        m_listenTimer.start(m_timing.listenCheck);
        return;
    }
    m_listenRetry = std::min(m_listenRetry * 2, m_timing.longestListenRetry);
    m_listenTimer.start(m_listenRetry);
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
