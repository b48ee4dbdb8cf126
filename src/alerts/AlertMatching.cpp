#include "AlertMatching.h"

namespace varnello {

namespace {

QString baseCall(const QString &upperCallsign)
{
    const qsizetype slash = upperCallsign.indexOf(QLatin1Char('/'));
    return slash < 0 ? upperCallsign : upperCallsign.left(slash);
}

bool bandAndModeMatch(const SpotAlertConfiguration &c, const DXSpot &spot)
{
    return (c.selectedBands.isEmpty() || c.selectedBands.contains(spot.band)) &&
           (c.selectedModes.isEmpty() || c.selectedModes.contains(spot.spotType));
}

bool takesClubLogPath(const SpotAlertConfiguration &c)
{
    return c.clubLogSettings && (!c.clubLogSettings->entityFilterADIFNumbers.isEmpty() ||
                                 !c.clubLogSettings->entitySlotRules.isEmpty());
}

bool plainPathMatches(const SpotAlertConfiguration &c, const DXSpot &spot)
{
    if (!c.selectedEntityADIFNumbers.isEmpty() &&
        !(spot.dxccADIFNumber && c.selectedEntityADIFNumbers.contains(*spot.dxccADIFNumber)))
        return false;
    return bandAndModeMatch(c, spot);
}

bool clubLogPathMatches(const ClubLogAlertSettings &settings, const SlotRuleIndex &rules,
                        const DXSpot &spot)
{
    if (!spot.dxccADIFNumber)
        return false;
    if (!settings.entityFilterADIFNumbers.isEmpty() &&
        !settings.entityFilterADIFNumbers.contains(*spot.dxccADIFNumber))
        return false;
    return rules.contains(*spot.dxccADIFNumber, spot.band, spot.spotType);
}

} // namespace

bool callsignMatchesPattern(const QString &pattern, const QString &callsign)
{
    const QString upperPattern = pattern.toUpper();
    const QString upperCall = callsign.toUpper();
    if (upperPattern.contains(QLatin1Char('/')))
        return upperCall == upperPattern;
    const QString base = baseCall(upperCall);
    if (upperPattern.endsWith(QLatin1Char('*')))
        return base.startsWith(QStringView(upperPattern).chopped(1));
    return base == upperPattern;
}

bool alertMatches(const SpotAlertConfiguration &c, const DXSpot &spot, int slotIndex)
{
    if (slotIndex == callsignAlertSlot) {
        bool anyPattern = false;
        for (const QString &pattern : c.selectedCallsigns) {
            if (callsignMatchesPattern(pattern, spot.callsign)) {
                anyPattern = true;
                break;
            }
        }
        return anyPattern && bandAndModeMatch(c, spot);
    }
    if (takesClubLogPath(c))
        return clubLogPathMatches(*c.clubLogSettings,
                                  SlotRuleIndex(c.clubLogSettings->entitySlotRules), spot);
    return plainPathMatches(c, spot);
}

SlotRuleIndex::SlotRuleIndex(const QList<ClubLogEntitySlotRule> &rules) : m_rules(rules)
{
    m_firstRule.reserve(rules.size());
    for (qsizetype i = 0; i < m_rules.size(); ++i)
        if (!m_firstRule.contains(m_rules[i].entityADIFNumber))
            m_firstRule.insert(m_rules[i].entityADIFNumber, i);
}

bool SlotRuleIndex::contains(int entity, const QString &band, SpotType mode) const
{
    const auto it = m_firstRule.constFind(entity);
    if (it == m_firstRule.cend())
        return false;
    return m_rules[*it].slotSet.contains(ClubLogAlertSlot{band, mode});
}

bool newSlotRulesMatch(const SlotRuleIndex &rules, const DXSpot &spot)
{
    if (rules.isEmpty() || !spot.dxccADIFNumber)
        return false;
    return rules.contains(*spot.dxccADIFNumber, spot.band, spot.spotType);
}

AlertMatcher::AlertMatcher(const QList<SpotAlertConfiguration> &configurations)
    : m_configurations(configurations)
{
    for (qsizetype i = 0; i < m_configurations.size() && i < alertSlotCount; ++i) {
        const SpotAlertConfiguration &c = m_configurations[i];
        Slot &slot = m_slots[size_t(i)];
        slot.configured = c.isConfigured();
        if (i == callsignAlertSlot) {
            for (const QString &pattern : c.selectedCallsigns) {
                const QString upper = pattern.toUpper();
                if (upper.contains(QLatin1Char('/')))
                    slot.wholeCalls.insert(upper);
                else if (upper.endsWith(QLatin1Char('*')))
                    slot.basePrefixes.append(upper.chopped(1));
                else
                    slot.exactBaseCalls.insert(upper);
            }
        } else if (takesClubLogPath(c)) {
            slot.clubLogPath = true;
            slot.clubLogRules = SlotRuleIndex(c.clubLogSettings->entitySlotRules);
        }
    }
}

bool AlertMatcher::callsignMatches(const Slot &slot, const QString &callsign) const
{
    const QString upper = callsign.toUpper();
    if (slot.wholeCalls.contains(upper))
        return true;
    const QString base = baseCall(upper);
    if (slot.exactBaseCalls.contains(base))
        return true;
    for (const QString &prefix : slot.basePrefixes) {
        if (base.startsWith(prefix))
            return true;
    }
    return false;
}

bool AlertMatcher::matches(int slotIndex, const DXSpot &spot) const
{
    if (slotIndex < 0 || slotIndex >= m_configurations.size() || slotIndex >= alertSlotCount)
        return false;
    const SpotAlertConfiguration &c = m_configurations[slotIndex];
    const Slot &slot = m_slots[size_t(slotIndex)];
    if (slotIndex == callsignAlertSlot)
        return bandAndModeMatch(c, spot) && callsignMatches(slot, spot.callsign);
    if (slot.clubLogPath)
        return clubLogPathMatches(*c.clubLogSettings, slot.clubLogRules, spot);
    return plainPathMatches(c, spot);
}

} // namespace varnello
