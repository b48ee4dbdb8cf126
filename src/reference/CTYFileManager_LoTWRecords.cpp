// The LoTW user-activity list: record rules, field tests and the validation of a whole list.

#include "CTYFileManager.h"
#include "CivilDate.h"

#include <QStringDecoder>
#include <array>

namespace varnello {

namespace {

// Up to three non-empty pieces of `text` between `sep` characters; `count` says how many
// non-empty pieces there were in all (it stops counting at four).
template <typename View> struct Pieces {
    std::array<View, 3> piece;
    int count = 0;
};

template <typename View, typename Char> Pieces<View> splitNonEmpty(View text, Char sep)
{
    Pieces<View> out;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i <= n && out.count < 4; ++i) {
        if (i == n || text[i] == sep) {
            if (i > start) {
                if (out.count < 3)
                    out.piece[out.count] = text.sliced(start, i - start);
                ++out.count;
            }
            start = i + 1;
        }
    }
    return out;
}

inline int codeUnit(char c)
{
    return static_cast<unsigned char>(c);
}
inline int codeUnit(QChar c)
{
    return c.unicode();
}

// A whole number of at most four characters (optional sign, ASCII digits), read inline: the
// date and time fields of every record go through here.
template <typename View> inline std::optional<qint64> shortInteger(View text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    bool negative = false;
    if (n > 0 && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == n)
        return std::nullopt;
    qint64 value = 0;
    for (; i < n; ++i) {
        const auto c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (codeUnit(c) - '0');
    }
    return negative ? -value : value;
}

// The three numbers of a field of three non-empty pieces of the given lengths (at most four).
template <typename View, typename Char>
std::optional<std::array<qint64, 3>> triple(View text, Char sep, std::array<qsizetype, 3> lengths)
{
    const auto p = splitNonEmpty(text, sep);
    if (p.count != 3)
        return std::nullopt;
    std::array<qint64, 3> values{};
    for (int i = 0; i < 3; ++i) {
        if (p.piece[i].size() != lengths[i])
            return std::nullopt;
        const auto value = shortInteger(p.piece[i]);
        if (!value)
            return std::nullopt;
        values[i] = *value;
    }
    return values;
}

// Year, month and day of a valid date field.
template <typename View, typename Char>
std::optional<std::array<qint64, 3>> validDateParts(View text, Char dash)
{
    const auto v = triple(text, dash, {4, 2, 2});
    if (!v || (*v)[1] < 1 || (*v)[1] > 12 || (*v)[2] < 1 || (*v)[2] > 31)
        return std::nullopt;
    return v;
}

template <typename View, typename Char> bool isValidTime(View text, Char colon)
{
    const auto v = triple(text, colon, {2, 2, 2});
    return v && (*v)[0] >= 0 && (*v)[0] <= 23 && (*v)[1] >= 0 && (*v)[1] <= 59 && (*v)[2] >= 0 &&
           (*v)[2] <= 59;
}

template <typename View, typename Char> std::optional<QDate> activityDate(View text, Char dash)
{
    const auto p = splitNonEmpty(text, dash);
    if (p.count != 3)
        return std::nullopt;
    const auto y = parseDecimalInteger(p.piece[0]);
    const auto m = parseDecimalInteger(p.piece[1]);
    const auto d = parseDecimalInteger(p.piece[2]);
    if (!y || !m || !d)
        return std::nullopt;
    return civilDate(*y, *m, *d);
}

bool isAsciiTrimmable(char c)
{
    return c == '"' || c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isTrimmable(QChar c)
{
    return c == u'"' || c.isSpace();
}

// Field 1 without quotes, blanks and line ends at either end, upper-cased.
QString callsignKey(QByteArrayView field)
{
    qsizetype b = 0;
    qsizetype e = field.size();
    while (b < e && isAsciiTrimmable(field[b]))
        ++b;
    while (e > b && isAsciiTrimmable(field[e - 1]))
        --e;
    // Plain ASCII calls, nearly all of them, are upper-cased while copied.
    QString key(e - b, Qt::Uninitialized);
    QChar *out = key.data();
    bool ascii = true;
    for (qsizetype i = b; i < e && ascii; ++i) {
        const auto c = static_cast<unsigned char>(field[i]);
        ascii = c < 0x80;
        *out++ = QChar(char16_t(c >= 'a' && c <= 'z' ? c - ('a' - 'A') : c));
    }
    if (ascii)
        return key;
    key = QString::fromUtf8(field.sliced(b, e - b));
    if (!key.isEmpty() && (key.front().unicode() >= 0x80 || key.back().unicode() >= 0x80)) {
        qsizetype kb = 0;
        qsizetype ke = key.size();
        while (kb < ke && isTrimmable(key[kb]))
            ++kb;
        while (ke > kb && isTrimmable(key[ke - 1]))
            --ke;
        key = key.sliced(kb, ke - kb);
    }
    return std::move(key).toUpper();
}

// Checks strict UTF-8 in slices, so that no decoded copy of a large list is ever held. Slices
// end before a lead byte, so every slice must decode on its own.
bool isStrictUtf8(const QByteArray &bytes)
{
    constexpr qsizetype kSlice = 256 * 1024;
    std::vector<QChar> buffer(kSlice + 4);
    const char *data = bytes.constData();
    const qsizetype n = bytes.size();
    qsizetype at = 0;
    while (at < n) {
        qsizetype end = std::min(n, at + kSlice);
        for (int back = 0; back < 3 && end < n && end > at + 1 &&
                           (static_cast<unsigned char>(data[end]) & 0xC0) == 0x80;
             ++back)
            --end;
        QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
        decoder.appendToBuffer(buffer.data(), QByteArrayView(data + at, end - at));
        if (decoder.hasError())
            return false;
        at = end;
    }
    return true;
}

// Length of the line end starting at `p` (LF, CR, CR LF, NEL, LINE/PARAGRAPH SEPARATOR), or 0.
qsizetype lineEndLength(const unsigned char *p, const unsigned char *end)
{
    switch (p[0]) {
    case '\n':
        return 1;
    case '\r':
        return (p + 1 < end && p[1] == '\n') ? 2 : 1;
    case 0xC2:
        return (p + 1 < end && p[1] == 0x85) ? 2 : 0;
    case 0xE2:
        return (p + 2 < end && p[1] == 0x80 && (p[2] == 0xA8 || p[2] == 0xA9)) ? 3 : 0;
    default:
        return 0;
    }
}

} // namespace

CTYFileManager::LoTWReadingState CTYFileManager::LoTWReadingState::startingAt(const QDateTime &now)
{
    LoTWReadingState state;
    const QDateTime utcNow = now.toUTC();
    const QDateTime yearAgo = utcNow.addYears(-1);
    state.cutoff = yearAgo.isValid() ? yearAgo : utcNow;
    state.cutoffSecs = state.cutoff.toSecsSinceEpoch();
    state.table.reserve(kLoTWExpectedKeys);
    return state;
}

bool CTYFileManager::isValidLoTWDate(QStringView text)
{
    return validDateParts(text, u'-').has_value();
}

bool CTYFileManager::isValidLoTWTime(QStringView text)
{
    return isValidTime(text, u':');
}

std::optional<QDate> CTYFileManager::lotwActivityDate(QStringView text)
{
    return activityDate(text, u'-');
}

void CTYFileManager::parseLoTWActivityCSV(QStringView line, LoTWReadingState &state)
{
    parseLoTWActivityUtf8Line(line.toUtf8(), state);
}

void CTYFileManager::parseLoTWActivityUtf8Line(QByteArrayView line, LoTWReadingState &state)
{
    if (line.isEmpty())
        return;

    qsizetype commas[2] = {-1, -1};
    int commaCount = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == ',') {
            if (commaCount < 2)
                commas[commaCount] = i;
            if (++commaCount > 2)
                break;
        }
    }
    const auto invalidLine = [&state] {
        if (state.activityCount < kLoTWRecordsBeforeBadLinesAreSkipped) {
            state.invalid = true;
            state.stop = true;
        }
    };
    if (commaCount != 2 || commas[0] == 0) {
        invalidLine();
        return;
    }
    const QByteArrayView callsign = line.first(commas[0]);
    const QByteArrayView dateField = line.sliced(commas[0] + 1, commas[1] - commas[0] - 1);
    const QByteArrayView timeField = line.sliced(commas[1] + 1);
    const auto parts = validDateParts(dateField, '-');
    if (!parts || !isValidTime(timeField, ':')) {
        invalidLine();
        return;
    }
    // A valid date field reads the same as the record-date rule would read it.
    const std::optional<QDate> date = civilDate((*parts)[0], (*parts)[1], (*parts)[2]);
    if (!date) {
        invalidLine();
        return;
    }

    ++state.activityCount;
    if (!state.latestDate || *date > *state.latestDate)
        state.latestDate = date;

    if (utcMidnightSecsSinceEpoch(*date) < state.cutoffSecs)
        return;
    QString key = callsignKey(callsign);
    if (key.isEmpty())
        return;
    const auto it = state.table.find(key);
    if (it == state.table.end())
        state.table.insert(std::move(key), *date);
    else if (*date > *it)
        *it = *date;
}

DataFileOutcome<CTYFileManager::LoTWValidationResult>
CTYFileManager::validateLoTWActivityData(const QByteArray &bytes, const QDateTime &now)
{
    if (bytes.size() <= kLoTWListMinExclusiveBytes)
        return DataFileFailure(LoTWActivityFileError::downloadFailedValidation);
    if (!isStrictUtf8(bytes))
        return DataFileFailure(LoTWActivityFileError::invalidTextEncoding);

    LoTWReadingState state = LoTWReadingState::startingAt(now);
    const auto *begin = reinterpret_cast<const unsigned char *>(bytes.constData());
    const auto *end = begin + bytes.size();
    const auto *p = begin;
    // A byte-order mark is no part of the first callsign.
    if (end - p >= 3 && p[0] == 0xEF && p[1] == 0xBB && p[2] == 0xBF)
        p += 3;
    const auto *lineStart = p;
    while (!state.stop) {
        qsizetype terminator = 0;
        // Only these bytes can begin a line end; everything else is skipped with one test.
        while (p < end && (*p > '\r' || (*p != '\n' && *p != '\r')) && *p < 0xC2)
            ++p;
        while (p < end && (terminator = lineEndLength(p, end)) == 0) {
            ++p;
            while (p < end && (*p > '\r' || (*p != '\n' && *p != '\r')) && *p < 0xC2)
                ++p;
        }
        parseLoTWActivityUtf8Line(
            QByteArrayView(reinterpret_cast<const char *>(lineStart), p - lineStart), state);
        if (p >= end)
            break;
        p += terminator;
        lineStart = p;
    }

    if (state.invalid || state.activityCount <= kLoTWListMinExclusiveRecords || !state.latestDate)
        return DataFileFailure(LoTWActivityFileError::downloadFailedValidation);
    LoTWValidationResult result;
    result.activityCount = state.activityCount;
    result.latestActivityDate = *state.latestDate;
    result.recentUploads = std::move(state.table);
    return result;
}

} // namespace varnello
