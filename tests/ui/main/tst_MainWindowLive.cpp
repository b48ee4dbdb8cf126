// The main window while a fake node streams spots: the side panels' slides, the keyboard's way
// through the window, and node text with control and direction characters.
#include "MainWindowKit.h"

#include "AlertPanelsInstaller.h"
#include "ConsoleView.h"
#include "FilterPanelsInstaller.h"
#include "SidePanel.h"
#include "SpotTableColumns.h"
#include "SpotTableView.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QPropertyAnimation>
#include <QTextBlock>
#include <QTextLayout>
#include <algorithm>

using namespace varnello;
using namespace varnello::test;

namespace {

// Watches one toggle's slide: when it started (a restart counts again) and when it last stopped,
// and, as an animation of its own on the same clock, when each frame came.
class SlideTimes final : public QAbstractAnimation {
public:
    explicit SlideTimes(QAbstractAnimation *slide) : m_slide(slide)
    {
        m_clock.start();
        connect(slide, &QAbstractAnimation::stateChanged, this, [this](State state) {
            if (state != Running) {
                m_stoppedAt = m_clock.elapsed();
            } else if (m_starts++ == 0) {
                m_startedAt = m_clock.elapsed();
            }
        });
        start();
    }
    int duration() const override { return -1; }
    int starts() const { return m_starts; }
    qint64 span() const { return m_stoppedAt - m_startedAt; }
    // The animation clock keeps time on its own but moves a slide only when the event loop comes
    // round to it, which a loaded machine delays.
    qint64 longestFrameGap() const { return m_longestFrameGap; }
    QString describe() const
    {
        return QStringLiteral("%1 ms, frames up to %2 ms apart, %3 start(s)")
            .arg(span())
            .arg(m_longestFrameGap)
            .arg(m_starts);
    }

protected:
    void updateCurrentTime(int) override
    {
        // Up to the frame that ended the slide.
        if (m_slide->state() != Running && m_stoppedAt >= 0 && m_lastFrame >= m_stoppedAt)
            return;
        const qint64 now = m_clock.elapsed();
        m_longestFrameGap = std::max(m_longestFrameGap, now - m_lastFrame);
        m_lastFrame = now;
    }

private:
    QAbstractAnimation *m_slide;
    QElapsedTimer m_clock;
    int m_starts = 0;
    qint64 m_startedAt = -1;
    qint64 m_stoppedAt = -1;
    qint64 m_lastFrame = 0;
    qint64 m_longestFrameGap = 0;
};

} // namespace

class MainWindowLiveTest : public QObject {
    Q_OBJECT

private slots:
    // At 20 spots a second every refresh used to start the slide again: a panel took a second
    // to open, stopped short, or stayed as a strip over the table once closed.
    void sidePanels_slideOnTimeWhileSpotsStream()
    {
        MainWindowKit kit;
        installFilterPanels(*kit.window, *kit.view, {});
        installAlertPanels(*kit.window, *kit.view);
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn());
        kit.net.node.startSpotStream(20);
        QTRY_VERIFY(kit.cluster().spots().size() >= 3);

        // A slide's clock starts by its first frame and the slide lands on the first frame past
        // its duration: from start to stop it takes at most its duration and two gaps between
        // frames. Load widens the gaps, and the bound with them. A slide restarted per refresh
        // ran on for half a second to several, or never came to rest, with frames 20 ms apart.
        const auto onTime = [](const SlideTimes &times) {
            return times.span() <= SidePanel::slideMilliseconds + 2 * times.longestFrameGap();
        };
        QWidget *body = kit.window->centralWidget();
        struct Side {
            const char *panel;
            const char *action;
            QPoint shownAt;
            QPoint hiddenAt;
        };
        const Side sides[] = {
            {"leftPanel", "leftPanelAction", {0, 0}, {-MainWindow::leftPanelWidth, 0}},
            {"rightPanel",
             "rightPanelAction",
             {body->width() - MainWindow::rightPanelWidth, 0},
             {body->width(), 0}},
        };
        for (const Side &side : sides) {
            auto *panel = kit.find<SidePanel>(QString::fromLatin1(side.panel));
            QAction *action = kit.window->findChild<QAction *>(QString::fromLatin1(side.action));
            const qsizetype spotsBefore = kit.cluster().spots().size();
            auto *slide = panel->findChild<QPropertyAnimation *>();
            QVERIFY(slide);

            // Each toggle starts one slide, however many refreshes the stream brings meanwhile.
            {
                SlideTimes opening(slide);
                action->trigger();
                QTRY_VERIFY(panel->isVisible() && panel->pos() == side.shownAt &&
                            !panel->isSliding());
                QVERIFY2(onTime(opening), qPrintable(opening.describe()));
                QCOMPARE(opening.starts(), 1);
                QCOMPARE(panel->height(), body->height());
            }
            {
                SlideTimes closing(slide);
                action->trigger();
                QTRY_VERIFY(panel->isHidden());
                QVERIFY2(onTime(closing), qPrintable(closing.describe()));
                QCOMPARE(closing.starts(), 1);
                QCOMPARE(panel->pos(), side.hiddenAt);
            }

            QTest::qWait(1000);
            QVERIFY(!panel->isSliding());
            QVERIFY(panel->isHidden());
            // The stream went on all along.
            QVERIFY(kit.cluster().spots().size() >= spotsBefore + 10);
        }
        kit.net.node.stopSpotStream();
    }

    void tab_walksTheWindowInVisualOrder_tableIsOneStop()
    {
        MainWindowKit kit;
        installFilterPanels(*kit.window, *kit.view, {});
        installAlertPanels(*kit.window, *kit.view);
        QVERIFY(kit.showWindow());
        QVERIFY(QTest::qWaitForWindowActive(kit.window.get()));
        // A fresh window takes typing in the command field, not on the Band Filters button.
        QCOMPARE(QApplication::focusWidget(), kit.find<QWidget>(QStringLiteral("commandField")));
        QVERIFY(kit.logIn());
        kit.net.node.sendLines(
            {spotLineFor(QStringLiteral("K1ABC"), 1), spotLineFor(QStringLiteral("K2ABC"), 2)});
        auto *table = kit.find<SpotTableView>(QStringLiteral("spotTable"));
        QTRY_COMPARE(table->model()->rowCount(), 2);

        // With a panel open, Tab goes round through both panel buttons and the panel, passing by
        // what it covers but the wide table and command field; the table entered has a current row.
        QWidget *body = kit.window->centralWidget();
        auto *search = kit.find<QWidget>(QStringLiteral("callsignSearchField"));
        for (const QString panelName : {"rightPanel", "leftPanel"}) {
            auto *panel = kit.find<SidePanel>(panelName);
            QAction *toggle = kit.window->findChild<QAction *>(panelName + "Action");
            toggle->trigger();
            QTRY_VERIFY(panel->isVisible() && !panel->isSliding());
            search->setFocus();
            QTRY_VERIFY(search->hasFocus());
            QStringList reached;
            for (int press = 0; press < 200 && !reached.endsWith(search->objectName()); ++press) {
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                QWidget *focused = QApplication::focusWidget();
                reached.append(focused->objectName());
                if (focused == table)
                    QVERIFY(table->currentIndex().isValid());
                else if (body->isAncestorOf(focused) && !panel->isAncestorOf(focused) &&
                         focused->objectName() != "commandField")
                    QVERIFY2(!QRect(focused->mapTo(body, QPoint(0, 0)), focused->size())
                                  .intersects(panel->geometry()),
                             qPrintable(focused->objectName()));
            }
            QVERIFY2(reached.endsWith(search->objectName()), qPrintable(reached.join(u' ')));
            QVERIFY(reached.contains(QStringLiteral("spotTable")));
            // Buttons in their visual places; the panel's controls follow, or close the round.
            QCOMPARE(reached.first(), QStringLiteral("rightPanelButton"));
            QCOMPARE(reached.at(reached.size() - 2), QStringLiteral("leftPanelButton"));
            const QString afterButtons =
                reached.at(panelName == QLatin1String("rightPanel") ? reached.size() - 3 : 1);
            QVERIFY(panel->isAncestorOf(kit.find<QWidget>(afterButtons)));
            toggle->trigger();
            QTRY_VERIFY(panel->isHidden());
        }

        // Arrows move within the table; Tab leaves it for the command field.
        table->setFocus();
        QTRY_VERIFY(table->hasFocus());
        table->setCurrentIndex(table->model()->index(0, 0));
        QTest::keyClick(table, Qt::Key_Right);
        QTest::keyClick(table, Qt::Key_Down);
        QCOMPARE(table->currentIndex().row(), 1);
        QTest::keyClick(table, Qt::Key_Tab);
        QTRY_COMPARE(QApplication::focusWidget(),
                     kit.find<QWidget>(QStringLiteral("commandField")));

        // From Filters on: every enabled control of the status row, the tabs, the table and the
        // bottom bars, left to right and top to bottom.
        auto *filters = kit.find<QWidget>(QStringLiteral("filtersButton"));
        filters->setFocus();
        QTRY_VERIFY(filters->hasFocus());
        const QStringList expected{
            "filtersButton", "rbnButton",    "connectButton", "clearSpotsButton",
            "tabSpots", // the picker is one stop: the arrows choose the tab
            "spotTable",     "commandField", "spotCallsign",  "spotFrequency",
            "spotComment",   "pauseButton",
        };
        QStringList visited{QApplication::focusWidget()->objectName()};
        while (visited.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
        }
        QCOMPARE(visited, expected);
        // Shift+Tab goes back the same way.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("spotComment"));
    }

    // Node text can neither draw boxes nor reverse what follows it: the same comment shows the
    // same in a spot's cells, its tooltip and a console line.
    void nodeText_sameInTableAndConsole_andReordersNothing()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn());
        const QString comment = QStringLiteral("CW \a\x1b[31mevil\u202E up");
        kit.net.node.sendLines({
            QStringLiteral("DX de W1AW:      14025.0  K1ABC        ") + comment +
                QStringLiteral("          1234Z"),
            QStringLiteral("To ALL de W1AW: ") + comment + QStringLiteral(" 1234Z"),
        });
        auto *table = kit.find<SpotTableView>(QStringLiteral("spotTable"));
        QTRY_COMPARE(table->model()->rowCount(), 1);
        const DXSpot spot = kit.cluster().spots().first();
        QVERIFY2(spot.comment.contains(u'\u202E') && spot.comment.contains(u'\x1b'),
                 "the node's characters reach the spot");

        const QString shown = QStringLiteral("CW [31mevil up");
        const int commentColumn = int(SpotTableColumn::comment);
        const QModelIndex cell = table->model()->index(0, commentColumn);
        QCOMPARE(cell.data(Qt::DisplayRole).toString().trimmed(), shown);
        QVERIFY(cell.data(Qt::ToolTipRole).toString().contains(shown));
        QCOMPARE(table->model()->index(0, commentColumn + 1).data().toString(),
                 spot.dxcc.value_or(QStringLiteral("—")));

        kit.view->setSelectedTab(MainTab::console);
        auto *console = kit.find<ConsoleView>(QStringLiteral("console"));
        QTRY_VERIFY(console->isVisible());
        QTRY_VERIFY(console->toPlainText().contains(QStringLiteral("To ALL")));
        const QTextBlock block = console->document()->lastBlock();
        QCOMPARE(block.text(),
                 QStringLiteral("To ALL de W1AW: ") + shown + QStringLiteral(" 1234Z"));
        // Laid out left to right: what follows the comment stays to the right of it.
        QTRY_VERIFY(block.layout() && block.layout()->lineCount() > 0);
        const QTextLine textLine = block.layout()->lineAt(0);
        const int evil = int(block.text().indexOf(QStringLiteral("evil")));
        const int time = int(block.text().indexOf(QStringLiteral("1234Z")));
        QVERIFY(textLine.cursorToX(evil) < textLine.cursorToX(evil + 4));
        QVERIFY(textLine.cursorToX(evil + 4) < textLine.cursorToX(time));
    }
};

QTEST_MAIN(MainWindowLiveTest)
#include "tst_MainWindowLive.moc"
