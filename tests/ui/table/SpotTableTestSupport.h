#pragma once

// Spots and a settings/LoTW/clock environment for the spot table tests.

#include "AppSettingsStore.h"
#include "Clock.h"
#include "DXSpot.h"
#include "LoTWActivityLookup.h"
#include "SpotTableView.h"

#include <QList>
#include <QString>
#include <QUuid>

namespace varnello::test {

inline DXSpot makeSpot(int n, const QString &comment = {})
{
    DXSpot spot;
    spot.id = QUuid::createUuid();
    spot.callsign = QStringLiteral("K%1AB").arg(n);
    spot.spotter = QStringLiteral("W%1XY").arg(n % 10);
    spot.frequency = 14000.0 + n;
    spot.band = QStringLiteral("20m");
    spot.time = QStringLiteral("%1%2Z")
                    .arg((n / 60) % 24, 2, 10, QLatin1Char('0'))
                    .arg(n % 60, 2, 10, QLatin1Char('0'));
    spot.comment = comment.isNull() ? QStringLiteral("CQ %1").arg(n) : comment;
    spot.dxcc = QStringLiteral("United States");
    return spot;
}

// `count` spots numbered from `first` upwards, the highest number first (newest first).
inline QList<DXSpot> makeSpots(int count, int first = 0)
{
    QList<DXSpot> spots;
    spots.reserve(count);
    for (int n = first + count - 1; n >= first; --n)
        spots.append(makeSpot(n));
    return spots;
}

struct SpotTableFixture {
    AppSettingsStore settings{std::nullopt};
    ManualClock clock;
    LoTWActivityLookup lotw;
    QList<QUrl> openedUrls;

    SpotTableEnvironment environment()
    {
        SpotTableEnvironment e;
        e.settings = &settings;
        e.clock = &clock;
        e.lotw = &lotw;
        e.openUrl = [this](const QUrl &url) {
            openedUrls.append(url);
            return true;
        };
        e.presetSettleTime = std::chrono::milliseconds(50);
        return e;
    }
};

} // namespace varnello::test
