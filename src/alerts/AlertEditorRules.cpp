#include "AlertEditorRules.h"

#include "NewSlotRules.h"

#include <QTextBoundaryFinder>
#include <algorithm>

namespace varnello {

QString limitedAlertName(const QString &name, int maximum)
{
    // Cheap exit: a grapheme holds at least one UTF-16 unit.
    if (name.size() <= maximum)
        return name;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, name);
    int count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count == maximum)
            return name.left(finder.position());
    }
    return name;
}

QString savedAlertName(const QString &name, int slot)
{
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return defaultAlertName(slot);
    return limitedAlertName(trimmed);
}

bool alertDraftIsClear(const SpotAlertConfiguration &draft, const QString &defaultName)
{
    return draft.selectedEntityADIFNumbers.isEmpty() && draft.selectedCallsigns.isEmpty() &&
           draft.selectedBands.isEmpty() && draft.selectedModes.isEmpty() &&
           !draft.clubLogSettings && !draft.playSound && !draft.showNotification &&
           draft.name == defaultName;
}

std::optional<QString> sanitizedAlertCallsign(const QString &entry)
{
    const QString pattern = entry.trimmed().toUpper();
    if (pattern.isEmpty())
        return std::nullopt;
    for (const QChar c : pattern) {
        const char16_t u = c.unicode();
        const bool allowed =
            (u >= u'A' && u <= u'Z') || (u >= u'0' && u <= u'9') || u == u'/' || u == u'*';
        if (!allowed)
            return std::nullopt;
    }
    const qsizetype stars = pattern.count(QLatin1Char('*'));
    if (stars > 1)
        return std::nullopt;
    if (stars == 1 && (!pattern.endsWith(QLatin1Char('*')) || pattern.size() == 1))
        return std::nullopt;
    return pattern;
}

QStringList sortedAlertCallsigns(const QSet<QString> &patterns)
{
    QStringList sorted(patterns.begin(), patterns.end());
    std::sort(sorted.begin(), sorted.end());
    return sorted;
}

QStringList clubLogSlotBandsForModes(const QSet<SpotType> &modes, const QStringList &bands,
                                     int /*entityADIFNumber*/,
                                     const QSet<ClubLogAlertSlot> &slotSet)
{
    QStringList result;
    if (bands.isEmpty() || slotSet.isEmpty())
        return result;
    for (const QString &band : bands) {
        if (result.contains(band))
            continue;
        for (SpotType mode : modes) {
            if (slotSet.contains({band, mode})) {
                result.append(band);
                break;
            }
        }
    }
    return result;
}

bool carriesClubLogEntityFilter(const SpotAlertConfiguration &draft)
{
    return draft.clubLogSettings && !draft.clubLogSettings->entityFilterADIFNumbers.isEmpty();
}

QStringList alertEditorClubLogSlotLines(const SpotAlertConfiguration &draft)
{
    if (!carriesClubLogEntityFilter(draft))
        return {};
    return clubLogSlotLines(draft.clubLogSettings->entitySlotRules);
}

QStringList clubLogSlotLines(const QList<ClubLogEntitySlotRule> &rules)
{
    if (rules.isEmpty())
        return {};
    const ClubLogEntitySlotRule &rule = rules.first();
    QStringList slotBands;
    for (const QString &band : alertBandList()) {
        for (const ClubLogAlertSlot &slot : rule.slotSet) {
            if (slot.band == band) {
                slotBands.append(band);
                break;
            }
        }
    }
    struct Kind {
        const char *prefix;
        QSet<SpotType> modes;
    };
    const Kind kinds[] = {{"CW: ", {SpotType::cw}},
                          {"SSB: ", {SpotType::ssb}},
                          {"Data: ", {SpotType::ftx, SpotType::otherDigital}}};
    QStringList lines;
    for (const Kind &kind : kinds) {
        const QStringList bands =
            clubLogSlotBandsForModes(kind.modes, slotBands, rule.entityADIFNumber, rule.slotSet);
        if (!bands.isEmpty())
            lines.append(QLatin1String(kind.prefix) + bands.join(QStringLiteral(", ")));
    }
    return lines;
}

QString alertEditorSelectionSummary(std::optional<int> slot, const SpotAlertConfiguration &draft)
{
    if (slot == callsignAlertSlot) {
        const qsizetype count = draft.selectedCallsigns.size();
        return count == 1 ? QStringLiteral("1 callsign")
                          : QStringLiteral("%1 callsigns").arg(count);
    }
    return QStringLiteral("%1 selected").arg(draft.selectedEntityADIFNumbers.size());
}

QList<CTYEntity> selectedEntitiesOf(const QList<CTYEntity> &entities, const QSet<int> &selection)
{
    QList<CTYEntity> result;
    if (selection.isEmpty())
        return result;
    for (const CTYEntity &entity : entities) {
        if (selection.contains(entity.adifNumber))
            result.append(entity);
    }
    return result;
}

QList<CTYEntity> searchedUnselectedEntitiesOf(const QList<CTYEntity> &entities,
                                              const QSet<int> &selection, const QString &search)
{
    const QString q = search.trimmed();
    QList<CTYEntity> result;
    for (const CTYEntity &entity : entities) {
        if (selection.contains(entity.adifNumber))
            continue;
        if (q.isEmpty() || entity.name.contains(q, Qt::CaseInsensitive) ||
            entity.primaryPrefix.contains(q, Qt::CaseInsensitive) ||
            QString::number(entity.adifNumber).contains(q))
            result.append(entity);
    }
    return result;
}

std::optional<CTYEntity> clubLogAlertEntityOf(const SpotAlertConfiguration &draft,
                                              const QList<CTYEntity> &entities)
{
    if (!draft.clubLogSettings || draft.clubLogSettings->entityFilterADIFNumbers.isEmpty())
        return std::nullopt;
    const QSet<int> &filter = draft.clubLogSettings->entityFilterADIFNumbers;
    const int lowest = *std::min_element(filter.begin(), filter.end());
    for (const CTYEntity &entity : entities) {
        if (entity.adifNumber == lowest)
            return entity;
    }
    return std::nullopt;
}

} // namespace varnello
