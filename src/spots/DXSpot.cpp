#include "DXSpot.h"

#include <QByteArray>
#include <charconv>
#include <cmath>
#include <string_view>

namespace varnello {

namespace {

// Rounds the decimal digits of the shortest round-trip form, not the binary value, so that
// 14025.15 (stored as 14025.149999...) shows as the operator typed it would round: 14,025.2.
QString roundedOneDecimal(double value)
{
    char buffer[512];
    const auto [end, ec] =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (ec != std::errc())
        return {};
    std::string_view text(buffer, size_t(end - buffer));
    bool negative = false;
    if (!text.empty() && text.front() == '-') {
        negative = true;
        text.remove_prefix(1);
    }
    const size_t dot = text.find('.');
    const std::string_view integerText = text.substr(0, dot);
    QByteArray integer(integerText.data(), qsizetype(integerText.size()));
    const std::string_view fraction =
        dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    if (integer.isEmpty())
        integer = QByteArrayLiteral("0");

    int tenths = fraction.empty() ? 0 : fraction[0] - '0';
    bool roundUp = false;
    if (fraction.size() > 1) {
        const std::string_view rest = fraction.substr(1);
        if (rest[0] > '5') {
            roundUp = true;
        } else if (rest[0] == '5') {
            const bool aboveHalf = rest.find_first_not_of('0', 1) != std::string_view::npos;
            roundUp = aboveHalf || (tenths % 2 == 1);
        }
    }
    if (roundUp) {
        if (++tenths == 10) {
            tenths = 0;
            qsizetype i = integer.size() - 1;
            while (i >= 0 && integer[i] == '9')
                integer[i--] = '0';
            if (i < 0)
                integer.prepend('1');
            else
                ++integer[i];
        }
    }

    QString out;
    out.reserve(integer.size() + integer.size() / 3 + 4);
    if (negative)
        out += QLatin1Char('-');
    for (qsizetype i = 0; i < integer.size(); ++i) {
        if (i > 0 && (integer.size() - i) % 3 == 0)
            out += QLatin1Char(',');
        out += QLatin1Char(integer[i]);
    }
    out += QLatin1Char('.');
    out += QLatin1Char(char('0' + tenths));
    return out;
}

} // namespace

QString DXSpot::formatFrequency(double kHz)
{
    QString text;
    if (std::isfinite(kHz))
        text = roundedOneDecimal(kHz);
    if (text.isEmpty())
        text = QString::asprintf("%.1f", kHz);
    return text;
}

QString DXSpot::frequencyText() const
{
    return formatFrequency(frequency);
}

} // namespace varnello
