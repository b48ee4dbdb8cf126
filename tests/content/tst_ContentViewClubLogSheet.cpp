#include "ClubLogScene.h"

#include "BundledResources.h"
#include "ClubLogSelection.h"
#include "HttpClient.h"

#include <QTest>

using namespace varnello;
using namespace varnello::test;
using namespace std::chrono_literals;

namespace {

struct SheetScene : ClubLogScene {
    SheetScene() { view->setClubLogExplanationDelay(30ms); }

    // The editor of slot 0 open with `clubLog` in its draft, and the Populate sheet on screen.
    void openSheet(std::optional<ClubLogAlertSettings> clubLog = std::nullopt)
    {
        view->openAlertEditor(0);
        SpotAlertConfiguration draft = view->alertDraft();
        draft.clubLogSettings = std::move(clubLog);
        view->setAlertDraft(draft);
        view->openClubLogAlertSheet();
        view->loadClubLogSheetState();
    }

    void answerEveryMode(const QByteArray &body)
    {
        for (ClubLogMode mode : allClubLogModes)
            stub.setResponse(chartPath(mode), HttpStub::Response::ok(body));
    }
};

} // namespace

class tst_ContentViewClubLogSheet : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { BundledResources::setResolverForTesting({}); }

    void setUp_fromTheDraftsClubLogSettings()
    {
        SheetScene s;
        s.openSheet();
        QCOMPARE(s.view->clubLogSelectedBands().size(), 16);
        QVERIFY(s.view->clubLogModeIsSelected(ClubLogMode::mixed));
        QVERIFY(s.view->clubLogWantedStatusIs(ClubLogWantedStatus::notWorked));
        QVERIFY(s.view->clubLogSelectedEntityADIFNumbers.isEmpty());
        s.view->closeClubLogAlertSheet();

        ClubLogAlertSettings stored;
        stored.entityFilterADIFNumbers = {291, 1};
        stored.bandGroups = QSet<ClubLogBandGroup>{ClubLogBandGroup::hf};
        s.view->setClubLogEntitySearch(QStringLiteral("k"));
        s.openSheet(stored);
        QCOMPARE(s.view->clubLogSelectedEntityADIFNumbers, QSet<int>{1});
        QCOMPARE(s.view->clubLogSelectedBands(),
                 QSet<QString>(clubLogHFBands().begin(), clubLogHFBands().end()));
        QCOMPARE(s.view->clubLogEntitySearch(), QString());
        s.view->closeClubLogAlertSheet();

        stored.bandGroups = QSet<ClubLogBandGroup>{ClubLogBandGroup::allBands};
        stored.individualBands = QSet<QString>{"20m"};
        s.openSheet(stored);
        QCOMPARE(s.view->clubLogSelectedBands(), QSet<QString>{"20m"});
        QVERIFY(!s.view->clubLogBandGroups.contains(ClubLogBandGroup::allBands));
    }

    void explanation_afterTheDelay_notWhenDismissed_notWhenClosedEarlier()
    {
        SheetScene s;
        s.openSheet();
        QVERIFY(!s.view->isClubLogExplanationPresented());
        QTRY_VERIFY(s.view->isClubLogExplanationPresented());
        // OK with the box unticked stores nothing: it comes again next time.
        s.view->dismissClubLogExplanation();
        QVERIFY(!s.f.settings.boolValue(SettingsKeys::clubLogPopulateExplanationDismissed));
        s.view->closeClubLogAlertSheet();

        s.openSheet();
        s.view->closeClubLogAlertSheet();
        s.view->openClubLogAlertSheet(); // reopened without a fresh appearance
        QTest::qWait(100);
        QVERIFY(!s.view->isClubLogExplanationPresented());
        s.view->closeClubLogAlertSheet();

        s.openSheet();
        QTRY_VERIFY(s.view->isClubLogExplanationPresented());
        s.view->setClubLogExplanationDontShowAgain(true);
        s.view->dismissClubLogExplanation();
        QVERIFY(s.f.settings.boolValue(SettingsKeys::clubLogPopulateExplanationDismissed));
        s.view->closeClubLogAlertSheet();
        s.openSheet();
        // "Club Log…" starts the box unticked every time.
        QVERIFY(!s.view->clubLogExplanationDontShowAgain());
        QTest::qWait(100);
        QVERIFY(!s.view->isClubLogExplanationPresented());
    }

    void apply_checksInOrderBeforeAnyRequest_data()
    {
        QTest::addColumn<QStringList>("emptied");
        QTest::addColumn<bool>("noBands");
        QTest::addColumn<QString>("message");
        QTest::newRow("callsign") << QStringList{"clubLogCallsign"} << true
                                  << "No Club Log callsign has been entered in Settings.";
        QTest::newRow("email before password")
            << QStringList{"clubLogEmail", "clubLogAppPassword"} << false
            << "No Club Log email address has been entered in Settings.";
        QTest::newRow("password") << QStringList{"clubLogAppPassword"} << true
                                  << "No Club Log application password has been entered in "
                                     "Settings.";
        QTest::newRow("every band unticked")
            << QStringList{} << true << "Select at least one band.";
    }
    void apply_checksInOrderBeforeAnyRequest()
    {
        QFETCH(QStringList, emptied);
        QFETCH(bool, noBands);
        QFETCH(QString, message);
        SheetScene s;
        for (const QString &key : emptied)
            s.f.settings.setString(key, QString());
        s.openSheet();
        if (noBands)
            s.view->toggleAllClubLogBands();
        const SpotAlertConfiguration before = s.view->alertDraft();
        s.view->populateFromClubLog();
        QCOMPARE(s.view->clubLogLookupMessage(), message);
        QVERIFY(s.view->clubLogLookupFailed());
        QVERIFY(!s.view->isClubLogLookupInProgress());
        QVERIFY(s.view->isClubLogAlertSheetPresented());
        QCOMPARE(s.view->alertDraft(), before);
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), 0);
    }

    void apply_catchAllWithoutTheEntityList_givesTheLoadErrorBeforeAnyRequest()
    {
        BundledResources::setResolverForTesting(
            [](const QString &, const QString &) { return std::nullopt; });
        SheetScene s;
        s.openSheet();
        const SpotAlertConfiguration before = s.view->alertDraft();
        s.view->populateFromClubLog();
        QVERIFY(s.view->alertEntityLoadError());
        QCOMPARE(s.view->clubLogLookupMessage(), s.view->alertEntityLoadError());
        QVERIFY(s.view->clubLogLookupFailed());
        QCOMPARE(s.view->alertDraft(), before);
        QTest::qWait(50);
        QCOMPARE(s.stub.totalRequestCount(), 0);
    }

    void apply_singleEntity_fillsTheDraftFromThePerModeCharts()
    {
        SheetScene s;
        s.openSheet();
        s.stub.setResponse(chartPath(ClubLogMode::cw),
                           HttpStub::Response::ok(chartJson({{230, {{"20", 1}}}})));
        s.stub.setResponse(chartPath(ClubLogMode::ssb),
                           HttpStub::Response::ok(chartJson({{230, {{"20", 1}, {"40", 1}}}})));
        s.view->setClubLogMode(ClubLogMode::cw, true);
        s.view->setClubLogMode(ClubLogMode::ssb, true);
        s.view->toggleAllClubLogBands();
        s.view->setClubLogBand(QStringLiteral("20m"), true);
        s.view->setClubLogBand(QStringLiteral("40m"), true);
        s.view->toggleClubLogEntity(230);
        s.view->populateFromClubLog();
        QVERIFY(s.view->isClubLogLookupInProgress());
        s.view->populateFromClubLog(); // ignored while one runs
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QCOMPARE(s.stub.totalRequestCount(), 2);
        const SpotAlertConfiguration d = s.view->alertDraft();
        QVERIFY(!s.view->isClubLogAlertSheetPresented());
        QCOMPARE(d.selectedEntityADIFNumbers, QSet<int>{230});
        QCOMPARE(d.selectedBands, QSet<QString>{"40m"});
        QCOMPARE(d.selectedModes, QSet<SpotType>{SpotType::cw});
        QCOMPARE(d.clubLogSettings->entityFilterADIFNumbers, QSet<int>{230});
        QCOMPARE(d.clubLogSettings->individualBands, (QSet<QString>{"20m", "40m"}));
        QCOMPARE(d.clubLogSettings->bandGroups, QSet<ClubLogBandGroup>{});
        QCOMPARE(s.view->alertEditorClubLogSlotLines(), QStringList{"CW: 40m"});
    }

    void cancelDuringALookup_dropsTheLateResult()
    {
        SheetScene s;
        s.openSheet();
        s.stub.setResponse(chartPath(ClubLogMode::mixed),
                           HttpStub::Response{.body = "{}", .delay = 200ms});
        const SpotAlertConfiguration before = s.view->alertDraft();
        s.view->populateFromClubLog();
        s.view->closeClubLogAlertSheet();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QCOMPARE(s.stub.totalRequestCount(), 1);
        QCOMPARE(s.view->alertDraft(), before);
        QVERIFY(!s.view->clubLogLookupFailed());
    }

    void apply_forbidden_showsTheLoginSentenceAndKeepsTheSheet()
    {
        SheetScene s;
        s.openSheet();
        s.stub.setResponse(chartPath(ClubLogMode::mixed),
                           HttpStub::Response::withStatus(403, "<html>Forbidden</html>"));
        s.view->populateFromClubLog();
        QTRY_VERIFY_WITH_TIMEOUT(!s.view->isClubLogLookupInProgress(), 20000);
        QVERIFY(s.view->clubLogLookupFailed());
        QCOMPARE(s.view->clubLogLookupMessage(),
                 QStringLiteral("Club Log rejected the login details. Check the callsign, email "
                                "address and application password in Settings."));
        QVERIFY(s.view->isClubLogAlertSheetPresented());
        QVERIFY(!s.view->alertDraft().clubLogSettings);
    }
};

QTEST_GUILESS_MAIN(tst_ContentViewClubLogSheet)
#include "tst_ContentViewClubLogSheet.moc"
