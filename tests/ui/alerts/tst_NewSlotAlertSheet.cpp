#include "../../content/ClubLogScene.h"
#include "AlertWidgetTestSupport.h"

#include "ColorSwatchButton.h"
#include "NewSlotAlertSheet.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>

using namespace varnello;
using namespace varnello::test;

namespace {

// The sheet on a window, opened the way the sidebar's gear opens it.
struct SheetWindow {
    ClubLogScene s;
    QWidget window;
    QPointer<NewSlotAlertSheet> sheet;

    SheetWindow()
    {
        window.resize(1000, 800);
        window.show();
        s.view->openNewSlotAlertSheet();
        sheet = new NewSlotAlertSheet(*s.view, &window);
        sheet->setAttribute(Qt::WA_DeleteOnClose);
        sheet->open();
    }

    QWidget *face() const { return sheet->findChild<QStackedWidget *>()->currentWidget(); }
    QCheckBox *box(const QString &name) const { return child<QCheckBox>(*sheet, name); }
    void click(const QString &name) const { child<QPushButton>(*sheet, name)->click(); }
};

} // namespace

class tst_NewSlotAlertSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void form_controlsFollowTheDraftRules()
    {
        SheetWindow w;
        QTRY_VERIFY(w.sheet->isVisible());
        QCOMPARE(w.face()->objectName(), "newSlotSummaryFace");
        QCOMPARE(w.sheet->size(), NewSlotAlertSheet::summarySize.boundedTo(w.sheet->size()));
        w.click("newSlotClubLogButton");
        QCOMPARE(w.face()->objectName(), "newSlotFormFace");
        QVERIFY(child<QRadioButton>(*w.sheet, "newSlotNotWorkedRadio")->isChecked());

        // Mixed cannot be switched off by itself; another mode replaces it.
        w.box("newSlotMode_mixed")->click();
        QVERIFY(w.box("newSlotMode_mixed")->isChecked());
        w.box("newSlotMode_ssb")->click();
        QVERIFY(!w.box("newSlotMode_mixed")->isChecked());
        QCOMPARE(w.s.view->newSlotAlertDraft().modes, QSet<ClubLogMode>{ClubLogMode::ssb});

        // No band: no lookup.
        w.click("newSlotBandsHeader");
        QVERIFY(!w.box("newSlotBand_20m")->isChecked());
        QVERIFY(!child<QPushButton>(*w.sheet, "newSlotApplyButton")->isEnabled());
        QVERIFY(!child<QPushButton>(*w.sheet, "newSlotRefreshButton")->isEnabled());
        w.box("newSlotBand_20m")->click();
        QVERIFY(child<QPushButton>(*w.sheet, "newSlotApplyButton")->isEnabled());

        // Sound controls only with a sound; the current frequency stays on when clicked.
        QVERIFY(!w.box("newSlotEverySpotCheckBox")->isEnabled());
        w.box("newSlotPlaySoundCheckBox")->click();
        QVERIFY(w.box("newSlotEverySpotCheckBox")->isEnabled());
        w.box("newSlotEveryFiveMinutesCheckBox")->click();
        QVERIFY(w.box("newSlotEveryFiveMinutesCheckBox")->isChecked());
        QCOMPARE(child<QComboBox>(*w.sheet, "newSlotSoundChoice")->currentText(), "System Default");

        // The colour well is off with highlighting, and the colour stays.
        const SpotAlertColor colour = w.s.view->newSlotAlertDraft().highlightColor;
        w.box("newSlotHighlightCheckBox")->click();
        QVERIFY(!child<ColorSwatchButton>(*w.sheet, "newSlotColourWell")->isEnabled());
        QCOMPARE(w.s.view->newSlotAlertDraft().highlightColor, colour);

        // A failed check shows its sentence as typed.
        w.s.f.settings.setString(SettingsKeys::clubLogCallsign, "<b>");
        w.s.f.settings.setString(SettingsKeys::clubLogEmail, "");
        w.click("newSlotApplyButton");
        auto *failure = child<QLabel>(*w.sheet, "newSlotFailureLabel");
        QVERIFY(failure->isVisible());
        QCOMPARE(failure->text(), "No Club Log email address has been entered in Settings.");
        savePicture(*w.sheet, "new-slot-alert-form.png");
        QScrollBar *scroll = w.face()->findChild<QScrollArea *>()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        savePicture(*w.sheet, "new-slot-alert-form-bottom.png");

        QTest::keyClick(w.sheet, Qt::Key_Escape);
        QVERIFY(!w.s.view->isNewSlotAlertSheetPresented());
        QTRY_VERIFY(!w.sheet);
        QCOMPARE(w.s.view->loadNewSlotAlertConfiguration(), NewSlotAlertConfiguration{});
    }

    void apply_turnsToTheSummary_andReturnSavesAndEnables()
    {
        SheetWindow w;
        w.s.storeRefreshableNewSlot(false);
        w.s.view->openNewSlotAlertSheet(); // again, on the stored configuration
        w.s.answerAll(w.s.chartWithout({291}), w.s.chartWithout({291, 230}), w.s.chartWithout({}));
        QTRY_VERIFY(w.sheet->isVisible());
        w.click("newSlotClubLogButton");
        w.click("newSlotBandsHeader"); // all sixteen, then none,
        w.click("newSlotBandsHeader");
        w.click("newSlotVHFUHFHeader");
        w.box("newSlotBand_20m")->click();
        QTest::keyClick(w.sheet, Qt::Key_Return);
        QVERIFY(w.s.view->isClubLogLookupInProgress());
        QVERIFY(!child<QPushButton>(*w.sheet, "newSlotApplyButton")->isEnabled());
        QTRY_COMPARE_WITH_TIMEOUT(w.face()->objectName(), QStringLiteral("newSlotSummaryFace"),
                                  20000);
        QCOMPARE(child<QLabel>(*w.sheet, "newSlotSummaryBands")->text(),
                 "20m, 6m, 4m, 2m, 70cm, 23cm");
        QCOMPARE(child<QLabel>(*w.sheet, "newSlotSummaryModes")->text(), "Mixed");
        QVERIFY(child<QLabel>(*w.sheet, "newSlotSummaryCounts")->isVisible());
        QVERIFY(child<QLabel>(*w.sheet, "newSlotSummaryCounts")->text().endsWith(" slots needed"));
        savePicture(*w.sheet, "new-slot-alert-summary.png");

        QTest::keyClick(w.sheet, Qt::Key_Return);
        QTRY_VERIFY(!w.sheet);
        QVERIFY(w.s.view->newSlotAlertEnabled());
        QVERIFY(w.s.view->matchesNewSlotAlert(makeSpot("X1X", "20m", SpotType::ssb, 230)));
    }

    // A hotel's 2 MiB login page in place of a chart: three lines at most, and the tooltip holds
    // the one sentence kept of it.
    void failureFromAHugePage_staysWithinThreeLines()
    {
        SheetWindow w;
        w.s.answerAll(loginPage(2 << 20));
        QTRY_VERIFY(w.sheet->isVisible());
        w.click("newSlotClubLogButton");
        w.click("newSlotApplyButton");
        QTRY_VERIFY_WITH_TIMEOUT(w.s.view->clubLogLookupFailed(), 20000);
        auto *failure = child<QLabel>(*w.sheet, "newSlotFailureLabel");
        QTRY_VERIFY(failure->isVisible());
        QTest::qWait(50);
        const QString shown = failure->text();
        QVERIFY2(shown.count(QLatin1Char('\n')) <= 2, qPrintable(shown));
        const int room = failure->contentsRect().width();
        for (const QString &line : shown.split(QLatin1Char('\n')))
            QVERIFY2(failure->fontMetrics().horizontalAdvance(line) <= room, qPrintable(line));
        QVERIFY(failure->height() < 4 * failure->fontMetrics().lineSpacing());
        QCOMPARE(shownToolTip(failure->toolTip()), *w.s.view->clubLogLookupMessage());
        QVERIFY(shownToolTip(failure->toolTip())
                    .startsWith(
                        QStringLiteral("Club Log returned an error: 2.0 MiB of HTML (HTTP 200)")));
        QScrollBar *scroll = w.face()->findChild<QScrollArea *>()->verticalScrollBar();
        scroll->setValue(scroll->maximum());
        savePicture(*w.sheet, "new-slot-alert-form-page-failure.png");
    }

    void neverRefreshed_showsOnlyTheExplanation()
    {
        SheetWindow w;
        QTRY_VERIFY(w.sheet->isVisible());
        QCOMPARE(child<QLabel>(*w.sheet, "newSlotSummaryExplanation")->text(),
                 "This alert has not yet been populated from Club Log. Use Club Log\u2026 below "
                 "to configure it.");
        QVERIFY(!child<QWidget>(*w.sheet, "newSlotSummaryBlocks")->isVisible());
        savePicture(*w.sheet, "new-slot-alert-summary-empty.png");
    }
};

QTEST_MAIN(tst_NewSlotAlertSheet)
#include "tst_NewSlotAlertSheet.moc"
