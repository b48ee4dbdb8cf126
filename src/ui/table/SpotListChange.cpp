#include "SpotListChange.h"

#include <bit>

namespace varnello {

namespace {

// Lists handed on between refreshes share their strings, so most comparisons end at the pointer.
bool sameText(const QString &a, const QString &b)
{
    return (a.size() == b.size() && a.constData() == b.constData()) || a == b;
}

} // namespace

std::optional<FrontInsertionChange> frontInsertionChange(const QList<DXSpot> &oldSpots,
                                                         const QList<DXSpot> &newSpots)
{
    if (oldSpots.isEmpty())
        return FrontInsertionChange{newSpots.size(), 0};
    const QUuid &firstOld = oldSpots.constFirst().id;
    qsizetype k = -1;
    for (qsizetype i = 0; i < newSpots.size(); ++i) {
        if (newSpots.at(i).id == firstOld) {
            k = i;
            break;
        }
    }
    if (k < 0)
        return std::nullopt;
    const qsizetype overlap = std::min(newSpots.size() - k, oldSpots.size());
    for (qsizetype j = 1; j < overlap; ++j) {
        if (oldSpots.at(j).id != newSpots.at(k + j).id)
            return std::nullopt;
    }
    if (k + overlap != newSpots.size())
        return std::nullopt;
    return FrontInsertionChange{k, overlap};
}

bool haveSameIDs(const QList<DXSpot> &a, const QList<DXSpot> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a.at(i).id != b.at(i).id)
            return false;
    }
    return true;
}

bool displayDiffers(const DXSpot &a, const DXSpot &b)
{
    return !sameText(a.callsign, b.callsign) ||
           std::bit_cast<quint64>(a.frequency) != std::bit_cast<quint64>(b.frequency) ||
           !sameText(a.band, b.band) || !sameText(a.spotter, b.spotter) ||
           !sameText(a.comment, b.comment) || !sameText(a.time, b.time) || a.dxcc != b.dxcc;
}

} // namespace varnello
