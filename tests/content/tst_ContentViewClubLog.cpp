#include "ClubLogScene.h"

#include "BundledResources.h"
#include "ClubLogSelection.h"
#include "HttpClient.h"
#include "NotificationHub.h"

#include <QTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

class tst_ContentViewClubLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { BundledResources::setResolverForTesting({}); }

    void refresh_withNothingToRepeat_sendsNothingAndCompletes()
    {
        ClubLogScene s;
        s.answerAll("{}");
        int completions = 0;
        s.storeRefreshableNewSlot(false);
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { ++completions; });
        s.f.storeNewSlot(NewSlotAlertConfiguration{}, oldRules); // enabled, never refreshed
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { ++completions; });
        s.storeRefreshableNewSlot();
        s.f.clock.advance(-3600s); // only one hour old
        s.view->refreshNewSlotLookupWithCompletion(false, [&] { ++completions; });
        QCOMPARE(completions, 3);
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), 0);
    }

    void refresh_withoutEntities_sendsNothing()
    {
        BundledResources::setResolverForTesting(
            [](const QString &, const QString &) { return std::optional<QString>(); });
        ClubLogScene s;
        s.answerAll("{}");
        s.storeRefreshableNewSlot();
        bool completed = false;
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { completed = true; });
        QVERIFY(completed);
        QCOMPARE(s.view->alertEntityLoadError(),
                 QStringLiteral("cty_wt.dat was not found in the program's built-in data."));
        QCOMPARE(s.stub.totalRequestCount(), 0);
    }

    void refresh_success_storesRulesCountsAndDate()
    {
        ClubLogScene s;
        s.answerAll(R"({"291":{"20":1}})", R"({"291":{"20":1,"40":2}})", "{}");
        s.storeRefreshableNewSlot();
        bool completed = false;
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { completed = true; });
        QTRY_VERIFY_WITH_TIMEOUT(completed, 20000);
        QCOMPARE(s.stub.totalRequestCount(), 3); // mixed asks for cw, ssb and data
        const QSet<ClubLogAlertSlot> expected{{"40m", SpotType::cw},
                                              {"20m", SpotType::ftx},
                                              {"20m", SpotType::otherDigital},
                                              {"40m", SpotType::ftx},
                                              {"40m", SpotType::otherDigital}};
        const auto &rules = s.view->newSlotAlertRules();
        QVERIFY(rules.size() > 300);
        const auto rule291 = std::find_if(rules.begin(), rules.end(),
                                          [](const auto &r) { return r.entityADIFNumber == 291; });
        QVERIFY(rule291 != rules.end());
        QCOMPARE(rule291->slotSet, expected);
        QCOMPARE(alertcoding::decodeRuleList(s.stored(SettingsKeys::newSlotAlertLookup)), rules);
        const NewSlotAlertConfiguration stored = s.view->loadNewSlotAlertConfiguration();
        QCOMPARE(stored.lastSuccessfulRefresh, s.f.clock.now());
        QCOMPARE(stored.neededEntityCount, int(rules.size()));
        QVERIFY(stored.neededSlotCount.value_or(0) > stored.neededEntityCount.value_or(0));
        QVERIFY(!s.stored(SettingsKeys::newSlotAlertConfiguration).contains("entitySlotRules"));
    }

    void refresh_failure_changesNothingAndIsRetriedAtTheNextCheck()
    {
        ClubLogScene s;
        s.answerAll("{}");
        s.stub.setResponse(chartPath(ClubLogMode::ssb), HttpStub::Response::withStatus(500));
        s.storeRefreshableNewSlot();
        const QByteArray configuration = s.stored(SettingsKeys::newSlotAlertConfiguration);
        const QByteArray lookup = s.stored(SettingsKeys::newSlotAlertLookup);
        s.view->handleInitialNewSlotRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(s.view->newSlotInitialRefreshCompleted(), 20000);
        QCOMPARE(s.stub.requestCount(chartPath(ClubLogMode::data)), 0);
        QCOMPARE(s.stored(SettingsKeys::newSlotAlertConfiguration), configuration);
        QCOMPARE(s.stored(SettingsKeys::newSlotAlertLookup), lookup);
        QCOMPARE(s.view->newSlotAlertRules(), oldRules);
        s.view->handleNewSlotRefreshTimer();
        QTRY_COMPARE_WITH_TIMEOUT(s.stub.requestCount(chartPath(ClubLogMode::cw)), 2, 20000);
    }

    void overlappingRefresh_startsNothingAndCompletesAtOnce()
    {
        ClubLogScene s;
        s.answerAllWithSlowCwChart(400ms);
        s.storeRefreshableNewSlot();
        int first = 0, second = 0;
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { ++first; });
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { ++second; });
        QCOMPARE(second, 1);
        QTRY_COMPARE_WITH_TIMEOUT(first, 1, 20000);
        QCOMPARE(s.stub.requestCount(chartPath(ClubLogMode::cw)), 1);
    }

    void refreshFinishingAfterASave_isDiscarded()
    {
        ClubLogScene s;
        s.answerAllWithSlowCwChart(300ms);
        NewSlotAlertConfiguration saved = s.storeRefreshableNewSlot();
        bool completed = false;
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { completed = true; });
        saved.playSound = true;
        s.view->saveNewSlotAlertConfiguration(saved);
        QTRY_VERIFY_WITH_TIMEOUT(completed, 20000);
        QCOMPARE(s.view->loadNewSlotAlertConfiguration(), saved);
        QCOMPARE(s.view->newSlotAlertRules(), oldRules);
    }

    void refreshFinishingAfterClearAll_doesNotResurrectRules()
    {
        ClubLogScene s;
        s.answerAllWithSlowCwChart(300ms);
        s.storeRefreshableNewSlot();
        bool completed = false;
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { completed = true; });
        s.view->clearAllAlerts();
        QTRY_VERIFY_WITH_TIMEOUT(completed, 20000);
        QVERIFY(s.view->newSlotAlertRules().isEmpty());
        QVERIFY(s.stored(SettingsKeys::newSlotAlertLookup).isEmpty());
        QCOMPARE(s.view->loadNewSlotAlertConfiguration(), NewSlotAlertConfiguration{});
        QVERIFY(!s.f.settings.boolValue(SettingsKeys::newSlotAlertEnabled));
    }

    void initialRefresh_waitsWhileTheSheetIsShown()
    {
        ClubLogScene s;
        s.answerAll("{}");
        s.storeRefreshableNewSlot();
        s.view->setNewSlotAlertSheetPresented(true);
        s.view->handleInitialNewSlotRefresh();
        QVERIFY(s.view->newSlotRefreshPending());
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), 0);
        s.view->setNewSlotAlertSheetPresented(false);
        QVERIFY(!s.view->newSlotRefreshPending());
        QTRY_VERIFY_WITH_TIMEOUT(s.view->newSlotInitialRefreshCompleted(), 20000);
        QCOMPARE(s.stub.totalRequestCount(), 3);
    }

    void dueRefresh_waitsUntilBothNewSlotSheetsAreClosed()
    {
        ClubLogScene s;
        s.answerAll("{}");
        s.storeRefreshableNewSlot();
        s.view->handleInitialNewSlotRefresh();
        QTRY_VERIFY_WITH_TIMEOUT(s.view->newSlotInitialRefreshCompleted(), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isNewSlotRefreshRunning(), 20000);
        const int before = s.stub.totalRequestCount();
        s.view->setNewSlotAlertSheetPresented(true);
        s.view->setNewSlotAlertSummaryPresented(true);
        s.f.clock.advance(5400s);
        s.view->handleNewSlotRefreshTimer();
        QVERIFY(s.view->newSlotRefreshPending());
        s.view->setNewSlotAlertSummaryPresented(false);
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), before);
        s.view->setNewSlotAlertSheetPresented(false);
        QVERIFY(!s.view->newSlotRefreshPending());
        QTRY_VERIFY_WITH_TIMEOUT(s.stub.totalRequestCount() > before, 20000);
    }

    void startUpNotice_thenAgeChecks_refreshWhenDue()
    {
        ClubLogScene s(true, 100ms);
        s.answerAll("{}");
        s.storeRefreshableNewSlot();
        NotificationHub::instance().post(QStringLiteral("VarnelloInitialNewSlotRefresh"));
        QTRY_VERIFY_WITH_TIMEOUT(s.view->newSlotInitialRefreshCompleted(), 20000);
        QCOMPARE(s.stub.requestCount(chartPath(ClubLogMode::cw)), 1);
        // Just refreshed: the checks find nothing due until 90 minutes have passed.
        QTest::qWait(400);
        QCOMPARE(s.stub.requestCount(chartPath(ClubLogMode::cw)), 1);
        s.f.clock.advance(5400s);
        QTRY_COMPARE_WITH_TIMEOUT(s.stub.requestCount(chartPath(ClubLogMode::cw)), 2, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isNewSlotRefreshRunning(), 20000);
        QCOMPARE(s.view->loadNewSlotAlertConfiguration().lastSuccessfulRefresh, s.f.clock.now());
    }

    void sheetLookup_fillsTheDraftAndShowsTheSummary()
    {
        ClubLogScene s;
        s.answerAll(R"({"291":{"20":1}})");
        s.view->openNewSlotAlertSheet();
        s.view->showNewSlotClubLogConfiguration();
        NewSlotAlertConfiguration draft;
        draft.modes = {ClubLogMode::cw};
        draft.bands = {"20m", "2200m"};
        s.view->setNewSlotAlertDraft(draft);
        s.view->applyNewSlotAlertDraft(true);
        QVERIFY(s.view->isClubLogLookupInProgress());
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QVERIFY(!s.view->clubLogLookupFailed());
        QVERIFY(s.view->isNewSlotAlertSummaryPresented());
        const NewSlotAlertConfiguration result = s.view->newSlotAlertDraft();
        QCOMPARE(result.lastSuccessfulRefresh, s.f.clock.now());
        QVERIFY(result.entitySlotRules && !result.entitySlotRules->isEmpty());
        QCOMPARE(result.neededSlotCount, result.neededEntityCount);
        QCOMPARE(s.stub.totalRequestCount(), 1);
        QVERIFY(s.view->newSlotAlertRules().isEmpty()); // stored only when applied
        s.view->storeNewSlotAlertDraft();
        QCOMPARE(s.view->newSlotAlertRules(), *result.entitySlotRules);
    }

    // A lookup's rules are kept only for the needed-for choice, modes and bands the form shows
    // when it ends; the other fields of the draft may change freely meanwhile.
    void sheetLookup_keepsRulesOnlyForTheChoicesShown_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("kept");
        QTest::newRow("band") << "band" << false;
        QTest::newRow("needed for") << "neededFor" << false;
        QTest::newRow("mode") << "mode" << false;
        QTest::newRow("reset") << "reset" << false;
        QTest::newRow("band off and on again") << "bandBack" << true;
        QTest::newRow("mixed for cw, ssb and data") << "mixed" << true;
        QTest::newRow("sound") << "sound" << true;
    }
    void sheetLookup_keepsRulesOnlyForTheChoicesShown()
    {
        QFETCH(QString, change);
        QFETCH(bool, kept);
        ClubLogScene s;
        s.answerAllWithSlowCwChart(300ms);
        s.view->openNewSlotAlertSheet();
        s.view->showNewSlotClubLogConfiguration();
        NewSlotAlertConfiguration draft;
        draft.modes = {ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data};
        draft.bands = {"20m"};
        s.view->setNewSlotAlertDraft(draft);
        s.view->applyNewSlotAlertDraft(true);
        QVERIFY(s.view->isClubLogLookupInProgress());
        if (change == "band" || change == "bandBack") {
            s.view->setNewSlotDraftBand("40m", true);
            if (change == "bandBack")
                s.view->setNewSlotDraftBand("40m", false);
        } else if (change == "neededFor") {
            draft.wantedStatus = ClubLogWantedStatus::notConfirmed;
            s.view->setNewSlotAlertDraft(draft);
        } else if (change == "mode") {
            s.view->setNewSlotDraftMode(ClubLogMode::ssb, false);
        } else if (change == "reset") {
            s.view->resetNewSlotAlertDraft();
        } else if (change == "mixed") {
            s.view->selectAllNewSlotModes();
        } else {
            draft.playSound = true;
            s.view->setNewSlotAlertDraft(draft);
        }
        const NewSlotAlertConfiguration shown = s.view->newSlotAlertDraft();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QCOMPARE(s.view->isNewSlotAlertSummaryPresented(), kept);
        QCOMPARE(s.view->clubLogLookupFailed(), !kept);
        QCOMPARE(s.view->newSlotAlertDraft().entitySlotRules.has_value(), kept);
        if (!kept) {
            QCOMPARE(s.view->newSlotAlertDraft(), shown);
            QCOMPARE(s.view->clubLogLookupMessage(),
                     QStringLiteral("The needed-for choice, modes or bands changed while Club Log "
                                    "was being asked. Press Apply again to look up the ones "
                                    "shown."));
        }
    }

    // The band changes while Apply's lookup runs: what is saved is for the band the form shows.
    void bandChangedDuringTheLookup_savedRulesMatchTheForm()
    {
        ClubLogScene s;
        s.answerAll(R"({"291":{"20":1}})"); // 291 worked on 20m CW, nowhere else
        s.stub.setResponse(chartPath(ClubLogMode::cw),
                           HttpStub::Response{.body = R"({"291":{"20":1}})", .delay = 300ms});
        s.view->openNewSlotAlertSheet();
        s.view->showNewSlotClubLogConfiguration();
        NewSlotAlertConfiguration draft;
        draft.modes = {ClubLogMode::cw};
        draft.bands = {"20m"};
        s.view->setNewSlotAlertDraft(draft);
        s.view->applyNewSlotAlertDraft(true);
        s.view->setNewSlotDraftBand("20m", false);
        s.view->setNewSlotDraftBand("40m", true);
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QVERIFY(!s.view->isNewSlotAlertSummaryPresented());
        s.view->applyNewSlotAlertDraft(true);
        QTRY_VERIFY_WITH_TIMEOUT(s.view->isNewSlotAlertSummaryPresented(), 20000);
        s.view->saveAndEnableNewSlotAlert();

        QCOMPARE(s.view->loadNewSlotAlertConfiguration().bands, QSet<QString>{"40m"});
        const auto &rules = s.view->newSlotAlertRules();
        QVERIFY(!rules.isEmpty());
        for (const ClubLogEntitySlotRule &rule : rules) {
            for (const ClubLogAlertSlot &slot : rule.slotSet)
                QCOMPARE(slot.band, QStringLiteral("40m"));
        }
        QVERIFY(s.view->matchesNewSlotAlert(makeSpot("K1XYZ", "40m", SpotType::cw, 291)));
        QVERIFY(!s.view->matchesNewSlotAlert(makeSpot("K1XYZ", "20m", SpotType::cw, 291)));
    }

    void accountChecks_stopBeforeAnyRequest_data()
    {
        QTest::addColumn<QString>("emptyKey");
        QTest::addColumn<bool>("withApiKey");
        QTest::addColumn<QString>("text");
        QTest::newRow("callsign") << "clubLogCallsign" << true
                                  << "No Club Log callsign has been entered in Settings.";
        QTest::newRow("email") << "clubLogEmail" << true
                               << "No Club Log email address has been entered in Settings.";
        QTest::newRow("password")
            << "clubLogAppPassword" << true
            << "No Club Log application password has been entered in Settings.";
        QTest::newRow("api key") << QString() << false << "This build has no Club Log API key.";
    }
    void accountChecks_stopBeforeAnyRequest()
    {
        QFETCH(QString, emptyKey);
        QFETCH(bool, withApiKey);
        QFETCH(QString, text);
        ClubLogScene s(withApiKey);
        s.answerAll("{}");
        if (!emptyKey.isEmpty())
            s.f.settings.setString(emptyKey, QStringLiteral("  \n"));
        s.view->populateFromClubLog();
        QCOMPARE(s.view->clubLogLookupMessage(), text);
        QVERIFY(s.view->clubLogLookupFailed() && !s.view->isClubLogLookupInProgress());
        s.view->applyNewSlotAlertDraft();
        QCOMPARE(s.view->clubLogLookupMessage(), text);
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), 0);
    }

    void populateSheet_effectiveBands()
    {
        ClubLogScene s;
        // Every band of the sheet: 160m to 13cm.
        QCOMPARE(s.view->clubLogSelectedBands().size(), 16);
        // Stored hf adds nothing by itself; vhfUhf still ticks its five bands.
        s.view->clubLogBandGroups = {ClubLogBandGroup::hf, ClubLogBandGroup::vhfUhf};
        s.view->clubLogIndividualBands = {"2200m", "20m"};
        QCOMPARE(s.view->clubLogSelectedBands().size(), 7);
        QVERIFY(s.view->clubLogSelectedBands().contains("2200m"));
        s.view->clubLogBandGroups = {ClubLogBandGroup::hfPlus6m};
        s.view->clubLogIndividualBands.clear();
        QCOMPARE(s.view->clubLogSelectedBands().size(), 0);
    }

    void populate_withoutModes_fails()
    {
        ClubLogScene s;
        s.view->clubLogModes.clear();
        s.view->populateFromClubLog();
        QCOMPARE(s.view->clubLogLookupMessage(),
                 QStringLiteral("Select at least one Club Log mode."));
    }

    void populateCatchAll_keepsEntitiesNeededInEveryMode()
    {
        ClubLogScene s;
        s.view->openAlertEditor(0);
        const auto &entities = s.view->alertEntities();
        QVERIFY(entities.size() > 10);
        const int a = entities[0].adifNumber, b = entities[1].adifNumber,
                  c = entities[2].adifNumber;
        s.answerAll(s.chartWithout({a, b}), s.chartWithout({b, c}));
        s.view->clubLogModes = {ClubLogMode::cw, ClubLogMode::ssb};
        s.view->setClubLogAlertSheetPresented(true);
        s.view->populateFromClubLog();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QVERIFY2(!s.view->clubLogLookupFailed(),
                 qPrintable(s.view->clubLogLookupMessage().value_or(QString())));
        const SpotAlertConfiguration draft = s.view->alertDraft();
        QCOMPARE(draft.selectedEntityADIFNumbers, QSet<int>{b});
        QCOMPARE(draft.selectedModes, (QSet<SpotType>{SpotType::cw, SpotType::ssb}));
        QCOMPARE(draft.selectedBands.size(), 16);
        QVERIFY(draft.clubLogSettings);
        QCOMPARE(draft.clubLogSettings->bandGroups,
                 QSet<ClubLogBandGroup>{ClubLogBandGroup::allBands});
        QVERIFY(draft.clubLogSettings->entityFilterADIFNumbers.isEmpty());
        QVERIFY(draft.clubLogSettings->entitySlotRules.isEmpty());
        QVERIFY(!s.view->isClubLogAlertSheetPresented());
        QCOMPARE(s.stub.totalRequestCount(), 2);
    }

    void populateCatchAll_withNothingNeeded_failsInsteadOfMatchingEverything()
    {
        ClubLogScene s;
        s.view->openAlertEditor(1);
        s.view->openClubLogAlertSheet();
        const SpotAlertConfiguration before = s.view->alertDraft();
        s.answerAll("{}");
        s.stub.setResponse(chartPath(ClubLogMode::mixed),
                           HttpStub::Response::ok(s.chartWithout({})));
        s.view->populateFromClubLog();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QCOMPARE(s.view->clubLogLookupMessage(),
                 QStringLiteral("Club Log shows no needed DXCC entities for these choices."));
        QVERIFY(s.view->clubLogLookupFailed());
        QCOMPARE(s.view->alertDraft(), before);
    }

    void populateWithEntities_buildsSlotRules()
    {
        ClubLogScene s;
        s.view->openAlertEditor(2);
        s.view->openClubLogAlertSheet();
        s.answerAll(R"({"291":{"20":1}})");
        s.view->clubLogSelectedEntityADIFNumbers = {291};
        s.view->clubLogBandGroups = {ClubLogBandGroup::hf};
        s.view->clubLogIndividualBands = clubLogBandsForGroups(s.view->clubLogBandGroups);
        s.view->populateFromClubLog();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QCOMPARE(s.stub.totalRequestCount(), 3);
        const SpotAlertConfiguration draft = s.view->alertDraft();
        QCOMPARE(draft.selectedEntityADIFNumbers, QSet<int>{291});
        QCOMPARE(draft.selectedBands.size(), 10);
        QCOMPARE(draft.selectedModes, (QSet<SpotType>{SpotType::cw, SpotType::ssb, SpotType::ftx,
                                                      SpotType::otherDigital}));
        QCOMPARE(draft.clubLogSettings->entityFilterADIFNumbers, QSet<int>{291});
        QCOMPARE(draft.clubLogSettings->entitySlotRules.size(), 1);
        QVERIFY(!draft.clubLogSettings->entitySlotRules[0].slotSet.contains({"20m", SpotType::cw}));
        QVERIFY(draft.clubLogSettings->entitySlotRules[0].slotSet.contains({"20m", SpotType::ssb}));
        s.view->saveAlertDraft(true);
        QCOMPARE(s.view->loadAlertConfigurations()[2], draft);
        QVERIFY(s.view->loadAlertEnabledStates()[2]);
    }

    void populateResult_afterItsEditorClosed_isDropped()
    {
        ClubLogScene s;
        s.answerAll(R"({"291":{"20":1}})");
        s.stub.setResponse(chartPath(ClubLogMode::cw),
                           HttpStub::Response{.body = "{}", .delay = 300ms});
        s.view->openAlertEditor(0);
        s.view->clubLogSelectedEntityADIFNumbers = {291};
        s.view->clubLogModes = {ClubLogMode::cw};
        s.view->populateFromClubLog();
        s.view->closeAlertEditor();
        s.view->openAlertEditor(1);
        const SpotAlertConfiguration other = s.view->alertDraft();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QCOMPARE(s.view->alertDraft(), other);
        QVERIFY(!s.view->clubLogLookupFailed());
    }

    void destroyingTheView_duringALookup_runsNoCompletion()
    {
        ClubLogScene s;
        s.answerAll("{}");
        s.stub.setResponse(chartPath(ClubLogMode::cw), HttpStub::Response{.hang = true});
        s.storeRefreshableNewSlot();
        bool completed = false;
        s.view->refreshNewSlotLookupWithCompletion(true, [&] { completed = true; });
        s.view->openAlertEditor(0);
        s.view->clubLogModes = {ClubLogMode::cw};
        s.view->clubLogSelectedEntityADIFNumbers = {291};
        s.view->populateFromClubLog();
        QTRY_COMPARE_WITH_TIMEOUT(s.stub.requestCount(chartPath(ClubLogMode::cw)), 2, 20000);
        s.f.view.reset();
        QTRY_COMPARE_WITH_TIMEOUT(s.stub.openConnectionCount(), 0, 20000);
        QTest::qWait(50);
        QVERIFY(!completed);
    }
};

QTEST_GUILESS_MAIN(tst_ContentViewClubLog)
#include "tst_ContentViewClubLog.moc"
