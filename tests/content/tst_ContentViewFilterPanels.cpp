// The filter panels' state: Spot Filters popover, Band Filters sidebar, blocked words sheet,
// Allowed Spotter Entities sheet and RBN popover, without widgets.
#include "BundledResources.h"
#include "GridDXCCDatabase.h"
#include "LiveSpotFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

using S = ContentView::FilterSwitch;
using Change = std::function<void(ContentView &)>;
const QStringList fiveModes{"hideCWSpots", "hideSSBSpots", "hideFTxSpots", "hideOtherDigitalSpots",
                            "hideBeaconSpots"};

// A view whose radius searches use a database of its own, with the entity sheet open.
struct GridScene {
    ContentViewFixture f;
    GridDXCCDatabase database;
    std::unique_ptr<ContentView> view;

    ContentView &openSheet()
    {
        ContentViewEnvironment e = f.environment();
        e.grid = &database;
        view = std::make_unique<ContentView>(e);
        view->openCustomSpotterEntitySheet();
        if (!QTest::qWaitFor([this] { return view->customSpotterEntitySession().has_value(); }))
            qFatal("the spotter entity sheet did not open");
        view->beginCustomSpotterEntitySheet();
        return *view;
    }
};

} // namespace

Q_DECLARE_METATYPE(Change)

class TestContentViewFilterPanels : public QObject {
    Q_OBJECT

    QTemporaryDir m_tables;

    // A grid table of three squares around JO01 with entities 223, 230 and 227.
    void useSmallGridTables()
    {
        QFile four(m_tables.filePath("grid_dxcc_4char_simple.csv"));
        QVERIFY(four.open(QIODevice::WriteOnly));
        four.write("JO01,223\nJO02,223|230\nIO91,223\nJN18,227\n");
        four.close();
        QFile six(m_tables.filePath("grid_dxcc_6char_simple.csv"));
        QVERIFY(six.open(QIODevice::WriteOnly));
        six.close();
        BundledResources::setResolverForTesting(
            [this](const QString &name, const QString &ext) -> std::optional<QString> {
                const QString path = m_tables.filePath(name + "." + ext);
                return QFile::exists(path) ? std::optional<QString>(path) : std::nullopt;
            });
    }

private Q_SLOTS:
    void cleanup() { BundledResources::setResolverForTesting({}); }

    // --- Spot Filters popover

    void modeShortcut_data()
    {
        QTest::addColumn<bool>("advanced");
        QTest::addColumn<QStringList>("on");
        QTest::addColumn<QStringList>("after");
        const QStringList six = fiveModes + QStringList{"hideQRPSpots"};
        QTest::newRow("one on: all five on") << false << QStringList{"hideCWSpots"} << fiveModes;
        QTest::newRow("five on: all off") << false << fiveModes << QStringList{};
        QTest::newRow("outside advanced mode QRP is left alone")
            << false << six << QStringList{"hideQRPSpots"};
        QTest::newRow("advanced: QRP joins") << true << fiveModes << six;
        QTest::newRow("advanced: six on, all off") << true << six << QStringList{};
    }

    void modeShortcut()
    {
        QFETCH(bool, advanced);
        QFETCH(QStringList, on);
        QFETCH(QStringList, after);
        ContentViewFixture f;
        f.settings.setBool(SettingsKeys::advancedMode, advanced);
        for (const QString &key : on)
            f.settings.setBool(key, true);
        ContentView &view = f.make();
        view.toggleAllModeFilters();
        QStringList nowOn;
        for (const QString &key : fiveModes + QStringList{"hideQRPSpots"}) {
            if (f.settings.boolValue(key))
                nowOn.append(key);
        }
        QCOMPARE(nowOn, after);
    }

    void continentShortcut_data()
    {
        QTest::addColumn<QSet<QString>>("before");
        QTest::addColumn<QSet<QString>>("after");
        const QSet<QString> seven{"AF", "AN", "AS", "EU", "NA", "OC", "SA"};
        QTest::newRow("six: the seventh joins") << (seven - QSet<QString>{"SA"}) << seven;
        QTest::newRow("seven: all go") << seven << QSet<QString>{};
        QTest::newRow("foreign code stays") << (seven + QSet<QString>{"XX"}) << QSet<QString>{"XX"};
    }

    void continentShortcut()
    {
        QFETCH(QSet<QString>, before);
        QFETCH(QSet<QString>, after);
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setHiddenDXByContinents(before);
        view.toggleAllContinents(ContentView::ContinentSet::hiddenDXBy);
        QCOMPARE(view.hiddenDXByContinents(), after);
        view.setContinentHidden(ContentView::ContinentSet::hiddenDXFrom, "EU", true);
        QCOMPARE(view.hiddenDXFromContinents(), QSet<QString>{"EU"});
    }

    void allowListSwitchedOnInThePopover_clearsHideSpotterFrom()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setHiddenDXByContinents({"EU"});
        view.setFilterSwitch(S::customSpotterEntityFilterEnabled, true); // popover closed
        QCOMPARE(view.hiddenDXByContinents(), QSet<QString>{"EU"});
        view.setFilterSwitch(S::customSpotterEntityFilterEnabled, false);
        view.setFiltersPopoverPresented(true);
        view.setFilterSwitch(S::customSpotterEntityFilterEnabled, true);
        QVERIFY(view.hiddenDXByContinents().isEmpty());
    }

    void customButtons_closeThePopoverAndOpenTheSheetNextTurn()
    {
        ContentViewFixture f;
        f.settings.setData(SettingsKeys::customInfoFilterTerms, "[\"a\",\"b\",\"c\"]");
        f.settings.setData(SettingsKeys::customSpotterEntityADIFNumbers, "[291]");
        ContentView &view = f.make(); // the terms are not loaded yet: the view state is empty
        QCOMPARE(ContentView::customFilterButtonTitle(0), QStringLiteral("Custom\u2026"));
        QCOMPARE(ContentView::customFilterButtonTitle(3), QStringLiteral("Custom (3)\u2026"));
        view.setFiltersPopoverPresented(true);
        view.openCustomInfoFilterSheet();
        QVERIFY(!view.isFiltersPopoverPresented());
        QVERIFY(!view.customInfoFilterSession());
        QTRY_VERIFY(view.customInfoFilterSession());
        QCOMPARE(view.customInfoFilterSession()->terms, (QStringList{"a", "b", "c"}));
        QCOMPARE(view.customInfoFilterTerms(), (QStringList{"a", "b", "c"}));
        view.setFiltersPopoverPresented(true);
        view.openCustomSpotterEntitySheet();
        QVERIFY(!view.isFiltersPopoverPresented());
        QTRY_VERIFY(view.customSpotterEntitySession());
        QCOMPARE(view.customSpotterEntitySession()->adifNumbers, QSet<int>{291});
        QVERIFY(view.customSpotterEntityADIFNumbers().isEmpty());
    }

    // --- Band Filters sidebar

    void bandActions_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("summary");
        QTest::newRow("nothing") << Change([](ContentView &) {}) << "Showing all bands";
        QTest::newRow("HF group") << Change([](ContentView &v) {
            v.toggleBandGroup(ContentView::hfBands());
        }) << "Showing 160m, 80m, 60m, 40m, 30m, 20m, 17m, 15m, 12m, 10m";
        QTest::newRow("HF group twice") << Change([](ContentView &v) {
            v.toggleBandGroup(ContentView::hfBands());
            v.toggleBandGroup(ContentView::hfBands());
        }) << "Showing all bands";
        QTest::newRow("20m then the group twice") << Change([](ContentView &v) {
            v.toggleBand("20m");
            v.toggleBand("Other");
            v.toggleBandGroup(ContentView::hfBands());
            v.toggleBandGroup(ContentView::hfBands());
        }) << "Showing Other";
        QTest::newRow("band order, foreign name last") << Change([](ContentView &v) {
            v.setSelectedBands({"Other", "6m", "20m", "11m"});
        }) << "Showing 20m, 6m, Other, 11m";
        QTest::newRow("all bands") << Change([](ContentView &v) {
            v.toggleBand("20m");
            v.showAllBands();
        }) << "Showing all bands";
    }

    void bandActions()
    {
        QFETCH(Change, change);
        QFETCH(QString, summary);
        ContentViewFixture f;
        ContentView &view = f.make();
        change(view);
        QCOMPARE(view.bandFilterSummary(), summary);
    }

    // --- Blocked words sheet

    void blockedWordsEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QStringList>("draft");
        QTest::addColumn<QString>("entryAfter");
        QTest::newRow("trimmed") << "  cq dx \n" << QStringList{"cafe", "cq dx"} << "";
        QTest::newRow("accent and case of a draft term refused")
            << "Café" << QStringList{"cafe"} << "Café";
        QTest::newRow("blanks only refused") << " \t " << QStringList{"cafe"} << " \t ";
        QTest::newRow("commas stay in the term") << "a, b" << QStringList{"cafe", "a, b"} << "";
    }

    void blockedWordsEntry()
    {
        QFETCH(QString, entry);
        QFETCH(QStringList, draft);
        QFETCH(QString, entryAfter);
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setCustomInfoFilterTerms({"cafe"});
        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        view.beginCustomInfoFilterSheet();
        view.setCustomInfoFilterEntry(entry);
        view.addCustomInfoFilterTerm();
        QCOMPARE(view.customInfoFilterDraft(), draft);
        QCOMPARE(view.customInfoFilterEntry(), entryAfter);
    }

    void blockedWordsButtons()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setCustomInfoFilterTerms({"a", "b", "c"});
        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        view.beginCustomInfoFilterSheet();
        view.removeCustomInfoFilterTerm(1);
        QCOMPARE(view.customInfoFilterDraft(), (QStringList{"a", "c"}));
        view.cancelCustomInfoFilter();
        QVERIFY(!view.customInfoFilterSession());
        QCOMPARE(view.customInfoFilterTerms(), (QStringList{"a", "b", "c"}));

        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        view.beginCustomInfoFilterSheet();
        view.clearCustomInfoFilterDraft();
        view.saveCustomInfoFilter();
        QCOMPARE(f.settings.data(SettingsKeys::customInfoFilterTerms), QByteArray("[]"));
        QVERIFY(!view.filterSwitch(S::customInfoFilterEnabled));

        view.openCustomInfoFilterSheet();
        QTRY_VERIFY(view.customInfoFilterSession());
        view.saveAndEnableCustomInfoFilter();
        QVERIFY(view.filterSwitch(S::customInfoFilterEnabled));
        QVERIFY(!view.customInfoFilterSession());
    }

    // --- Allowed Spotter Entities sheet

    void entitySections_searchByNameprefixAndDigits_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<bool>("findsUnitedStates");
        QTest::addColumn<bool>("allContainText");
        QTest::newRow("digits") << "29" << true << true;
        QTest::newRow("name, lower case") << " united states " << true << true;
        QTest::newRow("prefix") << "K" << true << false;
        QTest::newRow("nothing") << "zzzz" << false << true;
    }

    void entitySections_searchByNameprefixAndDigits()
    {
        QFETCH(QString, search);
        QFETCH(bool, findsUnitedStates);
        ContentViewFixture f;
        ContentView &view = f.make();
        view.loadAlertEntities();
        QVERIFY(view.alertEntities().size() > 300);
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        view.beginCustomSpotterEntitySheet();
        view.toggleSpotterEntity(230);
        view.toggleSpotterEntity(99999); // not in the list: counted, shown nowhere
        view.setCustomSpotterEntitySearch(search);
        QCOMPARE(view.customSpotterEntityDraft().size(), 2);
        QCOMPARE(view.selectedSpotterEntities().size(), 1);
        QCOMPARE(view.selectedSpotterEntities()[0].adifNumber, 230);
        bool unitedStates = false;
        for (const CTYEntity &entity : view.filterEntityList()) {
            QVERIFY(entity.adifNumber != 230);
            unitedStates = unitedStates || entity.adifNumber == 291;
            const QString s = search.trimmed();
            QVERIFY(entity.name.contains(s, Qt::CaseInsensitive) ||
                    entity.primaryPrefix.contains(s, Qt::CaseInsensitive) ||
                    QString::number(entity.adifNumber).contains(s));
        }
        QCOMPARE(unitedStates, findsUnitedStates);
        view.cancelCustomSpotterEntities();
        QVERIFY(view.customSpotterEntityADIFNumbers().isEmpty());
        QVERIFY(f.settings.data(SettingsKeys::customSpotterEntityADIFNumbers).isEmpty());
    }

    void radiusSelection_data()
    {
        QTest::addColumn<QString>("grid");
        QTest::addColumn<QString>("radius");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QSet<int>>("draft");
        QTest::addColumn<QString>("message");
        QTest::newRow("within 150 km")
            << "  jo01 "
            << "150"
            << "kilometres" << QSet<int>{223, 230} << "2 DXCC entities selected automatically.";
        QTest::newRow("miles are longer")
            << "JO01"
            << "10"
            << "" << QSet<int>{223} << "1 DXCC entities selected automatically.";
        QTest::newRow("empty result")
            << "AA00"
            << "5"
            << "miles" << QSet<int>{} << "No DXCC entities were found within that radius.";
        QTest::newRow("invalid radius") << "JO01"
                                        << "-3"
                                        << "miles" << QSet<int>{7} << "Enter a valid radius.";
        QTest::newRow("grouping comma") << "JO01"
                                        << "1,000"
                                        << "miles" << QSet<int>{7} << "Enter a valid radius.";
        QTest::newRow("invalid grid") << "JO01AZ"
                                      << "10"
                                      << "miles" << QSet<int>{7}
                                      << "Enter a valid four- or six-character Maidenhead grid "
                                         "square.";
    }

    void radiusSelection()
    {
        QFETCH(QString, grid);
        QFETCH(QString, radius);
        QFETCH(QString, unit);
        QFETCH(QSet<int>, draft);
        QFETCH(QString, message);
        useSmallGridTables();
        GridScene s;
        ContentView &view = s.openSheet();
        ContentViewFixture &f = s.f;
        GridDXCCDatabase &database = s.database;
        view.toggleSpotterEntity(7);
        view.setCustomSpotterHomeGrid(grid);
        view.setCustomSpotterRadius(radius);
        view.setCustomSpotterDistanceUnit(unit);
        view.selectSpotterEntitiesWithinRadius();
        QTRY_VERIFY(!view.isSelectingCustomSpotterEntitiesAutomatically());
        QCOMPARE(view.customSpotterAutomaticSelectionMessage().value_or(QString()), message);
        QCOMPARE(view.customSpotterEntityDraft(), draft);
        if (message != QLatin1String("Enter a valid radius."))
            QCOMPARE(f.settings.string(SettingsKeys::customSpotterHomeGrid),
                     grid.trimmed().toUpper());
        // The tables a search loaded stay while the sheet is open.
        QCOMPARE(database.hasCachedTables(), message.contains("DXCC"));
        view.endCustomSpotterEntitySheet();
        QVERIFY(!database.hasCachedTables());
    }

    // A search still running when its sheet closes must not touch the next sheet.
    void radiusResult_ofAClosedSheet_isDropped()
    {
        useSmallGridTables();
        GridScene s;
        ContentView &view = s.openSheet();
        view.setCustomSpotterHomeGrid("JO01");
        view.setCustomSpotterRadius("150");
        view.selectSpotterEntitiesWithinRadius();
        QVERIFY(view.isSelectingCustomSpotterEntitiesAutomatically());
        view.cancelCustomSpotterEntities();
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        view.beginCustomSpotterEntitySheet();
        QVERIFY(!view.isSelectingCustomSpotterEntitiesAutomatically());
        view.toggleSpotterEntity(7);
        QTest::qWait(300);
        QCOMPARE(view.customSpotterEntityDraft(), QSet<int>{7});
        QVERIFY(!view.customSpotterAutomaticSelectionMessage());
    }

    void saveAndEnable_storesTheDraftAndEmptiesHideSpotterFrom()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        view.setHiddenDXByContinents({"EU"});
        view.setCustomSpotterEntityADIFNumbers({291});
        view.openCustomSpotterEntitySheet();
        QTRY_VERIFY(view.customSpotterEntitySession());
        view.beginCustomSpotterEntitySheet();
        view.clearSpotterEntityDraft();
        view.saveAndEnableCustomSpotterEntities();
        QVERIFY(view.filterSwitch(S::customSpotterEntityFilterEnabled));
        QCOMPARE(f.settings.data(SettingsKeys::customSpotterEntityADIFNumbers), QByteArray("[]"));
        QVERIFY(view.hiddenDXByContinents().isEmpty());
        QVERIFY(!view.customSpotterEntitySession());
    }

    // --- RBN popover

    void rbnTitle_data()
    {
        QTest::addColumn<bool>("loading");
        QTest::addColumn<bool>("known");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QList<int>>("modes");
        QTest::addColumn<QString>("title");
        QTest::newRow("loading wins") << true << true << true << QList<int>{0} << "RBN\u2026";
        QTest::newRow("unknown") << false << false << true << QList<int>{0} << "RBN";
        QTest::newRow("off whatever the modes")
            << false << true << false << QList<int>{0, 1} << "RBN Off";
        QTest::newRow("on without modes") << false << true << true << QList<int>{} << "RBN On";
        QTest::newRow("ft then cw in case order")
            << false << true << true << QList<int>{4, 0} << "RBN CW, FTx";
        QTest::newRow("all five") << false << true << true << QList<int>{0, 1, 2, 3, 4}
                                  << "RBN CW, BCN, PSK, RTT, FTx";
    }

    void rbnTitle()
    {
        QFETCH(bool, loading);
        QFETCH(bool, known);
        QFETCH(bool, enabled);
        QFETCH(QList<int>, modes);
        QFETCH(QString, title);
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        RBNModeSet set;
        for (int mode : modes)
            set.insert(RBNMode(mode));
        ClusterConnectionTestAccess::setRbnState(*f.cluster, loading, known, enabled, set);
        QCOMPARE(view.rbnButtonTitle(), title);
    }

    void rbnButtons_followLoginNodeAndDrafts()
    {
        LiveSpotFixture f;
        ContentView &view = f.makeWithCluster();
        QVERIFY(!view.isRBNButtonEnabled());
        QVERIFY(!view.canApplyRBNSettings());
        ClusterConnectionTestAccess::logIn(*f.cluster, ClusterNodeType::ccCluster);
        QVERIFY(!view.isRBNButtonEnabled());
        ClusterConnectionTestAccess::logIn(*f.cluster, ClusterNodeType::dxSpider);
        QVERIFY(view.isRBNButtonEnabled());
        QVERIFY(view.canRefreshRBNStatus());
        ClusterConnectionTestAccess::setRbnState(*f.cluster, false, true, true,
                                                 {RBNMode::cw, RBNMode::psk, RBNMode::ft});
        QCOMPARE(view.draftRBNModes(), (RBNModeSet{RBNMode::cw, RBNMode::psk, RBNMode::ft}));
        QVERIFY(view.draftRBNEnabled());
        view.toggleAllRBNModes();
        QCOMPARE(view.draftRBNModes().size(), 5);
        view.toggleAllRBNModes();
        QVERIFY(view.draftRBNModes().isEmpty());
        QVERIFY(!view.canApplyRBNSettings());
        view.setDraftRBNEnabled(false);
        QVERIFY(view.canApplyRBNSettings());
        // Abandoned edits are replaced when the popover opens again, and by a new node state.
        view.toggleRBNPopover();
        QVERIFY(view.isRBNPopoverPresented());
        QVERIFY(view.draftRBNEnabled());
        QCOMPARE(view.draftRBNModes().size(), 3);
        view.setDraftRBNMode(RBNMode::rtty, true);
        ClusterConnectionTestAccess::setRbnState(*f.cluster, false, true, false, {});
        QVERIFY(!view.draftRBNEnabled());
        QVERIFY(view.draftRBNModes().isEmpty());
        ClusterConnectionTestAccess::setRbnState(*f.cluster, true, false, false, {});
        QVERIFY(!view.canRefreshRBNStatus());
        view.cancelRBNChanges();
        QVERIFY(!view.isRBNPopoverPresented());
    }
};

QTEST_GUILESS_MAIN(TestContentViewFilterPanels)
#include "tst_ContentViewFilterPanels.moc"
