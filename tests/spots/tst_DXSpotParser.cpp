#include "CTYDatabase.h"
#include "CTYLookupCache.h"
#include "Clock.h"
#include "DXSpotParser.h"

#include <QRegularExpression>
#include <QtTest>
#include <random>

using namespace varnello;
using Kind = DXSpotParser::ParseResult::Kind;

namespace {

// A line in the node's fixed-column layout: the comment field runs up to byte 68, a blank at
// byte 69 and the time at bytes 70 to 74. Padding is counted in UTF-8 bytes unless told
// otherwise.
QString fixedLine(const QString &comment, const QString &atColumn65, bool padByCharacters = false)
{
    QString line = QStringLiteral("DX de W3LPL:     14025.0  DL1XYZ       ") + comment;
    const auto length = [&] { return padByCharacters ? line.size() : line.toUtf8().size(); };
    while (length() < 64)
        line += QLatin1Char(' ');
    line += QLatin1Char(' ') + atColumn65 + QStringLiteral(" 1234Z");
    return line;
}

const CTYDatabase &database()
{
    static const CTYDatabase db =
        CTYDatabase::load(QStringLiteral(":/resources/cty_wt.dat")).database.value();
    return db;
}

} // namespace

class tst_DXSpotParser : public QObject {
    Q_OBJECT

private slots:
    void parse_fields_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("spotter");
        QTest::addColumn<double>("kHz");
        QTest::addColumn<QString>("callsign");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("time");
        QTest::addColumn<QString>("spotterLocator");
        QTest::addColumn<QString>("callsignLocator");
        QTest::newRow("plain") << "DX de K1ABC:     14025.0  dl1xyz       CQ          1234Z"
                               << "K1ABC" << 14025.0 << "dl1xyz"
                               << "CQ"
                               << "1234Z"
                               << ""
                               << "";
        QTest::newRow("lower-case dx de") << "dx DE K1ABC: 7001 DL1XYZ up 2 0001Z"
                                          << "K1ABC" << 7001.0 << "DL1XYZ"
                                          << "up 2"
                                          << "0001Z"
                                          << ""
                                          << "";
        QTest::newRow("blanks collapse") << "DX de K1ABC:\t14025  DL1XYZ  CQ \t  NA   1234Z  "
                                         << "K1ABC" << 14025.0 << "DL1XYZ"
                                         << "CQ NA"
                                         << "1234Z"
                                         << ""
                                         << "";
        QTest::newRow("empty comment") << "DX de K1ABC: 14025.3 DL1XYZ 1234Z"
                                       << "K1ABC" << 14025.3 << "DL1XYZ"
                                       << ""
                                       << "1234Z"
                                       << ""
                                       << "";
        QTest::newRow("first time word ends comment")
            << "DX de K1ABC: 14025 DL1XYZ QSX 0800Z 1234Z FN42"
            << "K1ABC" << 14025.0 << "DL1XYZ"
            << "QSX"
            << "0800Z"
            << ""
            << "";
        QTest::newRow("spotter locator, six characters")
            << "DX de K1ABC: 14025 DL1XYZ CQ 1234Z fn42aa JO01"
            << "K1ABC" << 14025.0 << "DL1XYZ"
            << "CQ"
            << "1234Z"
            << "FN42AA"
            << "";
        QTest::newRow("five characters are no locator")
            << "DX de K1ABC: 14025 DL1XYZ CQ 1234Z FN42A"
            << "K1ABC" << 14025.0 << "DL1XYZ"
            << "CQ"
            << "1234Z"
            << ""
            << "";
        QTest::newRow("skimmer /-# removed") << "DX de EA5WU/-#: 14025 DL1XYZ CW 1234Z"
                                             << "EA5WU" << 14025.0 << "DL1XYZ"
                                             << "CW"
                                             << "1234Z"
                                             << ""
                                             << "";
        QTest::newRow("skimmer -# kept") << "DX de EA5WU-#: 14025 DL1XYZ CW 1234Z"
                                         << "EA5WU-#" << 14025.0 << "DL1XYZ"
                                         << "CW"
                                         << "1234Z"
                                         << ""
                                         << "";
        QTest::newRow("colon inside spotter") << "DX de A:B: 14025 DL1XYZ CW 1234Z"
                                              << "A:B" << 14025.0 << "DL1XYZ"
                                              << "CW"
                                              << "1234Z"
                                              << ""
                                              << "";
        QTest::newRow("fixed-column DX locator")
            << fixedLine("CQ", "FN31") << "W3LPL" << 14025.0 << "DL1XYZ"
            << "CQ"
            << "1234Z"
            << ""
            << "FN31";
        QTest::newRow("fixed-column locator in lower case")
            << fixedLine("CQ", "fn31") << "W3LPL" << 14025.0 << "DL1XYZ"
            << "CQ"
            << "1234Z"
            << ""
            << "FN31";
        QTest::newRow("locator elsewhere stays in comment")
            << fixedLine("FN31 CQ", "QQQQ") << "W3LPL" << 14025.0 << "DL1XYZ"
            << "FN31 CQ QQQQ"
            << "1234Z"
            << ""
            << "";
        QTest::newRow("column text inside a longer word")
            << fixedLine("CQ", "FN31").replace(64, 1, QLatin1Char('A')) << "W3LPL" << 14025.0
            << "DL1XYZ"
            << "CQ AFN31"
            << "1234Z"
            << ""
            << "";
        QTest::newRow("two-byte character moves the column")
            << fixedLine(QString::fromUtf8("CQ Jos\u00e9 FN31"), "FN31", true) << "W3LPL" << 14025.0
            << "DL1XYZ" << QString::fromUtf8("CQ Jos\u00e9 FN31 FN31") << "1234Z"
            << ""
            << "";
        QTest::newRow("two-byte character counted in bytes")
            << fixedLine(QString::fromUtf8("CQ Jos\u00e9 FN31"), "FN31") << "W3LPL" << 14025.0
            << "DL1XYZ" << QString::fromUtf8("CQ Jos\u00e9 FN31") << "1234Z"
            << ""
            << "FN31";
    }
    void parse_fields()
    {
        QFETCH(QString, line);
        const auto r = DXSpotParser::parse(line, nullptr);
        QCOMPARE(r.kind, Kind::spot);
        const DXSpot &s = *r.spot;
        QTEST(s.spotter, "spotter");
        QTEST(s.frequency, "kHz");
        QTEST(s.callsign, "callsign");
        QTEST(s.comment, "comment");
        QTEST(s.time, "time");
        QTEST(s.spotterLocator, "spotterLocator");
        QTEST(s.callsignLocator, "callsignLocator");
        QCOMPARE(s.spotType, SpotType::unknown);
        QCOMPARE(s.band, DXSpotParser::bandName(s.frequency));
        QVERIFY(!s.id.isNull());
    }

    void parse_fixedColumnRuleNeedsMoreThan74Bytes()
    {
        // The same line cut right after the time is 75 bytes and still qualifies.
        QString line = fixedLine("CQ", "FN31");
        QCOMPARE(line.toUtf8().size(), 75);
        QCOMPARE(DXSpotParser::parse(line, nullptr).spot->callsignLocator, QStringLiteral("FN31"));
        // One byte shorter: the columns no longer line up.
        line.remove(10, 1);
        QCOMPARE(DXSpotParser::parse(line, nullptr).spot->callsignLocator, QString());
    }

    void parse_notASpot_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("empty") << "";
        QTest::newRow("node text") << "W1AW de NODE 07-Dec-2026 1234Z >";
        QTest::newRow("lower-case z only") << "DX de K1ABC: 14025 DL1XYZ CQ 1234z";
        QTest::newRow("no time word") << "DX de K1ABC: 14025 DL1XYZ CQ DX";
        QTest::newRow("five digits") << "DX de K1ABC: 14025 DL1XYZ CQ 12345Z";
        QTest::newRow("ends after callsign") << "DX de K1ABC: 14025 DL1XYZ";
        QTest::newRow("ends after callsign and blanks") << "DX de K1ABC: 14025 DL1XYZ   \r\n";
        QTest::newRow("spotter without colon") << "DX de K1ABC 14025 DL1XYZ CQ 1234Z";
        QTest::newRow("frequency with letters") << "DX de K1ABC: 14O25 DL1XYZ CQ 1234Z";
        QTest::newRow("frequency ending in dot") << "DX de K1ABC: 14025. DL1XYZ CQ 1234Z";
        QTest::newRow("frequency too large for a double")
            << "DX de K1ABC: " + QString(400, QLatin1Char('9')) + " DL1XYZ CQ 1234Z";
        QTest::newRow("band edge without time") << "DX de K1ABC: 14000 DL1XYZ TEST";
        QTest::newRow("leading blank") << " DX de K1ABC: 14025 DL1XYZ CQ 1234Z";
    }
    void parse_notASpot()
    {
        QFETCH(QString, line);
        QCOMPARE(DXSpotParser::parse(line, nullptr).kind, Kind::notASpot);
    }

    void bandEdgeRule_data()
    {
        QTest::addColumn<double>("kHz");
        QTest::addColumn<QString>("comment");
        QTest::addColumn<bool>("passes");
        QTest::newRow("TEST refused") << 14000.0 << "TEST" << false;
        QTest::newRow("CW passes") << 14000.0 << "CW" << true;
        QTest::newRow("cw test refused") << 14000.0 << "cw test" << false;
        QTest::newRow("other words refused") << 14000.0 << "CQ DX" << false;
        QTest::newRow("empty refused") << 14000.0 << "" << false;
        QTest::newRow("digits only refused") << 14000.0 << "599 73" << false;
        QTest::newRow("CW with speed") << 14000.0 << "CW20 599" << true;
        QTest::newRow("contest") << 14000.0 << "contest" << true;
        QTest::newRow("PSE refused") << 14000.0 << "CW pse" << false;
        QTest::newRow("CW inside a word refused") << 14000.0 << "CWX" << false;
        QTest::newRow("off the edge everything passes") << 14000.1 << "" << true;
        QTest::newRow("1800 is no edge") << 1800.0 << "TEST" << true;
    }
    void bandEdgeRule()
    {
        QFETCH(double, kHz);
        QFETCH(QString, comment);
        QFETCH(bool, passes);
        QCOMPARE(DXSpotParser::passesBandEdgeTestRule(comment, kHz), passes);
    }

    void parse_testSpotsAtEveryBandEdgeAreRejected()
    {
        const double edges[] = {1810,  3500,  7000,  10100, 14000,  18068, 21000,
                                24890, 28000, 50000, 70000, 144000, 430000};
        for (double f : edges) {
            const QString base = QStringLiteral("DX de K1ABC: %1 DL1XYZ ").arg(f, 0, 'f', 1);
            QCOMPARE(DXSpotParser::parse(base + "test 1234Z", nullptr).kind, Kind::rejectedSpot);
            QCOMPARE(DXSpotParser::parse(base + "1234Z", nullptr).kind, Kind::rejectedSpot);
            QCOMPARE(DXSpotParser::parse(base + "CW 1234Z", nullptr).kind, Kind::spot);
            QCOMPARE(DXSpotParser::parse(base + "test", nullptr).kind, Kind::notASpot);
        }
    }

    void bandName_data()
    {
        QTest::addColumn<double>("kHz");
        QTest::addColumn<QString>("band");
        QTest::newRow("160m low") << 1800.0 << "160m";
        QTest::newRow("160m top excluded") << 2000.0 << "Other";
        QTest::newRow("60m") << 5300.0 << "60m";
        QTest::newRow("20m top") << 14349.99 << "20m";
        QTest::newRow("20m end") << 14350.0 << "Other";
        QTest::newRow("2m") << 144000.0 << "2m";
        QTest::newRow("23cm") << 1296174.0 << "23cm";
        QTest::newRow("1.2cm") << 24000000.0 << "1.2cm";
        QTest::newRow("2mm") << 140999999.0 << "2mm";
        QTest::newRow("zero") << 0.0 << "Other";
        QTest::newRow("not a number") << std::nan("") << "Other";
    }
    void bandName()
    {
        QFETCH(double, kHz);
        QTEST(DXSpotParser::bandName(kHz), "band");
    }

    void parse_rawLineLosesTrailingControlsOnly()
    {
        const QString line = QStringLiteral("DX de K1ABC: 14025 DL1XYZ CQ 1234Z \a\r\n");
        const auto r = DXSpotParser::parse(line, nullptr);
        QCOMPARE(r.kind, Kind::spot);
        QCOMPARE(r.spot->rawLine, QStringLiteral("DX de K1ABC: 14025 DL1XYZ CQ 1234Z "));
    }

    // "." of the line pattern stops at every line break, and "$" (also that of the trailing
    // control pattern) may stand before one final line or paragraph separator.
    void parse_lineBreakCharacters_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("isSpot");
        QTest::addColumn<QString>("rawLine");
        QTest::addColumn<QString>("comment");
        const QString head = QStringLiteral("DX de K1ABC: 14025 DL1XYZ ");
        QTest::newRow("vertical tab in the rest") << head + "CQ\v1234Z" << false << ""
                                                  << "";
        QTest::newRow("form feed in the rest") << head + "CQ\f1234Z" << false << ""
                                               << "";
        QTest::newRow("next line in the rest") << head + "CQ\u00851234Z" << false << ""
                                               << "";
        QTest::newRow("line separator in the rest") << head + "CQ\u2028 1234Z" << false << ""
                                                    << "";
        QTest::newRow("line separator at the end")
            << head + "CQ 1234Z\u2028" << true << head + "CQ 1234Z\u2028"
            << "CQ";
        QTest::newRow("controls before a final separator go")
            << head + "CQ 1234Z\a\u0001\u2029" << true << head + "CQ 1234Z\u2029"
            << "CQ";
        QTest::newRow("two final separators") << head + "CQ 1234Z\u2028\u2028" << false << ""
                                              << "";
        QTest::newRow("line separator between the parts")
            << "DX de K1ABC:\u2028 14025 DL1XYZ\v CQ 1234Z" << true
            << "DX de K1ABC:\u2028 14025 DL1XYZ\v CQ 1234Z"
            << "CQ";
        QTest::newRow("other controls inside stay") << head + "CQ\u0001 1234Z\r\n"
                                                    << true << head + "CQ\u0001 1234Z"
                                                    << "CQ\u0001";
    }
    void parse_lineBreakCharacters()
    {
        QFETCH(QString, line);
        QFETCH(bool, isSpot);
        const auto r = DXSpotParser::parse(line, nullptr);
        QCOMPARE(r.kind, isSpot ? Kind::spot : Kind::notASpot);
        if (!isSpot)
            return;
        QTEST(r.spot->rawLine, "rawLine");
        QTEST(r.spot->comment, "comment");
        QCOMPARE(r.spot->time, QStringLiteral("1234Z"));
    }

    void parse_frequencyTooSmallForADoubleReadsAsZero()
    {
        const QString line =
            "DX de K1ABC: 0." + QString(400, QLatin1Char('0')) + "1 DL1XYZ CQ 1234Z";
        const auto r = DXSpotParser::parse(line, nullptr);
        QCOMPARE(r.kind, Kind::spot);
        QCOMPARE(r.spot->frequency, 0.0);
        QCOMPARE(r.spot->band, QStringLiteral("Other"));
        QCOMPARE(r.spot->frequencyText(), QStringLiteral("0.0"));
    }

    void parse_countryFields()
    {
        const QString line = QStringLiteral("DX de EA5WU-#: 14025 EA8/DL1XYZ/P CW 1234Z JO01");
        const auto r = DXSpotParser::parse(line, &database());
        QCOMPARE(r.kind, Kind::spot);
        QCOMPARE(r.spot->dxcc, QStringLiteral("Canary Islands"));
        QCOMPARE(r.spot->dxccADIFNumber, 29);
        QCOMPARE(r.spot->dxContinent, QStringLiteral("AF"));
        QCOMPARE(r.spot->spotterContinent, QStringLiteral("EU"));
        QCOMPARE(r.spot->spotterADIFNumber, 281);

        const auto bare = DXSpotParser::parse(line, std::optional<CTYDatabase>());
        QCOMPARE(bare.kind, Kind::spot);
        QCOMPARE(bare.spot->dxcc, std::nullopt);
        QCOMPARE(bare.spot->dxccADIFNumber, std::nullopt);
        QCOMPARE(bare.spot->dxContinent, std::nullopt);
        QCOMPARE(bare.spot->spotterContinent, std::nullopt);
        QCOMPARE(bare.spot->spotterADIFNumber, std::nullopt);
        QCOMPARE(bare.spot->band, QStringLiteral("20m"));
        QCOMPARE(bare.spot->spotterLocator, QStringLiteral("JO01"));
    }

    void parse_stampsTheClockAndFreshIds()
    {
        ManualClock clock;
        const QString line = QStringLiteral("DX de K1ABC: 14025 DL1XYZ CQ 1234Z");
        const auto a = DXSpotParser::parse(line, nullptr, clock);
        const auto b = DXSpotParser::parse(line, nullptr, clock);
        QCOMPARE(a.spot->receivedAt, clock.now());
        QVERIFY(a.spot->id != b.spot->id);
        QVERIFY(*a.spot != *b.spot);
        QCOMPARE(a.spot->id.version(), QUuid::Random);
    }

    // Spotters, calls and times that recur are shared between spots, from small tables whose
    // slots many texts take in turn; each spot must still carry its own line's texts, and the
    // connection's road through a lookup cache must give the same spots as the plain one.
    void parse_sharedTextsAndCachedLookups_giveEachLineItsOwnSpot()
    {
        ManualClock clock;
        CTYLookupCache cache;
        const QStringList spotters{"W3LPL-#", "DK9IP-#", "VE6WZ-#", "JA1ZGP-#", "G4ZFE", "K1TTT"};
        const QStringList prefixes{"DL", "EA8", "JA", "VK", "W", "UA9", "ZS", "PY", "KH6", "G"};
        for (int i = 0; i < 3000; ++i) {
            const QString call = prefixes[i % prefixes.size()] + QString::number(i % 10) +
                                 QStringLiteral("ABC").left(1 + i % 3) + QString::number(i);
            const QString time = QStringLiteral("%1Z").arg(1200 + (i / 7) % 60, 4, 10, QChar('0'));
            const QString line = QStringLiteral("DX de %1: 14025.0 %2 CW 23 dB %3")
                                     .arg(spotters[(i * 5) % spotters.size()], call, time);
            const auto plain = DXSpotParser::parse(line, &database(), clock);
            auto cached = DXSpotParser::parse(line, &database(), clock, &cache);
            QVERIFY(plain.spot && cached.spot);
            QCOMPARE(plain.spot->callsign, call);
            QCOMPARE(plain.spot->time, time);
            QCOMPARE(plain.spot->spotter, spotters[(i * 5) % spotters.size()]);
            cached.spot->id = plain.spot->id;
            QVERIFY2(*cached.spot == *plain.spot, qPrintable(line));
        }
    }

    // The line is matched by hand; it must split every line exactly as the line pattern does.
    // "(*ANY)" gives the pattern the line breaks the parser follows: "." stops at any of LF, VT,
    // FF, CR, NEL, LS, PS and "$" also matches before one at the end.
    void matchSpotLine_agreesWithThePattern()
    {
        static const QRegularExpression pattern(
            QStringLiteral(R"((*ANY)^DX de\s+(\S+):\s+([0-9]+(?:\.[0-9]+)?)\s+(\S+)(?:\s+(.*))?$)"),
            QRegularExpression::CaseInsensitiveOption |
                QRegularExpression::UseUnicodePropertiesOption);
        const QStringList heads{"DX de", "dx DE", "DX  de", "DXde", "DX de:", "DX dex", "Dx De"};
        const QStringList spaces{" ", "  ", "\t", "\u00a0", "\u2028", "\u0085",
                                 "",  "\n", "\v", "\u200b", "\u3000 "};
        const QStringList spotters{
            "K1ABC:", "K1ABC", "K1:ABC:", ":", QString::fromUtf8("\u00e9:"), "K1ABC::", "EA5WU-#:"};
        const QStringList frequencies{
            "14025", "14025.5", "14025.", ".5", "1a", "1.2.3", QString::fromUtf8("\u0661\u0664"),
            "7"};
        const QStringList calls{"DL1XYZ", "", QString::fromUtf8("\U0001D538"), "X:", "a\u00a0b"};
        const QStringList pieces{" ", "\t",     "\u2028", "\n", "\r", "CQ",    "1234Z",
                                 "x", "\u0085", "",       "\v", "\a", "\u2029"};
        static const QRegularExpression trailingControls(
            QStringLiteral(R"((*ANY)[\p{Cc}]+$)"), QRegularExpression::UseUnicodePropertiesOption);
        std::mt19937 rng(7);
        const auto any = [&](const QStringList &l) { return l[rng() % l.size()]; };
        int matched = 0;
        for (int i = 0; i < 40000; ++i) {
            QString line = any(heads) + any(spaces) + any(spotters) + any(spaces) +
                           any(frequencies) + any(spaces) + any(calls);
            for (int n = int(rng() % 6); n > 0; --n)
                line += any(pieces);
            line.remove(trailingControls); // as the parser does before matching
            const QRegularExpressionMatch m = pattern.match(line);
            const auto parts = DXSpotParser::matchSpotLine(line);
            const bool expected = m.hasMatch() && m.capturedStart(4) >= 0;
            QVERIFY2(parts.has_value() == expected, qPrintable(line.toUtf8().toPercentEncoding()));
            if (!expected)
                continue;
            ++matched;
            QCOMPARE(parts->spotter, m.capturedView(1));
            QCOMPARE(parts->frequency, m.capturedView(2));
            QCOMPARE(parts->callsign, m.capturedView(3));
            QCOMPARE(parts->rest, m.capturedView(4));
        }
        QVERIFY(matched > 500);
    }

    void parse_hugeAndOddLines_stayCheap()
    {
        // Each would take minutes if any step were quadratic.
        const QStringList lines{
            "DX de K1ABC: 14025 DL1XYZ " + QStringLiteral("CQ ").repeated(50000) + "1234Z",
            "DX de " + QStringLiteral("a:").repeated(50000) + " 14025 X Y",
            "DX de K1ABC: " + QString(100000, QLatin1Char('1')) + "x",
            "DX de K1ABC: 14025 " + QStringLiteral("A/").repeated(50000) + " CQ 1234Z",
            "DX de K1ABC: 14000 DL1XYZ " + QStringLiteral("\u00e9\x01 ").repeated(30000) + "1234Z",
        };
        for (const QString &line : lines)
            DXSpotParser::parse(line, &database());
        QCOMPARE(DXSpotParser::parse(lines[0], &database()).spot->comment.size(), 50000 * 3 - 1);
    }
};

QTEST_GUILESS_MAIN(tst_DXSpotParser)
#include "tst_DXSpotParser.moc"
