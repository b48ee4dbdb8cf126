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
    Entry &entry = m_entries[size_t(key.hash()) & (slotCount - 1)];
    if (entry.used && entry.lo == key.lo && entry.hi == key.hi)
        return entry.result;
    const CTYResult *result = database.find(callsign);
    entry = Entry{key.lo, key.hi, result, true};
    return result;
}

} // namespace varnello
