// The lock and the raise line between copies, on temporary folders.
#include "InstanceChannel.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

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

    void raiseRequest_reachesTheHolder()
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
