#include "SpotAlertMarks.h"

#include <algorithm>

namespace varnello {

void SpotAlertMarkCache::useInputs(const SpotAlertMarkInputs &inputs)
{
    if (m_inputs && *m_inputs == inputs)
        return;
    m_inputs = inputs;
    m_entries.clear();
}

void SpotAlertMarkCache::align(const QList<DXSpot> &listed)
{
    // Where the newest remembered spot is now; new spots arrived in front of it.
    qsizetype shift = -1;
    const auto remembered = std::find_if(m_entries.cbegin(), m_entries.cend(),
                                         [](const Entry &entry) { return entry.known; });
    if (remembered != m_entries.cend()) {
        const qsizetype was = remembered - m_entries.cbegin();
        for (qsizetype i = was; i < listed.size(); ++i) {
            if (listed[i].id == remembered->id) {
                shift = i - was;
                break;
            }
        }
    }
    if (shift < 0)
        m_entries.clear();
    else if (shift > 0)
        m_entries.insert(0, shift, Entry{});
    m_entries.resize(listed.size());
}

} // namespace varnello
