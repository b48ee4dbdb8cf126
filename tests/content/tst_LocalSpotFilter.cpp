// The local spot filter's nine rules with their missing values, the QRP test, the folding of
// blocked terms and the band order.
#include "BlockedTermMatcher.h"
#include "LoTWActivityLookup.h"
#include "LocalSpotFilter.h"
#include "SpotFilterCatalogue.h"

#include <QtTest>

using namespace varnello;

namespace {

DXSpot baseSpot()
{
    DXSpot spot;
    spot.id = QUuid::createUuid();
    spot.spotter = QStringLiteral("DL1ABC");
    spot.callsign = QStringLiteral("K1ABC");
    spot.comment = QStringLiteral("CQ TEST");
    spot.band = QStringLiteral("20m");
    spot.spotType = SpotType::cw;
    spot.dxContinent = QStringLiteral("NA");
    spot.spotterContinent = QStringLiteral("EU");
    spot.dxccADIFNumber = 291;
    spot.spotterADIFNumber = 230;
    spot.rawLine = QStringLiteral("DX de DL1ABC:     14025.0  K1ABC        CQ TEST        1234Z");
    return spot;
}

// Changes to the filter state and to the spot, by name, so that the table rows read as rules.
using StateEdit = std::function<void(LocalSpotFilterState &)>;
using SpotEdit = std::function<void(DXSpot &)>;

} // namespace

Q_DECLARE_METATYPE(StateEdit)
Q_DECLARE_METATYPE(SpotEdit)

class TestLocalSpotFilter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rules_data()
    {
        QTest::addColumn<StateEdit>("state");
        QTest::addColumn<SpotEdit>("spot");
        QTest::addColumn<bool>("passes");
        const SpotEdit same = [](DXSpot &) {};
        const StateEdit none = [](LocalSpotFilterState &) {};
        const auto everyFilter = [](LocalSpotFilterState &s) {
            s.selectedBands = {"40m"};
            s.hideCWSpots = s.hideSSBSpots = s.hideFTxSpots = s.hideOtherDigitalSpots =
                s.hideBeaconSpots = s.hideQRPSpots = s.hideSameDXCCSpots = true;
            s.showLoTWOnly = true;
            s.customInfoFilterEnabled = true;
            s.customInfoFilterTerms = {"test"};
            s.hiddenDXFromContinents = {"NA"};
            s.customSpotterEntityFilterEnabled = true;
        };

        QTest::newRow("nothing on") << none << same << true;
        // 1. Marker
        QTest::newRow("marker in lower case beats every filter")
            << StateEdit(everyFilter) << SpotEdit([](DXSpot &s) { s.rawLine += " **seeme**"; })
            << true;
        QTest::newRow("every filter without the marker") << StateEdit(everyFilter) << same << false;
        // 2. Band
        QTest::newRow("band selected")
            << StateEdit([](auto &s) { s.selectedBands = {"20m"}; }) << same << true;
        QTest::newRow("band not selected") << StateEdit([](auto &s) {
            s.selectedBands = {"40m", "Other"};
        }) << same << false;
        QTest::newRow("band names are case-sensitive")
            << StateEdit([](auto &s) { s.selectedBands = {"20M"}; }) << same << false;
        QTest::newRow("Other selected") << StateEdit([](auto &s) {
            s.selectedBands = {"Other", "1.2cm"};
        }) << SpotEdit([](DXSpot &s) { s.band = "Other"; })
                                        << true;
        QTest::newRow("name outside the catalogue compared as stored")
            << StateEdit([](auto &s) { s.selectedBands = {"11m"}; })
            << SpotEdit([](DXSpot &s) { s.band = "11m"; }) << true;
        // 3. Mode class
        QTest::newRow("cw hidden")
            << StateEdit([](auto &s) { s.hideCWSpots = true; }) << same << false;
        QTest::newRow("ssb flag leaves cw")
            << StateEdit([](auto &s) { s.hideSSBSpots = true; }) << same << true;
        QTest::newRow("ftx hidden")
            << StateEdit([](auto &s) { s.hideFTxSpots = true; })
            << SpotEdit([](DXSpot &s) { s.spotType = SpotType::ftx; }) << false;
        QTest::newRow("other digital hidden")
            << StateEdit([](auto &s) { s.hideOtherDigitalSpots = true; })
            << SpotEdit([](DXSpot &s) { s.spotType = SpotType::otherDigital; }) << false;
        QTest::newRow("beacon hidden")
            << StateEdit([](auto &s) { s.hideBeaconSpots = true; })
            << SpotEdit([](DXSpot &s) { s.spotType = SpotType::beacon; }) << false;
        QTest::newRow("unknown class never hidden") << StateEdit([](auto &s) {
            s.hideCWSpots = s.hideSSBSpots = s.hideFTxSpots = s.hideOtherDigitalSpots =
                s.hideBeaconSpots = true;
        }) << SpotEdit([](DXSpot &s) { s.spotType = SpotType::unknown; })
                                                    << true;
        // 4. QRP
        QTest::newRow("qrp in comment hidden")
            << StateEdit([](auto &s) { s.hideQRPSpots = true; })
            << SpotEdit([](DXSpot &s) { s.comment = "5W qrpp"; }) << false;
        QTest::newRow("qrp only in raw line passes")
            << StateEdit([](auto &s) { s.hideQRPSpots = true; })
            << SpotEdit([](DXSpot &s) { s.rawLine += " QRP"; }) << true;
        QTest::newRow("qrp spot shown while the switch is off")
            << none << SpotEdit([](DXSpot &s) { s.comment = "QRP"; }) << true;
        // 5. LoTW only (the table holds W1AW only)
        QTest::newRow("lotw user shown")
            << StateEdit([](auto &s) { s.showLoTWOnly = true; })
            << SpotEdit([](DXSpot &s) { s.callsign = "w1aw/p"; }) << true;
        QTest::newRow("call missing from lotw hidden")
            << StateEdit([](auto &s) { s.showLoTWOnly = true; }) << same << false;
        // 6. Blocked words
        QTest::newRow("padded term hides lower case") << StateEdit([](auto &s) {
            s.customInfoFilterEnabled = true;
            s.customInfoFilterTerms = {" CQ "};
        }) << SpotEdit([](DXSpot &s) { s.comment = "cq dx"; })
                                                      << false;
        QTest::newRow("blank term hides nothing") << StateEdit([](auto &s) {
            s.customInfoFilterEnabled = true;
            s.customInfoFilterTerms = {"   ", "\t\n"};
        }) << same << true;
        QTest::newRow("term only in raw line hides") << StateEdit([](auto &s) {
            s.customInfoFilterEnabled = true;
            s.customInfoFilterTerms = {"dl1abc"};
        }) << same << false;
        QTest::newRow("accent term hides plain upper case") << StateEdit([](auto &s) {
            s.customInfoFilterEnabled = true;
            s.customInfoFilterTerms = {"café"};
        }) << SpotEdit([](DXSpot &s) { s.comment = "UP 2 CAFE"; })
                                                            << false;
        QTest::newRow("plain term hides accented text") << StateEdit([](auto &s) {
            s.customInfoFilterEnabled = true;
            s.customInfoFilterTerms = {"Munchen"};
        }) << SpotEdit([](DXSpot &s) { s.comment = "MÜNCHEN"; })
                                                        << false;
        QTest::newRow("terms ignored while switched off")
            << StateEdit([](auto &s) { s.customInfoFilterTerms = {"CQ"}; }) << same << true;
        // 7. DX continent
        QTest::newRow("dx continent hidden")
            << StateEdit([](auto &s) { s.hiddenDXFromContinents = {"NA"}; }) << same << false;
        QTest::newRow("dx without continent passes")
            << StateEdit([](auto &s) { s.hiddenDXFromContinents = {"NA"}; })
            << SpotEdit([](DXSpot &s) { s.dxContinent.reset(); }) << true;
        // 8. Same entity
        QTest::newRow("same entity hidden")
            << StateEdit([](auto &s) { s.hideSameDXCCSpots = true; })
            << SpotEdit([](DXSpot &s) { s.spotterADIFNumber = 291; }) << false;
        QTest::newRow("same entity with spotter unknown passes")
            << StateEdit([](auto &s) { s.hideSameDXCCSpots = true; })
            << SpotEdit([](DXSpot &s) { s.spotterADIFNumber.reset(); }) << true;
        QTest::newRow("different entities pass")
            << StateEdit([](auto &s) { s.hideSameDXCCSpots = true; }) << same << true;
        // 9a. Allow list
        QTest::newRow("allowed spotter entity") << StateEdit([](auto &s) {
            s.customSpotterEntityFilterEnabled = true;
            s.customSpotterEntityADIFNumbers = {230};
        }) << same << true;
        QTest::newRow("spotter entity not allowed") << StateEdit([](auto &s) {
            s.customSpotterEntityFilterEnabled = true;
            s.customSpotterEntityADIFNumbers = {291};
        }) << same << false;
        QTest::newRow("unknown spotter entity hidden, spotter continents ignored")
            << StateEdit([](auto &s) {
                   s.customSpotterEntityFilterEnabled = true;
                   s.customSpotterEntityADIFNumbers = {230};
                   s.hiddenDXByContinents = {"EU"};
               })
            << SpotEdit([](DXSpot &s) { s.spotterADIFNumber.reset(); }) << false;
        QTest::newRow("allow list on: spotter continent set has no effect")
            << StateEdit([](auto &s) {
                   s.customSpotterEntityFilterEnabled = true;
                   s.customSpotterEntityADIFNumbers = {230};
                   s.hiddenDXByContinents = {"EU"};
               })
            << same << true;
        QTest::newRow("allow list on and empty hides everything")
            << StateEdit([](auto &s) { s.customSpotterEntityFilterEnabled = true; }) << same
            << false;
        QTest::newRow("allow list on still applies the dx continents") << StateEdit([](auto &s) {
            s.customSpotterEntityFilterEnabled = true;
            s.customSpotterEntityADIFNumbers = {230};
            s.hiddenDXFromContinents = {"NA"};
        }) << same << false;
        // 9b. Spotter continent
        QTest::newRow("spotter continent hidden")
            << StateEdit([](auto &s) { s.hiddenDXByContinents = {"EU"}; }) << same << false;
        QTest::newRow("spotter without continent passes")
            << StateEdit([](auto &s) { s.hiddenDXByContinents = {"EU"}; })
            << SpotEdit([](DXSpot &s) { s.spotterContinent.reset(); }) << true;
        QTest::newRow("code outside the seven is compared as stored")
            << StateEdit([](auto &s) { s.hiddenDXByContinents = {"XX"}; })
            << SpotEdit([](DXSpot &s) { s.spotterContinent = "XX"; }) << false;
    }

    void rules()
    {
        QFETCH(StateEdit, state);
        QFETCH(SpotEdit, spot);
        QFETCH(bool, passes);
        LoTWActivityLookup lotw;
        lotw.replaceAll({{QStringLiteral("W1AW"), QDate(2026, 1, 1)}});
        LocalSpotFilterState filterState;
        state(filterState);
        DXSpot subject = baseSpot();
        spot(subject);
        QCOMPARE(LocalSpotFilter(filterState, lotw).passes(subject), passes);
    }

    void qrpTest_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("spotter");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<bool>("qrp");
        QTest::newRow("callsign suffix") << "K1ABC/qrp"
                                         << "DL1ABC"
                                         << "" << true;
        QTest::newRow("spotter suffix") << "K1ABC"
                                        << "DL1ABC/QRP"
                                        << "" << true;
        QTest::newRow("comment without slash") << "K1ABC"
                                               << "DL1ABC"
                                               << "5w Qrp" << true;
        QTest::newRow("callsign without slash") << "QRP1A"
                                                << "DL1ABC"
                                                << "" << false;
        QTest::newRow("none") << "K1ABC"
                              << "DL1ABC"
                              << "CQ" << false;
    }

    void qrpTest()
    {
        QFETCH(QString, callsign);
        QFETCH(QString, spotter);
        QFETCH(QString, comment);
        QFETCH(bool, qrp);
        DXSpot spot = baseSpot();
        spot.callsign = callsign;
        spot.spotter = spotter;
        spot.comment = comment;
        spot.rawLine = QStringLiteral("DX de QRP");
        QCOMPARE(LocalSpotFilter::isQRP(spot), qrp);
    }

    void folding_data()
    {
        QTest::addColumn<QString>("term");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::newRow("one-letter term") << "x"
                                         << "abcX" << true;
        QTest::newRow("term at the very end") << "test"
                                              << "cq TEST" << true;
        QTest::newRow("longer than the text") << "contest"
                                              << "test" << false;
        QTest::newRow("decomposed accent in the text") << "cafe"
                                                       << "CAFE\u0301" << true;
        QTest::newRow("greek case") << "σοφία"
                                    << "ΣΟΦΊΑ" << true;
        QTest::newRow("marks alone match nothing") << "\u0301"
                                                   << "cafe\u0301" << false;
        QTest::newRow("accented term finds the plain letter") << "é"
                                                              << "E" << true;
        QTest::newRow("cyrillic case") << "москва"
                                       << "QTH МОСКВА" << true;
        QTest::newRow("different letter") << "ö"
                                          << "a" << false;
    }

    void folding()
    {
        QFETCH(QString, term);
        QFETCH(QString, text);
        QFETCH(bool, found);
        QCOMPARE(BlockedTermMatcher({term}).matches(text), found);
    }

    void bandOrder_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<bool>("before");
        QTest::newRow("6m before Other") << "6m"
                                         << "Other" << true;
        QTest::newRow("10m before 6m") << "10m"
                                       << "6m" << true;
        QTest::newRow("Other not before 160m") << "Other"
                                               << "160m" << false;
        QTest::newRow("outside after Other") << "Other"
                                             << "11m" << true;
        QTest::newRow("two outside equal") << "11m"
                                           << "5m" << false;
        QTest::newRow("not before itself") << "20m"
                                           << "20m" << false;
    }

    void bandOrder()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(bool, before);
        QCOMPARE(spotfilter::bandSortsBefore(a, b), before);
        QCOMPARE(spotfilter::bandOrder().size(), 24);
    }
};

QTEST_GUILESS_MAIN(TestLocalSpotFilter)
#include "tst_LocalSpotFilter.moc"
