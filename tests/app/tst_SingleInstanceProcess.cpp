// The real program started twice on one temporary home: the second start brings the first to the
// front and leaves without touching the settings, and another program's socket in the way survives;
// a lock left by a killed copy is taken over. The end of the session ends it whatever sheet is up.
#include "AppSettingsStore.h"
#include "FakeClusterNode.h"
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

#include <csignal>

using varnello::test::FakeClusterNode;

namespace {

constexpr int startTimeoutMs = 60000; // a sanitizer build starts slowly on a busy machine

// One temporary home with its own data, config, cache and runtime folders.
struct Home {
    QTemporaryDir tmp{varnello::test::shortTemporaryTemplate()};
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString dataFolder = tmp.filePath(QStringLiteral("data/Varnello"));
    QString settings = dataFolder + QStringLiteral("/settings.json");
    QString runtime = tmp.filePath(QStringLiteral("run"));
    QString temporary = tmp.filePath(QStringLiteral("tmp"));

    Home()
    {
        QDir().mkpath(runtime);
        QDir().mkpath(temporary);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment.insert(QStringLiteral("HOME"), tmp.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), tmp.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"),
                           tmp.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), tmp.filePath(QStringLiteral("cache")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("TMPDIR"), temporary);
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

    // The session's end (SIGTERM), Ctrl+C (SIGINT) and a closed terminal (SIGHUP) end the program
    // in its usual time although the sheet refuses every close, without answering the sheet.
    void terminationSignal_endsTheProgramWhateverSheetIsUp_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<int>("signalNumber");
        const QString unsupported = QStringLiteral("unsupportedClusterWarning");
        const QString filters = QStringLiteral("upstreamFilterWarning");
        QTest::newRow("unsupported node, SIGTERM") << unsupported << SIGTERM;
        QTest::newRow("unsupported node, SIGINT") << unsupported << SIGINT;
        QTest::newRow("upstream filters, SIGTERM") << filters << SIGTERM;
        QTest::newRow("upstream filters, SIGHUP") << filters << SIGHUP;
    }

    void terminationSignal_endsTheProgramWhateverSheetIsUp()
    {
        QFETCH(QString, sheet);
        QFETCH(int, signalNumber);
        Home home;
        FakeClusterNode node;
        if (sheet == QLatin1String("unsupportedClusterWarning")) {
            // No DXSpider word in the greeting, and a prompt of no known node.
            node.setKind(FakeClusterNode::Kind::Other);
            node.setCustomPrompt(QStringLiteral("foo>"));
        } else {
            node.setReply(QStringLiteral("stat/us"), {QStringLiteral("Want RBN Spots : No")});
            node.setReply(QStringLiteral("sh/filter"), {QStringLiteral("filter1 accept on hf/cw")});
        }
        const QString host = QStringLiteral("127.0.0.1");
        {
            varnello::AppSettingsStore settings(home.dataFolder);
            settings.setBool(varnello::SettingsKeys::autoConnectOnStartup, true);
            settings.setString(varnello::SettingsKeys::clusterHost, host);
            settings.setString(varnello::SettingsKeys::clusterPort, QString::number(node.port()));
            settings.setString(varnello::SettingsKeys::clusterCallsign, QStringLiteral("N0CALL"));
            settings.setBool(varnello::SettingsKeys::backupClusterEnabled, false);
        }
        Copy copy(home);
        QTRY_VERIFY_WITH_TIMEOUT(copy.said(qPrintable(QStringLiteral("the window shows ") + sheet)),
                                 startTimeoutMs);

        QElapsedTimer timer;
        timer.start();
        QCOMPARE(::kill(static_cast<pid_t>(copy.process.processId()), signalNumber), 0);
        QVERIFY(copy.process.waitForFinished(10000));
        const qint64 took = timer.elapsed();
        QVERIFY2(took < 3000, qPrintable(QStringLiteral("ended %1 ms after the signal").arg(took)));
        QCOMPARE(copy.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(copy.process.exitCode(), 0);
        QVERIFY(copy.said(qPrintable(QStringLiteral("put away unanswered: ") + sheet)));
        // Nothing left behind: no hand-over socket, no lock, no temporary file.
        const auto everything =
            QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;
        QCOMPARE(QDir(home.runtime).entryList(everything), QStringList());
        QCOMPARE(QDir(home.temporary).entryList(everything), QStringList());
        QVERIFY(!QFile::exists(home.dataFolder + QStringLiteral("/varnello.lock")));
        // Unanswered: the unsupported node's Continue would have restored the default node.
        QCOMPARE(
            varnello::AppSettingsStore(home.dataFolder).string(varnello::SettingsKeys::clusterHost),
            host);
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
