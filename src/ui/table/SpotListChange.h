#pragma once

#include "DXSpot.h"

#include <QList>
#include <optional>

namespace varnello {

// How a new spot list follows from the old one when new spots were put in front and the capped
// list may have lost rows at its end. Spots are compared by id.
struct FrontInsertionChange {
    qsizetype insertedCount = 0;
    // Old rows [removedFrom, old size) fell off the end; removedFrom == old size when none did.
    qsizetype removedFrom = 0;

    bool operator==(const FrontInsertionChange &) const = default;
};

// Nothing when the new list is not the old one with spots in front and perhaps a cut tail.
std::optional<FrontInsertionChange> frontInsertionChange(const QList<DXSpot> &oldSpots,
                                                         const QList<DXSpot> &newSpots);

// Same length and the same id at every position.
bool haveSameIDs(const QList<DXSpot> &a, const QList<DXSpot> &b);

// Whether a row shows anything differently for the two records of one spot (the connection looks
// spots up again after a new country file: same id, new entity).
bool displayDiffers(const DXSpot &a, const DXSpot &b);

} // namespace varnello
