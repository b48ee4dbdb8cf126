#pragma once

#include <QDate>
#include <QStringView>
#include <optional>

namespace varnello {

// Calendar dates taken from data files (country-file releases, LoTW uploads) are days, not
// instants: they stand for 00:00 UTC of that day. QDate refuses out-of-range parts such as
// 30 February or month 13, but the data files expect the lenient arithmetic of a Gregorian
// calendar (30 February is 2 March, month 13 is January of the next year), so dates are built
// here instead.

// The date of year/month/day with carries in both directions (month 0 is December of the year
// before, day 0 the last day of the month before). Years are astronomical (year 0 = 1 BC).
// Parts so large that the result would leave a range of about a million years give no date, so
// text from the network can never overflow the arithmetic.
std::optional<QDate> civilDate(qint64 year, qint64 month, qint64 day);

// Reads a whole decimal number the way the data-file formats expect: an optional "+" or "-"
// followed by one or more ASCII digits, nothing else (no blanks, no other digit forms). Values
// that do not fit in 64 bits give nothing.
std::optional<qint64> parseDecimalInteger(QStringView text);
std::optional<qint64> parseDecimalInteger(QByteArrayView text);

// Seconds since 1970-01-01 00:00 UTC of the start of the given day.
inline qint64 utcMidnightSecsSinceEpoch(QDate date)
{
    constexpr qint64 kUnixEpochJulianDay = 2440588;
    return (date.toJulianDay() - kUnixEpochJulianDay) * 86400;
}

} // namespace varnello
