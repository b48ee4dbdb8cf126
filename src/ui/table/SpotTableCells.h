#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>
#include <QUrl>
#include <optional>

namespace varnello {

struct DXSpot;

// The Time column's text for a spot time such as "0905Z": "0905Z" in UTC, or the local clock
// time of that minute of today's UTC date as "HHmm" in `zone`. A time that is not four digits
// of a valid hour and minute is shown as received (plus "Z" in UTC). Without a zone the
// machine's zone is used (looked up only for local time: the look-up reads the disk).
QString formatSpotTime(QStringView time, bool showsLocalTime, const QDateTime &now,
                       const std::optional<QTimeZone> &zone = std::nullopt);

// The web page of a callsign on the lookup site; nothing for a call that is blank once trimmed.
std::optional<QUrl> callsignLookupUrl(const QString &callsign);
inline constexpr QLatin1StringView callsignLookupHost{"www.qrz.com"};

// One line of Copy: the eight fields in the fixed column order, TAB-separated.
QString spotCopyLine(const DXSpot &spot, const QString &timeText, bool hasRecentLoTWUpload);

} // namespace varnello
