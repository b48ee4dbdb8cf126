#include "AlertCoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <limits>

using namespace varnello;

class tst_AlertCoding : public QObject {
    Q_OBJECT

private:
    static SpotAlertConfiguration fullConfiguration()
    {
        SpotAlertConfiguration c;
        c.name = QStringLiteral("Rare");
        c.selectedEntityADIFNumbers = {291, 1, 100};
        c.selectedCallsigns = {QStringLiteral("K1ABC"), QStringLiteral("VP2E*")};
        c.selectedBands = {QStringLiteral("20m"), QStringLiteral("40m")};
        c.selectedModes = {SpotType::otherDigital, SpotType::cw};
        c.highlightColor = {0.1, 0.2, 0.3};
        c.playSound = true;
        c.soundChoice = AlertSoundChoice::alert2;
        c.soundFrequency = AlertSoundFrequency::everySpot;
        c.showNotification = true;
        ClubLogAlertSettings s;
        s.wantedStatus = ClubLogWantedStatus::notConfirmed;
        s.modes = {ClubLogMode::cw, ClubLogMode::data};
        s.bandGroups = QSet<ClubLogBandGroup>{ClubLogBandGroup::hf};
        s.entityFilterADIFNumbers = {291};
        s.entitySlotRules = {
            {291, {{QStringLiteral("20m"), SpotType::cw}, {QStringLiteral("17m"), SpotType::ftx}}},
            {1, {}}};
        c.clubLogSettings = s;
        return c;
    }

private Q_SLOTS:
    void emptyObject_decodesToDefaultAlert()
    {
        const auto decoded = alertcoding::decodeConfiguration("{}");
        QVERIFY(decoded);
        QCOMPARE(decoded->name, QStringLiteral("Alert 1"));
        QVERIFY(decoded->selectedEntityADIFNumbers.isEmpty() &&
                decoded->selectedCallsigns.isEmpty());
        QVERIFY(decoded->selectedBands.isEmpty() && decoded->selectedModes.isEmpty());
        QVERIFY(decoded->highlightRows);
        QCOMPARE(decoded->highlightColor, (SpotAlertColor{1.0, 0.8, 0.0}));
        QVERIFY(!decoded->playSound && !decoded->showNotification);
        QCOMPARE(decoded->soundChoice, AlertSoundChoice::appleDefault);
        QCOMPARE(decoded->soundFrequency, AlertSoundFrequency::everyFiveMinutes);
        QVERIFY(!decoded->clubLogSettings);
    }

    void nullValues_takeTheDefaults()
    {
        const auto decoded = alertcoding::decodeConfiguration(
            R"({"name":null,"playSound":null,"clubLogSettings":null})");
        QVERIFY(decoded);
        QCOMPARE(*decoded, SpotAlertConfiguration{});
    }

    void wrongTypeAnywhere_failsWholeDecoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::newRow("playSound as string") << QByteArray(R"({"playSound":"true"})");
        QTest::newRow("unlisted mode") << QByteArray(R"({"selectedModes":["cw","rtty"]})");
        QTest::newRow("mode by case name") << QByteArray(R"({"selectedModes":["otherDigital"]})");
        QTest::newRow("entity as string") << QByteArray(R"({"selectedEntityADIFNumbers":["291"]})");
        QTest::newRow("entity fraction") << QByteArray(R"({"selectedEntityADIFNumbers":[291.5]})");
        QTest::newRow("entity huge") << QByteArray(R"({"selectedEntityADIFNumbers":[1e300]})");
        QTest::newRow("entity beyond int")
            << QByteArray(R"({"selectedEntityADIFNumbers":[4294967296]})");
        QTest::newRow("colour missing blue")
            << QByteArray(R"({"highlightColor":{"red":1,"green":1}})");
        QTest::newRow("colour component string")
            << QByteArray(R"({"highlightColor":{"red":"1","green":1,"blue":1}})");
        QTest::newRow("unknown sound") << QByteArray(R"({"soundChoice":"bell"})");
        QTest::newRow("name as number") << QByteArray(R"({"name":5})");
        QTest::newRow("sets as object") << QByteArray(R"({"selectedBands":{"20m":true}})");
        QTest::newRow("club log without rules") << QByteArray(
            R"({"clubLogSettings":{"wantedStatus":"notWorked","modes":[],"entityFilterADIFNumbers":[]}})");
        QTest::newRow("rule slot mode unknown") << QByteArray(
            R"({"clubLogSettings":{"wantedStatus":"notWorked","modes":[],"entityFilterADIFNumbers":[],)"
            R"("entitySlotRules":[{"entityADIFNumber":1,"slots":[{"band":"20m","mode":"x"}]}]}})");
        QTest::newRow("not JSON") << QByteArray("{");
        QTest::newRow("array") << QByteArray("[]");
    }
    void wrongTypeAnywhere_failsWholeDecoding()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!alertcoding::decodeConfiguration(json));
        QVERIFY(!alertcoding::decodeConfigurationList("[{}, " + json + "]"));
    }

    void wholeNumberWrittenWithFraction_isAccepted()
    {
        const auto decoded =
            alertcoding::decodeConfiguration(R"({"selectedEntityADIFNumbers":[291.0]})");
        QVERIFY(decoded);
        QCOMPARE(decoded->selectedEntityADIFNumbers, QSet<int>{291});
    }

    void otherDigital_isWrittenOtherData()
    {
        SpotAlertConfiguration c;
        c.selectedModes = {SpotType::otherDigital};
        const auto bytes = alertcoding::encode(c);
        QVERIFY(bytes);
        QVERIFY(bytes->contains(R"("selectedModes":["otherData"])"));
        QCOMPARE(alertcoding::decodeConfiguration(*bytes)->selectedModes,
                 QSet<SpotType>{SpotType::otherDigital});
    }

    void absentClubLogSettings_areNotWritten()
    {
        const auto bytes = alertcoding::encode(SpotAlertConfiguration{});
        QVERIFY(bytes);
        QVERIFY(!bytes->contains("clubLogSettings"));
        QVERIFY(!bytes->contains("null"));
        const QJsonObject object = QJsonDocument::fromJson(*bytes).object();
        QCOMPARE(object.size(), 11);
    }

    void roundTrip_keepsEveryField()
    {
        const SpotAlertConfiguration c = fullConfiguration();
        const auto bytes =
            alertcoding::encode(QList<SpotAlertConfiguration>{c, SpotAlertConfiguration{}});
        QVERIFY(bytes);
        const auto decoded = alertcoding::decodeConfigurationList(*bytes);
        QVERIFY(decoded);
        QCOMPARE(decoded->size(), 2);
        QCOMPARE(decoded->at(0), c);
        QVERIFY(!decoded->at(0).clubLogSettings->individualBands);
    }

    void encodingEqualValuesTwice_givesIdenticalBytes()
    {
        SpotAlertConfiguration a = fullConfiguration();
        // The same sets built in another order hash into another iteration order.
        SpotAlertConfiguration b = a;
        b.selectedEntityADIFNumbers.clear();
        for (int n : {100, 1, 291})
            b.selectedEntityADIFNumbers.insert(n);
        b.selectedEntityADIFNumbers.reserve(1000);
        QCOMPARE(a, b);
        QCOMPARE(alertcoding::encode(a), alertcoding::encode(b));
        QCOMPARE(alertcoding::encode(a), alertcoding::encode(a));
    }

    void nonFiniteColour_failsEncoding_data()
    {
        QTest::addColumn<double>("value");
        QTest::newRow("nan") << std::numeric_limits<double>::quiet_NaN();
        QTest::newRow("inf") << std::numeric_limits<double>::infinity();
        QTest::newRow("-inf") << -std::numeric_limits<double>::infinity();
    }
    void nonFiniteColour_failsEncoding()
    {
        QFETCH(double, value);
        SpotAlertConfiguration c;
        c.highlightColor.green = value;
        QVERIFY(!alertcoding::encode(c));
        QVERIFY(!alertcoding::encode(QList<SpotAlertConfiguration>{SpotAlertConfiguration{}, c}));
        NewSlotAlertConfiguration n;
        n.highlightColor.blue = value;
        QVERIFY(!alertcoding::encode(n));
    }

    void newSlot_requiresItsNineKeys()
    {
        const auto bytes = alertcoding::encode(NewSlotAlertConfiguration{});
        QVERIFY(bytes);
        QCOMPARE(alertcoding::decodeNewSlotConfiguration(*bytes), NewSlotAlertConfiguration{});
        const QJsonObject full = QJsonDocument::fromJson(*bytes).object();
        QCOMPARE(full.size(), 9);
        for (const QString &key : full.keys()) {
            QJsonObject without = full;
            without.remove(key);
            QVERIFY2(!alertcoding::decodeNewSlotConfiguration(QJsonDocument(without).toJson()),
                     qPrintable(key));
            QJsonObject nulled = full;
            nulled.insert(key, QJsonValue::Null);
            QVERIFY2(!alertcoding::decodeNewSlotConfiguration(QJsonDocument(nulled).toJson()),
                     qPrintable(key));
        }
    }

    void newSlot_optionalKeysRoundTripAndAreOmittedWhenAbsent()
    {
        NewSlotAlertConfiguration n;
        n.lastSuccessfulRefresh = QDateTime(QDate(2026, 12, 7), QTime(10, 30, 15, 250), Qt::UTC);
        n.neededEntityCount = 12;
        n.neededSlotCount = 340;
        n.entitySlotRules =
            QList<ClubLogEntitySlotRule>{{291, {{QStringLiteral("20m"), SpotType::ssb}}}};
        const auto bytes = alertcoding::encode(n);
        QVERIFY(bytes);
        QCOMPARE(alertcoding::decodeNewSlotConfiguration(*bytes), n);
        QVERIFY(
            !alertcoding::encode(NewSlotAlertConfiguration{})->contains("lastSuccessfulRefresh"));
    }

    void dates_countSecondsFrom2001()
    {
        const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
        QCOMPARE(alertcoding::encodeDate(reference), 0.0);
        QCOMPARE(alertcoding::encodeDate(reference.addMSecs(1500)), 1.5);
        QCOMPARE(alertcoding::decodeDate(QJsonValue(86400.0)), reference.addDays(1));
        QVERIFY(!alertcoding::decodeDate(QJsonValue(QStringLiteral("0"))));
        QVERIFY(!alertcoding::decodeDate(QJsonValue(1e300)));
    }

    void flags_decodeOnlyTruthValues()
    {
        QCOMPARE(alertcoding::decodeFlags("[true,false]"), (QList<bool>{true, false}));
        QVERIFY(!alertcoding::decodeFlags("[1,0]"));
        QVERIFY(!alertcoding::decodeFlags("{}"));
    }
};

QTEST_GUILESS_MAIN(tst_AlertCoding)
#include "tst_AlertCoding.moc"
