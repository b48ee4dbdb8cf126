#pragma once

#include "AlertModel.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

namespace varnello {

// The bands "Populate from Club Log" offers, 160m to 13cm, and its three groups.
const QStringList &clubLogBandUniverse();
const QStringList &clubLogHFBands();
const QStringList &clubLogVHFUHFBands();
const QStringList &clubLogMicrowaveBands();

// The band choices of the Populate sheet. Groups other than allBands only come from stored
// alerts: vhfUhf and microwave still tick their bands, hf and hfPlus6m tick nothing by
// themselves (they are read only when a stored alert has no individual bands).
struct ClubLogBandSelection {
    QSet<ClubLogBandGroup> groups;
    QSet<QString> individualBands;
    bool operator==(const ClubLogBandSelection &) const = default;

    // The bands shown ticked and looked up.
    QSet<QString> effectiveBands() const;
    // A selection that ticks every band becomes {allBands} with every band.
    void normalize();
    void setBand(const QString &band, bool on);
    void toggleAll();
    void toggleHF();
    void toggleVHFUHF();
    void toggleMicrowave();

    static ClubLogBandSelection all();
};

// The bands of stored groups (for alerts stored without individual bands); every band when the
// groups name none.
QSet<QString> clubLogBandsForGroups(const QSet<ClubLogBandGroup> &groups);

// Mode checkboxes: never empty, and Mixed never stands with another mode.
void setClubLogMode(QSet<ClubLogMode> &modes, ClubLogMode mode, bool on);

// Radio-like checkbox: ticking chooses, unticking the chosen one changes nothing.
void setClubLogWantedStatus(ClubLogWantedStatus &status, ClubLogWantedStatus option, bool on);

// One entity or none: tapping the chosen one clears, another replaces it.
void toggleClubLogEntity(QSet<int> &selection, int adifNumber);

// The sheet's choices as set up from an alert's stored Club Log part (or the defaults).
struct ClubLogSheetChoices {
    ClubLogWantedStatus wantedStatus = ClubLogWantedStatus::notWorked;
    QSet<ClubLogMode> modes{ClubLogMode::mixed};
    ClubLogBandSelection bands = ClubLogBandSelection::all();
    QSet<int> selectedEntity;
    bool operator==(const ClubLogSheetChoices &) const = default;
};
ClubLogSheetChoices clubLogSheetChoices(const std::optional<ClubLogAlertSettings> &stored);

} // namespace varnello
