// Where a popover opens for its button, and how windows are fitted into a screen's available
// area.
#include "ScreenFit.h"

#include <QtTest>

using namespace varnello;

class ScreenFitTest : public QObject {
    Q_OBJECT

private slots:
    void popupPosition_staysInsideTheScreen_data()
    {
        QTest::addColumn<QRect>("button");
        QTest::addColumn<QSize>("popup");
        QTest::addColumn<QPoint>("expected");
        // A 1366 x 768 screen to the right of a 1280 x 800 one, with a 30-pixel panel on top.
        QTest::newRow("fits under the button")
            << QRect(1400, 100, 80, 24) << QSize(560, 460) << QPoint(1400, 126);
        QTest::newRow("too wide at the right edge: moved left")
            << QRect(2500, 100, 80, 24) << QSize(560, 460) << QPoint(2646 - 560, 126);
        QTest::newRow("no room below: above the button")
            << QRect(1400, 600, 80, 24) << QSize(560, 460) << QPoint(1400, 600 - 2 - 460);
        QTest::newRow("no room below or above: against the bottom edge")
            << QRect(1400, 300, 80, 24) << QSize(270, 600) << QPoint(1400, 768 - 600);
        QTest::newRow("corner: moved left and above")
            << QRect(2560, 700, 80, 24) << QSize(270, 330) << QPoint(2646 - 270, 700 - 2 - 330);
    }

    void popupPosition_staysInsideTheScreen()
    {
        QFETCH(QRect, button);
        QFETCH(QSize, popup);
        QFETCH(QPoint, expected);
        const QRect available(1280, 30, 1366, 738);
        const QPoint placed = screenfit::popupPosition(button, popup, available);
        QCOMPARE(placed, expected);
        QVERIFY(available.contains(QRect(placed, popup)));
    }

    void clampedSize_leavesRoomForTheWindowFrame_data()
    {
        QTest::addColumn<QSize>("wanted");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("fits") << QSize(650, 650) << QSize(650, 650);
        QTest::newRow("too tall") << QSize(780, 780) << QSize(780, 768 - 48);
        QTest::newRow("too tall and too wide") << QSize(1400, 900) << QSize(1366 - 16, 768 - 48);
    }

    void clampedSize_leavesRoomForTheWindowFrame()
    {
        QFETCH(QSize, wanted);
        QFETCH(QSize, expected);
        QCOMPARE(screenfit::clampedSize(wanted, QRect(0, 0, 1366, 768)), expected);
        QCOMPARE(screenfit::clampedSize(wanted, QRect()), wanted); // no screen known
    }

    void movedInside_keepsTheTopLeftOfAWindowTooLarge()
    {
        const QRect available(0, 0, 1280, 800);
        QCOMPARE(screenfit::movedInside(QRect(900, 500, 600, 400), available),
                 QRect(680, 400, 600, 400));
        QCOMPARE(screenfit::movedInside(QRect(-50, -20, 600, 400), available),
                 QRect(0, 0, 600, 400));
        QCOMPARE(screenfit::movedInside(QRect(100, 100, 1400, 900), available).topLeft(),
                 QPoint(0, 0));
    }
};

QTEST_MAIN(ScreenFitTest)
#include "tst_ScreenFit.moc"
