#pragma once

#include "AlertModel.h"
#include "CTYResult.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace varnello {

// The longest alert name, in user-perceived characters.
inline constexpr int maximumAlertNameLength = 30;

// The first `maximum` user-perceived characters (grapheme clusters) of a name, so that a composed
// emoji or a letter with its accents is never split.
QString limitedAlertName(const QString &name, int maximum = maximumAlertNameLength);

// The name a draft is stored with: trimmed, the slot's default when blank, else cut to length.
QString savedAlertName(const QString &name, int slot);

// "Clear All" has nothing to do: no selection, no Club Log part, no sound, no notification and
// the default name exactly (not trimmed). Colour, highlight and sound choices play no part.
bool alertDraftIsClear(const SpotAlertConfiguration &draft, const QString &defaultName);

// A Callsign Alert entry as a stored pattern: trimmed, upper-cased, only A-Z, 0-9, "/" and "*",
// with at most one "*", which must be last and not alone. Anything else gives nothing.
std::optional<QString> sanitizedAlertCallsign(const QString &entry);

// Patterns in display order: plain character order ("*", "/", digits, letters).
QStringList sortedAlertCallsigns(const QSet<QString> &patterns);

// The bands of `bands`, in that order and each once, that some slot holds with one of `modes`.
QStringList clubLogSlotBandsForModes(const QSet<SpotType> &modes, const QStringList &bands,
                                     int entityADIFNumber, const QSet<ClubLogAlertSlot> &slotSet);

// The outstanding slots of the first rule, one line a mode kind ("CW: 160m, 80m", "SSB: ...",
// "Data: ..."), bands in band-list order; none without rules or slots.
QStringList clubLogSlotLines(const QList<ClubLogEntitySlotRule> &rules);

// The read-only lines of a Club Log alert: the slot lines, none without an entity filter.
QStringList alertEditorClubLogSlotLines(const SpotAlertConfiguration &draft);

// True when Club Log chose the alert's entity: the editor then locks bands, modes and entities.
bool carriesClubLogEntityFilter(const SpotAlertConfiguration &draft);

// "3 selected" for entity slots, "1 callsign" / "N callsigns" for the Callsign Alert.
QString alertEditorSelectionSummary(std::optional<int> slot, const SpotAlertConfiguration &draft);

// The entities of `entities`, in list order, whose number is selected.
QList<CTYEntity> selectedEntitiesOf(const QList<CTYEntity> &entities, const QSet<int> &selection);

// The unselected entities, in list order, whose name or prefix contains the trimmed search (any
// case) or whose ADIF number contains it as digits; all of them for a blank search.
QList<CTYEntity> searchedUnselectedEntitiesOf(const QList<CTYEntity> &entities,
                                              const QSet<int> &selection, const QString &search);

// The entity a Club Log alert names: the lowest number of its entity filter, when listed.
std::optional<CTYEntity> clubLogAlertEntityOf(const SpotAlertConfiguration &draft,
                                              const QList<CTYEntity> &entities);

} // namespace varnello
