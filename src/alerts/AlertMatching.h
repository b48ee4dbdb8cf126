#pragma once

#include "AlertModel.h"
#include "DXSpot.h"

#include <QHash>
#include <QList>
#include <array>
#include <memory>
#include <optional>

namespace varnello {

// Whether a callsign pattern of the Callsign Alert covers a spotted callsign: "K1ABC" covers K1ABC
// and K1ABC/P but not W1/K1ABC; a pattern holding "/" must equal the whole call; a trailing "*"
// matches by prefix ("*" alone matches every call); a "*" anywhere else is an ordinary character.
bool callsignMatchesPattern(const QString &pattern, const QString &callsign);

// The slot matcher of one alert slot (4 is the Callsign Alert), written the plain way. The alert
// actions use the precompiled AlertMatcher below, which gives the same answers.
bool alertMatches(const SpotAlertConfiguration &configuration, const DXSpot &spot, int slotIndex);

// A rule list with the first rule of each entity found by hashing; later rules for the same
// entity never count.
class SlotRuleIndex final {
public:
    SlotRuleIndex() = default;
    explicit SlotRuleIndex(const QList<ClubLogEntitySlotRule> &rules);

    bool isEmpty() const { return m_rules.isEmpty(); }
    // Whether the first rule of `entity` holds the slot (band, mode); false without such a rule.
    bool contains(int entity, const QString &band, SpotType mode) const;

private:
    QList<ClubLogEntitySlotRule> m_rules;
    QHash<int, qsizetype> m_firstRule;
};

// Whether the New Slot rules in use accept the spot.
bool newSlotRulesMatch(const SlotRuleIndex &rules, const DXSpot &spot);

// The five alert slots, prepared once for matching many spots: callsign patterns sorted into hash
// sets by kind and Club Log rules indexed by entity.
class AlertMatcher final {
public:
    explicit AlertMatcher(const QList<SpotAlertConfiguration> &configurations);

    const QList<SpotAlertConfiguration> &configurations() const { return m_configurations; }
    bool isConfigured(int slot) const { return m_slots[size_t(slot)].configured; }
    bool matches(int slot, const DXSpot &spot) const;

private:
    struct Slot {
        bool configured = false;
        bool clubLogPath = false;
        // Callsign Alert patterns, upper-cased.
        QSet<QString> exactBaseCalls; // compared with the call before its first "/"
        QSet<QString> wholeCalls;     // patterns holding "/": compared with the whole call
        QList<QString> basePrefixes;  // patterns ending in "*", without it
        SlotRuleIndex clubLogRules;
    };
    bool callsignMatches(const Slot &slot, const QString &callsign) const;

    QList<SpotAlertConfiguration> m_configurations;
    std::array<Slot, alertSlotCount> m_slots;
};

} // namespace varnello
