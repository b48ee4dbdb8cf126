// Where a popover opens for its button.
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
};

QTEST_MAIN(ScreenFitTest)
#include "tst_ScreenFit.moc"
