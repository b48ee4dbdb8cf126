// The filter sets in the settings document: stored bytes, loading on appear, undecodable values,
// hasActiveSpotFilters, Clear Filters and the advanced-mode rule.
#include "ContentViewFixture.h"

#include <QSignalSpy>
#include <QtTest>

using namespace varnello;
using namespace varnello::test;

namespace {

using Change = std::function<void(ContentView &)>;
using S = ContentView::FilterSwitch;

} // namespace

Q_DECLARE_METATYPE(Change)

class TestContentViewFilterSets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void storedBytes_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bands, sorted by code point") << Change([](ContentView &v) {
            v.setSelectedBands({"160m", "20m", "10m"});
        }) << "selectedBandFilters" << QByteArray("[\"10m\",\"160m\",\"20m\"]");
        QTest::newRow("dx continents") << Change([](ContentView &v) {
            v.setHiddenDXFromContinents({"SA", "AF", "EU"});
        }) << "hiddenDXFromContinents" << QByteArray("[\"AF\",\"EU\",\"SA\"]");
        QTest::newRow("spotter continents")
            << Change([](ContentView &v) { v.setHiddenDXByContinents({"OC"}); })
            << "hiddenDXByContinents" << QByteArray("[\"OC\"]");
        QTest::newRow("either continent change saves both")
            << Change([](ContentView &v) { v.setHiddenDXByContinents({"OC"}); })
            << "hiddenDXFromContinents" << QByteArray("[]");
        QTest::newRow("allow list")
            << Change([](ContentView &v) { v.setCustomSpotterEntityADIFNumbers({291}); })
            << "customSpotterEntityADIFNumbers" << QByteArray("[291]");
        QTest::newRow("terms in list order with duplicates") << Change([](ContentView &v) {
            v.setCustomInfoFilterTerms({"z/y", "a\"b", "z/y"});
        }) << "customInfoFilterTerms" << QByteArray("[\"z/y\",\"a\\\"b\",\"z/y\"]");
        QTest::newRow("clear filters saves the emptied continents") << Change([](ContentView &v) {
            v.setHiddenDXFromContinents({"NA"});
            v.clearSpotFilters();
        }) << "hiddenDXFromContinents" << QByteArray("[]");
    }

    void storedBytes()
    {
        QFETCH(Change, change);
        QFETCH(QString, key);
        QFETCH(QByteArray, bytes);
        ContentViewFixture f;
        ContentView &view = f.make();
        change(view);
        QCOMPARE(f.settings.data(key), bytes);
    }

    void appear_loadsTheSetsAndTheTermsOneTurnLater()
    {
        ContentViewFixture f;
        f.settings.setData(SettingsKeys::selectedBandFilters, "[\"20m\",\"10m\",\"20m\"]");
        f.settings.setData(SettingsKeys::hiddenDXFromContinents, "[\"NA\"]");
        f.settings.setData(SettingsKeys::hiddenDXByContinents, "[\"EU\",\"AS\"]");
        f.settings.setData(SettingsKeys::customSpotterEntityADIFNumbers, "[230, 291, 230]");
        f.settings.setData(SettingsKeys::customInfoFilterTerms, "[\"cq\",\"cq\"]");
        ContentView &view = f.make();
        QSignalSpy changes(&view, &ContentView::spotFiltersChanged);
        view.handleAppear();
        QCOMPARE(view.selectedBands(), (QSet<QString>{"10m", "20m"}));
        QCOMPARE(view.hiddenDXFromContinents(), QSet<QString>{"NA"});
        QCOMPARE(view.hiddenDXByContinents(), (QSet<QString>{"AS", "EU"}));
        QCOMPARE(view.customSpotterEntityADIFNumbers(), (QSet<int>{230, 291}));
        QVERIFY(view.customInfoFilterTerms().isEmpty());
        QVERIFY(!changes.isEmpty());
        QTRY_COMPARE(view.customInfoFilterTerms(), (QStringList{"cq", "cq"}));
        // A load that changed the value is saved: the duplicate band is stored once, sorted.
        QCOMPARE(f.settings.data(SettingsKeys::selectedBandFilters),
                 QByteArray("[\"10m\",\"20m\"]"));
    }

    void undecodableValue_leavesTheDefaultAndWritesNothing_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("bands not json") << "selectedBandFilters" << QByteArray("20m");
        QTest::newRow("bands of numbers") << "selectedBandFilters" << QByteArray("[20]");
        QTest::newRow("bands as object") << "selectedBandFilters" << QByteArray("{\"a\":1}");
        QTest::newRow("continents mixed") << "hiddenDXFromContinents" << QByteArray("[\"NA\",1]");
        QTest::newRow("spotter continents") << "hiddenDXByContinents" << QByteArray("[");
        QTest::newRow("entities of strings")
            << "customSpotterEntityADIFNumbers" << QByteArray("[\"291\"]");
        QTest::newRow("entities fractional")
            << "customSpotterEntityADIFNumbers" << QByteArray("[291.5]");
        QTest::newRow("terms of numbers") << "customInfoFilterTerms" << QByteArray("[1,2]");
    }

    void undecodableValue_leavesTheDefaultAndWritesNothing()
    {
        QFETCH(QString, key);
        QFETCH(QByteArray, bytes);
        ContentViewFixture f;
        f.settings.setData(key, bytes);
        ContentView &view = f.make();
        QSignalSpy writes(&f.settings, &AppSettingsStore::valueChanged);
        view.handleAppear();
        QTest::qWait(0);
        QCoreApplication::processEvents();
        QVERIFY(view.selectedBands().isEmpty());
        QVERIFY(view.hiddenDXFromContinents().isEmpty());
        QVERIFY(view.hiddenDXByContinents().isEmpty());
        QVERIFY(view.customSpotterEntityADIFNumbers().isEmpty());
        QVERIFY(view.customInfoFilterTerms().isEmpty());
        for (const QList<QVariant> &write : writes)
            QVERIFY2(write[0].toString() != key, qPrintable(key));
        QCOMPARE(f.settings.data(key), bytes);
    }

    void hasActiveSpotFilters_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<bool>("active");
        QTest::newRow("nothing") << Change([](ContentView &) {}) << false;
        QTest::newRow("bands only")
            << Change([](ContentView &v) { v.setSelectedBands({"20m"}); }) << false;
        QTest::newRow("filled lists with switches off") << Change([](ContentView &v) {
            v.setCustomInfoFilterTerms({"cq"});
            v.setCustomSpotterEntityADIFNumbers({291});
        }) << false;
        QTest::newRow("lotw only")
            << Change([](ContentView &v) { v.setShowLoTWOnly(true); }) << true;
        QTest::newRow("qrp without advanced mode")
            << Change([](ContentView &v) { v.setFilterSwitch(S::hideQRPSpots, true); }) << true;
        QTest::newRow("same entity")
            << Change([](ContentView &v) { v.setFilterSwitch(S::hideSameDXCCSpots, true); })
            << true;
        QTest::newRow("spotter continents")
            << Change([](ContentView &v) { v.setHiddenDXByContinents({"EU"}); }) << true;
        QTest::newRow("blocked words on, empty list")
            << Change([](ContentView &v) { v.setFilterSwitch(S::customInfoFilterEnabled, true); })
            << true;
        QTest::newRow("allow list on, empty list") << Change([](ContentView &v) {
            v.setFilterSwitch(S::customSpotterEntityFilterEnabled, true);
        }) << true;
    }

    void hasActiveSpotFilters()
    {
        QFETCH(Change, change);
        QFETCH(bool, active);
        ContentViewFixture f;
        ContentView &view = f.make();
        change(view);
        QCOMPARE(view.hasActiveSpotFilters(), active);
    }

    void clearFilters_turnsTheSwitchesOffAndKeepsBandsAndLists()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        for (S which : {S::hideCWSpots, S::hideSSBSpots, S::hideFTxSpots, S::hideOtherDigitalSpots,
                        S::hideBeaconSpots, S::hideQRPSpots, S::hideSameDXCCSpots,
                        S::customSpotterEntityFilterEnabled, S::customInfoFilterEnabled})
            view.setFilterSwitch(which, true);
        view.setShowLoTWOnly(true);
        view.setHiddenDXFromContinents({"NA"});
        view.setHiddenDXByContinents({"EU"});
        view.setSelectedBands({"20m"});
        view.setCustomSpotterEntityADIFNumbers({291});
        view.setCustomInfoFilterTerms({"cq"});
        view.clearSpotFilters();
        QVERIFY(!view.hasActiveSpotFilters());
        QVERIFY(!f.settings.boolValue(SettingsKeys::hideQRPSpots));
        QVERIFY(!f.settings.boolValue(SettingsKeys::customInfoFilterEnabled));
        QCOMPARE(view.selectedBands(), QSet<QString>{"20m"});
        view.setFilterSwitch(S::customSpotterEntityFilterEnabled, true);
        QCOMPARE(view.customSpotterEntityADIFNumbers(), QSet<int>{291});
        QCOMPARE(view.customInfoFilterTerms(), QStringList{"cq"});
    }

    void leavingAdvancedMode_turnsTheQrpFilterOff()
    {
        ContentViewFixture f;
        ContentView &view = f.make();
        f.settings.setBool(SettingsKeys::advancedMode, true);
        view.setFilterSwitch(S::hideQRPSpots, true);
        DXSpot qrp = makeSpot("K1ABC/QRP");
        QVERIFY(!view.spotPassesLocalFilters(qrp));
        f.settings.setBool(SettingsKeys::advancedMode, false);
        QVERIFY(f.settings.value(SettingsKeys::hideQRPSpots.name) == StoredSetting::boolean(false));
        QVERIFY(view.spotPassesLocalFilters(qrp));
        f.settings.setBool(SettingsKeys::advancedMode, true);
        QVERIFY(!view.filterSwitch(S::hideQRPSpots));
    }
};

QTEST_GUILESS_MAIN(TestContentViewFilterSets)
#include "tst_ContentViewFilterSets.moc"
