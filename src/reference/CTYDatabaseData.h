#pragma once

// Internal to the country-file database: its tables and the index the lookup uses.

#include "CTYDatabase.h"

#include <QHashFunctions>
#include <bitset>
#include <cstdint>
#include <unordered_map>

namespace varnello {

struct CTYStringViewHash {
    using is_transparent = void;
    size_t operator()(QStringView s) const noexcept { return qHash(s); }
};
struct CTYStringViewEqual {
    using is_transparent = void;
    bool operator()(QStringView a, QStringView b) const noexcept { return a == b; }
};
using CTYKeyIndex = std::unordered_map<QString, int, CTYStringViewHash, CTYStringViewEqual>;

// Up to 16 ASCII characters (no NUL) packed one byte each into two words. Nearly every key and
// callsign fits, and comparing two words is far cheaper than hashing and comparing strings.
struct CTYPackedKey {
    uint64_t lo = 0;
    uint64_t hi = 0;
    friend bool operator==(const CTYPackedKey &, const CTYPackedKey &) = default;

    static constexpr int maxLength = 16;
    // Packs the leading characters of text, at most 16; returns how many could be packed
    // (stops at the first character that is not ASCII or is NUL).
    static int packLeading(QStringView text, CTYPackedKey *key);
    // The key cut to its first length characters (length <= packed characters).
    CTYPackedKey leading(int length) const;
    // Well mixed in its low bits, for tables indexed by a mask.
    uint64_t hash() const
    {
        const uint64_t h =
            lo * 0x9E3779B97F4A7C15ULL ^ (hi + 0x632BE59BD9B4E019ULL) * 0xC2B2AE3D27D4EB4FULL;
        return h ^ (h >> 29);
    }
};

// Open-addressing table from packed key to an index; the first value stored for a key stays.
class CTYPackedKeyTable {
public:
    void reserve(size_t count);
    void insertIfAbsent(const CTYPackedKey &key, int value);
    int find(const CTYPackedKey &key) const; // -1 when absent
    bool isEmpty() const { return m_count == 0; }

private:
    struct Slot {
        CTYPackedKey key;
        int value = -1;
    };
    size_t slotOf(const CTYPackedKey &key) const;
    std::vector<Slot> m_slots;
    size_t m_mask = 0;
    size_t m_count = 0;
};

struct CTYDatabase::Data {
    std::vector<Rule> prefixRules; // longest key first, then file order
    std::vector<Rule> exactRules;  // file order, first definition of each callsign only

    // Exact callsign -> index into exactRules. Keys that do not pack go to the string map.
    CTYPackedKeyTable exactPacked;
    CTYKeyIndex exactOther;

    // Prefix key -> index into prefixRules of the earliest rule with that key. For one key
    // length a candidate has exactly one possible matching key (its own first characters), so
    // one probe per distinct length, longest first, finds the rule a front-to-back scan of
    // prefixRules would find first.
    std::vector<int> prefixLengths; // distinct key lengths, longest first
    // Per entry of prefixLengths: which first two characters (both ASCII) packed keys of that
    // length begin with. Most probes of a lookup are for lengths with no key beginning like the
    // candidate, and this small table rules them out before the hash table is touched.
    std::vector<std::bitset<128 * 128>> prefixLeadingPairs;
    CTYPackedKeyTable prefixPacked;
    CTYKeyIndex prefixOther;

    QList<CTYEntity> entities;
    int entityCount = 0;
    int ruleCount = 0;
    std::optional<QString> release;

    void buildIndex();
};

} // namespace varnello
