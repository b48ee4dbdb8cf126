// The alert panels' operations: the editor, the New Slot sheet, Clear All and the sheet states.
#include "ContentView.h"

#include "AppSettingsStore.h"
#include "NewSlotRules.h"
#include "SettingsKeys.h"

namespace varnello {

void ContentView::clearAllAlerts()
{
    ++m_newSlotGeneration;
    m_alerts.storeAlertConfigurations(defaultAlertConfigurations());
    m_alerts.saveAlertEnabledStates(QList<bool>(alertSlotCount, false));
    m_lastAlertSoundDates = {};
    m_lastNewSlotAlertSoundDate.reset();
    closeAlertEditor();
    m_settings.setBool(SettingsKeys::newSlotAlertEnabled, false);
    m_alerts.saveNewSlotAlertConfiguration(NewSlotAlertConfiguration{});
    m_settings.setData(SettingsKeys::newSlotAlertLookup, QByteArray());
    m_alerts.setNewSlotAlertRules({});
    m_newSlotAlertDraft = NewSlotAlertConfiguration{};
    emit alertsChanged();
    emit newSlotAlertDraftChanged();
}

void ContentView::openAlertEditor(int slot)
{
    if (slot < 0 || slot >= alertSlotCount)
        return;
    m_alertNameAcceptsFocus = false;
    // The Callsign Alert has no entity picker.
    if (slot != callsignAlertSlot)
        loadAlertEntities();
    const QList<SpotAlertConfiguration> alerts = loadAlertConfigurations();
    m_alertEditorSession = AlertEditorSession{slot, QUuid::createUuid(), alerts[slot]};
    m_alertDraft = alerts[slot];
    emit alertEditorChanged();
    emit alertDraftChanged();
}

void ContentView::closeAlertEditor()
{
    if (!m_alertEditorSession)
        return;
    m_alertEditorSession.reset();
    endClubLogAlertSheet();
    emit alertEditorChanged();
    emit presentationChanged();
}

void ContentView::setAlertDraft(const SpotAlertConfiguration &draft)
{
    if (m_alertDraft == draft)
        return;
    m_alertDraft = draft;
    emit alertDraftChanged();
}

NewSlotAlertConfiguration ContentView::newSlotAlertRow()
{
    openNewSlotAlertSheet();
    return m_newSlotAlertDraft;
}

void ContentView::setNewSlotAlertDraft(const NewSlotAlertConfiguration &draft)
{
    if (m_newSlotAlertDraft == draft)
        return;
    m_newSlotAlertDraft = draft;
    emit newSlotAlertDraftChanged();
}

void ContentView::storeNewSlotAlertDraft()
{
    saveNewSlotAlertConfiguration(m_newSlotAlertDraft);
}

void ContentView::setNewSlotAlertSheetPresented(bool presented)
{
    if (m_newSlotAlertSheetPresented == presented)
        return;
    m_newSlotAlertSheetPresented = presented;
    emit presentationChanged();
    if (!presented)
        runPendingNewSlotRefresh();
}

void ContentView::setNewSlotAlertSummaryPresented(bool presented)
{
    if (m_newSlotAlertSummaryPresented == presented)
        return;
    m_newSlotAlertSummaryPresented = presented;
    emit presentationChanged();
    if (!presented)
        runPendingNewSlotRefresh();
}

void ContentView::setClubLogAlertSheetPresented(bool presented)
{
    if (m_clubLogAlertSheetPresented == presented)
        return;
    if (presented)
        m_clubLogAlertSheetPresented = true;
    else
        endClubLogAlertSheet();
    emit presentationChanged();
}

void ContentView::endClubLogAlertSheet()
{
    m_clubLogAlertSheetPresented = false;
    ++m_clubLogSheetGeneration;
    m_clubLogExplanationPresented = false;
}

const QStringList &ContentView::hfBands()
{
    return varnello::hfBands();
}
const QStringList &ContentView::vhfUHFBands()
{
    return varnello::vhfUHFBands();
}
const QStringList &ContentView::microwaveBands()
{
    return varnello::microwaveBands();
}

void ContentView::setLookupState(bool inProgress, bool failed, std::optional<QString> message)
{
    m_clubLogLookupInProgress = inProgress;
    m_clubLogLookupFailed = failed;
    m_clubLogLookupMessage = std::move(message);
    emit clubLogLookupStateChanged();
}

} // namespace varnello
