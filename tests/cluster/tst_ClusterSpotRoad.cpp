// The fixed work of the spot road: the connection's timers are re-armed, never re-made, and a
// read after the login does no prompt work while no step waits.

#include "ClusterConnectionTestKit.h"
#include "ClusterTask.h"

using namespace varnello;
using namespace varnello::test;

class TestClusterSpotRoad : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    // What a task runs, by what was done to it after the first start.
    void task_runsOnlyTheLastStartedAction_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("ran");
        QTest::newRow("started") << ""
                                 << "a";
        QTest::newRow("cancelled") << "cancel"
                                   << "";
        QTest::newRow("restarted") << "restart"
                                   << "b";
        QTest::newRow("cancelled, then started again") << "cancel restart"
                                                       << "b";
        QTest::newRow("restarts itself once") << "chain"
                                              << "ac";
    }

    void task_runsOnlyTheLastStartedAction()
    {
        QFETCH(QString, script);
        QFETCH(QString, ran);
        QObject context;
        ClusterTask task;
        QString log;
        bool activeWhileRunning = true;
        task.start(&context, 10ms, [&] {
            log += u'a';
            activeWhileRunning = task.isActive();
            if (script == QStringLiteral("chain"))
                task.start(&context, 10ms, [&] { log += u'c'; });
        });
        for (const QString &step : script.split(u' ', Qt::SkipEmptyParts)) {
            if (step == QStringLiteral("cancel"))
                task.cancel();
            else if (step == QStringLiteral("restart"))
                task.start(&context, 20ms, [&] { log += u'b'; });
        }
        QTest::qWait(150);
        QCOMPARE(log, ran);
        QVERIFY(!task.isActive());
        if (ran.startsWith(u'a'))
            QVERIFY(!activeWhileRunning);
    }

    void task_ofAGoneContextDoesNothing()
    {
        ClusterTask task;
        bool ran = false;
        {
            QObject context;
            task.start(&context, 10ms, [&] { ran = true; });
        }
        QTest::qWait(60);
        QVERIFY(!ran);
    }

    // While spots pour in, reads close together are gathered and handled in one go: nothing
    // is delivered while they gather, and a close right after a burst still delivers every
    // spot, in order, before the connection ends.
    void gatheredReads_deliverEverySpotInOrder_evenWhenTheNodeClosesAfterThem()
    {
        ClusterTiming timing = fastTiming();
        timing.readGatherWindow = 3000ms;
        ConnectionKit kit(timing);
        QVERIFY(kit.logIn());
        QStringList calls{QStringLiteral("K0ABC")};
        kit.node.sendLine(spotLineFor(calls.constFirst()));
        QVERIFY(kit.waitFor([&] { return kit.liveSpots.size() == 1; }));
        for (int i = 1; i <= 20; ++i) {
            calls.prepend(QStringLiteral("K%1ABC").arg(i));
            kit.node.sendLine(spotLineFor(calls.constFirst()));
        }
        kit.settle(300);
        QCOMPARE(kit.liveSpots.size(), 1);
        kit.node.closeConnection();
        QVERIFY(kit.waitFor([&] { return !kit.connection->isConnected(); }));
        QCOMPARE(kit.spotCalls().mid(0, 21), calls);
    }

    void readAfterLoginWithoutWaitingStep_collectsNoPromptText()
    {
        ConnectionKit kit;
        QVERIFY(kit.logIn());
        // The marker comes after the back-fill's closing prompt: no step waits any more.
        kit.node.sendLine(QStringLiteral("marker"));
        QVERIFY(kit.waitFor([&] { return kit.consoleHas(QStringLiteral("marker")); }));
        ClusterConnectionTestAccess::receive(
            *kit.connection, (spotLineFor(QStringLiteral("K1ABC")) + "\r\nhalf a li").toUtf8());
        QVERIFY(ClusterConnectionTestAccess::promptBuffer(*kit.connection).isEmpty());
        // A command that waits for its prompt brings the prompt work back.
        kit.connection->sendSpot(QStringLiteral("DL1ABC"), QStringLiteral("14025.0"), {});
        ClusterConnectionTestAccess::receive(*kit.connection, "ne\r\nN0CALL de NO");
        QCOMPARE(ClusterConnectionTestAccess::promptBuffer(*kit.connection),
                 QStringLiteral("n0call de no"));
    }
};

QTEST_GUILESS_MAIN(TestClusterSpotRoad)
#include "tst_ClusterSpotRoad.moc"
