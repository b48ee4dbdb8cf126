#pragma once

// The texts the Spot Alerts sidebar and the New Slot sheet build from alert records. Pure
// functions of their arguments, so the panels and their tests share one wording.

#include "AlertModel.h"
#include "CTYResult.h"

#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace varnello {

// The sixteen bands the New Slot sheet offers ("160m" to "13cm"), in display order.
const QStringList &newSlotAllBands();

// The mode class as the alert panels name it ("CW", "SSB (Phone)", "FTx", ...).
QString alertModeClassName(SpotType type);

// A slot 0 to 3 filled by "Populate from Club Log": its summaries describe only that selection.
bool isClubLogAlertSlot(const SpotAlertConfiguration &alert, int slot);

// First line of a slot row: callsigns, the Club Log entity, or the selected entities.
QString alertEntitySummaryText(const SpotAlertConfiguration &alert, int slot,
                               const QList<CTYEntity> &entities);
// Second line: the Club Log slots of the first rule, or bands and modes; empty when unconfigured.
QString alertSlotSummaryText(const SpotAlertConfiguration &alert, int slot);
// The action line, "Highlight + sound + notification" to "No action selected".
QString alertActionSummaryText(const SpotAlertConfiguration &alert);
// The symbol name beside the action line: "speaker.wave.2", "bell" or "highlighter".
QString alertActionSymbolName(const SpotAlertConfiguration &alert);

QString newSlotWantedStatusText(ClubLogWantedStatus status);
QString newSlotModesText(const QSet<ClubLogMode> &modes);
QString newSlotBandsText(const QSet<QString> &bands);
QString newSlotActionsText(const NewSlotAlertConfiguration &configuration);
// "Club Log data last refreshed: 3 Mar 2026 at 09:05" in British English and local time, whatever
// the user's language; "Club Log data: Not yet refreshed" without a date.
QString clubLogRefreshDateText(const NewSlotAlertConfiguration &configuration);
// "12 entities · 40 slots needed", only when both counts are known.
std::optional<QString> newSlotNeededCountsText(const NewSlotAlertConfiguration &configuration);

} // namespace varnello
