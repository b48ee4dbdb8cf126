// The real program started twice on one temporary home: the second start brings the first to the
// front and leaves without touching the settings, and another program's socket in the way survives;
// a lock left by a killed copy is taken over.
#include "InstanceChannel.h"
#include "ShortTemporaryDir.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int startTimeoutMs = 60000; // a sanitizer build starts slowly on a busy machine

// One temporary home with its own data, config, cache and runtime folders.
struct Home {
    QTemporaryDir tmp{varnello::test::shortTemporaryTemplate()};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString dataFolder = tmp.filePath(QStringLiteral("data/Varnello"));
    QString settings = dataFolder + QStringLiteral("/settings.json");
    QString runtime = tmp.filePath(QStringLiteral("run"));

    Home()
    {
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("HOME"), tmp.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), tmp.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           tmp.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), tmp.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // No desktop services: notifications, sleep events and autostart stay out of reach.
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    }
};

// A started copy of the program and everything it wrote to its console.
struct Copy {
    QProcess process;
    QByteArray output;

    explicit Copy(const Home &home)
    {
        process.setProcessEnvironment(home.environment);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QStringLiteral(VARNELLO_BINARY), {});
    }
    ~Copy()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    bool said(const char *text)
    {
        output += process.readAll();
        return output.contains(text);
    }
};

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Waits until the file has not changed for `quietMs`: the start-up's own saves are over.
bool waitUntilSettled(const QString &path, int quietMs)
{
    QElapsedTimer total;
    total.start();
    QByteArray last = readAll(path);
    QElapsedTimer quiet;
    quiet.start();
    while (total.elapsed() < startTimeoutMs) {
        QTest::qWait(100);
        const QByteArray now = readAll(path);
        if (now != last) {
            last = now;
            quiet.restart();
        } else if (quiet.elapsed() >= quietMs) {
            return true;
        }
    }
    return false;
}

} // namespace

class TestSingleInstanceProcess : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void secondStart_raisesTheFirstAndWritesNothing()
    {
        Home home;
        // Another program's socket under the hand-over socket's name goes aside, still listening.
        QVERIFY(QDir().mkpath(home.dataFolder));
        const QString socket =
            varnello::LocalInstanceChannel::serverName(home.dataFolder, home.runtime);
        QLocalServer other;
        QVERIFY(other.listen(socket));
        QElapsedTimer sinceStart;
        sinceStart.start();
        Copy first(home);
        QTRY_VERIFY_WITH_TIMEOUT(first.said("main window first paint"), startTimeoutMs);
        // Counted from the program's own start, not the epoch.
        const auto paint = QRegularExpression(QStringLiteral("first paint at (\\d+) ms"))
                               .match(QString::fromUtf8(first.output));
        QVERIFY(paint.hasMatch() && paint.captured(1).toLongLong() <= sinceStart.elapsed());
        QVERIFY(waitUntilSettled(home.settings, 2000));
        const QByteArray before = readAll(home.settings);
        const QStringList filesBefore = QDir(home.dataFolder).entryList(QDir::Files);

        QElapsedTimer timer;
        timer.start();
        Copy second(home);
        QVERIFY(second.process.waitForFinished(10000));
        const qint64 took = timer.elapsed();
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY2(took < 2000, qPrintable(QStringLiteral("second copy took %1 ms").arg(took)));
        QTRY_VERIFY_WITH_TIMEOUT(first.said("raise requested by another copy"), 5000);
        QCOMPARE(first.process.state(), QProcess::Running);
        QCOMPARE(readAll(home.settings), before);
        QCOMPARE(QDir(home.dataFolder).entryList(QDir::Files), filesBefore);
        QLocalSocket caller;
        caller.connectToServer(socket + QStringLiteral(".moved-aside"));
        QVERIFY(caller.waitForConnected(2000));

        // The session ending quits the ordinary way: a clean exit that gives the lock back.
        first.process.terminate();
        QVERIFY(first.process.waitForFinished(10000));
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.process.exitCode(), 0);
        QVERIFY(!QFile::exists(home.dataFolder + QStringLiteral("/varnello.lock")));
    }

    void lockOfAKilledCopy_doesNotStopTheNextStart()
    {
        Home home;
        {
            Copy killed(home);
            QTRY_VERIFY_WITH_TIMEOUT(killed.said("main window first paint"), startTimeoutMs);
            killed.process.kill(); // SIGKILL: no chance to give the lock back
            QVERIFY(killed.process.waitForFinished(5000));
        }
        QVERIFY(QFile::exists(home.dataFolder + QStringLiteral("/varnello.lock")));

        Copy next(home);
        QTRY_VERIFY_WITH_TIMEOUT(next.said("main window first paint"), startTimeoutMs);
        QCOMPARE(next.process.state(), QProcess::Running);
        // It answers later copies too, over the socket the killed copy left behind.
        Copy later(home);
        QVERIFY(later.process.waitForFinished(10000));
        QCOMPARE(later.process.exitCode(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(next.said("raise requested by another copy"), 5000);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstanceProcess)
#include "tst_SingleInstanceProcess.moc"
