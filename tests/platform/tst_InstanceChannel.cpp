// The lock and the raise line between copies, on temporary folders.
#include "InstanceChannel.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace varnello;
using namespace std::chrono_literals;

namespace {

struct Folders {
    QTemporaryDir tmp;
    QString data = tmp.filePath(QStringLiteral("data"));
    QString other = tmp.filePath(QStringLiteral("other"));
    QString runtime = tmp.filePath(QStringLiteral("run"));
    Folders()
    {
        for (const QString &folder : {data, other, runtime})
            QDir().mkpath(folder);
    }
};

// What a crashed copy leaves behind: a socket file nobody listens on.
bool leaveDeadSocket(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (name.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, name.constData(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)) == 0;
    ::close(fd);
    return bound;
}

// What is under a name, told well enough to find it again intact under another.
QString describe(const QString &path)
{
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("nothing");
    if (S_ISLNK(info.st_mode))
        return QStringLiteral("link to ") + QFile::symLinkTarget(path);
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("folder of ") + QDir(path).entryList(QDir::Files).join(u',');
    if (S_ISSOCK(info.st_mode))
        return QStringLiteral("socket");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("pipe");
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QStringLiteral("file of ") + file.readAll()
                                          : QStringLiteral("unreadable");
}

// Makes a later copy ask the holder to come forward, serving the holder's event loop meanwhile.
bool raiseFrom(LocalInstanceChannel &later)
{
    QFuture<bool> answered = QtConcurrent::run([&later] { return later.requestRaise(2000ms); });
    while (!answered.isFinished())
        QTest::qWait(5);
    return answered.result();
}

} // namespace

class TestInstanceChannel : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void claim_isExclusivePerDataFolder()
    {
        Folders f;
        LocalInstanceChannel first(f.data, f.runtime);
        LocalInstanceChannel second(f.data, f.runtime);
        LocalInstanceChannel elsewhere(f.other, f.runtime);
        QCOMPARE(first.claim(), InstanceChannel::Claim::acquired);
        QCOMPARE(second.claim(), InstanceChannel::Claim::heldByAnotherCopy);
        QCOMPARE(elsewhere.claim(), InstanceChannel::Claim::acquired);
        QVERIFY(first.serverName() != elsewhere.serverName());
        QVERIFY(first.serverName().startsWith(f.runtime + QLatin1Char('/')));
        QVERIFY(first.serverName().toUtf8().size() < 108); // fits a socket address
        LocalInstanceChannel noFolder(QString(), f.runtime);
        QCOMPARE(noFolder.claim(), InstanceChannel::Claim::unavailable);
    }

    void raiseRequest_reachesTheHolderAlsoAfterItsServerClosed()
    {
        Folders f;
        LocalInstanceChannel holder(f.data, f.runtime);
        QCOMPARE(holder.claim(), InstanceChannel::Claim::acquired);
        // A socket file left by a crashed holder does not stop listening.
        QVERIFY(leaveDeadSocket(holder.serverName()));
        holder.setTiming({.listenCheck = 20ms});
        QVERIFY(holder.listen());
        QSignalSpy raised(&holder, &InstanceChannel::raiseRequested);
        LocalInstanceChannel later(f.data, f.runtime);
        QCOMPARE(later.claim(), InstanceChannel::Claim::heldByAnotherCopy);
        // The later copy blocks while it asks; the holder answers from its event loop.
        QFuture<bool> answered = QtConcurrent::run([&later] { return later.requestRaise(5000ms); });
        QTRY_VERIFY(answered.isFinished());
        QVERIFY(answered.result());
        QCOMPARE(raised.size(), 1);
        // A failed accept (the open-files limit reached) closes the server like this.
        holder.findChild<QLocalServer *>()->close();
        QTRY_VERIFY(holder.findChild<QLocalServer *>()->isListening());
        answered = QtConcurrent::run([&later] { return later.requestRaise(5000ms); });
        QTRY_VERIFY(answered.isFinished() && answered.result());

        LocalInstanceChannel stranger(f.other, f.runtime);
        QVERIFY(!stranger.requestRaise(200ms)); // nobody listens for that folder
    }

    // Whatever takes the socket's name (or its removal) is noticed, and the holder listens under
    // that name again; what is not a socket is kept under another name, never deleted.
    void takenSocketName_isListenedOnAgain_data()
    {
        QTest::addColumn<QString>("replacement");
        QTest::addColumn<bool>("keptAside");
        QTest::newRow("socket removed") << QString() << false;
        QTest::newRow("replaced by a file") << QStringLiteral("file") << true;
        QTest::newRow("replaced by a folder") << QStringLiteral("folder") << true;
        QTest::newRow("replaced by a link") << QStringLiteral("link") << true;
        QTest::newRow("replaced by another socket") << QStringLiteral("socket") << false;
    }
    void takenSocketName_isListenedOnAgain()
    {
        QFETCH(QString, replacement);
        QFETCH(bool, keptAside);
        Folders f;
        auto holder = std::make_unique<LocalInstanceChannel>(f.data, f.runtime);
        QCOMPARE(holder->claim(), InstanceChannel::Claim::acquired);
        holder->setTiming({.listenCheck = 20ms});
        QVERIFY(holder->listen());
        QSignalSpy movedAside(holder.get(), &LocalInstanceChannel::socketPathMovedAside);
        QSignalSpy raised(holder.get(), &InstanceChannel::raiseRequested);
        const QString name = holder->serverName();
        const QString aside = name + QStringLiteral(".moved-aside");
        const auto putFile = [](const QString &path, const QByteArray &text) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };

        QVERIFY(QFile::remove(name));
        if (replacement == u"file")
            QVERIFY(putFile(name, "operator's notes"));
        else if (replacement == u"folder")
            QVERIFY(QDir().mkdir(name) && putFile(name + QStringLiteral("/notes"), "x"));
        else if (replacement == u"link")
            QVERIFY(QFile::link(f.other, name));
        else if (replacement == u"socket")
            QVERIFY(leaveDeadSocket(name));
        const QString before = describe(name);
        LocalInstanceChannel later(f.data, f.runtime);
        bool reached = false;
        QTRY_VERIFY(reached || (reached = raiseFrom(later)));
        QCOMPARE(raised.size(), 1);
        QCOMPARE(describe(aside), keptAside ? before : QStringLiteral("nothing"));
        QCOMPARE(movedAside.size(), keptAside ? 1 : 0);

        // Ending while something else has the name takes only the holder's own socket along.
        QVERIFY(QFile::remove(name));
        QVERIFY(putFile(name, "late notes"));
        holder.reset();
        QCOMPARE(describe(keptAside ? aside + QStringLiteral("-2") : aside),
                 QStringLiteral("file of late notes"));
    }

    void junkCaller_isDroppedWithoutARaise()
    {
        Folders f;
        LocalInstanceChannel holder(f.data, f.runtime);
        QCOMPARE(holder.claim(), InstanceChannel::Claim::acquired);
        QVERIFY(holder.listen());
        QSignalSpy raised(&holder, &InstanceChannel::raiseRequested);
        QLocalSocket caller;
        caller.connectToServer(holder.serverName());
        QVERIFY(caller.waitForConnected(2000));
        caller.write(QByteArray(4096, 'r'));
        QTRY_COMPARE(caller.state(), QLocalSocket::UnconnectedState);
        QCOMPARE(raised.size(), 0);
    }

    // The process of a lock written on another machine cannot be looked at from here: it counts
    // as gone once its holder stopped refreshing the lock. This machine's goes by its process.
    void existingLock_isTakenOverWhenStale_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QByteArray>("machineId");
        QTest::addColumn<int>("ageMinutes");
        QTest::addColumn<bool>("takenOver");
        const QByteArray elsewhere = "9f0c2d55e1a34b6f8d7e6a5b4c3d2e1f";
        const QString here = QSysInfo::machineHostName(), old = QStringLiteral("old-shack-pc");
        QTest::newRow("other host, unrefreshed for 11 minutes") << old << elsewhere << 11 << true;
        QTest::newRow("other host, refreshed a minute ago") << old << elsewhere << 1 << false;
        QTest::newRow("this host's name, other machine") << here << elsewhere << 4320 << true;
        QTest::newRow("this machine, live process, 3 days old")
            << here << QSysInfo::machineUniqueId() << 4320 << false;
    }
    void existingLock_isTakenOverWhenStale()
    {
        QFETCH(QString, host);
        QFETCH(QByteArray, machineId);
        QFETCH(int, ageMinutes);
        QFETCH(bool, takenOver);
        Folders f;
        QFile lock(f.data + QStringLiteral("/varnello.lock")); // as QLockFile writes it
        const auto backdate = [&lock](int minutes) {
            lock.close();
            return lock.open(QIODevice::Append) &&
                   lock.setFileTime(QDateTime::currentDateTime().addSecs(-60 * minutes),
                                    QFileDevice::FileModificationTime);
        };
        const qint64 pid = QCoreApplication::applicationPid();
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(QByteArray::number(pid) + '\n' +
                   QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() + '\n' +
                   host.toUtf8() + '\n' + machineId + '\n');
        QVERIFY(backdate(ageMinutes));
        LocalInstanceChannel channel(f.data, f.runtime);
        channel.setTiming({.lockRefresh = 20ms});
        QCOMPARE(channel.claim() == InstanceChannel::Claim::acquired, takenOver);
        QCOMPARE(channel.holder(),
                 (InstanceChannel::Holder{pid, takenOver ? QSysInfo::machineHostName() : host,
                                          lock.fileName()}));
        if (takenOver) { // now this copy's own, kept fresh while it runs
            QVERIFY(backdate(60));
            QTRY_VERIFY(QFileInfo(lock).lastModified().secsTo(QDateTime::currentDateTime()) < 600);
        }
    }

    void unreadableOldLock_isTakenOver()
    {
        Folders f;
        const QString lockPath = f.data + QStringLiteral("/varnello.lock");
        QFile lock(lockPath);
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("\n"); // cut short by a crash: names no process
        lock.close();
        // Fresh, it may be a lock being written this moment: left alone.
        LocalInstanceChannel early(f.data, f.runtime);
        QCOMPARE(early.claim(), InstanceChannel::Claim::heldByAnotherCopy);
        QVERIFY(lock.open(QIODevice::Append));
        QVERIFY(lock.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                 QFileDevice::FileModificationTime));
        lock.close();
        LocalInstanceChannel next(f.data, f.runtime);
        QCOMPARE(next.claim(), InstanceChannel::Claim::acquired);
    }

    // Something that cannot serve as a lock says so, however old; no copy is taken to hold it,
    // and nothing is removed. A pipe used to stall the start for good.
    void unusableLockFile_isNamedAndLeftAlone_data()
    {
        using Problem = InstanceChannel::LockFileProblem;
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Problem>("problem");
        QTest::newRow("folder") << QStringLiteral("folder") << Problem::folder;
        QTest::newRow("pipe") << QStringLiteral("pipe") << Problem::notAFile;
        QTest::newRow("link to nothing") << QStringLiteral("dangling") << Problem::brokenLink;
        QTest::newRow("link to itself") << QStringLiteral("loop") << Problem::brokenLink;
        QTest::newRow("not readable") << QStringLiteral("unreadable") << Problem::noPermission;
    }
    void unusableLockFile_isNamedAndLeftAlone()
    {
        QFETCH(QString, kind);
        if (kind == u"unreadable" && ::geteuid() == 0)
            QSKIP("root reads any file: an unreadable lock file needs an ordinary user");
        Folders f;
        const QString lockPath = f.data + QStringLiteral("/varnello.lock");
        const QByteArray name = QFile::encodeName(lockPath);
        if (kind == u"folder")
            QVERIFY(QDir().mkdir(lockPath));
        else if (kind == u"pipe")
            QCOMPARE(::mkfifo(name.constData(), 0600), 0);
        else if (kind == u"dangling")
            QVERIFY(QFile::link(f.tmp.filePath(QStringLiteral("gone")), lockPath));
        else if (kind == u"loop")
            QVERIFY(QFile::link(lockPath, lockPath));
        else
            QCOMPARE(::close(::open(name.constData(), O_CREAT | O_WRONLY, 0)), 0);
        const timespec hourAgo{::time(nullptr) - 3600, 0};
        const timespec times[2] = {hourAgo, hourAgo};
        QCOMPARE(::utimensat(AT_FDCWD, name.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
        const QString before = describe(lockPath);

        LocalInstanceChannel channel(f.data, f.runtime);
        QCOMPARE(channel.claim(), InstanceChannel::Claim::lockFileUnusable);
        QTEST(channel.lockFileProblem(), "problem");
        QCOMPARE(channel.holder(), (InstanceChannel::Holder{0, QString(), lockPath}));
        QCOMPARE(describe(lockPath), before);
        // Once the operator removed it, trying again takes the lock.
        QVERIFY(QFile::remove(lockPath) || QDir().rmdir(lockPath));
        QCOMPARE(channel.claim(), InstanceChannel::Claim::acquired);
    }
};

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_InstanceChannel.moc"
