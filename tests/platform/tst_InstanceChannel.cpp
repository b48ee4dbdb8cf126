// The lock and the raise line between copies, on temporary folders.
#include "InstanceChannel.h"
#include "ShortTemporaryDir.h"

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

#include <sys/stat.h>
#include <unistd.h>

using namespace varnello;
using namespace std::chrono_literals;
using Problem = InstanceChannel::LockFileProblem;

namespace {

struct Folders {
    QTemporaryDir tmp{varnello::test::shortTemporaryTemplate()};
    QString data = tmp.filePath(QStringLiteral("data"));
    QString other = tmp.filePath(QStringLiteral("other"));
    QString runtime = tmp.filePath(QStringLiteral("run"));
    Folders()
    {
        for (const QString &folder : {data, other, runtime})
            QDir().mkpath(folder);
    }
};

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
        QFile stale(holder.serverName());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
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

    // A cleaner of the runtime folder may remove the socket file, or something else take its
    // name, while the server listens on unseen: the holder listens under that name again. What is
    // not its own socket is kept under another name, also when the holder ends: never deleted.
    void takenSocketName_isListenedOnAgain_data()
    {
        QTest::addColumn<QByteArray>("replacement"); // null: the socket is only removed
        QTest::addColumn<int>("times");
        QTest::addColumn<QByteArray>("atEnd"); // null: another program's socket
        QTest::addColumn<bool>("bySocket");    // the replacement is another program's socket
        QTest::newRow("socket removed") << QByteArray() << 1 << QByteArray("late notes") << false;
        QTest::newRow("replaced by a file")
            << QByteArray("operator's notes") << 1 << QByteArray("late notes") << false;
        QTest::newRow("replaced ten times, a socket at the end")
            << QByteArray("operator's notes") << 10 << QByteArray() << false;
        QTest::newRow("replaced by another program's socket")
            << QByteArray() << 1 << QByteArray("late notes") << true;
    }
    void takenSocketName_isListenedOnAgain()
    {
        QFETCH(QByteArray, replacement);
        QFETCH(bool, bySocket);
        Folders f;
        auto holder = std::make_unique<LocalInstanceChannel>(f.data, f.runtime);
        QCOMPARE(holder->claim(), InstanceChannel::Claim::acquired);
        holder->setTiming({.listenCheck = 20ms});
        QVERIFY(holder->listen());
        QSignalSpy movedAside(holder.get(), &LocalInstanceChannel::socketPathMovedAside);
        const QString name = holder->serverName(), aside = name + QStringLiteral(".moved-aside");
        QLocalServer squatter;
        const auto replace = [&](const QByteArray &text) {
            QFile file(name);
            return QFile::remove(name) &&
                   (bySocket ? squatter.listen(name)
                             : text.isNull() ||
                                   (file.open(QIODevice::WriteOnly) && file.write(text) > 0));
        };
        const auto contents = [](const QString &path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        QFETCH(int, times);
        const int moved = replacement.isNull() && !bySocket ? 0 : times;
        for (int n = 0; n < times; ++n) {
            QVERIFY(replace(replacement));
            QTRY_VERIFY(
                movedAside.size() == (moved ? n + 1 : 0) &&
                QDir(f.runtime).entryList(QDir::System).contains(QFileInfo(name).fileName()));
        }
        LocalInstanceChannel later(f.data, f.runtime);
        QFuture<bool> answered = QtConcurrent::run([&later] { return later.requestRaise(5000ms); });
        QTRY_VERIFY(answered.isFinished());
        QVERIFY(answered.result());
        QCOMPARE(contents(aside), replacement);
        QCOMPARE(movedAside.size(), moved);

        QFETCH(QByteArray, atEnd);
        QLocalServer other;
        bySocket = false;
        QVERIFY(atEnd.isNull() ? QFile::remove(name) && other.listen(name) : replace(atEnd));
        holder.reset();
        const QStringList kept = QDir(f.runtime).entryList({QFileInfo(aside).fileName() + u'*'},
                                                           QDir::Files | QDir::System);
        QCOMPARE(kept.size(), moved + 1);
        if (times == 1)
            QCOMPARE(contents(moved == 0 ? aside : aside + QStringLiteral("-2")), atEnd);
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

    // Something that cannot serve as a lock is named, and left for the operator to remove: no
    // copy is taken to hold it. A pipe used to stall the start for good.
    void unusableLockFile_isNamedAndLeftAlone_data()
    {
        QTest::addColumn<Problem>("problem");
        QTest::newRow("folder") << Problem::folder;
        QTest::newRow("pipe") << Problem::notAFile;
        QTest::newRow("link to nothing") << Problem::brokenLink;
        QTest::newRow("not readable") << Problem::noPermission;
    }
    void unusableLockFile_isNamedAndLeftAlone()
    {
        QFETCH(Problem, problem);
        if (problem == Problem::noPermission && ::geteuid() == 0)
            QSKIP("root reads any file: an unreadable lock file needs an ordinary user");
        Folders f;
        const QString lockPath = f.data + QStringLiteral("/varnello.lock");
        if (problem == Problem::folder)
            QVERIFY(QDir().mkdir(lockPath));
        else if (problem == Problem::notAFile)
            QCOMPARE(::mkfifo(QFile::encodeName(lockPath).constData(), 0600), 0);
        else if (problem == Problem::brokenLink)
            QVERIFY(QFile::link(f.tmp.filePath(QStringLiteral("gone")), lockPath));
        else
            QVERIFY(QFile(lockPath).open(QIODevice::WriteOnly) &&
                    QFile::setPermissions(lockPath, {}));
        LocalInstanceChannel channel(f.data, f.runtime);
        QCOMPARE(channel.claim(), InstanceChannel::Claim::lockFileUnusable);
        QCOMPARE(channel.lockFileProblem(), problem);
        QCOMPARE(channel.holder(), (InstanceChannel::Holder{0, QString(), lockPath}));
        // Still there for the operator to remove; then trying again takes the lock.
        QVERIFY(QFile::remove(lockPath) || QDir().rmdir(lockPath));
        QCOMPARE(channel.claim(), InstanceChannel::Claim::acquired);
    }
};

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_InstanceChannel.moc"
