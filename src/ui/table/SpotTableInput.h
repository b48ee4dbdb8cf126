#pragma once

#include "AlertModel.h"
#include "DXSpot.h"

#include <QHash>
#include <QList>
#include <QUuid>
#include <optional>

namespace varnello {

// What the window hands the spot table at every refresh. `spots` must be a list the caller built
// (filtered, paused or searched), never the connection's own list object: the table keeps it
// until the next refresh.
struct SpotTableInput {
    QList<DXSpot> spots; // display order, newest first
    QHash<QUuid, SpotAlertColor> highlightColorsBySpotID;
    // Set when `spots` holds only the rows that came in front of the first keptRows rows of the
    // list the table was last given (unchanged; the rows after them are gone), and the colours
    // only theirs. Never across a change of isAlertsOnly.
    std::optional<qsizetype> keptRows;
    bool showLoTWOnly = false;
    bool isAlertsOnly = false; // which of the two saved scroll positions is in use
    int scrollToTopRequest = 0;
};

} // namespace varnello
