// The New Slot Alert sheet's state: opening it, the form's draft bindings and the buttons of both
// faces. Everything but the summary's save buttons changes only the draft.
#include "ContentView.h"

#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AlertSummaryText.h"

namespace varnello {

void ContentView::openNewSlotAlertSheet()
{
    ++m_newSlotSheetOpening;
    m_newSlotAlertDraft = m_alerts.migrateNewSlotAlertHighlightColour();
    emit newSlotAlertDraftChanged();
    // A failure left over belongs to another draft or to the Populate sheet's lookup. A lookup
    // still running keeps its flag: its end clears it.
    setLookupState(m_clubLogLookupInProgress, false, std::nullopt);
    setNewSlotAlertSummaryPresented(true);
    setNewSlotAlertSheetPresented(true);
}

bool ContentView::newSlotDraftModeIsSelected(ClubLogMode mode) const
{
    return m_newSlotAlertDraft.modes.contains(mode);
}

void ContentView::setNewSlotDraftMode(ClubLogMode mode, bool on)
{
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    if (mode == ClubLogMode::mixed) {
        // Mixed goes away only when another mode is ticked.
        if (on)
            draft.modes = {ClubLogMode::mixed};
    } else if (on) {
        draft.modes.remove(ClubLogMode::mixed);
        draft.modes.insert(mode);
    } else {
        draft.modes.remove(mode);
        if (draft.modes.isEmpty())
            draft.modes = {ClubLogMode::mixed};
    }
    setNewSlotAlertDraft(draft);
}

void ContentView::selectAllNewSlotModes()
{
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    draft.modes = {ClubLogMode::mixed};
    setNewSlotAlertDraft(draft);
}

bool ContentView::newSlotDraftBandIsSelected(const QString &band) const
{
    return m_newSlotAlertDraft.bands.contains(band);
}

void ContentView::setNewSlotDraftBand(const QString &band, bool on)
{
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    if (on)
        draft.bands.insert(band);
    else
        draft.bands.remove(band);
    setNewSlotAlertDraft(draft);
}

void ContentView::toggleAllNewSlotBands()
{
    const QStringList &all = newSlotAllBands();
    const QSet<QString> allSet(all.cbegin(), all.cend());
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    draft.bands = draft.bands == allSet ? QSet<QString>() : allSet;
    setNewSlotAlertDraft(draft);
}

void ContentView::toggleNewSlotBandGroup(const QStringList &group)
{
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    toggleAllOf(draft.bands, group);
    setNewSlotAlertDraft(draft);
}

void ContentView::toggleNewSlotHFBands()
{
    toggleNewSlotBandGroup(hfBands());
}

SpotAlertColor ContentView::newSlotDraftHighlightColor() const
{
    return m_newSlotAlertDraft.highlightColor;
}

void ContentView::setNewSlotDraftHighlightColor(const SpotAlertColor &colour)
{
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    draft.highlightColor = colour;
    setNewSlotAlertDraft(draft);
}

bool ContentView::newSlotDraftSoundFrequencyIs(AlertSoundFrequency frequency) const
{
    return m_newSlotAlertDraft.soundFrequency == frequency;
}

void ContentView::setNewSlotDraftSoundFrequency(AlertSoundFrequency frequency, bool on)
{
    // The two choices behave as radio buttons: turning the current one off keeps it.
    if (!on)
        return;
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    draft.soundFrequency = frequency;
    setNewSlotAlertDraft(draft);
}

void ContentView::newSlotNotificationToggleChanged(bool on)
{
    if (on)
        m_notifications.requestNotificationAuthorization();
}

void ContentView::toggleAllNewSlotActions()
{
    NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
    const bool allOn = draft.highlightRows && draft.playSound && draft.showNotification;
    draft.highlightRows = !allOn;
    draft.playSound = !allOn;
    draft.showNotification = !allOn;
    setNewSlotAlertDraft(draft);
    newSlotNotificationToggleChanged(!allOn);
}

void ContentView::previewNewSlotAlertSound()
{
    m_sounds.play(m_newSlotAlertDraft.soundChoice);
}

void ContentView::resetNewSlotAlertDraft()
{
    setNewSlotAlertDraft(NewSlotAlertConfiguration{});
}

void ContentView::cancelNewSlotAlertSheet()
{
    setNewSlotAlertSheetPresented(false);
}

void ContentView::showNewSlotClubLogConfiguration()
{
    setNewSlotAlertSummaryPresented(false);
}

void ContentView::cancelNewSlotAlertSummary()
{
    setNewSlotAlertSummaryPresented(false);
    setNewSlotAlertSheetPresented(false);
}

void ContentView::saveNewSlotAlertDraft()
{
    saveNewSlotAlertConfiguration(m_newSlotAlertDraft);
    cancelNewSlotAlertSummary();
}

void ContentView::saveAndEnableNewSlotAlert()
{
    saveNewSlotAlertConfiguration(m_newSlotAlertDraft);
    setNewSlotAlertEnabled(true);
    cancelNewSlotAlertSummary();
}

} // namespace varnello
