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
#include <utime.h>

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

// A lock file as QLockFile writes it, naming this process, last modified `age` ago.
bool writeLock(const QString &path, const QString &host, const QByteArray &machineId,
               std::chrono::minutes age)
{
    QFile lock(path);
    return lock.open(QIODevice::WriteOnly) &&
           lock.write(QByteArray::number(QCoreApplication::applicationPid()) + '\n' +
                      QFileInfo(QCoreApplication::applicationFilePath()).fileName().toUtf8() +
                      '\n' + host.toUtf8() + '\n' + machineId + '\n') > 0 &&
           lock.flush() &&
           lock.setFileTime(QDateTime::currentDateTime().addSecs(-60 * age.count()),
                            QFileDevice::FileModificationTime);
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
        QFile stale(holder.serverName());
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
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
        holder.setTiming({.listenCheck = 20ms});
        QVERIFY(holder.listen());
        holder.findChild<QLocalServer *>()->close();
        QTRY_VERIFY(holder.findChild<QLocalServer *>()->isListening());
        answered = QtConcurrent::run([&later] { return later.requestRaise(5000ms); });
        QTRY_VERIFY(answered.isFinished());
        QVERIFY(answered.result());

        LocalInstanceChannel stranger(f.other, f.runtime);
        QVERIFY(!stranger.requestRaise(200ms)); // nobody listens for that folder
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
        QTest::addColumn<InstanceChannel::Claim>("claim");
        const QByteArray otherMachine = "9f0c2d55e1a34b6f8d7e6a5b4c3d2e1f";
        QTest::newRow("other host, unrefreshed for 11 minutes")
            << QStringLiteral("old-shack-pc") << otherMachine << 11
            << InstanceChannel::Claim::acquired;
        QTest::newRow("other host, refreshed a minute ago")
            << QStringLiteral("old-shack-pc") << otherMachine << 1
            << InstanceChannel::Claim::heldByAnotherCopy;
        QTest::newRow("this host's name on another machine, 3 days old")
            << QSysInfo::machineHostName() << otherMachine << 3 * 24 * 60
            << InstanceChannel::Claim::acquired;
        QTest::newRow("this machine, 3 days old")
            << QSysInfo::machineHostName() << QSysInfo::machineUniqueId() << 3 * 24 * 60
            << InstanceChannel::Claim::heldByAnotherCopy;
    }
    void existingLock_isTakenOverWhenStale()
    {
        QFETCH(QString, host);
        QFETCH(QByteArray, machineId);
        QFETCH(int, ageMinutes);
        Folders f;
        const QString lockPath = f.data + QStringLiteral("/varnello.lock");
        QVERIFY(writeLock(lockPath, host, machineId, std::chrono::minutes(ageMinutes)));
        LocalInstanceChannel channel(f.data, f.runtime);
        QTEST(channel.claim(), "claim");
        if (channel.claim() == InstanceChannel::Claim::heldByAnotherCopy)
            QCOMPARE(channel.holder(),
                     (InstanceChannel::Holder{QCoreApplication::applicationPid(), host, lockPath}));
    }

    void holder_keepsItsLockFresh()
    {
        Folders f;
        LocalInstanceChannel holder(f.data, f.runtime);
        holder.setTiming({.lockRefresh = 20ms});
        QCOMPARE(holder.claim(), InstanceChannel::Claim::acquired);
        const QString lock = f.data + QStringLiteral("/varnello.lock");
        const utimbuf hourAgo{0, ::time(nullptr) - 3600};
        QVERIFY(::utime(QFile::encodeName(lock).constData(), &hourAgo) == 0);
        QTRY_VERIFY(QFileInfo(lock).lastModified().secsTo(QDateTime::currentDateTime()) < 600);
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
};

QTEST_GUILESS_MAIN(TestInstanceChannel)
#include "tst_InstanceChannel.moc"
