// Reading the grid CSV tables: "GRID,ADIF|ADIF|..." rows.

#include "GridDXCCDatabaseTables.h"

#include <QString>
#include <charconv>

namespace varnello {

namespace {

bool isAsciiSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isLineBreak(char c)
{
    return c >= '\n' && c <= '\r';
}

// A decimal integer with an optional sign, nothing else.
bool readInteger(const char *begin, const char *end, int32_t *out)
{
    const bool plus = begin < end && *begin == '+';
    if (plus)
        ++begin;
    if (begin == end)
        return false;
    // One sign at most: "+-5" is no number.
    const char *digits = (!plus && *begin == '-') ? begin + 1 : begin;
    if (digits == end)
        return false;
    for (const char *p = digits; p < end; ++p) {
        if (*p < '0' || *p > '9')
            return false;
    }
    const auto [ptr, ec] = std::from_chars(begin, end, *out);
    return ec == std::errc() && ptr == end;
}

bool isListSeparator(char c)
{
    return c == '|' || c == ' ' || c == '\t';
}

// The numbers of a row's list; unreadable pieces are skipped. The lists are documented as
// joined by "|", but the built-in tables join them with blanks, so both separate.
void readNumbers(const char *begin, const char *end, std::vector<int32_t> &numbers)
{
    numbers.clear();
    const char *p = begin;
    for (;;) {
        const char *bar = p;
        while (bar < end && !isListSeparator(*bar))
            ++bar;
        int32_t value = 0;
        if (bar > p && readInteger(p, bar, &value))
            numbers.push_back(value);
        if (bar == end)
            break;
        p = bar + 1;
    }
}

int letterIndex(char16_t c, char16_t last)
{
    return (c >= u'A' && c <= last) ? int(c - u'A') : -1;
}

int digitIndex(char16_t c)
{
    return (c >= u'0' && c <= u'9') ? int(c - u'0') : -1;
}

} // namespace

bool GridTable::parse(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    const char *const end = p + bytes.size();
    while (p < end) {
        const char *lineEnd = p;
        bool ascii = true;
        while (lineEnd < end && !isLineBreak(*lineEnd)) {
            ascii &= static_cast<unsigned char>(*lineEnd) < 0x80;
            ++lineEnd;
        }
        const bool ok =
            ascii ? addAsciiRow(p, lineEnd) : addUnicodeRow(QString::fromUtf8(p, lineEnd - p));
        if (!ok)
            return false;
        if (lineEnd == end)
            break;
        p = lineEnd + 1;
    }
    return true;
}

bool GridTable::addAsciiRow(const char *begin, const char *end)
{
    while (begin < end && isAsciiSpace(*begin))
        ++begin;
    while (end > begin && isAsciiSpace(end[-1]))
        --end;
    if (begin == end)
        return true;
    const char *comma = begin;
    while (comma < end && *comma != ',')
        ++comma;
    if (comma == end)
        return false;
    thread_local std::vector<int32_t> numbers;
    readNumbers(comma + 1, end, numbers);
    if (numbers.empty())
        return false;
    char16_t key[6];
    const qsizetype keyLength = comma - begin;
    if (keyLength == 4 || keyLength == 6) {
        for (qsizetype i = 0; i < keyLength; ++i) {
            const char c = begin[i];
            key[i] = char16_t((c >= 'a' && c <= 'z') ? c - 32 : c);
        }
    }
    store(key, (keyLength == 4 || keyLength == 6) ? keyLength : 0, numbers);
    return true;
}

bool GridTable::addUnicodeRow(QStringView line)
{
    // Unicode line separators end a row just as LF does.
    qsizetype start = 0;
    for (qsizetype i = 0; i <= line.size(); ++i) {
        if (i < line.size() && line[i] != u'\u0085' && line[i] != u'\u2028' && line[i] != u'\u2029')
            continue;
        const QStringView row = line.sliced(start, i - start).trimmed();
        start = i + 1;
        if (row.isEmpty())
            continue;
        const qsizetype comma = row.indexOf(u',');
        if (comma < 0)
            return false;
        const QByteArray list = row.sliced(comma + 1).toUtf8();
        std::vector<int32_t> numbers;
        readNumbers(list.constData(), list.constData() + list.size(), numbers);
        if (numbers.empty())
            return false;
        const QString key = row.first(comma).toString().toUpper();
        const bool indexable = key.size() == 4 || key.size() == 6;
        store(reinterpret_cast<const char16_t *>(key.utf16()), indexable ? key.size() : 0, numbers);
    }
    return true;
}

// Rows whose key is no grid square are kept only as a count: no cell of the search can name
// them, but they still make the table non-empty.
void GridTable::store(const char16_t *key, qsizetype keyLength, const std::vector<int32_t> &numbers)
{
    ++m_rowCount;
    if (keyLength != 4 && keyLength != 6)
        return;
    const int fieldLon = letterIndex(key[0], u'R');
    const int fieldLat = letterIndex(key[1], u'R');
    const int digitLon = digitIndex(key[2]);
    const int digitLat = digitIndex(key[3]);
    if (fieldLon < 0 || fieldLat < 0 || digitLon < 0 || digitLat < 0)
        return;
    int subLon = 0;
    int subLat = 0;
    if (keyLength == 6) {
        subLon = letterIndex(key[4], u'X');
        subLat = letterIndex(key[5], u'X');
        if (subLon < 0 || subLat < 0)
            return;
    }
    const int32_t entry = int32_t(m_numbers.size());
    m_numbers.push_back(int32_t(numbers.size()));
    m_numbers.insert(m_numbers.end(), numbers.begin(), numbers.end());

    const int square = squareNumber(fieldLon, fieldLat, digitLon, digitLat);
    if (keyLength == 4) {
        m_squareEntry[size_t(square)] = entry;
        return;
    }
    int32_t &block = m_blockOfSquare[size_t(square)];
    if (block < 0) {
        block = int32_t(m_blocks.size() / subsquaresPerSquare);
        m_blocks.resize(m_blocks.size() + subsquaresPerSquare, -1);
    }
    m_blocks[size_t(block) * subsquaresPerSquare + size_t(subLon * 24 + subLat)] = entry;
}

} // namespace varnello
