#include "DistanceUnit.h"

namespace varnello {

QString toRaw(DistanceUnit unit)
{
    switch (unit) {
    case DistanceUnit::miles:
        return QStringLiteral("miles");
    case DistanceUnit::kilometres:
        return QStringLiteral("kilometres");
    }
    return {};
}

std::optional<DistanceUnit> distanceUnitFromRaw(QStringView raw)
{
    if (raw == u"miles")
        return DistanceUnit::miles;
    if (raw == u"kilometres")
        return DistanceUnit::kilometres;
    return std::nullopt;
}

double kilometresPer(DistanceUnit unit)
{
    return unit == DistanceUnit::miles ? 1.609344 : 1.0;
}

} // namespace varnello
