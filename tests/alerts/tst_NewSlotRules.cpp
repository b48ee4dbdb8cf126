#include "NewSlotRules.h"

#include <QTest>

using namespace varnello;

namespace {

ClubLogDXCCChart chart(std::initializer_list<std::pair<int, QHash<QString, qint64>>> entries)
{
    ClubLogDXCCChart c;
    for (const auto &[entity, table] : entries)
        c.insert(QString::number(entity), table);
    return c;
}

QSet<ClubLogAlertSlot> slotsOf(const QList<ClubLogEntitySlotRule> &rules, int entity)
{
    for (const auto &rule : rules) {
        if (rule.entityADIFNumber == entity)
            return rule.slotSet;
    }
    return {};
}

} // namespace

class tst_NewSlotRules : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void mixedChart_neededBandGivesFourSlots()
    {
        const ClubLogCharts charts{{ClubLogMode::mixed, chart({{291, {{"40", 1}}}})}};
        const auto rules = clubLogEntitySlotRules({291}, charts, {ClubLogMode::mixed},
                                                  ClubLogWantedStatus::notWorked, {"20m", "40m"});
        QCOMPARE(rules.size(), 1);
        QCOMPARE(rules[0].slotSet, (QSet<ClubLogAlertSlot>{{"20m", SpotType::cw},
                                                           {"20m", SpotType::ssb},
                                                           {"20m", SpotType::ftx},
                                                           {"20m", SpotType::otherDigital}}));
    }

    void newSlotMixed_requestsCwSsbAndData()
    {
        QCOMPARE(newSlotLookupModes({ClubLogMode::mixed, ClubLogMode::cw}),
                 (QList<ClubLogMode>{ClubLogMode::cw, ClubLogMode::ssb, ClubLogMode::data}));
        QCOMPARE(newSlotLookupModes({ClubLogMode::data, ClubLogMode::cw}),
                 (QList<ClubLogMode>{ClubLogMode::cw, ClubLogMode::data}));
        QVERIFY(newSlotLookupModes({}).isEmpty());
        // With modes {mixed} only the cw chart decides the cw slots.
        const ClubLogCharts charts{{ClubLogMode::cw, chart({{291, {}}})},
                                   {ClubLogMode::ssb, chart({{291, {{"20", 2}}}})},
                                   {ClubLogMode::data, chart({{291, {{"20", 1}}}})}};
        const auto rules =
            clubLogEntitySlotRules({291}, charts, newSlotLookupModes({ClubLogMode::mixed}),
                                   ClubLogWantedStatus::notWorked, {"20m"});
        QCOMPARE(slotsOf(rules, 291), (QSet<ClubLogAlertSlot>{{"20m", SpotType::cw}}));
    }

    void bandsWithoutKey_neverGiveASlot()
    {
        const ClubLogCharts charts{{ClubLogMode::cw, chart({{291, {}}})}};
        const auto rules =
            clubLogEntitySlotRules({291}, charts, {ClubLogMode::cw}, ClubLogWantedStatus::notWorked,
                                   {"2200m", "20M", "1.25m", "6m"});
        QCOMPARE(slotsOf(rules, 291), (QSet<ClubLogAlertSlot>{{"6m", SpotType::cw}}));
        QVERIFY(clubLogEntitySlotRules({291}, charts, {ClubLogMode::cw},
                                       ClubLogWantedStatus::notWorked, {"2200m"})
                    .isEmpty());
    }

    void notConfirmed_keepsOnlyUnconfirmedBands()
    {
        const ClubLogCharts charts{
            {ClubLogMode::cw, chart({{1, {{"20", 2}, {"40", 1}, {"17", 3}, {"15", 0}}}})}};
        const auto confirmedRules =
            clubLogEntitySlotRules({1}, charts, {ClubLogMode::cw},
                                   ClubLogWantedStatus::notConfirmed, {"20m", "40m", "17m", "15m"});
        QCOMPARE(slotsOf(confirmedRules, 1),
                 (QSet<ClubLogAlertSlot>{{"20m", SpotType::cw}, {"15m", SpotType::cw}}));
        QVERIFY(clubLogEntitySlotRules({1}, charts, {ClubLogMode::cw},
                                       ClubLogWantedStatus::notWorked, {"20m", "40m", "17m", "15m"})
                    .isEmpty());
    }

    void rules_areSortedByEntityAndSkipModesWithoutChart()
    {
        const ClubLogCharts charts{{ClubLogMode::ssb, ClubLogDXCCChart{}}};
        const auto rules =
            clubLogEntitySlotRules({339, 1, 291, 100}, charts, {ClubLogMode::cw, ClubLogMode::ssb},
                                   ClubLogWantedStatus::notWorked, {"20m"});
        QList<int> order;
        for (const auto &rule : rules)
            order.append(rule.entityADIFNumber);
        QCOMPARE(order, (QList<int>{1, 100, 291, 339}));
        QCOMPARE(rules[0].slotSet, (QSet<ClubLogAlertSlot>{{"20m", SpotType::ssb}}));
    }

    void counts_countEntitiesAndModeBandPairs()
    {
        const ClubLogCharts charts{
            {ClubLogMode::cw, chart({{1, {{"20", 1}}}, {2, {{"20", 1}, {"40", 1}}}})},
            {ClubLogMode::data, chart({{1, {{"20", 1}, {"40", 1}}}})}};
        const auto counts =
            clubLogNeededCounts({1, 2, 3}, charts, {ClubLogMode::cw, ClubLogMode::data},
                                ClubLogWantedStatus::notWorked, {"20m", "40m", "2200m"});
        // 1: cw/40; 2: data 20, 40; 3: all four.
        QCOMPARE(counts, (ClubLogNeededCounts{3, 7}));
    }

    void neededEntities_ofACatchAll()
    {
        const QList<CTYEntity> entities{
            {1, "A", "A", false}, {2, "B", "B", false}, {3, "C", "C", false}};
        const ClubLogDXCCChart c = chart({{1, {{"20", 2}}}, {2, {{"20", 2}, {"40", 3}}}});
        QCOMPARE(clubLogNeededEntities(c, ClubLogWantedStatus::notWorked, entities), QSet<int>{3});
        QCOMPARE(clubLogNeededEntities(c, ClubLogWantedStatus::notConfirmed, entities),
                 (QSet<int>{1, 3}));
    }

    void populateModes_data()
    {
        QTest::addColumn<QSet<ClubLogMode>>("modes");
        QTest::addColumn<bool>("entitiesChosen");
        QTest::addColumn<QList<ClubLogMode>>("requested");
        using M = ClubLogMode;
        QTest::newRow("catch-all three")
            << QSet<M>{M::cw, M::ssb, M::data} << false << QList<M>{M::mixed};
        QTest::newRow("catch-all mixed") << QSet<M>{M::mixed} << false << QList<M>{M::mixed};
        QTest::newRow("catch-all two")
            << QSet<M>{M::ssb, M::cw} << false << QList<M>{M::cw, M::ssb};
        QTest::newRow("entities mixed")
            << QSet<M>{M::mixed} << true << QList<M>{M::cw, M::ssb, M::data};
        QTest::newRow("entities data") << QSet<M>{M::data} << true << QList<M>{M::data};
        QTest::newRow("none") << QSet<M>{} << false << QList<M>{};
    }
    void populateModes()
    {
        QFETCH(QSet<ClubLogMode>, modes);
        QFETCH(bool, entitiesChosen);
        QFETCH(QList<ClubLogMode>, requested);
        QCOMPARE(clubLogPopulateModes(modes, entitiesChosen), requested);
    }

    void spotTypesOfModes()
    {
        QCOMPARE(clubLogSpotTypes(QSet<ClubLogMode>{ClubLogMode::data, ClubLogMode::cw}),
                 (QSet<SpotType>{SpotType::ftx, SpotType::otherDigital, SpotType::cw}));
        QCOMPARE(
            clubLogSpotTypes(QSet<ClubLogMode>{ClubLogMode::mixed}),
            (QSet<SpotType>{SpotType::cw, SpotType::ssb, SpotType::ftx, SpotType::otherDigital}));
    }
};

QTEST_GUILESS_MAIN(tst_NewSlotRules)
#include "tst_NewSlotRules.moc"
