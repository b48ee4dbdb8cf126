#include "ClubLogScene.h"

#include "AlertSummaryText.h"
#include "BundledResources.h"
#include "NewSlotRules.h"

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

using Modes = QSet<ClubLogMode>;
using Bands = QSet<QString>;

QSet<QString> setOf(const QStringList &list)
{
    return {list.cbegin(), list.cend()};
}

DXSpot entitySpot(int entity, const QString &band, SpotType type)
{
    return makeSpot(QStringLiteral("X1X"), band, type, entity);
}

// An account, a stored New Slot Alert with the old rules, and the sheet open on its form.
struct SheetScene : ClubLogScene {
    explicit SheetScene(bool enabled = false)
    {
        storeRefreshableNewSlot(enabled);
        view->openNewSlotAlertSheet();
        view->showNewSlotClubLogConfiguration();
        NewSlotAlertConfiguration draft = view->newSlotAlertDraft();
        draft.bands = {"20m"};
        view->setNewSlotAlertDraft(draft);
    }

    // CW misses 291; SSB misses 291 and 230: three slots on 20m of two entities.
    void answerTwoEntitiesThreeSlots()
    {
        answerAll(chartWithout({291}), chartWithout({291, 230}), chartWithout({}));
    }

    void applyAndWait()
    {
        view->applyNewSlotAlertDraft(true);
        QVERIFY(view->isClubLogLookupInProgress());
        QTRY_VERIFY_WITH_TIMEOUT(!view->isClubLogLookupInProgress(), 20000);
    }
};

} // namespace

class tst_ContentViewAlertPanels : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { BundledResources::setResolverForTesting({}); }

    void clearAll_enabledOnlyAwayFromDefaults_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("atDefaults");
        QTest::newRow("fresh") << "" << true;
        QTest::newRow("after clear all") << "clear all" << true;
        QTest::newRow("slot switched on") << "slot on" << false;
        QTest::newRow("legacy flag") << "legacy flag" << false;
        QTest::newRow("slot renamed") << "rename" << false;
        QTest::newRow("new slot on") << "new slot on" << false;
        QTest::newRow("new slot colour") << "new slot colour" << false;
        QTest::newRow("lookup stored") << "lookup stored" << false;
        QTest::newRow("rules in use") << "rules in use" << false;
    }
    void clearAll_enabledOnlyAwayFromDefaults()
    {
        QFETCH(QString, change);
        QFETCH(bool, atDefaults);
        ContentViewFixture f;
        ContentView &view = f.make();
        if (change == "clear all") {
            f.storeNewSlot(NewSlotAlertConfiguration{}, oldRules);
            view.clearAllAlerts();
        } else if (change == "slot on") {
            view.setAlertEnabled(3, true);
        } else if (change == "legacy flag") {
            f.settings.setBool(SettingsKeys::spotAlert1Enabled, true);
        } else if (change == "rename") {
            QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
            alerts[1].name = "DX";
            f.storeAlerts(alerts, QList<bool>(5, false));
        } else if (change == "new slot on") {
            view.setNewSlotAlertEnabled(true);
        } else if (change == "new slot colour") {
            NewSlotAlertConfiguration n;
            n.highlightColor.blue = 0.6;
            view.saveNewSlotAlertConfiguration(n);
        } else if (change == "lookup stored") {
            f.settings.setData(SettingsKeys::newSlotAlertLookup, "[]");
        } else if (change == "rules in use") {
            view.alertStore().setNewSlotAlertRules(oldRules);
        }
        QCOMPARE(view.alertsAreAtDefaults(), atDefaults);
    }

    void clearAll_hasItsTenEffects()
    {
        ContentViewFixture f;
        QList<SpotAlertConfiguration> alerts = defaultAlertConfigurations();
        alerts[0] = withSound(modeAlert("CW", SpotType::cw), AlertSoundChoice::alert1,
                              AlertSoundFrequency::everyFiveMinutes);
        f.storeAlerts(alerts, {true, false, true, false, false});
        ContentView &view = f.make();
        NewSlotAlertConfiguration newSlot;
        newSlot.playSound = true;
        newSlot.highlightColor = {0.1, 0.2, 0.3};
        f.storeNewSlot(newSlot, {{230, {{"40m", SpotType::ssb}}}});
        view.processSpotAlerts(makeSpot("K1A", "20m", SpotType::cw));
        view.processSpotAlerts(entitySpot(230, "40m", SpotType::ssb));
        QVERIFY(view.lastAlertSoundDates()[0] && view.lastNewSlotAlertSoundDate());
        view.openAlertEditor(2);
        view.openNewSlotAlertSheet();
        QVERIFY(view.newSlotAlertDraft() != NewSlotAlertConfiguration{});

        view.clearAllAlerts();
        QCOMPARE(alertcoding::decodeConfigurationList(
                     f.settings.data(SettingsKeys::spotAlertsConfiguration)),
                 defaultAlertConfigurations()); // 1
        QCOMPARE(f.settings.data(SettingsKeys::spotAlertsEnabled),
                 QByteArray("[false,false,false,false,false]")); // 2
        for (const auto &date : view.lastAlertSoundDates())      // 3
            QVERIFY(!date);
        QVERIFY(!view.alertEditorSession()); // 4
        QCOMPARE(f.settings.value(SettingsKeys::newSlotAlertEnabled.name),
                 std::optional<StoredSetting>(StoredSetting::boolean(false))); // 5
        QCOMPARE(alertcoding::decodeNewSlotConfiguration(
                     f.settings.data(SettingsKeys::newSlotAlertConfiguration)),
                 NewSlotAlertConfiguration{});                                // 6
        QVERIFY(f.settings.data(SettingsKeys::newSlotAlertLookup).isEmpty()); // 7
        QVERIFY(view.newSlotAlertRules().isEmpty());                          // 8
        QVERIFY(!view.lastNewSlotAlertSoundDate());                           // 9
        QCOMPARE(view.newSlotAlertDraft(), NewSlotAlertConfiguration{});      // 10
        QVERIFY(view.alertsAreAtDefaults());
    }

    void enabledCheckbox_storesAllFiveFlags()
    {
        ContentViewFixture f;
        f.settings.setBool(SettingsKeys::spotAlert1Enabled, true);
        ContentView &view = f.make();
        view.setAlertEnabled(2, true);
        QCOMPARE(f.settings.data(SettingsKeys::spotAlertsEnabled),
                 QByteArray("[true,false,true,false,false]"));
        QVERIFY(view.alertIsEnabled(2) && !view.alertIsEnabled(1));
        view.setAlertEnabled(0, false);
        QCOMPARE(f.settings.data(SettingsKeys::spotAlertsEnabled),
                 QByteArray("[false,false,true,false,false]"));
    }

    void newSlotModes_keepTheirInvariant_data()
    {
        QTest::addColumn<Modes>("start");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Modes>("expected");
        const Modes mixed{ClubLogMode::mixed};
        QTest::newRow("ssb on from mixed") << mixed << "+ssb" << Modes{ClubLogMode::ssb};
        QTest::newRow("last mode off") << Modes{ClubLogMode::ssb} << "-ssb" << mixed;
        QTest::newRow("one of two off")
            << Modes{ClubLogMode::cw, ClubLogMode::data} << "-cw" << Modes{ClubLogMode::data};
        QTest::newRow("another on")
            << Modes{ClubLogMode::cw} << "+data" << Modes{ClubLogMode::cw, ClubLogMode::data};
        QTest::newRow("mixed on") << Modes{ClubLogMode::cw, ClubLogMode::data} << "+mixed" << mixed;
        QTest::newRow("mixed off does nothing") << mixed << "-mixed" << mixed;
        QTest::newRow("header") << Modes{ClubLogMode::cw, ClubLogMode::ssb} << "header" << mixed;
        QTest::newRow("header on mixed") << mixed << "header" << mixed;
    }
    void newSlotModes_keepTheirInvariant()
    {
        QFETCH(Modes, start);
        QFETCH(QString, action);
        QFETCH(Modes, expected);
        ContentViewFixture f;
        ContentView &view = f.make();
        NewSlotAlertConfiguration draft;
        draft.modes = start;
        view.setNewSlotAlertDraft(draft);
        if (action == "header") {
            view.selectAllNewSlotModes();
        } else {
            const ClubLogMode mode = *clubLogModeFromRaw(action.mid(1));
            view.setNewSlotDraftMode(mode, action.startsWith('+'));
        }
        QCOMPARE(view.newSlotAlertDraft().modes, expected);
        for (ClubLogMode mode : allClubLogModes)
            QCOMPARE(view.newSlotDraftModeIsSelected(mode), expected.contains(mode));
    }

    void newSlotBandToggles_data()
    {
        QTest::addColumn<Bands>("start");
        QTest::addColumn<QString>("button");
        QTest::addColumn<Bands>("expected");
        const Bands all = setOf(newSlotAllBands());
        const Bands hf = setOf(hfBands());
        QTest::newRow("bands clears all sixteen") << all << "Bands" << Bands{};
        QTest::newRow("bands selects all sixteen") << Bands{} << "Bands" << all;
        QTest::newRow("bands from one") << Bands{"20m"} << "Bands" << all;
        QTest::newRow("bands drops others") << (all + Bands{"3cm"}) << "Bands" << all;
        QTest::newRow("hf completes the group")
            << Bands{"160m", "80m", "6m"} << "HF" << (hf + Bands{"6m"});
        QTest::newRow("hf removes the group")
            << (hf + Bands{"6m", "13cm"}) << "HF" << Bands{"6m", "13cm"};
        Bands nine = hf;
        nine.remove("10m");
        QTest::newRow("hf adds the missing one") << nine << "HF" << hf;
        QTest::newRow("vhf adds") << Bands{"2m"} << "VHF/UHF" << setOf(vhfUHFBands());
        QTest::newRow("microwave removes") << Bands{"13cm", "20m"} << "Microwave" << Bands{"20m"};
    }
    void newSlotBandToggles()
    {
        QFETCH(Bands, start);
        QFETCH(QString, button);
        QFETCH(Bands, expected);
        ContentViewFixture f;
        ContentView &view = f.make();
        NewSlotAlertConfiguration draft;
        draft.bands = start;
        view.setNewSlotAlertDraft(draft);
        if (button == "Bands")
            view.toggleAllNewSlotBands();
        else if (button == "HF")
            view.toggleNewSlotHFBands();
        else if (button == "VHF/UHF")
            view.toggleNewSlotBandGroup(vhfUHFBands());
        else
            view.toggleNewSlotBandGroup({"13cm"});
        QCOMPARE(view.newSlotAlertDraft().bands, expected);
    }

    void newSlotActionsAndReset()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        NewSlotAlertConfiguration draft;
        draft.soundChoice = AlertSoundChoice::alert2;
        draft.entitySlotRules = oldRules;
        draft.neededEntityCount = 1;
        draft.neededSlotCount = 1;
        view.setNewSlotAlertDraft(draft);

        // "Actions": highlight alone is not all, so all three go on and permission is asked.
        view.toggleAllNewSlotActions();
        QVERIFY(view.newSlotAlertDraft().playSound && view.newSlotAlertDraft().showNotification);
        QCOMPARE(f.notificationOutput.prepared, 1);
        view.toggleAllNewSlotActions();
        QVERIFY(!view.newSlotAlertDraft().highlightRows && !view.newSlotAlertDraft().playSound &&
                !view.newSlotAlertDraft().showNotification);
        QCOMPARE(f.notificationOutput.prepared, 1);

        // The preview ignores the throttle and plays the unsaved choice.
        view.previewNewSlotAlertSound();
        view.previewNewSlotAlertSound();
        QCOMPARE(f.takeEvents(), (QStringList{"sound:alert2.wav", "sound:alert2.wav"}));

        view.resetNewSlotAlertDraft();
        QCOMPARE(view.newSlotAlertDraft(), NewSlotAlertConfiguration{});
        QVERIFY(f.settings.data(SettingsKeys::newSlotAlertConfiguration).isEmpty());
    }

    void lookupChecks_stopInOrder_data()
    {
        QTest::addColumn<QStringList>("blankSettings");
        QTest::addColumn<Bands>("bands");
        QTest::addColumn<Modes>("modes");
        QTest::addColumn<bool>("entities");
        QTest::addColumn<QString>("message");
        const QStringList account{"clubLogCallsign", "clubLogEmail", "clubLogAppPassword"};
        QTest::newRow("everything missing") << account << Bands{} << Modes{} << false
                                            << "No Club Log callsign has been entered in Settings.";
        QTest::newRow("email and password")
            << account.mid(1) << Bands{} << Modes{} << false
            << "No Club Log email address has been entered in Settings.";
        QTest::newRow("password") << account.mid(2) << Bands{} << Modes{} << false
                                  << "No Club Log application password has been entered in "
                                     "Settings.";
        QTest::newRow("bands before modes")
            << QStringList() << Bands{} << Modes{} << false << "Select at least one band.";
        QTest::newRow("modes") << QStringList() << Bands{"20m"} << Modes{} << false
                               << "Select at least one mode.";
        QTest::newRow("no entity list")
            << QStringList() << Bands{"20m"} << Modes{ClubLogMode::cw} << false
            << "cty_wt.dat was not found in the program's built-in data.";
    }
    void lookupChecks_stopInOrder()
    {
        QFETCH(QStringList, blankSettings);
        QFETCH(Bands, bands);
        QFETCH(Modes, modes);
        QFETCH(QString, message);
        BundledResources::setResolverForTesting(
            [](const QString &, const QString &) { return std::optional<QString>(); });
        SheetScene s(true);
        s.answerAll("{}");
        const QByteArray storedLookup = s.stored(SettingsKeys::newSlotAlertLookup);
        for (const QString &key : blankSettings)
            s.f.settings.setString(key, QStringLiteral(" \t\n"));
        NewSlotAlertConfiguration draft = s.view->newSlotAlertDraft();
        draft.bands = bands;
        draft.modes = modes;
        s.view->setNewSlotAlertDraft(draft);
        s.view->applyNewSlotAlertDraft(true);
        QCOMPARE(s.view->clubLogLookupMessage(), message);
        QVERIFY(s.view->clubLogLookupFailed() && !s.view->isClubLogLookupInProgress());
        QCOMPARE(s.view->newSlotAlertDraft(), draft);
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), 0);
        // Saving what is left cannot replace the stored rules by none.
        s.view->saveNewSlotAlertDraft();
        QCOMPARE(s.view->newSlotAlertRules(), oldRules);
        QCOMPARE(s.stored(SettingsKeys::newSlotAlertLookup), storedLookup);
    }

    void apply_showsTheSummaryWithItsCounts()
    {
        SheetScene s;
        s.answerTwoEntitiesThreeSlots();
        NewSlotAlertConfiguration draft = s.view->newSlotAlertDraft();
        draft.playSound = true;
        s.view->setNewSlotAlertDraft(draft);
        s.applyAndWait();
        QVERIFY(s.view->isNewSlotAlertSummaryPresented() && s.view->isNewSlotAlertSheetPresented());
        const NewSlotAlertConfiguration result = s.view->newSlotAlertDraft();
        QCOMPARE(newSlotNeededCountsText(result),
                 QStringLiteral("2 entities \u00b7 3 slots needed"));
        QCOMPARE(result.lastSuccessfulRefresh, s.f.clock.now());
        QVERIFY(result.playSound); // what the user chose is kept
        QCOMPARE(s.stub.totalRequestCount(), 3);
        // Nothing is stored before Save.
        QCOMPARE(s.view->newSlotAlertRules(), oldRules);
    }

    void refresh_staysOnTheForm()
    {
        SheetScene s;
        s.answerTwoEntitiesThreeSlots();
        s.view->applyNewSlotAlertDraft(false);
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QVERIFY(!s.view->isNewSlotAlertSummaryPresented());
        QVERIFY(s.view->newSlotAlertDraft().entitySlotRules);
    }

    void save_givesTheMatcherTheNewRulesAtOnce_data()
    {
        QTest::addColumn<bool>("enabledBefore");
        QTest::addColumn<bool>("andEnable");
        QTest::newRow("save, off") << false << false;
        QTest::newRow("save, on") << true << false;
        QTest::newRow("save and enable") << false << true;
    }
    void save_givesTheMatcherTheNewRulesAtOnce()
    {
        QFETCH(bool, enabledBefore);
        QFETCH(bool, andEnable);
        SheetScene s(enabledBefore);
        s.answerTwoEntitiesThreeSlots();
        const DXSpot newSlotSpot = entitySpot(230, "20m", SpotType::ssb);
        QVERIFY(!s.view->matchesNewSlotAlert(newSlotSpot));
        s.applyAndWait();
        if (andEnable)
            s.view->saveAndEnableNewSlotAlert();
        else
            s.view->saveNewSlotAlertDraft();
        QVERIFY(!s.view->isNewSlotAlertSheetPresented() &&
                !s.view->isNewSlotAlertSummaryPresented());
        QVERIFY(s.view->matchesNewSlotAlert(newSlotSpot));
        QVERIFY(!s.view->matchesNewSlotAlert(entitySpot(1, "20m", SpotType::cw)));
        QCOMPARE(s.view->newSlotAlertEnabled(), enabledBefore || andEnable);
        QCOMPARE(s.view->spotMatchesEnabledAlert(newSlotSpot), enabledBefore || andEnable);
        // The rules live under their own key; the configuration is stored without them.
        QCOMPARE(alertcoding::decodeRuleList(s.stored(SettingsKeys::newSlotAlertLookup)),
                 s.view->newSlotAlertRules());
        const NewSlotAlertConfiguration stored = s.view->loadNewSlotAlertConfiguration();
        QVERIFY(!stored.entitySlotRules);
        QCOMPARE(stored.neededSlotCount.value_or(-1), 3);
    }

    void cancelAfterApply_keepsTheOldRules()
    {
        SheetScene s(true);
        s.answerTwoEntitiesThreeSlots();
        const QByteArray storedLookup = s.stored(SettingsKeys::newSlotAlertLookup);
        const QByteArray storedConfiguration = s.stored(SettingsKeys::newSlotAlertConfiguration);
        s.applyAndWait();
        s.view->cancelNewSlotAlertSummary();
        QVERIFY(!s.view->isNewSlotAlertSheetPresented());
        QCOMPARE(s.view->newSlotAlertRules(), oldRules);
        QVERIFY(s.view->matchesNewSlotAlert(entitySpot(291, "20m", SpotType::cw)));
        QVERIFY(!s.view->matchesNewSlotAlert(entitySpot(230, "20m", SpotType::ssb)));
        QCOMPARE(s.stored(SettingsKeys::newSlotAlertLookup), storedLookup);
        QCOMPARE(s.stored(SettingsKeys::newSlotAlertConfiguration), storedConfiguration);
    }

    void lateApplyResult_forAClosedSheet_isDropped_data()
    {
        QTest::addColumn<bool>("reopen");
        QTest::newRow("closed") << false;
        QTest::newRow("closed and opened again") << true;
    }
    void lateApplyResult_forAClosedSheet_isDropped()
    {
        QFETCH(bool, reopen);
        SheetScene s(true);
        s.answerAllWithSlowCwChart(300ms);
        s.view->applyNewSlotAlertDraft(true);
        s.view->cancelNewSlotAlertSheet();
        if (reopen)
            s.view->openNewSlotAlertSheet();
        const NewSlotAlertConfiguration draft = s.view->newSlotAlertDraft();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QVERIFY(!s.view->clubLogLookupFailed());
        QCOMPARE(s.view->newSlotAlertDraft(), draft);
        QCOMPARE(s.view->isNewSlotAlertSummaryPresented(), reopen);
        if (reopen)
            s.view->cancelNewSlotAlertSummary();
        // No face is left behind to hold back the automatic refresh.
        s.view->handleInitialNewSlotRefresh();
        QVERIFY(!s.view->newSlotRefreshPending());
        QVERIFY(s.view->isNewSlotRefreshRunning());
    }
};

QTEST_GUILESS_MAIN(tst_ContentViewAlertPanels)
#include "tst_ContentViewAlertPanels.moc"
