#pragma once

#include "AlertModel.h"
#include "DXSpot.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>

namespace varnello {

// What one refresh of the main window shows, computed from one pass of the local filter over the
// connection's spot list. The lists are new lists of the connection's records, newest first.
struct SpotListsSnapshot {
    QList<DXSpot> displayedSpots;  // the Spots tab (pause snapshot and callsign search applied)
    QList<DXSpot> alertsOnlySpots; // the Alerts Only tab
    // Row colours of the spots in both lists.
    QHash<QUuid, SpotAlertColor> highlightColorsBySpotID;
    QString spotCountLabel;
    qsizetype totalSpotCount = 0;    // the connection's list
    qsizetype filteredSpotCount = 0; // passing the local filter
};

} // namespace varnello
