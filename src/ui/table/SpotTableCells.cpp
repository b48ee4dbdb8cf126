#include "SpotTableCells.h"

#include "DXSpot.h"
#include "NetworkText.h"

#include <QLocale>

namespace varnello {

QString formatSpotTime(QStringView time, bool showsLocalTime, const QDateTime &now,
                       const std::optional<QTimeZone> &zone)
{
    int digits[4] = {};
    int count = 0;
    for (const QChar c : time) {
        if (!c.isDigit())
            continue;
        if (count == 4) {
            count = 5;
            break;
        }
        digits[count++] = c.digitValue();
    }
    const int hour = digits[0] * 10 + digits[1];
    const int minute = digits[2] * 10 + digits[3];
    if (count != 4 || hour > 23 || minute > 59)
        return showsLocalTime ? time.toString() : time.toString() + QLatin1Char('Z');

    if (!showsLocalTime)
        return QString::asprintf("%02d%02dZ", hour, minute);

    const QDateTime instant(now.toUTC().date(), QTime(hour, minute), QTimeZone::utc());
    const QTimeZone localZone = zone ? *zone : QTimeZone::systemTimeZone();
    if (!instant.isValid() || !localZone.isValid())
        return time.toString();
    static const QLocale britishEnglish(QLocale::English, QLocale::UnitedKingdom);
    return britishEnglish.toString(instant.toTimeZone(localZone), QStringLiteral("HHmm"));
}

std::optional<QUrl> callsignLookupUrl(const QString &callsign)
{
    const QString call = callsign.trimmed();
    if (call.isEmpty())
        return std::nullopt;
    // Unreserved characters, sub-delimiters, ":", "@" and "/" may stand in a path as they are.
    const QByteArray encoded = QUrl::toPercentEncoding(call, QByteArrayLiteral("!$&'()*+,;=:@/"));
    const QUrl url =
        QUrl::fromEncoded(QByteArrayLiteral("https://") +
                              QByteArray(callsignLookupHost.data(), callsignLookupHost.size()) +
                              QByteArrayLiteral("/db/") + encoded,
                          QUrl::StrictMode);
    if (!url.isValid())
        return std::nullopt;
    return url;
}

QString spotCopyLine(const DXSpot &spot, const QString &timeText, bool hasRecentLoTWUpload)
{
    const QChar tab(u'\t');
    QString line;
    line.reserve(96);
    line += timeText;
    line += tab;
    line += spot.callsign;
    line += tab;
    line += spot.frequencyText();
    line += tab;
    line += spot.band;
    line += tab;
    line += spot.spotter;
    line += tab;
    line += spot.comment;
    line += tab;
    if (spot.dxcc)
        line += *spot.dxcc;
    line += tab;
    if (hasRecentLoTWUpload)
        line += QLatin1StringView("Yes");
    return line;
}

} // namespace varnello
