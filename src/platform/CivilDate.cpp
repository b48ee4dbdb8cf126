#include "CivilDate.h"

#include <limits>

namespace varnello {

namespace {

constexpr qint64 kUnixEpochJulianDay = 2440588;
// Keeps every intermediate value far inside 64 bits and the result inside QDate's range.
constexpr qint64 kMaxYear = 1'000'000;
constexpr qint64 kMaxMonthCarry = kMaxYear * 12;
constexpr qint64 kMaxDayOffset = kMaxYear * 366;

qint64 floorDiv(qint64 a, qint64 b)
{
    qint64 q = a / b;
    if ((a % b != 0) && ((a < 0) != (b < 0)))
        --q;
    return q;
}

// Days from 1970-01-01 to year/month/1 with month in 1..12, proleptic Gregorian.
qint64 daysFromCivil(qint64 y, qint64 m, qint64 d)
{
    y -= m <= 2 ? 1 : 0;
    const qint64 era = floorDiv(y, 400);
    const qint64 yoe = y - era * 400;
    const qint64 mp = (m + 9) % 12;
    const qint64 doy = (153 * mp + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

template <typename Char> std::optional<qint64> parseInteger(const Char *p, qsizetype n)
{
    if (n <= 0)
        return std::nullopt;
    qsizetype i = 0;
    bool negative = false;
    if (p[0] == Char('+') || p[0] == Char('-')) {
        negative = p[0] == Char('-');
        i = 1;
        if (n == 1)
            return std::nullopt;
    }
    // Up to 18 digits cannot overflow: the common short case needs no checks.
    if (n - i <= 18) {
        qint64 value = 0;
        for (; i < n; ++i) {
            const auto c = p[i];
            if (c < Char('0') || c > Char('9'))
                return std::nullopt;
            value = value * 10 + int(c - Char('0'));
        }
        return negative ? -value : value;
    }
    // Accumulate negatively so that the most negative value still fits.
    qint64 value = 0;
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    for (; i < n; ++i) {
        const auto c = p[i];
        if (c < Char('0') || c > Char('9'))
            return std::nullopt;
        const int digit = int(c - Char('0'));
        if (value < (kMin + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (negative)
        return value;
    if (value == kMin)
        return std::nullopt;
    return -value;
}

} // namespace

std::optional<QDate> civilDate(qint64 year, qint64 month, qint64 day)
{
    if (year > kMaxYear || year < -kMaxYear || month > kMaxMonthCarry || month < -kMaxMonthCarry ||
        day > kMaxDayOffset || day < -kMaxDayOffset)
        return std::nullopt;
    const qint64 m0 = month - 1;
    const qint64 y = year + floorDiv(m0, 12);
    const qint64 m = m0 - floorDiv(m0, 12) * 12 + 1;
    if (y > 2 * kMaxYear || y < -2 * kMaxYear)
        return std::nullopt;
    const qint64 days = daysFromCivil(y, m, 1) + (day - 1);
    const QDate date = QDate::fromJulianDay(days + kUnixEpochJulianDay);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<qint64> parseDecimalInteger(QStringView text)
{
    return parseInteger(text.utf16(), text.size());
}

std::optional<qint64> parseDecimalInteger(QByteArrayView text)
{
    return parseInteger(reinterpret_cast<const unsigned char *>(text.data()), text.size());
}

} // namespace varnello
