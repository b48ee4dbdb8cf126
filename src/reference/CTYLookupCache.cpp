#include "CTYLookupCache.h"

#include "CTYDatabaseData.h"

namespace varnello {

const CTYResult *CTYLookupCache::find(const CTYDatabase &database, QStringView callsign)
{
    CTYPackedKey key;
    if (callsign.isEmpty() || callsign.size() > CTYPackedKey::maxLength ||
        CTYPackedKey::packLeading(callsign, &key) != callsign.size())
        return database.find(callsign);

    if (m_entries.empty() || !m_database.sharesDataWith(database)) {
        m_entries.assign(slotCount, Entry{});
        m_database = database;
    }
    std::uint64_t h =
        key.lo * 0x9E3779B97F4A7C15ULL ^ (key.hi + 0x632BE59BD9B4E019ULL) * 0xC2B2AE3D27D4EB4FULL;
    h ^= h >> 31;
    Entry &entry = m_entries[size_t(h) & (slotCount - 1)];
    if (entry.used && entry.lo == key.lo && entry.hi == key.hi)
        return entry.result;
    const CTYResult *result = database.find(callsign);
    entry = Entry{key.lo, key.hi, result, true};
    return result;
}

} // namespace varnello
