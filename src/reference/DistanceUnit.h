#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace varnello {

// The unit of the spotter-entity radius.
enum class DistanceUnit { miles, kilometres };

QString toRaw(DistanceUnit unit);
std::optional<DistanceUnit> distanceUnitFromRaw(QStringView raw);
// Kilometres in one unit.
double kilometresPer(DistanceUnit unit);

} // namespace varnello
