#pragma once

#include "DXSpot.h"
#include "SpotType.h"

#include <QStringList>

namespace varnello {

// The mode class of a spot from its callsign, comment, frequency and band.
SpotType classifySpotType(const DXSpot &spot);

// The 18 callsigns of the NCDXF/IARU International Beacon Project.
const QStringList &ncdxfBeaconCallsigns();

} // namespace varnello
