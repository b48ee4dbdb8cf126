#include "SpotAlertMarks.h"

namespace varnello {

void SpotAlertMarkCache::useInputs(const SpotAlertMarkInputs &inputs)
{
    if (m_inputs && *m_inputs == inputs)
        return;
    m_inputs = inputs;
    m_entries.clear();
}

void SpotAlertMarkCache::prune(const QList<DXSpot> &listed)
{
    if (m_entries.size() <= 2 * listed.size() + 64)
        return;
    QHash<QUuid, Entry> kept;
    kept.reserve(listed.size());
    for (const DXSpot &spot : listed) {
        const auto it = m_entries.constFind(spot.id);
        if (it != m_entries.cend())
            kept.insert(spot.id, *it);
    }
    m_entries = std::move(kept);
}

} // namespace varnello
