// The alert editor's working copy: its bindings, selections, actions, entities and callsigns,
// and its buttons (Clear All, Cancel, Save, Save and Enable).
#include "ContentView.h"

#include "AlertEditorRules.h"
#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "NewSlotRules.h"

#include <QTimer>
#include <algorithm>

namespace varnello {

namespace {

const QList<SpotType> &offeredAlertModes()
{
    static const QList<SpotType> modes{SpotType::cw, SpotType::ssb, SpotType::ftx,
                                       SpotType::otherDigital};
    return modes;
}

} // namespace

void ContentView::editAlertDraft(const std::function<void(SpotAlertConfiguration &)> &edit)
{
    SpotAlertConfiguration draft = m_alertDraft;
    edit(draft);
    setAlertDraft(draft);
}

void ContentView::prepareAlertEditorDraft()
{
    if (!m_alertEditorSession)
        return;
    setAlertDraft(m_alertEditorSession->configuration);
    m_alertEntitySearch.clear();
    m_alertCallsignEntry.clear();
    emit alertEditorFieldsChanged();
    const QUuid session = m_alertEditorSession->id;
    QTimer::singleShot(0, this, [this, session] {
        if (!m_alertEditorSession || m_alertEditorSession->id != session)
            return;
        m_alertNameAcceptsFocus = true;
        emit alertEditorFieldsChanged();
    });
}

QString ContentView::defaultAlertName() const
{
    if (!m_alertEditorSession)
        return QStringLiteral("Alert");
    return varnello::defaultAlertName(m_alertEditorSession->index);
}

void ContentView::setAlertDraftName(const QString &name)
{
    editAlertDraft([&name](SpotAlertConfiguration &d) { d.name = limitedAlertName(name); });
}

// --- Bands, modes, sound frequency ---------------------------------------------------------------

bool ContentView::alertDraftBandIsSelected(const QString &band) const
{
    return m_alertDraft.selectedBands.contains(band);
}

void ContentView::setAlertDraftBand(const QString &band, bool on)
{
    dropClubLogSlotRulesFromDraft();
    editAlertDraft([&](SpotAlertConfiguration &d) {
        if (on)
            d.selectedBands.insert(band);
        else
            d.selectedBands.remove(band);
    });
}

bool ContentView::alertDraftModeIsSelected(SpotType mode) const
{
    return m_alertDraft.selectedModes.contains(mode);
}

void ContentView::setAlertDraftMode(SpotType mode, bool on)
{
    dropClubLogSlotRulesFromDraft();
    editAlertDraft([&](SpotAlertConfiguration &d) {
        if (on)
            d.selectedModes.insert(mode);
        else
            d.selectedModes.remove(mode);
    });
}

bool ContentView::alertDraftSoundFrequencyIs(AlertSoundFrequency option) const
{
    return m_alertDraft.soundFrequency == option;
}

void ContentView::setAlertDraftSoundFrequency(AlertSoundFrequency option, bool on)
{
    if (on)
        editAlertDraft([option](SpotAlertConfiguration &d) { d.soundFrequency = option; });
}

bool ContentView::alertDraftHasAllBands() const
{
    const QStringList &all = alertBandList();
    return std::all_of(all.begin(), all.end(), [this](const QString &band) {
        return m_alertDraft.selectedBands.contains(band);
    });
}

void ContentView::toggleAllAlertBands()
{
    toggleAlertBandGroup(alertBandList());
}

void ContentView::toggleAlertBandGroup(const QStringList &bands)
{
    dropClubLogSlotRulesFromDraft();
    editAlertDraft([&bands](SpotAlertConfiguration &d) { toggleAllOf(d.selectedBands, bands); });
}

void ContentView::toggleAllAlertModes()
{
    dropClubLogSlotRulesFromDraft();
    // Only the offered modes: a stored Beacon stays as it is.
    editAlertDraft(
        [](SpotAlertConfiguration &d) { toggleAllOf(d.selectedModes, offeredAlertModes()); });
}

void ContentView::dropClubLogSlotRulesFromDraft()
{
    if (!m_alertDraft.clubLogSettings)
        return;
    editAlertDraft([](SpotAlertConfiguration &d) { d.clubLogSettings->entitySlotRules.clear(); });
}

// --- Actions -------------------------------------------------------------------------------------

bool ContentView::alertDraftHasAllActions() const
{
    return m_alertDraft.highlightRows && m_alertDraft.playSound && m_alertDraft.showNotification;
}

void ContentView::toggleAllAlertActions()
{
    const bool on = !alertDraftHasAllActions();
    editAlertDraft([on](SpotAlertConfiguration &d) {
        d.highlightRows = on;
        d.playSound = on;
        d.showNotification = on;
    });
    if (on)
        m_notifications.requestNotificationAuthorization();
}

void ContentView::setAlertDraftHighlightRows(bool on)
{
    editAlertDraft([on](SpotAlertConfiguration &d) { d.highlightRows = on; });
}

void ContentView::setAlertDraftHighlightColor(const SpotAlertColor &color)
{
    editAlertDraft([&color](SpotAlertConfiguration &d) { d.highlightColor = color; });
}

void ContentView::setAlertDraftPlaySound(bool on)
{
    editAlertDraft([on](SpotAlertConfiguration &d) { d.playSound = on; });
}

void ContentView::setAlertDraftSoundChoice(AlertSoundChoice choice)
{
    editAlertDraft([choice](SpotAlertConfiguration &d) { d.soundChoice = choice; });
}

void ContentView::setAlertDraftShowNotification(bool on)
{
    if (m_alertDraft.showNotification == on)
        return;
    editAlertDraft([on](SpotAlertConfiguration &d) { d.showNotification = on; });
    if (on)
        m_notifications.requestNotificationAuthorization();
}

void ContentView::playAlertDraftSound()
{
    m_sounds.play(m_alertDraft.soundChoice);
}

// --- Buttons -------------------------------------------------------------------------------------

bool ContentView::isAlertDraftClear() const
{
    return alertDraftIsClear(m_alertDraft, defaultAlertName());
}

void ContentView::clearAlertDraft()
{
    const QString name = defaultAlertName();
    editAlertDraft([&name](SpotAlertConfiguration &d) {
        d.name = name;
        d.clubLogSettings.reset();
        d.selectedEntityADIFNumbers.clear();
        d.selectedCallsigns.clear();
        d.selectedBands.clear();
        d.selectedModes.clear();
        d.highlightRows = true;
        d.playSound = false;
        d.showNotification = false;
    });
    if (!m_alertEditorSession)
        return;
    QList<bool> flags = loadAlertEnabledStates();
    flags[m_alertEditorSession->index] = false;
    saveAlertEnabledStates(flags);
    emit alertsChanged();
}

void ContentView::saveAlertDraft(bool enable)
{
    if (!m_alertEditorSession)
        return;
    const int slot = m_alertEditorSession->index;
    editAlertDraft([slot](SpotAlertConfiguration &d) {
        d.name = savedAlertName(d.name, slot);
        if (slot == callsignAlertSlot)
            d.selectedEntityADIFNumbers.clear();
        else
            d.selectedCallsigns.clear();
    });
    QList<SpotAlertConfiguration> alerts = loadAlertConfigurations();
    alerts[slot] = m_alertDraft;
    // An encoding failure keeps the stored list; the editor closes all the same.
    m_alerts.storeAlertConfigurations(alerts);
    if (enable) {
        QList<bool> flags = loadAlertEnabledStates();
        flags[slot] = true;
        saveAlertEnabledStates(flags);
    }
    emit alertsChanged();
    closeAlertEditor();
}

void ContentView::openClubLogAlertSheet()
{
    m_clubLogExplanationDontShowAgain = false;
    emit clubLogSheetChanged();
    setClubLogAlertSheetPresented(true);
}

// --- Texts ---------------------------------------------------------------------------------------

QString ContentView::alertEditorSelectionSummary() const
{
    return varnello::alertEditorSelectionSummary(
        m_alertEditorSession ? std::optional<int>(m_alertEditorSession->index) : std::nullopt,
        m_alertDraft);
}

QStringList ContentView::alertEditorClubLogSlotLines() const
{
    return varnello::alertEditorClubLogSlotLines(m_alertDraft);
}

// --- Entity picker -------------------------------------------------------------------------------

void ContentView::setAlertEntitySearch(const QString &text)
{
    if (m_alertEntitySearch == text)
        return;
    m_alertEntitySearch = text;
    emit alertEditorFieldsChanged();
}

QList<CTYEntity> ContentView::selectedAlertEntities() const
{
    return selectedEntitiesOf(m_alertEntities, m_alertDraft.selectedEntityADIFNumbers);
}

QList<CTYEntity> ContentView::searchedUnselectedAlertEntities() const
{
    return searchedUnselectedEntitiesOf(m_alertEntities, m_alertDraft.selectedEntityADIFNumbers,
                                        m_alertEntitySearch);
}

void ContentView::toggleAlertEntity(int adifNumber)
{
    dropClubLogSlotRulesFromDraft();
    editAlertDraft([adifNumber](SpotAlertConfiguration &d) {
        if (!d.selectedEntityADIFNumbers.remove(adifNumber))
            d.selectedEntityADIFNumbers.insert(adifNumber);
    });
}

std::optional<CTYEntity> ContentView::clubLogAlertEntity() const
{
    return clubLogAlertEntityOf(m_alertDraft, m_alertEntities);
}

// --- Callsign list -------------------------------------------------------------------------------

void ContentView::setAlertCallsignEntry(const QString &text)
{
    if (m_alertCallsignEntry == text)
        return;
    m_alertCallsignEntry = text;
    emit alertEditorFieldsChanged();
}

std::optional<QString> ContentView::sanitizeAlertCallsignEntry() const
{
    return sanitizedAlertCallsign(m_alertCallsignEntry);
}

void ContentView::addAlertCallsignEntry()
{
    const std::optional<QString> pattern = sanitizeAlertCallsignEntry();
    if (!pattern)
        return;
    editAlertDraft([&pattern](SpotAlertConfiguration &d) { d.selectedCallsigns.insert(*pattern); });
    setAlertCallsignEntry(QString());
}

void ContentView::removeAlertCallsign(const QString &pattern)
{
    editAlertDraft([&pattern](SpotAlertConfiguration &d) { d.selectedCallsigns.remove(pattern); });
}

QStringList ContentView::sortedAlertCallsigns() const
{
    return varnello::sortedAlertCallsigns(m_alertDraft.selectedCallsigns);
}

} // namespace varnello
