#pragma once

#include "AlertModel.h"
#include "DXSpot.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <optional>

namespace varnello {

// What one refresh of the main window shows. The lists are new lists of the connection's records,
// newest first.
struct SpotListsSnapshot {
    QList<DXSpot> displayedSpots;  // the Spots tab (pause snapshot and callsign search applied)
    QList<DXSpot> alertsOnlySpots; // the Alerts Only tab
    // Row colours of the spots in the lists.
    QHash<QUuid, SpotAlertColor> highlightColorsBySpotID;
    // Set when the lists hold only the rows that came in front since the previous update: the
    // first keptRows rows of the list handed out then follow them, the rest are gone.
    std::optional<qsizetype> keptRows;
    QString spotCountLabel;
    qsizetype totalSpotCount = 0;      // the connection's list
    qsizetype filteredSpotCount = 0;   // passing the local filter
    qsizetype displayedSpotCount = 0;  // rows of the Spots tab
    qsizetype alertsOnlySpotCount = 0; // rows of the Alerts Only tab
};

} // namespace varnello
