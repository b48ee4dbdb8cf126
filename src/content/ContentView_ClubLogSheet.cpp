// The "Populate from Club Log" sheet's choices: set-up from the draft, the explanation, the
// needed-for, mode, band and entity selections.
#include "ContentView.h"

#include "AlertEditorRules.h"
#include "AppSettingsStore.h"
#include "ClubLogSelection.h"
#include "SettingsKeys.h"

#include <QTimer>

namespace varnello {

void ContentView::loadClubLogSheetState()
{
    m_clubLogLookupMessage.reset();
    m_clubLogLookupFailed = false;
    m_clubLogEntitySearch.clear();
    const ClubLogSheetChoices choices = clubLogSheetChoices(m_alertDraft.clubLogSettings);
    clubLogWantedStatus = choices.wantedStatus;
    clubLogModes = choices.modes;
    clubLogBandGroups = choices.bands.groups;
    clubLogIndividualBands = choices.bands.individualBands;
    clubLogSelectedEntityADIFNumbers = choices.selectedEntity;
    emit clubLogLookupStateChanged();
    emit clubLogSheetChanged();

    if (m_settings.boolValue(SettingsKeys::clubLogPopulateExplanationDismissed))
        return;
    const quint64 generation = m_clubLogSheetGeneration;
    QTimer::singleShot(m_clubLogExplanationDelay, this, [this, generation] {
        if (!m_clubLogAlertSheetPresented || generation != m_clubLogSheetGeneration)
            return;
        m_clubLogExplanationPresented = true;
        emit clubLogSheetChanged();
    });
}

void ContentView::setClubLogExplanationDontShowAgain(bool on)
{
    if (m_clubLogExplanationDontShowAgain == on)
        return;
    m_clubLogExplanationDontShowAgain = on;
    emit clubLogSheetChanged();
}

void ContentView::dismissClubLogExplanation()
{
    if (m_clubLogExplanationDontShowAgain)
        m_settings.setBool(SettingsKeys::clubLogPopulateExplanationDismissed, true);
    m_clubLogExplanationPresented = false;
    emit clubLogSheetChanged();
}

// --- Needed for and modes ------------------------------------------------------------------------

bool ContentView::clubLogWantedStatusIs(ClubLogWantedStatus status) const
{
    return clubLogWantedStatus == status;
}

void ContentView::setClubLogWantedStatus(ClubLogWantedStatus status, bool on)
{
    varnello::setClubLogWantedStatus(clubLogWantedStatus, status, on);
    emit clubLogSheetChanged();
}

bool ContentView::clubLogModeIsSelected(ClubLogMode mode) const
{
    return clubLogModes.contains(mode);
}

void ContentView::setClubLogMode(ClubLogMode mode, bool on)
{
    varnello::setClubLogMode(clubLogModes, mode, on);
    emit clubLogSheetChanged();
}

// --- Bands ---------------------------------------------------------------------------------------

QSet<QString> ContentView::clubLogSelectedBands() const
{
    return ClubLogBandSelection{clubLogBandGroups, clubLogIndividualBands}.effectiveBands();
}

void ContentView::editClubLogBands(const std::function<void(ClubLogBandSelection &)> &edit)
{
    ClubLogBandSelection selection{clubLogBandGroups, clubLogIndividualBands};
    edit(selection);
    clubLogBandGroups = selection.groups;
    clubLogIndividualBands = selection.individualBands;
    emit clubLogSheetChanged();
}

bool ContentView::clubLogBandIsSelected(const QString &band) const
{
    return clubLogSelectedBands().contains(band);
}

void ContentView::setClubLogBand(const QString &band, bool on)
{
    editClubLogBands([&](ClubLogBandSelection &s) { s.setBand(band, on); });
}

void ContentView::toggleAllClubLogBands()
{
    editClubLogBands([](ClubLogBandSelection &s) { s.toggleAll(); });
}

void ContentView::toggleClubLogHFBands()
{
    editClubLogBands([](ClubLogBandSelection &s) { s.toggleHF(); });
}

void ContentView::toggleClubLogVHFUHFBands()
{
    editClubLogBands([](ClubLogBandSelection &s) { s.toggleVHFUHF(); });
}

void ContentView::toggleClubLogMicrowaveBands()
{
    editClubLogBands([](ClubLogBandSelection &s) { s.toggleMicrowave(); });
}

// --- Entities ------------------------------------------------------------------------------------

void ContentView::toggleClubLogEntity(int adifNumber)
{
    varnello::toggleClubLogEntity(clubLogSelectedEntityADIFNumbers, adifNumber);
    emit clubLogSheetChanged();
}

void ContentView::clearClubLogEntitySelection()
{
    clubLogSelectedEntityADIFNumbers.clear();
    emit clubLogSheetChanged();
}

QList<CTYEntity> ContentView::clubLogSelectedEntities() const
{
    return selectedEntitiesOf(m_alertEntities, clubLogSelectedEntityADIFNumbers);
}

QList<CTYEntity> ContentView::clubLogFilteredEntities() const
{
    return searchedUnselectedEntitiesOf(m_alertEntities, clubLogSelectedEntityADIFNumbers,
                                        m_clubLogEntitySearch);
}

void ContentView::setClubLogEntitySearch(const QString &text)
{
    if (m_clubLogEntitySearch == text)
        return;
    m_clubLogEntitySearch = text;
    emit clubLogSheetChanged();
}

} // namespace varnello
