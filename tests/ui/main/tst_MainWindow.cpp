// The main window against a fake node: size, toolbar, status bar, connect shortcut, tabs, the
// console and the command field.
#include "MainWindowKit.h"

#include "ClusterConnectionTestAccess.h"
#include "ConsoleView.h"
#include "EmptyStateView.h"
#include "NotificationHub.h"
#include "PaintedText.h"
#include "SidePanel.h"
#include "SpotTableColumns.h"

#include <QLayout>
#include <QMessageBox>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTextDocumentFragment>
#include <QToolBar>
#include <QToolButton>

using namespace varnello;
using namespace varnello::test;

namespace {

QToolButton *toolButtonFor(MainWindow &window, const QString &actionName)
{
    auto *toolbar = window.findChild<QToolBar *>(QStringLiteral("toolbar"));
    QAction *action = window.findChild<QAction *>(actionName);
    return qobject_cast<QToolButton *>(toolbar->widgetForAction(action));
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void window_cannotBeSmallerThanItsMinimum()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        kit.window->resize(300, 200);
        QWidget *body = kit.window->centralWidget();
        QTRY_VERIFY(body->width() >= 803 && body->height() >= 410);
        QCOMPARE(kit.window->windowTitle(), QStringLiteral("Varnello"));
    }

    void searchField_escapeAndClearButton()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        auto *field = kit.find<QLineEdit>(QStringLiteral("callsignSearchField"));
        auto *clear = kit.find<QToolButton>(QStringLiteral("callsignSearchClear"));
        QCOMPARE(field->placeholderText(), QStringLiteral("Search callsign"));
        QCOMPARE(clear->toolTip(), QStringLiteral("Clear callsign search"));
        QVERIFY(clear->isHidden());

        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("k1"));
        QCOMPARE(kit.view->spotCallsignSearch(), QStringLiteral("k1"));
        QVERIFY(!clear->isHidden());
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(kit.view->spotCallsignSearch(), QString());
        QTRY_COMPARE(field->text(), QString());
        QTRY_VERIFY(clear->isHidden());

        QTest::keyClicks(field, QStringLiteral("DL"));
        QTest::mouseClick(clear, Qt::LeftButton);
        QCOMPARE(kit.view->spotCallsignSearch(), QString());
    }

    // The Escape that closes a sheet opened over the window while the search field had the
    // focus belongs to the sheet, even before the sheet's window has become active.
    void searchField_escapeForASheetJustOpenedLeavesTheSearch()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        QVERIFY(QTest::qWaitForWindowActive(kit.window.get()));
        auto *field = kit.find<QLineEdit>(QStringLiteral("callsignSearchField"));
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        QTest::keyClicks(field, QStringLiteral("k1"));
        auto *box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("Sheet"), QString(),
                                    QMessageBox::Cancel, kit.window.get());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::WindowModal);
        box->open();
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!box->isVisible());
        QCOMPARE(kit.view->spotCallsignSearch(), QStringLiteral("k1"));
    }

    void sidePanels_toggleWithTooltips_andOpeningEndsEditing()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        auto *left = kit.find<SidePanel>(QStringLiteral("leftPanel"));
        auto *right = kit.find<SidePanel>(QStringLiteral("rightPanel"));
        QToolButton *leftButton = toolButtonFor(*kit.window, QStringLiteral("leftPanelAction"));
        QToolButton *rightButton = toolButtonFor(*kit.window, QStringLiteral("rightPanelAction"));
        QCOMPARE(leftButton->toolTip(), QStringLiteral("Show Band Filters"));
        QCOMPARE(rightButton->toolTip(), QStringLiteral("Show Spot Alerts"));

        auto *field = kit.find<QLineEdit>(QStringLiteral("callsignSearchField"));
        field->setFocus();
        QTRY_VERIFY(field->hasFocus());
        leftButton->click();
        QVERIFY(!field->hasFocus());
        QTRY_VERIFY(left->isVisible());
        QTRY_COMPARE(left->geometry(), QRect(0, 0, 190, kit.window->centralWidget()->height()));
        QCOMPARE(leftButton->toolTip(), QStringLiteral("Hide Band Filters"));

        rightButton->click();
        const int bodyWidth = kit.window->centralWidget()->width();
        QTRY_COMPARE(right->geometry().left(), bodyWidth - 260);
        QCOMPARE(rightButton->toolTip(), QStringLiteral("Hide Spot Alerts"));
        leftButton->click();
        QTRY_VERIFY(!left->isVisible());
    }

    void statusBar_followsTheConnection()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        auto *dot = kit.find<QWidget>(QStringLiteral("statusDot"));
        QCOMPARE(dot->property("colorName").toString(), QStringLiteral("red"));
        QVERIFY(kit.find<QLabel>(QStringLiteral("nodeAddress"))->isHidden());
        QVERIFY(!kit.find<QPushButton>(QStringLiteral("clearSpotsButton"))->isEnabled());

        QVERIFY(kit.logIn());
        QTRY_COMPARE(dot->property("colorName").toString(), QStringLiteral("green"));
        QCOMPARE(kit.text(QStringLiteral("statusText")), QStringLiteral("Logged in as N0CALL"));
        QCOMPARE(kit.text(QStringLiteral("nodeAddress")),
                 QStringLiteral("— 127.0.0.1:%1").arg(kit.net.node.port()));
        QCOMPARE(kit.text(QStringLiteral("connectButton")), QStringLiteral("Disconnect"));

        kit.net.node.sendLine(spotLineFor(QStringLiteral("K1ABC")));
        auto *clearSpots = kit.find<QPushButton>(QStringLiteral("clearSpotsButton"));
        QTRY_VERIFY(clearSpots->isEnabled());
        QTRY_COMPARE(kit.text(QStringLiteral("spotCount")), QStringLiteral("— 1 spots"));
        QTRY_VERIFY(kit.find<EmptyStateView>(QStringLiteral("emptyState"))->isHidden());
        clearSpots->click();
        QVERIFY(kit.cluster().spots().isEmpty());
        QTRY_VERIFY(!clearSpots->isEnabled());

        kit.find<QPushButton>(QStringLiteral("connectButton"))->click();
        QTRY_COMPARE(kit.text(QStringLiteral("statusText")), QStringLiteral("Disconnected"));
        QTRY_COMPARE(kit.text(QStringLiteral("connectButton")), QStringLiteral("Connect"));
    }

    // The row's texts give way in turn: the host first, down to "…"; the state and the count only
    // when even they do not fit. A cut text ends in "…", whole in its tooltip, and the count
    // stays by the host's text.
    void statusRow_cutsTheHostFirst_andEveryCutTextIsWholeInItsTooltip_data()
    {
        QTest::addColumn<int>("width");         // the window's; 0 for Small View
        QTest::addColumn<QString>("callsign");  // none: not logged in, a long failure text
        QTest::addColumn<QStringList>("shown"); // state, host, count
        const QString call = QStringLiteral("DL1AB");
        const QString longCall = QStringLiteral("DL1AB/P at the far end of a long portable "
                                                "expedition through several grid squares");
        const QString whole = QStringLiteral("whole"), cut = QStringLiteral("cut");
        const QString hidden = QStringLiteral("hidden");
        QTest::newRow("failure, Small View") << 0 << QString() << QStringList{cut, hidden, hidden};
        QTest::newRow("wide") << 1400 << call << QStringList{whole, whole, whole};
        QTest::newRow("default") << 1000 << call << QStringList{whole, cut, whole};
        QTest::newRow("Small View") << 0 << call << QStringList{whole, cut, whole};
        QTest::newRow("smallest, long state") << 1 << longCall << QStringList{cut, cut, cut};
    }
    void statusRow_cutsTheHostFirst_andEveryCutTextIsWholeInItsTooltip()
    {
        QFETCH(int, width);
        QFETCH(QString, callsign);
        QFETCH(QStringList, shown);
        PaintedText painted;
        MainWindowKit kit;
        // Long enough to be cut at the default width.
        kit.settings().setString(SettingsKeys::clusterHost,
                                 QStringLiteral("spots-primary.a-rather-long-cluster-node-name."
                                                "eu-central.dx-network.example.org"));
        kit.settings().setString(SettingsKeys::clusterPort, QStringLiteral("7300"));
        kit.settings().setString(SettingsKeys::clusterCallsign, callsign);
        QVERIFY(kit.showWindow());
        const QString state = callsign.isEmpty()
                                  ? QStringLiteral("Primary and backup clusters unavailable — "
                                                   "attempts stopped (Connection refused)")
                                  : QStringLiteral("Logged in as ") + callsign;
        callsign.isEmpty()
            ? ClusterConnectionTestAccess::setStatusText(kit.cluster(), state)
            : ClusterConnectionTestAccess::logIn(kit.cluster(), ClusterNodeType::dxSpider);
        width ? kit.window->resize(width, 800)
              : NotificationHub::instance().post(applySmallViewNotification);
        QTRY_COMPARE(kit.window->centralWidget()->width(),
                     qMax(width, MainWindow::minimumContentWidth));
        QTRY_COMPARE(kit.text(QStringLiteral("statusText")), state);

        const auto reading = [&](const QString &name) {
            auto *label = kit.find<QLabel>(name);
            const QString text = painted.of(label);
            // A long host name's tooltip holds zero-width spaces where it may break.
            QString tip = QTextDocumentFragment::fromHtml(label->toolTip()).toPlainText();
            if (!label->isVisible())
                return QStringLiteral("hidden");
            if (text == label->text())
                return QStringLiteral("whole");
            if (text.endsWith(u'…') && label->text().startsWith(text.chopped(1)) &&
                label->fontMetrics().horizontalAdvance(text) <= label->contentsRect().width() &&
                tip.remove(QChar(0x200B)) == label->text())
                return QStringLiteral("cut");
            return QStringLiteral("wrong: ") + text;
        };
        QTRY_COMPARE((QStringList{reading(QStringLiteral("statusText")),
                                  reading(QStringLiteral("nodeAddress")),
                                  reading(QStringLiteral("spotCount"))}),
                     shown);

        // At most a letter more than the row's spacing: the room a cut text leaves unused.
        auto *host = kit.find<QLabel>(QStringLiteral("nodeAddress"));
        const int hostTextEnd = host->mapTo(kit.window.get(), host->contentsRect().topLeft()).x() +
                                host->fontMetrics().horizontalAdvance(painted.of(host));
        const int gap =
            kit.find<QLabel>(QStringLiteral("spotCount"))->mapTo(kit.window.get(), QPoint()).x() -
            hostTextEnd;
        QVERIFY(!host->isVisible() || gap <= host->parentWidget()->layout()->spacing() +
                                                 host->fontMetrics().horizontalAdvance(u'W'));
    }

    void ctrlReturn_connectsOnlyWhileTheButtonReadsConnect()
    {
        MainWindowKit kit;
        kit.net.node.setBehaviour(FakeClusterNode::Behaviour::StallAfterCallsign);
        kit.configure();
        QVERIFY(kit.showWindow());
        QVERIFY(QTest::qWaitForWindowActive(kit.window.get()));
        const auto attempts = [&] {
            return kit.net.console().filter(QStringLiteral("Connecting to ")).size();
        };

        QTest::keyClick(kit.window.get(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(attempts(), 1);
        QTRY_COMPARE(kit.text(QStringLiteral("connectButton")), QStringLiteral("Disconnect"));
        QTest::keyClick(kit.window.get(), Qt::Key_Return, Qt::ControlModifier);
        ConnectionKit::settle(100);
        QCOMPARE(attempts(), 1);
        QCOMPARE(kit.net.node.connectionCount(), 1);

        // An attempt that cannot reach its node: the button reads Cancel.
        kit.view->manualDisconnect();
        kit.net.node.setBehaviour(FakeClusterNode::Behaviour::Refuse);
        kit.view->connect(ConnectionOrigin::manual);
        QTRY_COMPARE(kit.text(QStringLiteral("connectButton")), QStringLiteral("Cancel"));
        QTest::keyClick(kit.window.get(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(attempts(), 2);
        kit.view->manualDisconnect();
    }

    void commandField_returnSendsTrimmedShowsConsoleAndEmpties()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn());
        auto *field = kit.find<QLineEdit>(QStringLiteral("commandField"));
        auto *send = kit.find<QPushButton>(QStringLiteral("sendButton"));
        QVERIFY(!send->isEnabled());
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("  sh/dx  "));
        QTRY_VERIFY(send->isEnabled());
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_VERIFY(kit.net.node.hasReceived(QStringLiteral("sh/dx")));
        QTRY_VERIFY(kit.find<QAbstractButton>(QStringLiteral("tabConsole"))->isChecked());
        QCOMPARE(kit.find<QStackedWidget>(QStringLiteral("mainStack"))->currentWidget(),
                 kit.find<QWidget>(QStringLiteral("console")));
        QTRY_COMPARE(field->text(), QString());

        // Keys typed right behind Return, before the event loop comes round again, begin the
        // next line in an empty field.
        QTest::keyClicks(field, QStringLiteral("sh/dx 5"));
        QTest::keyClick(field, Qt::Key_Return);
        QTest::keyClicks(field, QStringLiteral("sh/dx 6"));
        QCOMPARE(field->text(), QStringLiteral("sh/dx 6"));
        QTest::keyClick(field, Qt::Key_Return);
        QTRY_VERIFY(kit.net.node.hasReceived(QStringLiteral("sh/dx 6")));
        QVERIFY(kit.net.node.hasReceived(QStringLiteral("sh/dx 5")));
        QTRY_COMPARE(field->text(), QString());
    }

    void tabs_postIsTableOnFirstShowAndAtEachChange()
    {
        MainWindowKit kit;
        QList<bool> posted;
        connect(&NotificationHub::instance(), &NotificationHub::posted, this,
                [&](const QString &name, const QVariantMap &info) {
                    if (name == QLatin1String("varnelloMainTabChanged"))
                        posted.append(info.value(QStringLiteral("isTable")).toBool());
                });
        QVERIFY(kit.showWindow());
        QTRY_COMPARE(posted, QList<bool>{true});
        kit.find<QAbstractButton>(QStringLiteral("tabConsole"))->click();
        kit.find<QAbstractButton>(QStringLiteral("tabAlertsOnly"))->click();
        QTRY_COMPARE(posted, (QList<bool>{true, false, true}));
        QCOMPARE(kit.view->selectedTab(), MainTab::alertsOnly);
        NotificationHub::instance().disconnect(this);
    }

    void console_plainTextAndFollowsTheBottomOnlyOnItsTab()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        auto *console = kit.find<ConsoleView>(QStringLiteral("console"));
        QCOMPARE(console->placeholderText(), QStringLiteral("No cluster output."));
        QVERIFY(console->document()->isEmpty());
        QVERIFY(console->isReadOnly());

        QVERIFY(kit.logIn());
        QStringList lines;
        for (int i = 0; i < 150; ++i)
            lines.append(QStringLiteral("node line %1").arg(i));
        lines.append(QStringLiteral("<b>x</b>"));
        kit.net.node.sendLines(lines);
        kit.find<QAbstractButton>(QStringLiteral("tabConsole"))->click();
        QScrollBar *scroll = console->verticalScrollBar();
        QTRY_VERIFY(console->toPlainText().endsWith(QStringLiteral("\n<b>x</b>")));
        QTRY_VERIFY(scroll->maximum() > 0 && scroll->value() == scroll->maximum());

        // On its tab every new line brings the view back to the bottom.
        scroll->setValue(0);
        kit.net.node.sendLine(QStringLiteral("one more"));
        QTRY_VERIFY(console->toPlainText().endsWith(QStringLiteral("one more")));
        QTRY_COMPARE(scroll->value(), scroll->maximum());

        // Behind another tab it stays where it was.
        scroll->setValue(0);
        kit.find<QAbstractButton>(QStringLiteral("tabSpots"))->click();
        QTRY_VERIFY(!console->isVisible());
        kit.net.node.sendLines(lines.mid(0, 20));
        QTRY_VERIFY(console->toPlainText().endsWith(QStringLiteral("node line 19")));
        QCOMPARE(scroll->value(), 0);
        kit.find<QAbstractButton>(QStringLiteral("tabConsole"))->click();
        QTRY_VERIFY(scroll->value() > 0 && scroll->value() == scroll->maximum());
    }

    void pauseBar_actsOnTheShownListAndCountsWaitingSpots()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn());
        kit.net.node.sendLine(spotLineFor(QStringLiteral("K1ABC")));
        QTRY_COMPARE(kit.text(QStringLiteral("spotCount")), QStringLiteral("— 1 spots"));
        auto *pause = kit.find<QPushButton>(QStringLiteral("pauseButton"));
        QCOMPARE(pause->text(), QStringLiteral("Pause"));

        pause->click();
        QTRY_COMPARE(pause->text(), QStringLiteral("Resume"));
        QCOMPARE(kit.text(QStringLiteral("pauseLabel")), QStringLiteral("Paused"));
        kit.net.node.sendLines(
            {spotLineFor(QStringLiteral("DL1XYZ"), 1), spotLineFor(QStringLiteral("JA1AAA"), 2)});
        QTRY_COMPARE(kit.text(QStringLiteral("pauseLabel")), QStringLiteral("Paused — 2 new"));
        QCOMPARE(kit.text(QStringLiteral("spotCount")), QStringLiteral("— 3 spots"));

        // The Console tab shows the Spots list's pause; Alerts Only has its own, not paused.
        kit.find<QAbstractButton>(QStringLiteral("tabConsole"))->click();
        QTRY_COMPARE(kit.text(QStringLiteral("pauseLabel")), QStringLiteral("Paused — 2 new"));
        kit.find<QAbstractButton>(QStringLiteral("tabAlertsOnly"))->click();
        QTRY_COMPARE(pause->text(), QStringLiteral("Pause"));
        QCOMPARE(kit.text(QStringLiteral("pauseLabel")), QStringLiteral(" "));

        kit.find<QAbstractButton>(QStringLiteral("tabSpots"))->click();
        QTRY_COMPARE(pause->text(), QStringLiteral("Resume"));
        pause->click();
        QTRY_COMPARE(pause->text(), QStringLiteral("Pause"));
        QVERIFY(!kit.view->isSpotsPaused());
    }

    void emptyState_clearFiltersOverFilteredOutSpots()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        QVERIFY(kit.logIn());
        kit.net.node.sendLine(spotLineFor(QStringLiteral("K1ABC")));
        auto *panel = kit.find<EmptyStateView>(QStringLiteral("emptyState"));
        QTRY_VERIFY(panel->isHidden());
        kit.view->setSelectedBands({QStringLiteral("40m")});
        QTRY_COMPARE(panel->title(), QStringLiteral("No Matching Spots"));
        QVERIFY(panel->isVisible());
        QCOMPARE(kit.text(QStringLiteral("spotCount")), QStringLiteral("— 0 of 1 spots"));
        QCOMPARE(panel->actionTitle(), QStringLiteral("Clear Filters"));
        kit.find<QPushButton>(QStringLiteral("emptyStateAction"))->click();
        QVERIFY(kit.view->selectedBands().isEmpty());
        QTRY_VERIFY(panel->isHidden());
    }

    void emptyState_showsTheChainAndRunsItsAction()
    {
        MainWindowKit kit;
        QVERIFY(kit.showWindow());
        auto *panel = kit.find<EmptyStateView>(QStringLiteral("emptyState"));
        QTRY_COMPARE(panel->title(), QStringLiteral("Callsign Not Configured"));
        QCOMPARE(panel->actionTitle(), QStringLiteral("Open Settings"));
        kit.find<QPushButton>(QStringLiteral("emptyStateAction"))->click();
        QCOMPARE(kit.settingsOpened, 1);

        kit.configure();
        QTRY_COMPARE(panel->title(), QStringLiteral("Not Connected"));
        QCOMPARE(panel->actionTitle(), QStringLiteral("Connect"));
        kit.find<QPushButton>(QStringLiteral("emptyStateAction"))->click();
        QTRY_COMPARE(panel->title(), QStringLiteral("Waiting for Spots"));
        QVERIFY(panel->isVisible());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_MainWindow.moc"
