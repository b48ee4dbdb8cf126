#include "DXSpotParser.h"

#include "CTYDatabase.h"
#include "CTYLookupCache.h"
#include "Clock.h"

#include <QRandomGenerator>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace varnello {

namespace {

// White space as the line pattern's \s sees it: tab, line feed, vertical tab, form feed,
// carriage return, next line and the Unicode separators.
bool isPatternSpace(QChar c)
{
    const char16_t u = c.unicode();
    if (u < 0x80)
        return u == u' ' || (u >= u'\t' && u <= u'\r');
    if (u == 0x85)
        return true;
    const QChar::Category cat = c.category();
    return cat == QChar::Separator_Space || cat == QChar::Separator_Line ||
           cat == QChar::Separator_Paragraph;
}

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// Four ASCII digits and an upper-case "Z", such as 1234Z.
bool isTimeWord(QStringView w)
{
    return w.size() == 5 && isAsciiDigit(w[0]) && isAsciiDigit(w[1]) && isAsciiDigit(w[2]) &&
           isAsciiDigit(w[3]) && w[4] == u'Z';
}

bool inRange(QChar c, char16_t lo, char16_t hi)
{
    const char16_t u = c.unicode();
    const char16_t lower = (u >= u'a' && u <= u'z') ? char16_t(u - 32) : u;
    return lower >= lo && lower <= hi;
}

// A 4- or 6-character Maidenhead locator in either case.
bool isLocator(QStringView w)
{
    if (w.size() != 4 && w.size() != 6)
        return false;
    if (!inRange(w[0], u'A', u'R') || !inRange(w[1], u'A', u'R') || !isAsciiDigit(w[2]) ||
        !isAsciiDigit(w[3]))
        return false;
    return w.size() == 4 || (inRange(w[4], u'A', u'X') && inRange(w[5], u'A', u'X'));
}

// A line break as the line pattern's "." and "$" see them: "." never crosses one, and "$" also
// matches right before one that ends the text.
bool isLineTerminator(char16_t u)
{
    return (char16_t(u - u'\n') <= 3) | (u == 0x85) | ((u & 0xfffe) == 0x2028);
}

bool isControl(QChar c)
{
    return c.category() == QChar::Other_Control;
}

// Removes the run of control characters at the end of the line. Like an end-of-text anchor, the
// end also counts when only one line or paragraph separator follows the run; the separator then
// stays. storage holds the result when it is no longer a piece of the line.
QStringView withoutTrailingControls(QStringView line, QString &storage)
{
    if (!line.isEmpty() && isLineTerminator(line.back().unicode()) && !isControl(line.back())) {
        qsizetype runStart = line.size() - 1;
        while (runStart > 0 && isControl(line[runStart - 1]))
            --runStart;
        if (runStart == line.size() - 1)
            return line;
        storage = line.first(runStart).toString() + line.back();
        return storage;
    }
    while (!line.isEmpty() && isControl(line.back()))
        line.chop(1);
    return line;
}

// The frequency group holds only ASCII digits and at most one dot; a value that does not fit a
// finite double (hundreds of digits) is not a usable frequency.
std::optional<double> readFrequency(QStringView text)
{
    QVarLengthArray<char, 32> latin;
    latin.reserve(text.size());
    for (QChar c : text)
        latin.append(char(c.unicode()));
    double value = 0;
    const char *const end = latin.data() + latin.size();
    const auto [ptr, ec] = std::from_chars(latin.data(), end, value);
    if (ec == std::errc::result_out_of_range && ptr == end &&
        std::all_of(latin.cbegin(), std::find(latin.cbegin(), latin.cend(), '.'),
                    [](char c) { return c == '0'; })) {
        // Below one and too small for a double: a long run of zeros after the dot reads as 0.
        return 0.0;
    }
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Where the DX locator stands in the fixed-column layout of a long spot line (counted in UTF-8
// bytes): the four bytes before the blank that precedes the time.
QString fixedColumnLocator(QStringView line, QStringView timeWord)
{
    const QStringView units = line.first(std::min<qsizetype>(line.size(), 76));
    if (std::all_of(units.begin(), units.end(), [](QChar c) { return c.unicode() < 0x80; })) {
        // The usual all-ASCII head: bytes and units are the same, nothing to encode.
        if (units.size() <= 74 || units[69] != u' ' || units.sliced(70, 5) != timeWord)
            return {};
        const QStringView candidate = units.sliced(65, 4);
        return isLocator(candidate) ? candidate.toString() : QString();
    }
    // Every UTF-16 unit gives at least one byte, so 76 units cover bytes 0 to 74 even when a
    // surrogate pair straddles the cut.
    const QByteArray head = units.toUtf8();
    if (head.size() <= 74)
        return {};
    if (head[69] != ' ')
        return {};
    for (int i = 0; i < 5; ++i) {
        if (head[70 + i] != char(timeWord[i].unicode()))
            return {};
    }
    // A non-ASCII byte cannot be part of a locator; a byte below 0x80 is always a whole
    // character in UTF-8.
    QString candidate;
    for (int i = 65; i <= 68; ++i) {
        const unsigned char b = static_cast<unsigned char>(head[i]);
        if (b >= 0x80)
            return {};
        candidate += QLatin1Char(char(b));
    }
    return isLocator(candidate) ? candidate : QString();
}

QUuid randomUuid()
{
    // Version 4 from the process generator: identities must be unique, not unguessable, and
    // this avoids a system call per spot.
    // One generator per thread, seeded once: the shared one takes a lock per call.
    static thread_local QRandomGenerator generator = QRandomGenerator::securelySeeded();
    quint64 words[2];
    generator.fillRange(words);
    QUuid id;
    id.data1 = quint32(words[0] >> 32);
    id.data2 = quint16(words[0] >> 16);
    id.data3 = quint16((words[0] & 0x0fff) | 0x4000);
    const quint64 low = (words[1] & 0x3fffffffffffffffULL) | 0x8000000000000000ULL;
    for (int i = 0; i < 8; ++i)
        id.data4[i] = uchar(low >> (56 - 8 * i));
    return id;
}

// The same texts come back spot after spot: the time for a whole minute, the skimmers all day, a
// station in demand from every skimmer that hears it. Spots share one string for each instead of
// allocating their own; a slot keeps the last text that hashed to it.
template <size_t N> QString sharedText(QStringView text, std::array<QString, N> &recent)
{
    static_assert((N & (N - 1)) == 0);
    QString &slot = recent[qHash(text) & (N - 1)];
    if (slot != text)
        slot = text.toString();
    return slot;
}

} // namespace

DXSpotParser::ParseResult DXSpotParser::parse(QStringView line, const CTYDatabase *database)
{
    return parse(line, database, Clock::system());
}

DXSpotParser::ParseResult DXSpotParser::parse(QStringView line,
                                              const std::optional<CTYDatabase> &database)
{
    return parse(line, database ? &*database : nullptr, Clock::system());
}

DXSpotParser::ParseResult DXSpotParser::parse(QStringView line, const CTYDatabase *database,
                                              const Clock &clock)
{
    return parse(line, database, clock, nullptr);
}

DXSpotParser::ParseResult DXSpotParser::parse(QStringView rawLine, const CTYDatabase *database,
                                              const Clock &clock, CTYLookupCache *cache)
{
    thread_local std::array<QString, 16> recentTimes;
    thread_local std::array<QString, 256> recentSpotters;
    thread_local std::array<QString, 256> recentCalls;
    QString cleanedStorage;
    const QStringView line = withoutTrailingControls(rawLine, cleanedStorage);
    const std::optional<LineParts> parts = matchSpotLine(line);
    if (!parts)
        return ParseResult::notSpot();

    const std::optional<double> frequency = readFrequency(parts->frequency);
    if (!frequency)
        return ParseResult::notSpot();

    // Words up to the time word and the one after it; the rest of a line is never used.
    QVarLengthArray<QStringView, 16> words;
    qsizetype timeIndex = -1;
    {
        const QStringView rest = parts->rest;
        qsizetype i = 0;
        while (i < rest.size() && (timeIndex < 0 || words.size() <= timeIndex + 1)) {
            while (i < rest.size() && rest[i].isSpace())
                ++i;
            const qsizetype start = i;
            while (i < rest.size() && !rest[i].isSpace())
                ++i;
            if (i == start)
                continue;
            words.append(rest.sliced(start, i - start));
            if (timeIndex < 0 && isTimeWord(words.back()))
                timeIndex = words.size() - 1;
        }
    }
    if (timeIndex < 0)
        return ParseResult::notSpot();
    const QStringView timeWord = words[timeIndex];
    qsizetype commentEnd = timeIndex;

    QString callsignLocator;
    if (commentEnd > 0) {
        const QString candidate = fixedColumnLocator(line, timeWord);
        if (!candidate.isEmpty() &&
            words[commentEnd - 1].compare(candidate, Qt::CaseInsensitive) == 0) {
            callsignLocator = candidate.toUpper();
            --commentEnd;
        }
    }

    QString spotterLocator;
    if (timeIndex + 1 < words.size() && isLocator(words[timeIndex + 1]))
        spotterLocator = words[timeIndex + 1].toString().toUpper();

    // The comment's words joined by single blanks; usually that is the line's own text, which
    // is then taken in one piece.
    QString comment;
    if (commentEnd > 0) {
        const QStringView span(words[0].constBegin(), words[commentEnd - 1].constEnd());
        bool singleBlanks = true;
        for (qsizetype i = 1; i < commentEnd && singleBlanks; ++i)
            singleBlanks = words[i].constBegin() - words[i - 1].constEnd() == 1 &&
                           *words[i - 1].constEnd() == u' ';
        if (singleBlanks) {
            comment = span.toString();
        } else {
            comment.reserve(span.size());
            for (qsizetype i = 0; i < commentEnd; ++i) {
                if (i > 0)
                    comment += QLatin1Char(' ');
                comment += words[i];
            }
        }
    }

    if (!passesBandEdgeTestRule(comment, *frequency))
        return ParseResult::rejected();

    DXSpot spot;
    spot.id = randomUuid();
    // Skimmer spotters end in "-#"; only "/-#" is removed, so look for that before searching.
    bool slashSkimmerMark = false;
    for (qsizetype i = 2; i < parts->spotter.size() && !slashSkimmerMark; ++i)
        slashSkimmerMark = parts->spotter[i] == u'#' && parts->spotter[i - 1] == u'-' &&
                           parts->spotter[i - 2] == u'/';
    if (slashSkimmerMark) {
        spot.spotter = parts->spotter.toString();
        spot.spotter.remove(QStringLiteral("/-#"));
    } else {
        spot.spotter = sharedText(parts->spotter, recentSpotters);
    }
    spot.spotterLocator = std::move(spotterLocator);
    spot.frequency = *frequency;
    spot.callsign = sharedText(parts->callsign, recentCalls);
    spot.callsignLocator = std::move(callsignLocator);
    spot.comment = std::move(comment);
    spot.time = sharedText(timeWord, recentTimes);
    spot.band = bandName(*frequency);
    spot.spotType = SpotType::unknown;
    if (database) {
        const auto find = [&](const QString &callsign) {
            return cache ? cache->find(*database, callsign) : database->find(callsign);
        };
        if (const CTYResult *dx = find(spot.callsign)) {
            spot.dxcc = dx->entityName;
            spot.dxccADIFNumber = dx->adifNumber;
            spot.dxContinent = dx->continent;
        }
        if (const CTYResult *spotter = find(spot.spotter)) {
            spot.spotterContinent = spotter->continent;
            spot.spotterADIFNumber = spotter->adifNumber;
        }
    }
    spot.receivedAt = clock.now();
    spot.rawLine = line.toString();
    return ParseResult::makeSpot(std::move(spot));
}

std::optional<DXSpotParser::LineParts> DXSpotParser::matchSpotLine(QStringView line)
{
    const qsizetype n = line.size();
    if (!line.startsWith(u"DX de", Qt::CaseInsensitive))
        return std::nullopt;
    qsizetype i = 5;
    const auto skipSpace = [&] {
        const qsizetype start = i;
        while (i < n && isPatternSpace(line[i]))
            ++i;
        return i > start;
    };
    // The next run of non-space characters, which must be followed by space.
    const auto word = [&]() -> QStringView {
        const qsizetype start = i;
        while (i < n && !isPatternSpace(line[i]))
            ++i;
        if (i == start || i == n)
            return {};
        return line.sliced(start, i - start);
    };

    if (!skipSpace())
        return std::nullopt;
    const QStringView spotterWithColon = word();
    if (spotterWithColon.size() < 2 || !spotterWithColon.endsWith(u':'))
        return std::nullopt;
    skipSpace();
    const QStringView frequency = word();
    if (frequency.isEmpty())
        return std::nullopt;
    {
        qsizetype k = 0;
        while (k < frequency.size() && isAsciiDigit(frequency[k]))
            ++k;
        if (k == 0)
            return std::nullopt;
        if (k < frequency.size()) {
            if (frequency[k] != u'.' || k + 1 == frequency.size())
                return std::nullopt;
            for (++k; k < frequency.size(); ++k) {
                if (!isAsciiDigit(frequency[k]))
                    return std::nullopt;
            }
        }
    }
    skipSpace();
    const QStringView callsign = word();
    if (callsign.isEmpty())
        return std::nullopt;
    skipSpace();
    // The rest is matched by ".*$": it may hold a line break only as the last character, and
    // that one is not part of it.
    QStringView rest = line.sliced(i);
    if (!rest.isEmpty()) {
        // No early exit and no branches, so the compiler scans many characters at a time.
        const char16_t *p = rest.utf16();
        const char16_t *const last = p + rest.size() - 1;
        char16_t lineBreaks = 0;
        for (; p < last; ++p) {
            const char16_t u = *p;
            lineBreaks |= char16_t(char16_t(u - 0x0a) < 4) | char16_t(u == 0x85) |
                          char16_t(char16_t(u & 0xfffe) == 0x2028);
        }
        if (lineBreaks)
            return std::nullopt;
        if (isLineTerminator(rest.back().unicode()))
            rest.chop(1);
    }
    return LineParts{spotterWithColon.chopped(1), frequency, callsign, rest};
}

QString DXSpotParser::bandName(double kHz)
{
    struct Band {
        QString name;
        double from;
        double below;
    };
    // Made once, so every spot shares the band texts instead of allocating its own.
    static const Band bands[] = {
        {QStringLiteral("160m"), 1800, 2000},
        {QStringLiteral("80m"), 3500, 4000},
        {QStringLiteral("60m"), 5250, 5500},
        {QStringLiteral("40m"), 7000, 7300},
        {QStringLiteral("30m"), 10100, 10150},
        {QStringLiteral("20m"), 14000, 14350},
        {QStringLiteral("17m"), 18068, 18168},
        {QStringLiteral("15m"), 21000, 21450},
        {QStringLiteral("12m"), 24890, 24990},
        {QStringLiteral("10m"), 28000, 29700},
        {QStringLiteral("6m"), 50000, 54000},
        {QStringLiteral("4m"), 70000, 70500},
        {QStringLiteral("2m"), 144000, 148000},
        {QStringLiteral("70cm"), 430000, 450000},
        {QStringLiteral("23cm"), 1240000, 1325000},
        {QStringLiteral("13cm"), 2300000, 2500000},
        {QStringLiteral("9cm"), 3300000, 3500000},
        {QStringLiteral("6cm"), 5650000, 5925000},
        {QStringLiteral("3cm"), 10000000, 10500000},
        {QStringLiteral("1.2cm"), 24000000, 24250000},
        {QStringLiteral("6mm"), 47000000, 47200000},
        {QStringLiteral("4mm"), 75500000, 81500000},
        {QStringLiteral("2mm"), 134000000, 141000000},
    };
    for (const Band &b : bands) {
        if (kHz >= b.from && kHz < b.below)
            return b.name;
    }
    return QStringLiteral("Other");
}

bool DXSpotParser::passesBandEdgeTestRule(QStringView comment, double kHz)
{
    static constexpr double bandEdges[] = {1810,  3500,  7000,  10100, 14000,  18068, 21000,
                                           24890, 28000, 50000, 70000, 144000, 430000};
    if (std::find(std::begin(bandEdges), std::end(bandEdges), kHz) == std::end(bandEdges))
        return true;

    const QString upper = comment.toString().toUpper();
    bool anyWord = false;
    bool hasCW = false;
    qsizetype i = 0;
    while (i < upper.size()) {
        while (i < upper.size() && !upper[i].isLetter())
            ++i;
        const qsizetype start = i;
        while (i < upper.size() && upper[i].isLetter())
            ++i;
        if (i == start)
            continue;
        anyWord = true;
        const QStringView word = QStringView(upper).sliced(start, i - start);
        if (word == u"TEST" || word == u"TESTING" || word == u"IGNORE" || word == u"PLEASE" ||
            word == u"PSE")
            return false;
        if (word == u"CW" || word == u"CONTEST")
            hasCW = true;
    }
    return anyWord && hasCW;
}

} // namespace varnello
