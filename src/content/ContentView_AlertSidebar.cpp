// The Spot Alerts sidebar's state: its summaries, the enable checkboxes and "Clear All".
#include "ContentView.h"

#include "AlertSummaryText.h"
#include "AppSettingsStore.h"
#include "SettingsKeys.h"

namespace varnello {

namespace {

bool isSlot(int slot)
{
    return slot >= 0 && slot < alertSlotCount;
}

} // namespace

bool ContentView::alertsAreAtDefaults() const
{
    return loadAlertConfigurations() == defaultAlertConfigurations() &&
           loadAlertEnabledStates() == QList<bool>(alertSlotCount, false) &&
           loadNewSlotAlertConfiguration() == NewSlotAlertConfiguration{} &&
           !m_alerts.newSlotAlertEnabled() &&
           m_settings.data(SettingsKeys::newSlotAlertLookup).isEmpty() &&
           m_alerts.newSlotAlertRules().isEmpty();
}

void ContentView::setClearAllAlertsConfirmationPresented(bool presented)
{
    if (m_clearAllAlertsConfirmationPresented == presented)
        return;
    m_clearAllAlertsConfirmationPresented = presented;
    emit presentationChanged();
}

QString ContentView::alertDisplayName(int slot) const
{
    if (!isSlot(slot))
        return {};
    return loadAlertConfigurations()[slot].name.trimmed();
}

QString ContentView::alertEntitySummary(int slot) const
{
    if (!isSlot(slot))
        return {};
    return alertEntitySummaryText(loadAlertConfigurations()[slot], slot, m_alertEntities);
}

QString ContentView::alertSlotSummary(int slot) const
{
    if (!isSlot(slot))
        return {};
    return alertSlotSummaryText(loadAlertConfigurations()[slot], slot);
}

QString ContentView::alertActionSummary(int slot) const
{
    if (!isSlot(slot))
        return {};
    return alertActionSummaryText(loadAlertConfigurations()[slot]);
}

bool ContentView::alertIsEnabled(int slot) const
{
    return isSlot(slot) && loadAlertEnabledStates()[slot];
}

void ContentView::setAlertEnabled(int slot, bool enabled)
{
    if (!isSlot(slot))
        return;
    // No copy of the flags is kept: an editor may have stored them since the last read.
    QList<bool> flags = loadAlertEnabledStates();
    flags[slot] = enabled;
    m_alerts.saveAlertEnabledStates(flags);
    emit alertsChanged();
}

bool ContentView::newSlotAlertEnabled() const
{
    return m_alerts.newSlotAlertEnabled();
}

void ContentView::setNewSlotAlertEnabled(bool enabled)
{
    m_settings.setBool(SettingsKeys::newSlotAlertEnabled, enabled);
    emit alertsChanged();
}

} // namespace varnello
