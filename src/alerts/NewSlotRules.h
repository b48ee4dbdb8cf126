#pragma once

#include "AlertModel.h"
#include "CTYResult.h"
#include "ClubLogLookup.h"

#include <QList>
#include <QSet>
#include <QStringList>
#include <utility>

namespace varnello {

// The bands the alert panels offer, by group, in display order.
const QStringList &hfBands();
const QStringList &vhfUHFBands();
const QStringList &microwaveBands();
// Every band above, HF first.
const QStringList &alertBandList();
QStringList bandsOfGroup(ClubLogBandGroup group);

// The spot types a Club Log mode covers (mixed: cw, ssb, ftx, otherDigital).
QList<SpotType> clubLogSpotTypes(ClubLogMode mode);
QSet<SpotType> clubLogSpotTypes(const QSet<ClubLogMode> &modes);

// The charts a New Slot lookup requests: mixed becomes cw, ssb and data; the chart of mode mixed
// itself is never asked for.
QList<ClubLogMode> newSlotLookupModes(const QSet<ClubLogMode> &modes);
// The charts a Populate lookup requests.
QList<ClubLogMode> clubLogPopulateModes(const QSet<ClubLogMode> &modes, bool entitiesChosen);

// Per entity, the band/mode slots still needed; entities with nothing needed give no rule. Sorted
// by ADIF number. Bands without a Club Log key never give a slot.
QList<ClubLogEntitySlotRule> clubLogEntitySlotRules(const QSet<int> &entities,
                                                    const ClubLogCharts &charts,
                                                    const QList<ClubLogMode> &modes,
                                                    ClubLogWantedStatus wantedStatus,
                                                    const QSet<QString> &bands);

struct ClubLogNeededCounts {
    int neededEntityCount = 0;
    int neededSlotCount = 0; // (entity, mode, band) combinations
    bool operator==(const ClubLogNeededCounts &) const = default;
};
ClubLogNeededCounts clubLogNeededCounts(const QSet<int> &entities, const ClubLogCharts &charts,
                                        const QList<ClubLogMode> &modes,
                                        ClubLogWantedStatus wantedStatus,
                                        const QSet<QString> &bands);

// The entities of `entities` needed as a whole in one chart: absent from it, or (for notConfirmed)
// confirmed on no band at all.
QSet<int> clubLogNeededEntities(const ClubLogDXCCChart &chart, ClubLogWantedStatus wantedStatus,
                                const QList<CTYEntity> &entities);

} // namespace varnello
