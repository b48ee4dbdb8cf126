// One refresh per event-loop turn however many changes, spaced under a firehose.
#include "RefreshCoalescer.h"

#include <QtTest>

using namespace varnello;
using namespace std::chrono_literals;

class RefreshCoalescerTest : public QObject {
    Q_OBJECT

private slots:
    void manyRequests_giveOneRefreshOnALaterTurn()
    {
        int refreshes = 0;
        RefreshCoalescer coalescer([&] { ++refreshes; }, 0ms);
        for (int i = 0; i < 1000; ++i)
            coalescer.request();
        QCOMPARE(refreshes, 0);
        QTRY_COMPARE(refreshes, 1);
        QTest::qWait(20);
        QCOMPARE(refreshes, 1);
    }

    void requestsRightAfterARefresh_waitForTheMinimumInterval()
    {
        int refreshes = 0;
        QElapsedTimer clock;
        QList<qint64> times;
        RefreshCoalescer coalescer(
            [&] {
                ++refreshes;
                times.append(clock.elapsed());
            },
            300ms);
        clock.start();
        coalescer.request();
        QTRY_COMPARE(refreshes, 1);
        coalescer.request();
        coalescer.request();
        QTest::qWait(50);
        QCOMPARE(refreshes, 1);
        QVERIFY(coalescer.isPending());
        QTRY_COMPARE_WITH_TIMEOUT(refreshes, 2, 2000);
        QVERIFY(times[1] - times[0] >= 290);
    }
};

QTEST_GUILESS_MAIN(RefreshCoalescerTest)
#include "tst_RefreshCoalescer.moc"
