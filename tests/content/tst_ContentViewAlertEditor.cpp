#include "ContentViewFixture.h"

#include <QTest>

using namespace varnello;
using namespace varnello::test;

namespace {

SpotAlertConfiguration clubLogAlert()
{
    SpotAlertConfiguration c = defaultAlertConfigurations()[0];
    c.clubLogSettings = ClubLogAlertSettings{};
    c.clubLogSettings->modes = {ClubLogMode::cw};
    c.clubLogSettings->entityFilterADIFNumbers = {291};
    c.clubLogSettings->entitySlotRules = {{291, {{"20m", SpotType::cw}}}};
    return c;
}

} // namespace

class tst_ContentViewAlertEditor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void save_keepsTheFlagAndSaveAndEnableSetsIt_data()
    {
        QTest::addColumn<bool>("storedFlag");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<bool>("flagAfter");
        QTest::newRow("Save on a disabled slot") << false << false << false;
        QTest::newRow("Save on an enabled slot") << true << false << true;
        QTest::newRow("Save and Enable") << false << true << true;
    }
    void save_keepsTheFlagAndSaveAndEnableSetsIt()
    {
        QFETCH(bool, storedFlag);
        QFETCH(bool, enable);
        QFETCH(bool, flagAfter);
        ContentViewFixture f;
        f.storeAlerts(defaultAlertConfigurations(), {false, storedFlag, false, false, false});
        ContentView &view = f.make();
        view.openAlertEditor(1);
        view.prepareAlertEditorDraft();
        view.setAlertDraftBand("20m", true);
        view.saveAlertDraft(enable);
        QVERIFY(!view.alertEditorSession());
        QCOMPARE(view.loadAlertConfigurations()[1].selectedBands, QSet<QString>{"20m"});
        QCOMPARE(view.loadAlertEnabledStates()[1], flagAfter);
    }

    void save_namesTrimsAndCutsAnUneditedLongName()
    {
        ContentViewFixture f;
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[2].name = QString(35, 'L');
        alerts[3].name = QStringLiteral("   ");
        f.storeAlerts(alerts, QList<bool>(5, false));
        ContentView &view = f.make();
        view.openAlertEditor(2);
        view.prepareAlertEditorDraft();
        view.saveAlertDraft(false);
        QCOMPARE(view.loadAlertConfigurations()[2].name, QString(30, 'L'));
        view.openAlertEditor(4);
        view.prepareAlertEditorDraft();
        view.setAlertDraftName(QStringLiteral(" \t"));
        view.saveAlertDraft(false);
        QCOMPARE(view.loadAlertConfigurations()[4].name, QStringLiteral("Callsign Alert"));
    }

    void save_dropsTheOtherKindOfSelection()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        for (int slot : {0, 4}) {
            view.openAlertEditor(slot);
            view.prepareAlertEditorDraft();
            SpotAlertConfiguration d = view.alertDraft();
            d.selectedEntityADIFNumbers = {291};
            d.selectedCallsigns = {"K1ABC"};
            view.setAlertDraft(d);
            view.saveAlertDraft(true);
        }
        const QList<SpotAlertConfiguration> stored = view.loadAlertConfigurations();
        QCOMPARE(stored[0].selectedEntityADIFNumbers, QSet<int>{291});
        QVERIFY(stored[0].selectedCallsigns.isEmpty());
        QVERIFY(stored[4].selectedEntityADIFNumbers.isEmpty());
        QCOMPARE(stored[4].selectedCallsigns, QSet<QString>{"K1ABC"});
    }

    void clearAll_isDisabledExactlyWhenClear_writesTheFlagOffAndCancelKeepsIt()
    {
        ContentViewFixture f;
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[1].selectedModes = {SpotType::cw};
        alerts[1].showNotification = true;
        f.storeAlerts(alerts, {false, true, false, false, false});
        ContentView &view = f.make();
        view.openAlertEditor(1);
        view.prepareAlertEditorDraft();
        QVERIFY(!view.isAlertDraftClear());
        view.clearAlertDraft();
        QVERIFY(view.isAlertDraftClear());
        QVERIFY(view.alertEditorSession());
        // Stored at once, before any save.
        QCOMPARE(view.loadAlertEnabledStates()[1], false);
        view.setAlertDraftName(QStringLiteral("Alert 2 "));
        QVERIFY(!view.isAlertDraftClear());
        view.cancelAlertEditor();
        QCOMPARE(view.loadAlertConfigurations()[1], alerts[1]);
        QCOMPARE(view.loadAlertEnabledStates()[1], false);
    }

    void clearAll_keepsColourChoiceAndFrequency()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(0);
        view.prepareAlertEditorDraft();
        view.setAlertDraftHighlightRows(false);
        view.setAlertDraftHighlightColor({0.1, 0.2, 0.3});
        view.setAlertDraftSoundChoice(AlertSoundChoice::alert2);
        view.setAlertDraftSoundFrequency(AlertSoundFrequency::everySpot, true);
        view.setAlertDraftPlaySound(true);
        view.clearAlertDraft();
        const SpotAlertConfiguration d = view.alertDraft();
        QVERIFY(d.highlightRows);
        QVERIFY(!d.playSound);
        QCOMPARE(d.highlightColor, (SpotAlertColor{0.1, 0.2, 0.3}));
        QCOMPARE(d.soundChoice, AlertSoundChoice::alert2);
        QCOMPARE(d.soundFrequency, AlertSoundFrequency::everySpot);
    }

    void modeAllToggle_leavesBeaconAlone()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(0);
        SpotAlertConfiguration d = view.alertDraft();
        d.selectedModes = {SpotType::cw, SpotType::beacon};
        view.setAlertDraft(d);
        view.toggleAllAlertModes();
        QCOMPARE(view.alertDraft().selectedModes,
                 (QSet<SpotType>{SpotType::cw, SpotType::ssb, SpotType::ftx, SpotType::otherDigital,
                                 SpotType::beacon}));
        view.toggleAllAlertModes();
        QCOMPARE(view.alertDraft().selectedModes, QSet<SpotType>{SpotType::beacon});
    }

    void bandToggles_allAndGroup()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(0);
        view.setAlertDraftBand("20m", true);
        view.toggleAlertBandGroup(ContentView::hfBands());
        QCOMPARE(view.alertDraft().selectedBands.size(), 10);
        view.toggleAlertBandGroup(ContentView::hfBands());
        QVERIFY(view.alertDraft().selectedBands.isEmpty());
        view.toggleAllAlertBands();
        QVERIFY(view.alertDraftHasAllBands());
        QCOMPARE(view.alertDraft().selectedBands.size(), 23);
        view.toggleAllAlertBands();
        QVERIFY(view.alertDraft().selectedBands.isEmpty());
    }

    void handEdits_dropClubLogSlotRulesOnly_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("band") << "band";
        QTest::newRow("mode") << "mode";
        QTest::newRow("entity") << "entity";
        QTest::newRow("all bands") << "allBands";
        QTest::newRow("band group") << "group";
        QTest::newRow("all modes") << "allModes";
    }
    void handEdits_dropClubLogSlotRulesOnly()
    {
        QFETCH(QString, edit);
        ContentViewFixture f;
        f.storeAlerts({clubLogAlert()}, QList<bool>(5, false));
        ContentView &view = f.make();
        view.openAlertEditor(0);
        view.prepareAlertEditorDraft();
        if (edit == "band")
            view.setAlertDraftBand("40m", true);
        else if (edit == "mode")
            view.setAlertDraftMode(SpotType::ssb, true);
        else if (edit == "entity")
            view.toggleAlertEntity(230);
        else if (edit == "allBands")
            view.toggleAllAlertBands();
        else if (edit == "group")
            view.toggleAlertBandGroup(ContentView::microwaveBands());
        else
            view.toggleAllAlertModes();
        QVERIFY(view.alertDraft().clubLogSettings);
        QVERIFY(view.alertDraft().clubLogSettings->entitySlotRules.isEmpty());
        QCOMPARE(view.alertDraft().clubLogSettings->entityFilterADIFNumbers, QSet<int>{291});
        QCOMPARE(view.alertDraft().clubLogSettings->modes, QSet<ClubLogMode>{ClubLogMode::cw});
    }

    void actions_permissionAskedOnlyWhenSwitchedOn()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(0);
        view.prepareAlertEditorDraft();
        view.toggleAllAlertActions();
        QVERIFY(view.alertDraftHasAllActions());
        QCOMPARE(f.notificationOutput.prepared, 1);
        view.toggleAllAlertActions();
        QVERIFY(!view.alertDraft().highlightRows && !view.alertDraft().playSound &&
                !view.alertDraft().showNotification);
        QCOMPARE(f.notificationOutput.prepared, 1);
        view.setAlertDraftShowNotification(true);
        view.setAlertDraftShowNotification(true);
        view.setAlertDraftShowNotification(false);
        QCOMPARE(f.notificationOutput.prepared, 2);
    }

    void soundTest_playsTheUnsavedChoiceEveryPress()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(0);
        view.prepareAlertEditorDraft();
        view.setAlertDraftSoundChoice(AlertSoundChoice::alert2);
        view.playAlertDraftSound();
        view.playAlertDraftSound();
        QCOMPARE(f.takeEvents(), (QStringList{"sound:alert2.wav", "sound:alert2.wav"}));
        view.cancelAlertEditor();
        QCOMPARE(view.loadAlertConfigurations()[0].soundChoice, AlertSoundChoice::appleDefault);
    }

    void appear_resetsFieldsAndOpensTheFocusGateNextTurn()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.openAlertEditor(0);
        view.setAlertEntitySearch(QStringLiteral("ita"));
        view.setAlertDraftName(QStringLiteral("Changed"));
        view.prepareAlertEditorDraft();
        QCOMPARE(view.alertEntitySearch(), QString());
        QCOMPARE(view.alertDraft().name, QStringLiteral("Alert 1"));
        QVERIFY(!view.alertNameAcceptsFocus());
        QTRY_VERIFY(view.alertNameAcceptsFocus());
        view.openAlertEditor(1);
        QVERIFY(!view.alertNameAcceptsFocus());
    }
};

QTEST_GUILESS_MAIN(tst_ContentViewAlertEditor)
#include "tst_ContentViewAlertEditor.moc"
