#include "ClubLogSelection.h"

#include "NewSlotRules.h"

#include <algorithm>

namespace varnello {

namespace {

QSet<QString> setOf(const QStringList &bands)
{
    return QSet<QString>(bands.begin(), bands.end());
}

bool containsAll(const QSet<QString> &set, const QStringList &bands)
{
    return std::all_of(bands.begin(), bands.end(),
                       [&set](const QString &band) { return set.contains(band); });
}

// A group button: groups dropped first, then its bands ticked unless all already are.
void toggleGroup(ClubLogBandSelection &selection, const QStringList &bands,
                 std::optional<ClubLogBandGroup> ownGroup)
{
    selection.groups.remove(ClubLogBandGroup::allBands);
    if (ownGroup)
        selection.groups.remove(*ownGroup);
    if (containsAll(selection.effectiveBands(), bands)) {
        for (const QString &band : bands)
            selection.individualBands.remove(band);
    } else {
        selection.individualBands.unite(setOf(bands));
    }
    selection.normalize();
}

} // namespace

const QStringList &clubLogBandUniverse()
{
    static const QStringList bands =
        clubLogHFBands() + clubLogVHFUHFBands() + clubLogMicrowaveBands();
    return bands;
}

const QStringList &clubLogHFBands()
{
    return hfBands();
}

const QStringList &clubLogVHFUHFBands()
{
    return vhfUHFBands();
}

const QStringList &clubLogMicrowaveBands()
{
    static const QStringList bands{"13cm"};
    return bands;
}

QSet<QString> ClubLogBandSelection::effectiveBands() const
{
    if (groups.contains(ClubLogBandGroup::allBands))
        return setOf(clubLogBandUniverse());
    QSet<QString> bands = individualBands;
    if (groups.contains(ClubLogBandGroup::vhfUhf))
        bands.unite(setOf(clubLogVHFUHFBands()));
    if (groups.contains(ClubLogBandGroup::microwave))
        bands.unite(setOf(clubLogMicrowaveBands()));
    return bands;
}

void ClubLogBandSelection::normalize()
{
    if (effectiveBands() == setOf(clubLogBandUniverse()))
        *this = all();
}

void ClubLogBandSelection::setBand(const QString &band, bool on)
{
    groups.remove(ClubLogBandGroup::allBands);
    if (on)
        individualBands.insert(band);
    else
        individualBands.remove(band);
    normalize();
}

void ClubLogBandSelection::toggleAll()
{
    if (effectiveBands() == setOf(clubLogBandUniverse()))
        *this = {};
    else
        *this = all();
}

void ClubLogBandSelection::toggleHF()
{
    // The stored hf and hfPlus6m groups tick nothing, so they stay.
    toggleGroup(*this, clubLogHFBands(), std::nullopt);
}

void ClubLogBandSelection::toggleVHFUHF()
{
    toggleGroup(*this, clubLogVHFUHFBands(), ClubLogBandGroup::vhfUhf);
}

void ClubLogBandSelection::toggleMicrowave()
{
    toggleGroup(*this, clubLogMicrowaveBands(), ClubLogBandGroup::microwave);
}

ClubLogBandSelection ClubLogBandSelection::all()
{
    return {{ClubLogBandGroup::allBands}, setOf(clubLogBandUniverse())};
}

QSet<QString> clubLogBandsForGroups(const QSet<ClubLogBandGroup> &groups)
{
    if (groups.contains(ClubLogBandGroup::allBands))
        return setOf(clubLogBandUniverse());
    QSet<QString> bands;
    if (groups.contains(ClubLogBandGroup::hf) || groups.contains(ClubLogBandGroup::hfPlus6m))
        bands.unite(setOf(clubLogHFBands()));
    if (groups.contains(ClubLogBandGroup::hfPlus6m))
        bands.insert(QStringLiteral("6m"));
    if (groups.contains(ClubLogBandGroup::vhfUhf))
        bands.unite(setOf(clubLogVHFUHFBands()));
    if (groups.contains(ClubLogBandGroup::microwave))
        bands.unite(setOf(clubLogMicrowaveBands()));
    return bands.isEmpty() ? setOf(clubLogBandUniverse()) : bands;
}

void setClubLogMode(QSet<ClubLogMode> &modes, ClubLogMode mode, bool on)
{
    if (mode == ClubLogMode::mixed) {
        if (on)
            modes = {ClubLogMode::mixed};
        return;
    }
    if (on) {
        modes.remove(ClubLogMode::mixed);
        modes.insert(mode);
        return;
    }
    modes.remove(mode);
    if (modes.isEmpty())
        modes = {ClubLogMode::mixed};
}

void setClubLogWantedStatus(ClubLogWantedStatus &status, ClubLogWantedStatus option, bool on)
{
    if (on)
        status = option;
}

void toggleClubLogEntity(QSet<int> &selection, int adifNumber)
{
    if (selection.contains(adifNumber))
        selection.clear();
    else
        selection = {adifNumber};
}

ClubLogSheetChoices clubLogSheetChoices(const std::optional<ClubLogAlertSettings> &stored)
{
    ClubLogSheetChoices choices;
    if (!stored)
        return choices;
    choices.wantedStatus = stored->wantedStatus;
    choices.modes = stored->modes.isEmpty() ? QSet<ClubLogMode>{ClubLogMode::mixed} : stored->modes;
    ClubLogBandSelection &bands = choices.bands;
    bands.groups = stored->bandGroups.value_or(QSet<ClubLogBandGroup>{ClubLogBandGroup::allBands});
    if (!stored->individualBands) {
        bands.individualBands = clubLogBandsForGroups(bands.groups);
    } else {
        bands.individualBands = *stored->individualBands;
        if (bands.groups.contains(ClubLogBandGroup::allBands) &&
            bands.individualBands != setOf(clubLogBandUniverse()))
            bands.groups.remove(ClubLogBandGroup::allBands);
    }
    if (bands.groups.isEmpty() && bands.individualBands.isEmpty())
        bands = ClubLogBandSelection::all();
    const QSet<int> &filter = stored->entityFilterADIFNumbers;
    if (!filter.isEmpty())
        choices.selectedEntity = {*std::min_element(filter.begin(), filter.end())};
    return choices;
}

} // namespace varnello
