#include "../../content/ContentViewFixture.h"
#include "AlertWidgetTestSupport.h"

#include "AlertColorDot.h"
#include "ElidedLabel.h"
#include "NewSlotAlertSheet.h"
#include "SpotAlertsSidebar.h"

#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

using namespace varnello;
using namespace varnello::test;

namespace {

QString indexed(const char *name, int slot)
{
    return QString::fromLatin1(name) + QLatin1Char('_') + QString::number(slot);
}

QString labelText(QWidget &sidebar, const char *name, int slot)
{
    return child<QLabel>(sidebar, indexed(name, slot))->text();
}

// One alert of each kind, as an operator might have them.
void storeMixOfAlerts(ContentViewFixture &f)
{
    QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
    alerts[0].name = QStringLiteral("  Europe  ");
    alerts[0].selectedEntityADIFNumbers = {230, 223};
    alerts[0].selectedModes = {SpotType::cw};
    ClubLogAlertSettings clubLog;
    clubLog.wantedStatus = ClubLogWantedStatus::notConfirmed;
    clubLog.entityFilterADIFNumbers = {291};
    clubLog.entitySlotRules = {
        {291, {{"20m", SpotType::cw}, {"40m", SpotType::ftx}, {"20m", SpotType::otherDigital}}}};
    alerts[1].name = QStringLiteral("USA needed");
    alerts[1].clubLogSettings = clubLog;
    alerts[1].selectedEntityADIFNumbers = {291};
    alerts[2].selectedBands = {"20m", "160m", "2mm"};
    alerts[2].selectedModes = {SpotType::ftx, SpotType::cw};
    alerts[2].highlightRows = false;
    alerts[2].playSound = true;
    alerts[4].selectedCallsigns = {"K1ABC", "G4XYZ", "DL1ZZ", "W1AW"};
    alerts[4].showNotification = true;
    f.storeAlerts(alerts, {true, false, true, false, true});
    NewSlotAlertConfiguration newSlot;
    newSlot.lastSuccessfulRefresh = QDateTime(QDate(2026, 3, 3), QTime(9, 5));
    f.storeNewSlot(newSlot, {{291, {{"20m", SpotType::cw}}}});
}

} // namespace

class tst_SpotAlertsSidebar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A name wider than the panel is cut with an ellipsis and leaves the gear in view.
    void longName_isElidedAndKeepsTheGearInView()
    {
        ContentViewFixture f;
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0].name = QString(30, u'W');
        f.storeAlerts(alerts, QList<bool>(5, false));
        ContentView &view = f.make();
        view.handleAppear();
        SpotAlertsSidebar sidebar(view);
        sidebar.resize(260, 900);
        sidebar.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sidebar));
        auto *title = child<ElidedLabel>(sidebar, indexed("alertTitleLabel", 0));
        QCOMPARE(title->text(), QString(30, u'W'));
        QVERIFY(title->isElided());
        auto *gear = child<QToolButton>(sidebar, indexed("alertGearButton", 0));
        const QRect gearInSidebar(gear->mapTo(&sidebar, QPoint(0, 0)), gear->size());
        QVERIFY(sidebar.rect().contains(gearInSidebar));
        QVERIFY(title->geometry().right() < gear->geometry().left());
    }

    void rows_showTheStoredAlerts()
    {
        ContentViewFixture f;
        storeMixOfAlerts(f);
        ContentView &view = f.make();
        view.handleAppear();
        SpotAlertsSidebar sidebar(view);
        sidebar.resize(260, 900);
        sidebar.show();
        QTRY_COMPARE(labelText(sidebar, "alertEntitySummaryLabel", 0),
                     "England, Fed. Rep. of Germany");

        // Each row shows the view's texts for its slot; the texts themselves are tested headless.
        const QList<bool> flags{true, false, true, false, true};
        for (int slot = 0; slot < alertSlotCount; ++slot) {
            QCOMPARE(labelText(sidebar, "alertTitleLabel", slot), view.alertDisplayName(slot));
            QCOMPARE(labelText(sidebar, "alertEntitySummaryLabel", slot),
                     view.alertEntitySummary(slot));
            QCOMPARE(labelText(sidebar, "alertSlotSummaryLabel", slot),
                     view.alertSlotSummary(slot));
            QCOMPARE(labelText(sidebar, "alertActionSummaryLabel", slot),
                     view.alertActionSummary(slot));
            QCOMPARE(child<QCheckBox>(sidebar, indexed("alertEnabledCheckBox", slot))->isChecked(),
                     flags[slot]);
            QCOMPARE(child<QToolButton>(sidebar, indexed("alertGearButton", slot))->toolTip(),
                     "Configure " + view.alertDisplayName(slot));
        }
        QCOMPARE(view.alertDisplayName(0), "Europe");
        QCOMPARE(labelText(sidebar, "alertEntitySummaryLabel", 1),
                 "United States of America \u00b7 Club Log \u00b7 Not confirmed");
        QVERIFY(!child<QLabel>(sidebar, "alertSlotSummaryLabel_3")->isVisible());
        QCOMPARE(child<QLabel>(sidebar, "alertActionSymbol_2")->property("symbolName"),
                 "speaker.wave.2");
        QCOMPARE(child<AlertColorDot>(sidebar, "alertColorDot_2")->dotOpacity(), 0.25);
        QCOMPARE(child<AlertColorDot>(sidebar, "alertColorDot_0")->dotOpacity(), 1.0);
        QCOMPARE(child<QLabel>(sidebar, "newSlotAlertRefreshLabel")->text(),
                 "Club Log data last refreshed: 3 Mar 2026 at 09:05");
        QVERIFY(child<QCheckBox>(sidebar, "newSlotAlertEnabledCheckBox")->isChecked());
        savePicture(sidebar, "spot-alerts-sidebar.png");

        // Whatever stores the alerts next (an editor, say) shows at the next turn.
        QList<SpotAlertConfiguration> alerts = view.loadAlertConfigurations();
        alerts[3].name = QStringLiteral("<b>Bold</b>");
        alerts[3].selectedBands = {"6m"};
        f.storeAlerts(alerts, {false, false, false, true, false});
        QTRY_COMPARE(labelText(sidebar, "alertSlotSummaryLabel", 3), "6m \u00b7 Any mode");
        QCOMPARE(child<QLabel>(sidebar, "alertTitleLabel_3")->textFormat(), Qt::PlainText);
        QVERIFY(child<QCheckBox>(sidebar, "alertEnabledCheckBox_3")->isChecked());
        QVERIFY(!child<QCheckBox>(sidebar, "alertEnabledCheckBox_0")->isChecked());
    }

    void clearAll_isConfirmedAndResetsEverything()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        SpotAlertsSidebar sidebar(view);
        sidebar.show();
        auto *clearAll = child<QPushButton>(sidebar, "clearAllAlertsButton");
        QVERIFY(!clearAll->isEnabled());

        QTest::mouseClick(child<QCheckBox>(sidebar, "alertEnabledCheckBox_1"), Qt::LeftButton);
        QCOMPARE(view.loadAlertEnabledStates(), (QList<bool>{false, true, false, false, false}));
        QTRY_VERIFY(clearAll->isEnabled());
        QTest::mouseClick(child<QCheckBox>(sidebar, "newSlotAlertEnabledCheckBox"), Qt::LeftButton);
        QVERIFY(view.newSlotAlertEnabled());

        // "Cancel" keeps everything.
        clearAll->click();
        QVERIFY(view.isClearAllAlertsConfirmationPresented());
        QPointer<QMessageBox> box = child<QMessageBox>(sidebar, "clearAllAlertsConfirmation");
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->informativeText(), "This will completely reset all alerts, including their "
                                         "names, selections, actions and colours.");
        QTest::keyClick(box, Qt::Key_Escape);
        QTRY_VERIFY(!view.isClearAllAlertsConfirmationPresented());
        QVERIFY(view.newSlotAlertEnabled() && view.alertIsEnabled(1));
        QTRY_VERIFY(!box);

        clearAll->click();
        box = child<QMessageBox>(sidebar, "clearAllAlertsConfirmation");
        QTRY_VERIFY(box->isVisible());
        child<QPushButton>(*box, "confirmClearAllButton")->click();
        QTRY_VERIFY(!view.isClearAllAlertsConfirmationPresented());
        QVERIFY(view.alertsAreAtDefaults());
        QTRY_VERIFY(!clearAll->isEnabled());
        QVERIFY(!child<QCheckBox>(sidebar, "alertEnabledCheckBox_1")->isChecked());
        QVERIFY(!child<QCheckBox>(sidebar, "newSlotAlertEnabledCheckBox")->isChecked());
    }

    void gears_openTheEditorSessionAndTheNewSlotSheet()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        SpotAlertsSidebar sidebar(view);
        sidebar.show();
        child<QToolButton>(sidebar, "alertGearButton_2")->click();
        QVERIFY(view.alertEditorSession());
        QCOMPARE(view.alertEditorSession()->index, 2);
        view.closeAlertEditor();

        child<QToolButton>(sidebar, "newSlotAlertGearButton")->click();
        QVERIFY(view.isNewSlotAlertSheetPresented() && view.isNewSlotAlertSummaryPresented());
        QPointer<NewSlotAlertSheet> sheet = sidebar.findChild<NewSlotAlertSheet *>();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(sheet->windowModality(), Qt::WindowModal);
        QTest::keyClick(sheet, Qt::Key_Escape);
        QVERIFY(!view.isNewSlotAlertSheetPresented() && !view.isNewSlotAlertSummaryPresented());
        QTRY_VERIFY(!sheet);
    }
};

QTEST_MAIN(tst_SpotAlertsSidebar)
#include "tst_SpotAlertsSidebar.moc"
