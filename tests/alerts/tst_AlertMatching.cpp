#include "AlertMatching.h"
#include "AlertTestSupport.h"

#include <QRandomGenerator>
#include <QTest>

using namespace varnello;
using varnello::test::makeSpot;

class tst_AlertMatching : public QObject {
    Q_OBJECT

private:
    static SpotAlertConfiguration clubLogSlot(QSet<int> filter, QList<ClubLogEntitySlotRule> rules)
    {
        SpotAlertConfiguration c;
        ClubLogAlertSettings s;
        s.entityFilterADIFNumbers = std::move(filter);
        s.entitySlotRules = std::move(rules);
        c.clubLogSettings = s;
        return c;
    }

    // Both matchers must agree on every case.
    static bool bothMatch(const SpotAlertConfiguration &c, const DXSpot &spot, int slot)
    {
        QList<SpotAlertConfiguration> list(5);
        list[slot] = c;
        const bool plain = alertMatches(c, spot, slot);
        const bool compiled = AlertMatcher(list).matches(slot, spot);
        if (plain != compiled)
            qWarning("matchers disagree");
        return plain && compiled;
    }

private Q_SLOTS:
    void callsignPatterns_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<bool>("matches");
        QTest::newRow("lower-case pattern") << "k1abc"
                                            << "K1ABC" << true;
        QTest::newRow("portable suffix") << "k1abc"
                                         << "K1ABC/P" << true;
        QTest::newRow("foreign prefix") << "k1abc"
                                        << "W1/K1ABC" << false;
        QTest::newRow("longer call") << "K1AB"
                                     << "K1ABC" << false;
        QTest::newRow("slash pattern exact") << "K1ABC/P"
                                             << "K1ABC/P" << true;
        QTest::newRow("slash pattern vs base") << "K1ABC/P"
                                               << "K1ABC" << false;
        QTest::newRow("prefix") << "VP2E*"
                                << "VP2EAB" << true;
        QTest::newRow("prefix with suffix") << "VP2E*"
                                            << "VP2EAB/QRP" << true;
        QTest::newRow("prefix behind slash") << "VP2E*"
                                             << "W1/VP2EAB" << false;
        QTest::newRow("inner star literal") << "K*1"
                                            << "K*1" << true;
        QTest::newRow("inner star no wildcard") << "K*1"
                                                << "KA1" << false;
        QTest::newRow("star alone") << "*"
                                    << "ANY/THING" << true;
        QTest::newRow("star alone leading slash") << "*"
                                                  << "/P" << true;
        QTest::newRow("slash star is literal") << "W1/*"
                                               << "W1/K1ABC" << false;
        QTest::newRow("lower-case call") << "K1ABC"
                                         << "k1abc" << true;
    }
    void callsignPatterns()
    {
        QFETCH(QString, pattern);
        QFETCH(QString, callsign);
        QFETCH(bool, matches);
        QCOMPARE(callsignMatchesPattern(pattern, callsign), matches);
        SpotAlertConfiguration c;
        c.selectedCallsigns = {pattern};
        QCOMPARE(bothMatch(c, makeSpot(callsign), 4), matches);
    }

    void callsignAlert_respectsBandsAndModes()
    {
        SpotAlertConfiguration c;
        c.selectedCallsigns = {QStringLiteral("K1ABC")};
        c.selectedBands = {QStringLiteral("20m")};
        c.selectedEntityADIFNumbers = {999}; // never consulted in slot 4
        QVERIFY(bothMatch(c, makeSpot("K1ABC", "20m"), 4));
        QVERIFY(!bothMatch(c, makeSpot("K1ABC", "40m"), 4));
        c.selectedModes = {SpotType::ssb};
        QVERIFY(!bothMatch(c, makeSpot("K1ABC", "20m", SpotType::cw), 4));
        c.selectedCallsigns.clear();
        c.selectedModes.clear();
        QVERIFY(!bothMatch(c, makeSpot("K1ABC", "20m"), 4));
    }

    void plainPath()
    {
        SpotAlertConfiguration cwOnly;
        cwOnly.selectedModes = {SpotType::cw};
        QVERIFY(bothMatch(cwOnly, makeSpot("A1", "20m", SpotType::cw), 0));
        QVERIFY(bothMatch(cwOnly, makeSpot("A1", "20m", SpotType::cw, 291), 0));
        QVERIFY(!bothMatch(cwOnly, makeSpot("A1", "20m", SpotType::ssb), 0));

        SpotAlertConfiguration entity;
        entity.selectedEntityADIFNumbers = {291};
        QVERIFY(bothMatch(entity, makeSpot("K1A", "20m", SpotType::cw, 291), 1));
        QVERIFY(!bothMatch(entity, makeSpot("K1A", "20m", SpotType::cw), 1));
        QVERIFY(!bothMatch(entity, makeSpot("K1A", "20m", SpotType::cw, 1), 1));

        SpotAlertConfiguration callsignsIgnored;
        callsignsIgnored.selectedCallsigns = {QStringLiteral("NOPE")};
        QVERIFY(bothMatch(callsignsIgnored, makeSpot("K1A"), 2));
    }

    void clubLogPath_ignoresOwnBands()
    {
        SpotAlertConfiguration c = clubLogSlot({291}, {{291, {{"20m", SpotType::cw}}}});
        c.selectedBands = {QStringLiteral("40m")};
        QVERIFY(bothMatch(c, makeSpot("K1A", "20m", SpotType::cw, 291), 0));
        QVERIFY(!bothMatch(c, makeSpot("K1A", "17m", SpotType::cw, 291), 0));
        QVERIFY(!bothMatch(c, makeSpot("K1A", "20m", SpotType::cw), 0));
        QVERIFY(!bothMatch(c, makeSpot("F1A", "20m", SpotType::cw, 227), 0));
    }

    void clubLogPath_filterWithoutRulesMatchesNothing()
    {
        const SpotAlertConfiguration c = clubLogSlot({291}, {});
        QVERIFY(c.isConfigured());
        QVERIFY(!bothMatch(c, makeSpot("K1A", "20m", SpotType::cw, 291), 0));
    }

    void clubLogRulesAlone_doNotConfigure()
    {
        const SpotAlertConfiguration c = clubLogSlot({}, {{291, {{"20m", SpotType::cw}}}});
        QVERIFY(!c.isConfigured());
        QVERIFY(!SpotAlertConfiguration{}.isConfigured());
        // Rules without a filter still take the Club Log path: any entity with a rule.
        QVERIFY(bothMatch(c, makeSpot("K1A", "20m", SpotType::cw, 291), 0));
    }

    void firstRuleForEntity_isTheOnlyOneThatCounts()
    {
        const QList<ClubLogEntitySlotRule> rules{{291, {{"20m", SpotType::cw}}},
                                                 {291, {{"40m", SpotType::cw}}}};
        const SpotAlertConfiguration c = clubLogSlot({291}, rules);
        QVERIFY(bothMatch(c, makeSpot("K1A", "20m", SpotType::cw, 291), 0));
        QVERIFY(!bothMatch(c, makeSpot("K1A", "40m", SpotType::cw, 291), 0));
        const SlotRuleIndex index(rules);
        QVERIFY(newSlotRulesMatch(index, makeSpot("K1A", "20m", SpotType::cw, 291)));
        QVERIFY(!newSlotRulesMatch(index, makeSpot("K1A", "40m", SpotType::cw, 291)));
        QVERIFY(!newSlotRulesMatch(index, makeSpot("K1A", "20m", SpotType::cw)));
        QVERIFY(!newSlotRulesMatch(SlotRuleIndex{}, makeSpot("K1A", "20m", SpotType::cw, 291)));
    }

    // The prepared matcher must give the plain algorithm's answers on arbitrary alerts and spots.
    void compiledMatcher_agreesWithPlainMatcher()
    {
        QRandomGenerator random(20261207);
        const QStringList calls{"K1ABC", "K1ABC/P", "W1/K1ABC", "VP2EAB", "VP2EAB/QRP",
                                "/P",    "k1abc",   "K*1",      "G0XYZ",  ""};
        const QStringList patterns{"K1ABC", "k1abc", "K1ABC/P", "VP2E*", "*",
                                   "K*1",   "W1/*",  "G*",      "/P",    "K1ABC/*"};
        const QStringList bands{"20m", "40m", "17m", "Other"};
        const QList<SpotType> types{SpotType::cw, SpotType::ssb, SpotType::ftx, SpotType::unknown};
        const auto pick = [&](const auto &list) { return list[random.bounded(int(list.size()))]; };
        for (int round = 0; round < 400; ++round) {
            QList<SpotAlertConfiguration> alerts(5);
            for (SpotAlertConfiguration &c : alerts) {
                for (int i = random.bounded(3); i > 0; --i)
                    c.selectedCallsigns.insert(pick(patterns));
                for (int i = random.bounded(2); i > 0; --i)
                    c.selectedBands.insert(pick(bands));
                for (int i = random.bounded(2); i > 0; --i)
                    c.selectedModes.insert(pick(types));
                for (int i = random.bounded(2); i > 0; --i)
                    c.selectedEntityADIFNumbers.insert(random.bounded(3));
                if (random.bounded(3) == 0) {
                    ClubLogAlertSettings s;
                    for (int i = random.bounded(2); i > 0; --i)
                        s.entityFilterADIFNumbers.insert(random.bounded(3));
                    for (int i = random.bounded(3); i > 0; --i)
                        s.entitySlotRules.append({random.bounded(3), {{pick(bands), pick(types)}}});
                    c.clubLogSettings = s;
                }
            }
            const AlertMatcher matcher(alerts);
            for (int s = 0; s < 10; ++s) {
                std::optional<int> entity;
                if (random.bounded(4) != 0)
                    entity = random.bounded(3);
                const DXSpot spot = makeSpot(pick(calls), pick(bands), pick(types), entity);
                for (int slot = 0; slot < 5; ++slot) {
                    QCOMPARE(matcher.matches(slot, spot), alertMatches(alerts[slot], spot, slot));
                    QCOMPARE(matcher.isConfigured(slot), alerts[slot].isConfigured());
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(tst_AlertMatching)
#include "tst_AlertMatching.moc"
