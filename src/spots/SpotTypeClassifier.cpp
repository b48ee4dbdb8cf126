#include "SpotTypeClassifier.h"

#include <QRegularExpression>
#include <QSet>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace varnello {

namespace {

QRegularExpression wordPattern(const QStringList &words)
{
    QRegularExpression re(
        QStringLiteral("\\b(?:") + words.join(QLatin1Char('|')) + QStringLiteral(")\\b"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    re.optimize();
    return re;
}

const QRegularExpression &ftPattern()
{
    static const QRegularExpression re = wordPattern({
        QStringLiteral("FT-?(?:8|4|2)"),
        QStringLiteral("MSHV"),
        QStringLiteral("WSJT"),
        QStringLiteral("WSJTX"),
        QStringLiteral("WSJT-X"),
        QStringLiteral("SUPERFOX"),
        QStringLiteral("SUPER\\s+FOX"),
        QStringLiteral("FOX\\s*/\\s*HOUND"),
        QStringLiteral("FOX\\s+AND\\s+HOUND"),
        QStringLiteral("FOX\\s*&\\s*HOUND"),
        QStringLiteral("FOX\\s+HOUND"),
        QStringLiteral("FOXHOUND"),
        QStringLiteral("F\\s*/\\s*H"),
    });
    return re;
}

const QRegularExpression &otherDigitalPattern()
{
    static const QRegularExpression re = wordPattern({
        QStringLiteral("RTTY"),        QStringLiteral("RTT"),
        QStringLiteral("JTTY"),        QStringLiteral("JTT"),
        QStringLiteral("RTTYOPS"),     QStringLiteral("PSK(?:31|63|125)?"),
        QStringLiteral("OLIVIA"),      QStringLiteral("MFSK"),
        QStringLiteral("HELL"),        QStringLiteral("DOMINO(?:EX)?"),
        QStringLiteral("THOR"),        QStringLiteral("THROB"),
        QStringLiteral("CONTESTIA"),   QStringLiteral("Q65"),
        QStringLiteral("MSK(?:144)?"), QStringLiteral("JT65"),
        QStringLiteral("JT9"),         QStringLiteral("JS8"),
        QStringLiteral("PACKET"),      QStringLiteral("PACTOR"),
        QStringLiteral("VARA"),        QStringLiteral("WINLINK"),
        QStringLiteral("ALE"),         QStringLiteral("FSQ"),
        QStringLiteral("ROS"),         QStringLiteral("SSTV"),
        QStringLiteral("FAX"),
    });
    return re;
}

const QRegularExpression &cwPattern()
{
    static const QRegularExpression re = wordPattern({QStringLiteral("CW")});
    return re;
}

const QRegularExpression &phonePattern()
{
    static const QRegularExpression re = wordPattern({
        QStringLiteral("SSB"),
        QStringLiteral("USB"),
        QStringLiteral("LSB"),
        QStringLiteral("AM"),
        QStringLiteral("FM"),
        QStringLiteral("PHONE"),
        QStringLiteral("PHO"),
        QStringLiteral("PH"),
    });
    return re;
}

const QSet<QString> &beaconCallsignSet()
{
    static const QSet<QString> set(ncdxfBeaconCallsigns().cbegin(), ncdxfBeaconCallsigns().cend());
    return set;
}

constexpr double ftDialFrequencies[] = {
    1840,   3573,   5357,    7074, 10136,  14074, 18100, 21074, 24915, 28074, 50313, 50323, 70154,
    144174, 432174, 1296174, 3575, 7047.5, 10140, 14080, 18104, 21140, 24919, 28180, 50318, 70190,
    144170, 1843,   3578,    7052, 10144,  14084, 18108, 21144, 24923, 28184, 50320, 144180};
constexpr double beaconFrequencies[] = {14100, 18110, 21150, 24930, 28200};
constexpr double fixedDigitalFrequencies[] = {3733, 7171, 14230, 21340, 28680, 50630};

struct Segment {
    double from;
    double to;
};
constexpr Segment cwSegments[] = {{1810, 1838},   {3500, 3570},   {7000, 7040},   {10100, 10150},
                                  {14000, 14070}, {18068, 18095}, {21000, 21070}, {24890, 24915},
                                  {28000, 28070}, {50000, 50100}};
constexpr Segment digitalSegments[] = {{1838, 1843},   {3570, 3620},   {7040, 7060},
                                       {14070, 14101}, {18095, 18111}, {21070, 21151},
                                       {24915, 24931}, {28070, 28225}};
constexpr Segment phoneSegments[] = {{1843, 2000},   {3620, 3800},   {7060, 7300},
                                     {14101, 14350}, {18111, 18168}, {21151, 21450},
                                     {24931, 24990}, {28225, 29700}, {50100, 52000}};

template <size_t N> bool inAnySegment(const Segment (&segments)[N], double f)
{
    for (const Segment &s : segments) {
        if (f >= s.from && f <= s.to)
            return true;
    }
    return false;
}

bool isBandPlanBand(QStringView band)
{
    static constexpr std::u16string_view bands[] = {u"160m", u"80m", u"40m", u"30m", u"20m",
                                                    u"17m",  u"15m", u"12m", u"10m", u"6m"};
    for (auto b : bands) {
        if (band == QStringView(b.data(), qsizetype(b.size())))
            return true;
    }
    return false;
}

using UpperAscii = QVarLengthArray<char, 128>;

// The comment in ASCII upper case, or false when it holds any other character. letters gets
// one bit per letter that occurs (A is bit 0), so searches for words with absent letters can be
// skipped.
bool toUpperAscii(const QString &text, UpperAscii &out, std::uint32_t &letters)
{
    out.resize(text.size());
    char *o = out.data();
    letters = 0;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= 0x80)
            return false;
        const char upper = char((c >= u'a' && c <= u'z') ? c - 32 : c);
        if (upper >= 'A' && upper <= 'Z')
            letters |= std::uint32_t(1) << (upper - 'A');
        *o++ = upper;
    }
    return true;
}

constexpr std::uint32_t letterBit(char c)
{
    return std::uint32_t(1) << (c - 'A');
}

bool isAsciiWordCharacter(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The words of the other-digital, CW and phone patterns with their optional parts spelled out.
// Sorted for binary search.
constexpr std::string_view otherDigitalWords[] = {
    "ALE",    "CONTESTIA", "DOMINO",  "DOMINOEX", "FAX",   "FSQ",   "HELL",   "JS8",
    "JT65",   "JT9",       "JTT",     "JTTY",     "MFSK",  "MSK",   "MSK144", "OLIVIA",
    "PACKET", "PACTOR",    "PSK",     "PSK125",   "PSK31", "PSK63", "Q65",    "ROS",
    "RTT",    "RTTY",      "RTTYOPS", "SSTV",     "THOR",  "THROB", "VARA",   "WINLINK"};
constexpr std::string_view phoneWords[] = {"AM", "FM", "LSB", "PH", "PHO", "PHONE", "SSB", "USB"};
// The FT pattern's words made of word characters only.
constexpr std::string_view ftPlainWords[] = {"FOXHOUND", "FT2",      "FT4",  "FT8",
                                             "MSHV",     "SUPERFOX", "WSJT", "WSJTX"};

// Calls visit(word) for each run of word characters of at most maxLength, in order, until it
// returns true; says whether one did.
template <typename Visit>
bool anyWordRun(std::string_view upper, size_t maxLength, const Visit &visit)
{
    size_t i = 0;
    while (i < upper.size()) {
        while (i < upper.size() && !isAsciiWordCharacter(upper[i]))
            ++i;
        const size_t start = i;
        while (i < upper.size() && isAsciiWordCharacter(upper[i]))
            ++i;
        if (i > start && i - start <= maxLength && visit(upper.substr(start, i - start)))
            return true;
    }
    return false;
}

// Which (first letter, length) pairs the words of a list have: most words of a comment (numbers,
// "DB", "WPM", "CQ") are ruled out by this before any string comparison.
template <size_t N> struct FirstLetterAndLength {
    std::array<std::uint16_t, 26> lengthsByLetter{};
    constexpr explicit FirstLetterAndLength(const std::string_view (&words)[N])
    {
        for (std::string_view w : words)
            lengthsByLetter[size_t(w[0] - 'A')] |= std::uint16_t(1u << w.size());
    }
    constexpr bool mayHold(std::string_view word) const
    {
        return word[0] >= 'A' && word[0] <= 'Z' && word.size() < 16 &&
               (lengthsByLetter[size_t(word[0] - 'A')] >> word.size()) & 1u;
    }
};

template <size_t N>
bool isOneOf(const std::string_view (&sorted)[N], const FirstLetterAndLength<N> &filter,
             std::string_view word)
{
    return filter.mayHold(word) && std::binary_search(std::begin(sorted), std::end(sorted), word);
}

constexpr FirstLetterAndLength otherDigitalFilter(otherDigitalWords);
constexpr FirstLetterAndLength phoneFilter(phoneWords);

// Steps 2 to 7 for a comment of ASCII characters (upper-cased in `upper`). Each of the
// other-digital, CW and phone patterns is "\b(?:words)\b" over words made of word characters
// only, so in ASCII text a match is exactly a whole run of word characters equal to one of the
// words. The FT pattern (with its blanks, "/" and "&") still runs as a regular expression, but
// only when the comment holds a letter that every FT word needs.
std::optional<SpotType> asciiCommentClass(const QString &comment, std::string_view upper,
                                          std::uint32_t letters)
{
    const auto has = [&](std::string_view what) { return upper.find(what) != upper.npos; };
    const auto hasLetters = [&](std::uint32_t needed) { return (letters & needed) == needed; };
    if ((hasLetters(letterBit('B') | letterBit('C') | letterBit('N')) && has("BCN")) ||
        (hasLetters(letterBit('D') | letterBit('X') | letterBit('F')) && has("DXF")) ||
        (hasLetters(letterBit('B') | letterBit('E') | letterBit('A')) && has("BEACON")))
        return SpotType::beacon;
    const bool mayBeFT =
        hasLetters(letterBit('F')) ||
        (hasLetters(letterBit('M') | letterBit('S') | letterBit('H')) && has("MSHV")) ||
        (hasLetters(letterBit('W') | letterBit('S') | letterBit('J')) && has("WSJT"));
    if (mayBeFT) {
        // A whole word run equal to one of the FT pattern's plain words is a match. Every other
        // way to match needs "FT-", "FOX" or "/", so only such text goes to the expression.
        if (anyWordRun(upper, 8, [](std::string_view w) {
                return std::binary_search(std::begin(ftPlainWords), std::end(ftPlainWords), w);
            }))
            return SpotType::ftx;
        if ((has("FT-") || has("FOX") || has("/")) && ftPattern().match(comment).hasMatch())
            return SpotType::ftx;
    }
    if (hasLetters(letterBit('M') | letterBit('S')) && has("<MS>"))
        return SpotType::otherDigital;

    bool cw = false;
    bool phone = false;
    if (anyWordRun(upper, 9, [&](std::string_view w) {
            cw = cw || w == "CW";
            phone = phone || isOneOf(phoneWords, phoneFilter, w);
            return isOneOf(otherDigitalWords, otherDigitalFilter, w);
        }))
        return SpotType::otherDigital;
    if (cw)
        return SpotType::cw;
    if (phone)
        return SpotType::ssb;
    return std::nullopt;
}

// Steps 2 to 7.
std::optional<SpotType> commentClass(const QString &comment)
{
    if (comment.isEmpty())
        return std::nullopt;
    UpperAscii upper;
    std::uint32_t letters = 0;
    if (toUpperAscii(comment, upper, letters))
        return asciiCommentClass(comment, std::string_view(upper.data(), size_t(upper.size())),
                                 letters);
    if (comment.contains(QStringLiteral("BCN"), Qt::CaseInsensitive) ||
        comment.contains(QStringLiteral("DXF"), Qt::CaseInsensitive) ||
        comment.contains(QStringLiteral("BEACON"), Qt::CaseInsensitive))
        return SpotType::beacon;
    if (ftPattern().match(comment).hasMatch())
        return SpotType::ftx;
    if (comment.contains(QStringLiteral("<MS>"), Qt::CaseInsensitive))
        return SpotType::otherDigital;
    if (otherDigitalPattern().match(comment).hasMatch())
        return SpotType::otherDigital;
    if (cwPattern().match(comment).hasMatch())
        return SpotType::cw;
    if (phonePattern().match(comment).hasMatch())
        return SpotType::ssb;
    return std::nullopt;
}

} // namespace

const QStringList &ncdxfBeaconCallsigns()
{
    static const QStringList calls{
        QStringLiteral("4U1UN"),  QStringLiteral("VE8AT"), QStringLiteral("W6WX"),
        QStringLiteral("KH6RS"),  QStringLiteral("ZL6B"),  QStringLiteral("VK6RBP"),
        QStringLiteral("JA2IGY"), QStringLiteral("RR9O"),  QStringLiteral("VR2B"),
        QStringLiteral("4S7B"),   QStringLiteral("ZS6DN"), QStringLiteral("5Z4B"),
        QStringLiteral("4X6TU"),  QStringLiteral("OH2B"),  QStringLiteral("CS3B"),
        QStringLiteral("LU4AA"),  QStringLiteral("OA4B"),  QStringLiteral("YV5B"),
    };
    return calls;
}

SpotType classifySpotType(const DXSpot &spot)
{
    const QString &comment = spot.comment;
    const double f = spot.frequency;

    // "/B" in either case, without a case-folding search per spot.
    const QStringView call(spot.callsign);
    for (qsizetype i = 0; i + 1 < call.size(); ++i) {
        if (call[i] == u'/' && (call[i + 1] == u'B' || call[i + 1] == u'b'))
            return SpotType::beacon;
    }
    if (const std::optional<SpotType> byComment = commentClass(comment))
        return *byComment;

    for (double dial : ftDialFrequencies) {
        if (f >= dial && f <= dial + 2.5)
            return SpotType::ftx;
    }
    for (double beacon : beaconFrequencies) {
        if (std::abs(f - beacon) < 0.05 && beaconCallsignSet().contains(spot.callsign.toUpper()))
            return SpotType::beacon;
    }
    for (double fixed : fixedDigitalFrequencies) {
        if (std::abs(f - fixed) <= 0.5)
            return SpotType::otherDigital;
    }
    if (!isBandPlanBand(spot.band))
        return SpotType::unknown;
    if (inAnySegment(cwSegments, f))
        return SpotType::cw;
    if (inAnySegment(digitalSegments, f))
        return SpotType::otherDigital;
    if (inAnySegment(phoneSegments, f))
        return SpotType::ssb;
    return SpotType::unknown;
}

} // namespace varnello
