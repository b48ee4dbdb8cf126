#include "DXSpotParser.h"
#include "SpotTypeClassifier.h"

#include <QtTest>

#include <QRegularExpression>
#include <random>

using namespace varnello;

namespace {

// Steps 3 to 7 exactly as the word lists define them, with regular expressions throughout.
std::optional<SpotType> referenceKeywordClass(const QString &comment)
{
    const auto pattern = [](const QString &words) {
        return QRegularExpression("\\b(?:" + words + ")\\b",
                                  QRegularExpression::CaseInsensitiveOption |
                                      QRegularExpression::UseUnicodePropertiesOption);
    };
    static const QRegularExpression ft =
        pattern("FT-?(?:8|4|2)|MSHV|WSJT|WSJTX|WSJT-X|SUPERFOX|SUPER\\s+FOX|FOX\\s*/\\s*HOUND|"
                "FOX\\s+AND\\s+HOUND|FOX\\s*&\\s*HOUND|FOX\\s+HOUND|FOXHOUND|F\\s*/\\s*H");
    static const QRegularExpression other = pattern(
        "RTTY|RTT|JTTY|JTT|RTTYOPS|PSK(?:31|63|125)?|OLIVIA|MFSK|HELL|DOMINO(?:EX)?|THOR|THROB|"
        "CONTESTIA|Q65|MSK(?:144)?|JT65|JT9|JS8|PACKET|PACTOR|VARA|WINLINK|ALE|FSQ|ROS|SSTV|FAX");
    static const QRegularExpression cw = pattern("CW");
    static const QRegularExpression phone = pattern("SSB|USB|LSB|AM|FM|PHONE|PHO|PH");
    if (ft.match(comment).hasMatch())
        return SpotType::ftx;
    if (comment.contains("<MS>", Qt::CaseInsensitive))
        return SpotType::otherDigital;
    if (other.match(comment).hasMatch())
        return SpotType::otherDigital;
    if (cw.match(comment).hasMatch())
        return SpotType::cw;
    if (phone.match(comment).hasMatch())
        return SpotType::ssb;
    return std::nullopt;
}

} // namespace

class tst_SpotTypeClassifier : public QObject {
    Q_OBJECT

private slots:
    void classify_data()
    {
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<double>("kHz");
        QTest::addColumn<SpotType>("type");
        const auto row = [](const char *name, const char *call, const char *comment, double f,
                            SpotType t) {
            QTest::newRow(name) << QString::fromUtf8(call) << QString::fromUtf8(comment) << f << t;
        };
        row("beacon suffix beats comment", "DL0ABC/b", "FT8 CW SSB", 14200, SpotType::beacon);
        row("BEACON inside a word", "DL1ABC", "xxBeaconyy", 14200, SpotType::beacon);
        row("BCN", "DL1ABC", "bcn qrv", 14200, SpotType::beacon);
        row("DXF inside a word", "DL1ABC", "ADXFB", 14200, SpotType::beacon);
        row("FT8 with report", "DL1ABC", "FT8 -12 dB", 14200, SpotType::ftx);
        row("FT-4", "DL1ABC", "ft-4", 14200, SpotType::ftx);
        row("FT 8 is no FT word", "DL1ABC", "FT 8", 14025, SpotType::cw);
        row("fox and hound", "DL1ABC", "Fox / Hound", 14200, SpotType::ftx);
        row("WSJT-X", "DL1ABC", "via WSJT-X", 14200, SpotType::ftx);
        row("meteor scatter mark", "DL1ABC", "<ms> ping", 14200, SpotType::otherDigital);
        row("PSK31", "DL1ABC", "PSK31 cq", 14200, SpotType::otherDigital);
        row("RTTY before CW", "DL1ABC", "RTTY CW", 14200, SpotType::otherDigital);
        row("CW before SSB", "DL1ABC", "CW SSB", 14200, SpotType::cw);
        row("phone word AM", "DL1ABC", "CQ AM", 14025, SpotType::ssb);
        row("AM only as a word", "DL1ABC", "CQ AMX", 14025, SpotType::cw);
        row("FT dial frequency", "DL1ABC", "", 14074, SpotType::ftx);
        row("FT dial plus 1.5", "DL1ABC", "", 14075.5, SpotType::ftx);
        row("FT dial plus 2.5", "DL1ABC", "", 14076.5, SpotType::ftx);
        row("past FT window", "DL1ABC", "", 14076.6, SpotType::otherDigital);
        row("NCDXF beacon call", "4u1un", "", 14100.04, SpotType::beacon);
        row("other call near beacon", "DL1ABC", "", 14100.04, SpotType::otherDigital);
        row("fixed digital frequency", "DL1ABC", "", 14230.5, SpotType::otherDigital);
        row("phone segment", "DL1ABC", "", 14231, SpotType::ssb);
        row("60m off dial", "DL1ABC", "", 5300, SpotType::unknown);
        row("60m FT dial", "DL1ABC", "", 5357.5, SpotType::ftx);
        row("2m", "DL1ABC", "", 144300, SpotType::unknown);
        row("30m CW", "DL1ABC", "", 10120, SpotType::cw);
        row("boundary belongs to CW", "DL1ABC", "", 7040, SpotType::cw);
        row("just into digital", "DL1ABC", "", 7040.1, SpotType::otherDigital);
        row("160m shared boundary", "DL1ABC", "", 1838, SpotType::cw);
        row("6m phone", "DL1ABC", "", 50150, SpotType::ssb);
        row("20m above phone segment", "DL1ABC", "", 14349.9, SpotType::ssb);
        row("80m gap", "DL1ABC", "", 3850, SpotType::unknown);
    }
    void classify()
    {
        QFETCH(QString, callsign);
        QFETCH(QString, comment);
        QFETCH(double, kHz);
        QFETCH(SpotType, type);
        DXSpot spot;
        spot.callsign = callsign;
        spot.comment = comment;
        spot.frequency = kHz;
        spot.band = DXSpotParser::bandName(kHz);
        QCOMPARE(toRaw(classifySpotType(spot)), toRaw(type));
    }

    // The classifier compares whole words instead of running the patterns on plain-ASCII
    // comments; it must agree with the patterns on every comment.
    void keywordSteps_agreeWithThePatterns()
    {
        const QStringList pieces{"FT8",
                                 "FT 8",
                                 "ft-4",
                                 "FT-2",
                                 "FT9",
                                 "mshv",
                                 "WSJT",
                                 "wsjtx",
                                 "WSJT-X",
                                 "superfox",
                                 "Super  Fox",
                                 "fox/hound",
                                 "FOX & HOUND",
                                 "fox and hound",
                                 "foxhound",
                                 "F / H",
                                 "F/",
                                 "RTTY",
                                 "rtt",
                                 "JTTY",
                                 "RTTYOPS",
                                 "PSK",
                                 "psk31",
                                 "PSK63",
                                 "PSK125",
                                 "PSK3",
                                 "olivia",
                                 "MFSK",
                                 "hell",
                                 "DOMINO",
                                 "dominoex",
                                 "THOR",
                                 "throb",
                                 "CONTESTIA",
                                 "Q65",
                                 "MSK144",
                                 "msk",
                                 "JT65",
                                 "JT9",
                                 "JS8",
                                 "packet",
                                 "PACTOR",
                                 "VARA",
                                 "winlink",
                                 "ALE",
                                 "FSQ",
                                 "ros",
                                 "SSTV",
                                 "fax",
                                 "CW",
                                 "cw599",
                                 "_CW",
                                 "CW_",
                                 "CW2",
                                 "SSB",
                                 "usb",
                                 "LSB",
                                 "am",
                                 "AMX",
                                 "FM",
                                 "phone",
                                 "PHO",
                                 "ph",
                                 "<ms>",
                                 "<MS",
                                 "599",
                                 "tnx",
                                 "x",
                                 "K",
                                 QString::fromUtf8("\u00e9"),
                                 QString::fromUtf8("\u017fsb"),
                                 QString::fromUtf8("cw\u00e9"),
                                 QString::fromUtf8("\u00a0"),
                                 "12",
                                 "Z"};
        const QStringList separators{"", " ", "  ", "-", "/", ".", "_", "\t", ",", "&"};
        std::mt19937 rng(42);
        int compared = 0;
        for (int i = 0; i < 30000; ++i) {
            QString comment;
            for (int n = int(rng() % 5); n >= 0; --n)
                comment += pieces[rng() % pieces.size()] + separators[rng() % separators.size()];
            const QString upper = comment.toUpper();
            if (upper.contains("BCN") || upper.contains("DXF") || upper.contains("BEACON"))
                continue;
            DXSpot spot;
            spot.callsign = QStringLiteral("DL1ABC");
            spot.comment = comment;
            spot.frequency = 3850; // a gap of the band plan: no frequency step decides
            spot.band = DXSpotParser::bandName(spot.frequency);
            const SpotType expected = referenceKeywordClass(comment).value_or(SpotType::unknown);
            QVERIFY2(classifySpotType(spot) == expected, qPrintable(comment));
            ++compared;
        }
        QVERIFY(compared > 20000);
    }

    void beaconList_hasTheEighteenStations()
    {
        QCOMPARE(ncdxfBeaconCallsigns().size(), 18);
        QCOMPARE(
            QSet<QString>(ncdxfBeaconCallsigns().cbegin(), ncdxfBeaconCallsigns().cend()).size(),
            18);
        for (const QString &call : ncdxfBeaconCallsigns()) {
            DXSpot spot;
            spot.callsign = call;
            spot.frequency = 28200;
            spot.band = DXSpotParser::bandName(spot.frequency);
            QCOMPARE(classifySpotType(spot), SpotType::beacon);
        }
    }
};

QTEST_GUILESS_MAIN(tst_SpotTypeClassifier)
#include "tst_SpotTypeClassifier.moc"
