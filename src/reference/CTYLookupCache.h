#pragma once

#include "CTYDatabase.h"

#include <QStringView>
#include <cstdint>
#include <vector>

namespace varnello {

// Remembers recent answers of one database, for the one thread that owns it. Spotters and the
// stations they spot come back again and again; a remembered answer costs one probe of a small
// table instead of the walk through the database's prefix tables, whose scattered reads are what
// a lookup costs between two spots of a live stream. A different database empties it.
class CTYLookupCache final {
public:
    static constexpr size_t slotCount = 2048;

    // What database.find(callsign) gives; the pointer stays valid while the cache or any other
    // copy of that database exists.
    const CTYResult *find(const CTYDatabase &database, QStringView callsign);

private:
    struct Entry {
        std::uint64_t lo = 0;
        std::uint64_t hi = 0;
        const CTYResult *result = nullptr;
        bool used = false;
    };
    std::vector<Entry> m_entries;
    // Holds the data the remembered answers point into.
    CTYDatabase m_database;
};

} // namespace varnello
