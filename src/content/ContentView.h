#pragma once

#include "AlertModel.h"
#include "AlertStore.h"
#include "CTYResult.h"
#include "ClubLogLookup.h"
#include "DXSpot.h"
#include "FilterSheetSessions.h"
#include "LocalSpotFilter.h"
#include "MainTab.h"
#include "MainWindowTexts.h"
#include "RBNMode.h"
#include "SpotAlertMarks.h"
#include "SpotListsSnapshot.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace varnello {

class AlertNotificationManager;
class AlertSoundPlayer;
class AppSettingsStore;
class Clock;
class ClusterConnection;
class GridDXCCDatabase;
class HttpClient;
struct ClubLogBandSelection;
class LoTWActivityLookup;
enum class ConnectionOrigin;

// What the main window's state works with. Null members take the process-wide instance (settings,
// notifications, sounds, clock, HTTP) or mean "not available" (cluster).
struct ContentViewEnvironment {
    AppSettingsStore *settings = nullptr;
    ClusterConnection *cluster = nullptr;
    AlertNotificationManager *notifications = nullptr;
    AlertSoundPlayer *sounds = nullptr;
    const Clock *clock = nullptr;
    HttpClient *http = nullptr;
    // The Club Log chart service, the build's API key and the request time-out.
    ClubLogService clubLog = ClubLogService::standard();
    // The LoTW activity table of the LoTW-only filter.
    const LoTWActivityLookup *lotw = nullptr;
    // The grid-square tables of the spotter-entity radius search.
    GridDXCCDatabase *grid = nullptr;
    // The UDP feed's mode and its sender; empty takes the cluster connection's.
    std::function<QString()> udpFeedMode;
    std::function<void(const QString &rawLine)> sendToUdpFeed;
    // How often the age of the New Slot rules is checked.
    std::chrono::milliseconds newSlotRefreshCheckInterval{60'000};
    // Whether to listen for "VarnelloInitialNewSlotRefresh" on the notification hub.
    bool observeNotificationHub = true;
};

// The "select all" buttons: adds the key of every item to `set` when one is missing, else removes
// them all.
template <typename T, typename Items, typename Key = std::identity>
void toggleAllOf(QSet<T> &set, const Items &items, Key key = {})
{
    const bool all = std::all_of(items.begin(), items.end(),
                                 [&](const auto &item) { return set.contains(key(item)); });
    for (const auto &item : items) {
        if (all)
            set.remove(key(item));
        else
            set.insert(key(item));
    }
}

// The main window's state and controller, without widgets: the alerts, their actions for each new
// spot, the alert panels' operations and the Club Log lookups. The window owns one and observes
// its signals. Lives on the main thread.
class ContentView final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ContentView)

public:
    using SteadyTime = std::chrono::steady_clock::time_point;
    // One sound per alert in this long at most, under the every-five-minutes frequency.
    static constexpr std::chrono::seconds alertSoundInterval{300};
    // Live spots held while the spot list is paused.
    static constexpr qsizetype maximumBufferedSpots = 5000;

    explicit ContentView(ContentViewEnvironment environment = {}, QObject *parent = nullptr);
    ~ContentView() override;

    ClusterConnection *cluster() const;
    AlertStore &alertStore() { return m_alerts; }

    // --- The window appears: entity list, one-time moves, New Slot rules, in this order.
    void handleAppear();

    // --- Spot filters (ContentView_Filters.cpp)
    // The Bool switches live in the settings store; the sets and lists are view state mirrored
    // into their settings keys, loaded on appear and saved after every change.
    enum class FilterSwitch {
        hideCWSpots,
        hideSSBSpots,
        hideFTxSpots,
        hideOtherDigitalSpots,
        hideBeaconSpots,
        hideQRPSpots,
        hideSameDXCCSpots,
        customSpotterEntityFilterEnabled,
        customInfoFilterEnabled,
    };
    bool filterSwitch(FilterSwitch which) const;
    void setFilterSwitch(FilterSwitch which, bool on);
    const QSet<QString> &selectedBands() const { return m_filterState.selectedBands; }
    void setSelectedBands(const QSet<QString> &bands);
    const QSet<QString> &hiddenDXFromContinents() const
    {
        return m_filterState.hiddenDXFromContinents;
    }
    void setHiddenDXFromContinents(const QSet<QString> &codes);
    const QSet<QString> &hiddenDXByContinents() const { return m_filterState.hiddenDXByContinents; }
    void setHiddenDXByContinents(const QSet<QString> &codes);
    const QSet<int> &customSpotterEntityADIFNumbers() const
    {
        return m_filterState.customSpotterEntityADIFNumbers;
    }
    void setCustomSpotterEntityADIFNumbers(const QSet<int> &numbers);
    const QStringList &customInfoFilterTerms() const { return m_filterState.customInfoFilterTerms; }
    void setCustomInfoFilterTerms(const QStringList &terms);
    bool showLoTWOnly() const { return m_filterState.showLoTWOnly; }
    void setShowLoTWOnly(bool on);
    bool advancedMode() const;

    void loadSelectedBands();
    void loadHiddenContinents();
    QSet<int> loadCustomSpotterEntityADIFNumbers() const;
    QStringList loadCustomInfoFilterTerms() const;
    void saveSelectedBands();
    void saveHiddenContinents();
    void saveCustomSpotterEntityADIFNumbers();
    void saveCustomInfoFilterTerms();
    bool hasActiveSpotFilters() const;
    void clearSpotFilters();
    static bool bandSortsBefore(QStringView a, QStringView b);
    // The 23 catalogue bands, then "Other".
    static const QStringList &bandOrder();

    bool spotPassesLocalFilters(const DXSpot &spot) const;
    static bool spotIsQRP(const DXSpot &spot) { return LocalSpotFilter::isQRP(spot); }

    // --- Spot lists, counts and pausing (ContentView_Lists.cpp, ContentView_ListEntries.cpp)
    void handleLiveSpot(const DXSpot &spot);
    MainTab selectedTab() const { return m_selectedTab; }
    void setSelectedTab(MainTab tab);
    const QString &spotCallsignSearch() const { return m_spotCallsignSearch; }
    void setSpotCallsignSearch(const QString &text);
    void clearCallsignSearch();

    QList<DXSpot> displayedSpots() const;
    QList<DXSpot> alertsOnlySpots() const;
    QString spotCountLabel() const;
    // Everything one refresh of the window shows. A window that shows one list at a time names
    // it, and the other list stays empty.
    enum class SnapshotLists { both, displayedOnly, alertsOnlyOnly };
    SpotListsSnapshot spotListsSnapshot(SnapshotLists lists = SnapshotLists::both) const;
    // The same for a window that shows one list and keeps the rows it was given: only the rows
    // that came in front since the previous call, and how many of the rows handed out then are
    // still there (SpotListsSnapshot::keptRows), unless `whole` or a change other than new spots
    // in front and a cut tail asks for the whole list.
    SpotListsSnapshot spotListsUpdate(bool alertsOnly, bool whole);

    bool isManuallyPaused() const { return m_isManuallyPaused; }
    bool isAutomaticallyPaused() const { return m_isAutomaticallyPaused; }
    bool isSpotsPaused() const { return m_isManuallyPaused || m_isAutomaticallyPaused; }
    bool isAlertsManuallyPaused() const { return m_isAlertsManuallyPaused; }
    bool isAlertsAutomaticallyPaused() const { return m_isAlertsAutomaticallyPaused; }
    bool isAlertsPaused() const
    {
        return m_isAlertsManuallyPaused || m_isAlertsAutomaticallyPaused;
    }
    bool isCurrentTabPaused() const;
    const QSet<QUuid> &pausedSpotIDs() const { return m_pausedSpotIDs; }
    const QList<DXSpot> &bufferedSpots() const { return m_bufferedSpots; }
    const QSet<QUuid> &pausedAlertSpotIDs() const { return m_pausedAlertSpotIDs; }
    // Only the ids the connection still holds.
    const QSet<QUuid> &bufferedAlertSpotIDs() const;
    int scrollToTopRequest() const { return m_scrollToTopRequest; }
    int newBufferedSpotCount() const;
    QString spotsPauseLabel() const;
    QString alertsPauseLabel() const;
    void pauseSpots(bool manual);
    void resumeSpots();
    void pauseAlerts(bool manual);
    void resumeAlerts();
    // The pause bar's button: pauses the current tab's list by hand, or resumes it.
    void togglePauseOfCurrentTab();
    void handleTableTopStateChange(bool isAtTop, bool isAlertsOnly);

    // --- Filter panels (ContentView_FilterPanels.cpp, ContentView_SpotterEntities.cpp)
    // Spot Filters popover.
    bool isFiltersPopoverPresented() const { return m_filtersPopoverPresented; }
    void setFiltersPopoverPresented(bool presented);
    void toggleFiltersPopover() { setFiltersPopoverPresented(!m_filtersPopoverPresented); }
    void toggleAllModeFilters();
    enum class ContinentSet { hiddenDXFrom, hiddenDXBy };
    void toggleAllContinents(ContinentSet which);
    void setContinentHidden(ContinentSet which, const QString &code, bool hidden);
    // "Custom…" or "Custom (3)…".
    static QString customFilterButtonTitle(qsizetype count);
    void openCustomInfoFilterSheet();
    void openCustomSpotterEntitySheet();

    // Band Filters sidebar.
    void showAllBands() { setSelectedBands({}); }
    void toggleBand(const QString &band);
    void toggleBandGroup(const QStringList &bands);
    QString bandFilterSummary() const;

    // Blocked words sheet.
    const std::optional<CustomInfoFilterSession> &customInfoFilterSession() const
    {
        return m_customInfoFilterSession;
    }
    const QStringList &customInfoFilterDraft() const { return m_customInfoFilterDraft; }
    const QString &customInfoFilterEntry() const { return m_customInfoFilterEntry; }
    void beginCustomInfoFilterSheet(); // the sheet appears
    void setCustomInfoFilterEntry(const QString &text);
    bool canAddCustomInfoFilterTerm() const;
    void addCustomInfoFilterTerm();
    void removeCustomInfoFilterTerm(qsizetype index);
    void clearCustomInfoFilterDraft();
    void cancelCustomInfoFilter();
    void saveCustomInfoFilter();
    void saveAndEnableCustomInfoFilter();

    // Allowed Spotter Entities sheet.
    const std::optional<CustomSpotterEntitySession> &customSpotterEntitySession() const
    {
        return m_customSpotterEntitySession;
    }
    const QSet<int> &customSpotterEntityDraft() const { return m_customSpotterEntityDraft; }
    const QString &customSpotterEntitySearch() const { return m_customSpotterEntitySearch; }
    bool isSelectingCustomSpotterEntitiesAutomatically() const
    {
        return m_selectingSpotterEntities;
    }
    const std::optional<QString> &customSpotterAutomaticSelectionMessage() const
    {
        return m_spotterSelectionMessage;
    }
    void beginCustomSpotterEntitySheet(); // the sheet appears
    void endCustomSpotterEntitySheet();   // the sheet went away
    void setCustomSpotterEntitySearch(const QString &text);
    QString customSpotterHomeGrid() const;
    void setCustomSpotterHomeGrid(const QString &text);
    QString customSpotterRadius() const;
    void setCustomSpotterRadius(const QString &text);
    QString customSpotterDistanceUnit() const;
    void setCustomSpotterDistanceUnit(const QString &raw);
    bool canSelectSpotterEntitiesAutomatically() const;
    void selectSpotterEntitiesWithinRadius();
    void applyAutomaticSpotterEntitySelection(const QSet<int> &adifNumbers);
    QList<CTYEntity> selectedSpotterEntities() const;
    QList<CTYEntity> filterEntityList() const;
    void toggleSpotterEntity(int adifNumber);
    void clearSpotterEntityDraft();
    void cancelCustomSpotterEntities();
    void saveCustomSpotterEntities();
    void saveAndEnableCustomSpotterEntities();

    // RBN button and popover.
    bool draftRBNEnabled() const { return m_draftRBNEnabled; }
    const RBNModeSet &draftRBNModes() const { return m_draftRBNModes; }
    bool isRBNPopoverPresented() const { return m_rbnPopoverPresented; }
    void setRBNPopoverPresented(bool presented);
    void seedRBNDrafts();
    QString rbnButtonTitle() const;
    bool isRBNButtonEnabled() const;
    bool canRefreshRBNStatus() const;
    bool canApplyRBNSettings() const;
    void toggleRBNPopover();
    void setDraftRBNEnabled(bool enabled);
    void setDraftRBNMode(RBNMode mode, bool on);
    void toggleAllRBNModes();
    void refreshRBNStatus();
    void cancelRBNChanges();
    void applyRBNSettings();

    // --- Stored alerts.
    static QList<SpotAlertConfiguration>
    normalizedAlertConfigurations(const QList<SpotAlertConfiguration> &list);
    QList<SpotAlertConfiguration> loadAlertConfigurations() const
    {
        return m_alerts.loadAlertConfigurations();
    }
    QList<bool> loadAlertEnabledStates() const { return m_alerts.loadAlertEnabledStates(); }
    void saveAlertEnabledStates(const QList<bool> &flags)
    {
        m_alerts.saveAlertEnabledStates(flags);
    }
    void migrateStoredAlerts() { m_alerts.migrateStoredAlerts(); }
    NewSlotAlertConfiguration loadNewSlotAlertConfiguration() const;
    void saveNewSlotAlertConfiguration(const NewSlotAlertConfiguration &configuration);
    void saveNewSlotAlertRules(const QList<ClubLogEntitySlotRule> &rules);
    void loadNewSlotAlertRules();
    NewSlotAlertConfiguration migrateNewSlotAlertHighlightColour();
    bool isNewSlotRefreshDue(const QDateTime &now) const
    {
        return m_alerts.isNewSlotRefreshDue(now);
    }
    const QList<ClubLogEntitySlotRule> &newSlotAlertRules() const
    {
        return m_alerts.newSlotAlertRules();
    }
    void loadAlertEntities();
    const QList<CTYEntity> &alertEntities() const { return m_alertEntities; }
    const std::optional<QString> &alertEntityLoadError() const { return m_alertEntityLoadError; }

    // --- Matching and actions.
    bool matchesNewSlotAlert(const DXSpot &spot) const;
    bool spotMatchesEnabledAlert(const DXSpot &spot) const;
    // The spots of `spots`, in order, that match an enabled alert.
    QList<DXSpot> alertMatchingSpots(const QList<DXSpot> &spots) const;
    void processSpotAlerts(const DXSpot &spot);
    QHash<QUuid, SpotAlertColor> alertHighlightColors(const QList<DXSpot> &spots) const;
    const std::array<std::optional<SteadyTime>, alertSlotCount> &lastAlertSoundDates() const
    {
        return m_lastAlertSoundDates;
    }
    const std::optional<SteadyTime> &lastNewSlotAlertSoundDate() const
    {
        return m_lastNewSlotAlertSoundDate;
    }

    // --- Alert panels.
    void clearAllAlerts();
    void openAlertEditor(int slot);
    void closeAlertEditor();
    const std::optional<AlertEditorSession> &alertEditorSession() const
    {
        return m_alertEditorSession;
    }
    const SpotAlertConfiguration &alertDraft() const { return m_alertDraft; }
    void setAlertDraft(const SpotAlertConfiguration &draft);
    // Stores the draft in its slot and closes the editor; only `enable` switches the slot on.
    void saveAlertDraft(bool enable);
    NewSlotAlertConfiguration newSlotAlertRow();
    const NewSlotAlertConfiguration &newSlotAlertDraft() const { return m_newSlotAlertDraft; }
    void setNewSlotAlertDraft(const NewSlotAlertConfiguration &draft);
    // The sheet's Apply after a successful lookup: stores the draft (its rules go to their key).
    void storeNewSlotAlertDraft();

    bool isNewSlotAlertSheetPresented() const { return m_newSlotAlertSheetPresented; }
    bool isNewSlotAlertSummaryPresented() const { return m_newSlotAlertSummaryPresented; }
    bool isClubLogAlertSheetPresented() const { return m_clubLogAlertSheetPresented; }
    void setNewSlotAlertSheetPresented(bool presented);
    void setNewSlotAlertSummaryPresented(bool presented);
    void setClubLogAlertSheetPresented(bool presented);

    // The Populate sheet's choices.
    ClubLogWantedStatus clubLogWantedStatus = ClubLogWantedStatus::notWorked;
    QSet<ClubLogMode> clubLogModes{ClubLogMode::mixed};
    QSet<ClubLogBandGroup> clubLogBandGroups{ClubLogBandGroup::allBands};
    QSet<QString> clubLogIndividualBands;
    QSet<int> clubLogSelectedEntityADIFNumbers;
    QSet<QString> clubLogSelectedBands() const;
    // The band lists the alert panels offer, in display order.
    static const QStringList &hfBands();
    static const QStringList &vhfUHFBands();
    static const QStringList &microwaveBands();

    // --- Alert editor
    bool alertNameAcceptsFocus() const { return m_alertNameAcceptsFocus; }
    // The editor comes on screen: fresh draft, empty search and entry, focus on the next turn.
    void prepareAlertEditorDraft();
    QString defaultAlertName() const;
    // Every change of the name field; longer names are cut to their first 30 characters.
    void setAlertDraftName(const QString &name);
    bool alertDraftBandIsSelected(const QString &band) const;
    void setAlertDraftBand(const QString &band, bool on);
    bool alertDraftModeIsSelected(SpotType mode) const;
    void setAlertDraftMode(SpotType mode, bool on);
    bool alertDraftSoundFrequencyIs(AlertSoundFrequency option) const;
    void setAlertDraftSoundFrequency(AlertSoundFrequency option, bool on);
    bool alertDraftHasAllBands() const;
    void toggleAllAlertBands();
    void toggleAlertBandGroup(const QStringList &bands);
    void toggleAllAlertModes();
    bool alertDraftHasAllActions() const;
    void toggleAllAlertActions();
    void setAlertDraftHighlightRows(bool on);
    void setAlertDraftHighlightColor(const SpotAlertColor &color);
    void setAlertDraftPlaySound(bool on);
    void setAlertDraftSoundChoice(AlertSoundChoice choice);
    void setAlertDraftShowNotification(bool on);
    // Plays the menu's choice now, saved or not, ignoring the alert throttle.
    void playAlertDraftSound();
    // A hand edit of bands, modes or entities invalidates the slots Club Log chose.
    void dropClubLogSlotRulesFromDraft();
    // "Clear All" is disabled exactly when this holds.
    bool isAlertDraftClear() const;
    // Resets the draft and stores the slot's flag as off at once.
    void clearAlertDraft();
    void cancelAlertEditor() { closeAlertEditor(); }
    void openClubLogAlertSheet();
    QString alertEditorSelectionSummary() const;
    QStringList alertEditorClubLogSlotLines() const;
    const QString &alertEntitySearch() const { return m_alertEntitySearch; }
    void setAlertEntitySearch(const QString &text);
    void clearAlertEntitySearch() { setAlertEntitySearch(QString()); }
    QList<CTYEntity> selectedAlertEntities() const;
    QList<CTYEntity> searchedUnselectedAlertEntities() const;
    void toggleAlertEntity(int adifNumber);
    std::optional<CTYEntity> clubLogAlertEntity() const;
    const QString &alertCallsignEntry() const { return m_alertCallsignEntry; }
    void setAlertCallsignEntry(const QString &text);
    std::optional<QString> sanitizeAlertCallsignEntry() const;
    void addAlertCallsignEntry();
    void removeAlertCallsign(const QString &pattern);
    QStringList sortedAlertCallsigns() const;

    // --- Populate from Club Log
    // The sheet comes on screen: choices from the draft's Club Log part, explanation scheduled.
    void loadClubLogSheetState();
    void closeClubLogAlertSheet() { setClubLogAlertSheetPresented(false); }
    bool isClubLogExplanationPresented() const { return m_clubLogExplanationPresented; }
    bool clubLogExplanationDontShowAgain() const { return m_clubLogExplanationDontShowAgain; }
    void setClubLogExplanationDontShowAgain(bool on);
    void dismissClubLogExplanation();
    // How long after appearing the sheet offers its explanation.
    void setClubLogExplanationDelay(std::chrono::milliseconds delay)
    {
        m_clubLogExplanationDelay = delay;
    }
    bool clubLogWantedStatusIs(ClubLogWantedStatus status) const;
    void setClubLogWantedStatus(ClubLogWantedStatus status, bool on);
    bool clubLogModeIsSelected(ClubLogMode mode) const;
    void setClubLogMode(ClubLogMode mode, bool on);
    bool clubLogBandIsSelected(const QString &band) const;
    void setClubLogBand(const QString &band, bool on);
    void toggleAllClubLogBands();
    void toggleClubLogHFBands();
    void toggleClubLogVHFUHFBands();
    void toggleClubLogMicrowaveBands();
    void toggleClubLogEntity(int adifNumber);
    void clearClubLogEntitySelection();
    QList<CTYEntity> clubLogSelectedEntities() const;
    QList<CTYEntity> clubLogFilteredEntities() const;
    const QString &clubLogEntitySearch() const { return m_clubLogEntitySearch; }
    void setClubLogEntitySearch(const QString &text);
    void clearClubLogEntitySearch() { setClubLogEntitySearch(QString()); }

    // --- Club Log lookups.
    bool isClubLogLookupInProgress() const { return m_clubLogLookupInProgress; }
    const std::optional<QString> &clubLogLookupMessage() const { return m_clubLogLookupMessage; }
    bool clubLogLookupFailed() const { return m_clubLogLookupFailed; }
    void applyNewSlotAlertDraft(bool showSummary = true);
    void runNewSlotSheetLookupTask(const ClubLogCredentials &credentials, const QString &apiKey,
                                   const QList<ClubLogMode> &modes, const QSet<int> &entities,
                                   ClubLogWantedStatus wantedStatus, const QSet<QString> &bands,
                                   bool showSummary);
    void populateFromClubLog();
    void refreshNewSlotLookup(bool force);
    void refreshNewSlotLookupWithCompletion(bool force, std::function<void()> completion);
    bool isNewSlotRefreshRunning() const { return m_refreshLookup != nullptr; }

    // --- Spot Alerts sidebar and New Slot sheet
    // The sidebar rows: every call reads the stored alerts afresh.
    bool alertsAreAtDefaults() const;
    bool isClearAllAlertsConfirmationPresented() const
    {
        return m_clearAllAlertsConfirmationPresented;
    }
    void setClearAllAlertsConfirmationPresented(bool presented);
    QString alertDisplayName(int slot) const;
    QString alertEntitySummary(int slot) const;
    QString alertSlotSummary(int slot) const;
    QString alertActionSummary(int slot) const;
    bool alertIsEnabled(int slot) const;
    void setAlertEnabled(int slot, bool enabled);
    bool newSlotAlertEnabled() const;
    void setNewSlotAlertEnabled(bool enabled);
    // Seeds the draft from the stored (colour-migrated) configuration and shows the summary face.
    void openNewSlotAlertSheet();
    // The form's bindings: each changes only the draft.
    bool newSlotDraftModeIsSelected(ClubLogMode mode) const;
    void setNewSlotDraftMode(ClubLogMode mode, bool on);
    void selectAllNewSlotModes();
    bool newSlotDraftBandIsSelected(const QString &band) const;
    void setNewSlotDraftBand(const QString &band, bool on);
    void toggleAllNewSlotBands();
    void toggleNewSlotBandGroup(const QStringList &group);
    void toggleNewSlotHFBands();
    SpotAlertColor newSlotDraftHighlightColor() const;
    void setNewSlotDraftHighlightColor(const SpotAlertColor &colour);
    bool newSlotDraftSoundFrequencyIs(AlertSoundFrequency frequency) const;
    void setNewSlotDraftSoundFrequency(AlertSoundFrequency frequency, bool on);
    void newSlotNotificationToggleChanged(bool on);
    void toggleAllNewSlotActions();
    void previewNewSlotAlertSound();
    void resetNewSlotAlertDraft();
    // The form's Cancel and the summary's four buttons.
    void cancelNewSlotAlertSheet();
    void showNewSlotClubLogConfiguration();
    void cancelNewSlotAlertSummary();
    void saveNewSlotAlertDraft();
    void saveAndEnableNewSlotAlert();

    // --- New Slot refresh schedule.
    void handleInitialNewSlotRefresh();
    void handleNewSlotRefreshTimer();
    void runPendingNewSlotRefresh();
    bool newSlotRefreshPending() const { return m_newSlotRefreshPending; }
    bool newSlotInitialRefreshCompleted() const { return m_newSlotInitialRefreshCompleted; }

    // --- Window: tabs, search, command field, status bar, connect, empty state, warnings
    // (ContentView_Window.cpp)
    using QObject::connect;
    AppSettingsStore &settingsStore() const { return m_settings; }
    void setOnOpenSettings(std::function<void()> action) { m_onOpenSettings = std::move(action); }
    void openSettings();
    // The table shows the Alerts Only list; kept while the Console tab is shown.
    bool alertsOnlyTableIsSelected() const { return m_alertsOnlyTableIsSelected; }
    void postMainTabChanged() const;
    bool sidebarIsVisible() const { return m_sidebarIsVisible; }
    void setSidebarIsVisible(bool visible);
    bool alertSidebarIsVisible() const { return m_alertSidebarIsVisible; }
    void setAlertSidebarIsVisible(bool visible);
    const QString &command() const { return m_command; }
    void setCommand(const QString &text);
    bool canSendCommand() const;
    void sendCommand();
    StatusColor statusColor() const;
    QString statusText() const;
    // "host:port" of the node in use, or of the settings while the connection has none.
    QString nodeAddressText() const;
    ConnectButtonRole connectButtonRole() const;
    void pressConnectButton();
    void connect(ConnectionOrigin origin);
    void manualDisconnect();
    void clearSpots();
    bool hasConfiguredCallsign() const;
    bool hasConfiguredNode() const;
    EmptyStateContent emptyState() const;
    void runEmptyStateAction(EmptyStateAction action);
    void fixUnsupportedNode();
    void continueWithReducedFeatures();
    void continueAndDontAskAgain();
    void clearUpstreamFilters();
    void keepUpstreamFilters();
    void keepUpstreamFiltersAndDontAskAgain();
    void dismissSpotSubmissionAlert();
    void dismissAutoReconnectAlert();
    void reconnectWithCallsign(const QString &callsign);

Q_SIGNALS:
    // Sidebars or command text changed.
    void windowStateChanged();

private:
    std::function<void()> m_onOpenSettings;
    // Runs the tab change: the table's list and the notice to the shell.
    void handleTabChange();
    bool m_alertsOnlyTableIsSelected = false;
    bool m_sidebarIsVisible = false;
    bool m_alertSidebarIsVisible = false;
    QString m_command;

Q_SIGNALS:
    // The stored alerts, their rules or the sound throttles changed.
    void alertsChanged();
    void alertEntitiesChanged();
    void alertEditorChanged();
    void alertDraftChanged();
    void newSlotAlertDraftChanged();
    void presentationChanged();
    void clubLogLookupStateChanged();
    void newSlotRefreshStateChanged();
    // The editor's own fields: name focus gate, entity search, callsign entry.
    void alertEditorFieldsChanged();
    // The Populate sheet's choices, search or explanation.
    void clubLogSheetChanged();
    // --- Spot filters, lists and pausing: one signal per group, for a coalesced refresh.
    void spotFiltersChanged();
    // The connection's spot list changed (a spot arrived, the list was cleared).
    void spotsChanged();
    // Pause flags, snapshots, buffers and scrollToTopRequest.
    void pauseStateChanged();
    void selectedTabChanged();
    void spotCallsignSearchChanged();
    // Popover flags, sheet sessions, their drafts, entries and messages.
    void filterPanelsChanged();
    void rbnDraftsChanged();

private:
    // The alerts as stored now, read once for a batch of spots.
    struct AlertSnapshot {
        std::shared_ptr<const AlertMatcher> matcher;
        QList<bool> flags;
        bool newSlotEnabled = false;
    };
    AlertSnapshot alertSnapshot() const;
    bool matchesEnabledAlert(const AlertSnapshot &snapshot, const DXSpot &spot) const;

    // --- Alert marks: the row colours and Alerts Only matches, remembered per spot
    struct HighlightRules {
        bool anyActive = false;
        bool callsignActive = false;
        std::array<bool, alertSlotCount> slotActive{};
        bool newSlotEnabled = false;
        NewSlotAlertConfiguration newSlot;
    };
    HighlightRules highlightRules(const AlertSnapshot &snapshot) const;
    std::optional<SpotAlertColor> highlightColor(const AlertSnapshot &snapshot,
                                                 const HighlightRules &rules,
                                                 const DXSpot &spot) const;
    struct AlertMarking {
        AlertSnapshot snapshot;
        HighlightRules rules;
    };
    // The alerts as stored now.
    AlertMarking alertMarking() const;
    SpotAlertMark alertMark(const AlertMarking &marking, const DXSpot &spot) const;
    // Sends, notifies and sounds for a spot that passes the local filters; true when an enabled
    // alert matches it.
    bool processPassingSpotAlerts(const AlertSnapshot &snapshot, const DXSpot &spot);
    QString udpFeedMode() const;
    void sendToUdpFeed(const QString &rawLine);
    bool soundGranted(const std::optional<SteadyTime> &last, SteadyTime now) const;
    void setLookupState(bool inProgress, bool failed, std::optional<QString> message);
    std::optional<QString> accountCheck(ClubLogCredentials &credentials) const;
    void finishInitialRefresh();
    static void retire(std::unique_ptr<ClubLogChartLookup> &lookup);

    AppSettingsStore &m_settings;
    QPointer<ClusterConnection> m_cluster;
    AlertNotificationManager &m_notifications;
    AlertSoundPlayer &m_sounds;
    const Clock &m_clock;
    HttpClient &m_http;
    ClubLogService m_clubLog;
    const LoTWActivityLookup &m_lotw;
    std::function<QString()> m_udpFeedMode;
    std::function<void(const QString &)> m_sendToUdpFeed;
    AlertStore m_alerts;

    // --- Filter panels
    GridDXCCDatabase &m_grid;
    bool m_filtersPopoverPresented = false;
    std::optional<CustomInfoFilterSession> m_customInfoFilterSession;
    QStringList m_customInfoFilterDraft;
    QString m_customInfoFilterEntry;
    std::optional<CustomSpotterEntitySession> m_customSpotterEntitySession;
    QSet<int> m_customSpotterEntityDraft;
    QString m_customSpotterEntitySearch;
    bool m_selectingSpotterEntities = false;
    std::optional<QString> m_spotterSelectionMessage;
    bool m_retainingGridTables = false;
    bool m_draftRBNEnabled = false;
    RBNModeSet m_draftRBNModes;
    bool m_rbnPopoverPresented = false;
    qint64 m_seededRBNStateVersion = 0;

    // --- Spot filters, lists and pausing
    void handleSettingChanged(const QString &key);
    void filterStateChanged();
    const LocalSpotFilter &currentFilter() const;
    void bufferSpot(const DXSpot &spot, bool passes);
    void noteAlertSpot(const QUuid &id);
    void pruneBufferedAlertSpotIDs() const;
    void replayBufferedSpots(const QList<DXSpot> &spots);

    // --- The lists, in step with the connection's list (ContentView_ListEntries.cpp)
    // What the lists know of one spot of the connection's list.
    struct ListEntry {
        QUuid id;
        bool passes = false;     // the local filter's verdict
        bool displayed = false;  // a row of the Spots list
        bool alertsOnly = false; // a row of the Alerts Only list
        bool marked = false;     // `mark` is known (passing spots only)
        SpotAlertMark mark;
    };
    // How one list changed since it was last handed out: rows [kept, size) of the list handed out
    // are gone and size - kept rows came in front, unless the list must be taken whole.
    struct ListDelta {
        bool whole = true;
        qsizetype kept = 0;
    };
    struct ListContext;
    const QList<DXSpot> &clusterSpots() const;
    void syncLists() const;
    bool alignListEntries(const QList<DXSpot> &spots, ListContext &context) const;
    void evaluateListEntry(ListEntry &entry, const DXSpot &spot, ListContext &context,
                           bool filterVerdict) const;
    void countListEntry(const ListEntry &entry, int sign) const;
    void listsChanged() { m_listsStale = true; }
    // The rows of one list, newest first; at most `limit` of them.
    QList<DXSpot> listRows(bool alertsOnly, qsizetype limit = -1,
                           QHash<QUuid, SpotAlertColor> *colours = nullptr) const;
    QString spotCountLabel(qsizetype filtered, qsizetype alertsOnly, qsizetype total) const;
    void setListCounts(SpotListsSnapshot &snapshot, qsizetype total) const;

    mutable std::deque<ListEntry> m_listEntries; // the connection's list, newest first
    mutable bool m_listsStale = true;            // search, pause or alerts changed
    mutable quint64 m_listFilterGeneration = 0;  // of the verdicts in m_listEntries
    // The connection's list changed other than by a published live spot in front (cleared,
    // back-filled, records looked up again under their ids): the entries are rebuilt.
    mutable int m_unexplainedSpotChanges = 1;
    mutable std::optional<std::pair<quint64, quint64>> m_alertInputsKey;
    mutable std::optional<SpotAlertMarkInputs> m_alertInputs;
    mutable qsizetype m_filteredCount = 0;
    mutable std::array<qsizetype, 2> m_listSizes{}; // Spots, Alerts Only
    mutable std::array<ListDelta, 2> m_listDeltas;

    LocalSpotFilterState m_filterState;
    mutable std::unique_ptr<const LocalSpotFilter> m_compiledFilter;
    quint64 m_filterGeneration = 0;
    MainTab m_selectedTab = MainTab::spots;
    QString m_spotCallsignSearch;
    bool m_isManuallyPaused = false;
    bool m_isAutomaticallyPaused = false;
    QSet<QUuid> m_pausedSpotIDs;
    QList<DXSpot> m_bufferedSpots;
    bool m_isAlertsManuallyPaused = false;
    bool m_isAlertsAutomaticallyPaused = false;
    QSet<QUuid> m_pausedAlertSpotIDs;
    mutable QSet<QUuid> m_bufferedAlertSpotIDs;
    int m_scrollToTopRequest = 0;
    // How many buffered spots pass the filter of generation m_bufferedCountGeneration.
    mutable int m_bufferedPassingCount = 0;
    mutable std::optional<quint64> m_bufferedCountGeneration;
    // While a resume replays its buffer, per alert (slots, then New Slot): whether it sounded,
    // and the notification it will post once the replay ends (its latest spot and how many
    // spots it matched), so that a long pause does not end in a flood of notifications.
    struct ReplayedNotice {
        DXSpot latest;
        QString title;
        int count = 0;
    };
    struct AlertReplay {
        std::array<bool, alertSlotCount + 1> sounded{};
        std::array<std::optional<ReplayedNotice>, alertSlotCount + 1> notices;
        QList<int> noticeOrder; // alerts in the order of their first match
    };
    std::optional<AlertReplay> m_replay;
    void notifySpot(int alert, const DXSpot &spot, const QString &title);

    std::array<std::optional<SteadyTime>, alertSlotCount> m_lastAlertSoundDates{};
    std::optional<SteadyTime> m_lastNewSlotAlertSoundDate;

    QList<CTYEntity> m_alertEntities;
    std::optional<QString> m_alertEntityLoadError;

    std::optional<AlertEditorSession> m_alertEditorSession;
    SpotAlertConfiguration m_alertDraft;
    NewSlotAlertConfiguration m_newSlotAlertDraft;
    bool m_newSlotAlertSheetPresented = false;
    bool m_newSlotAlertSummaryPresented = false;
    bool m_clubLogAlertSheetPresented = false;

    bool m_clubLogLookupInProgress = false;
    std::optional<QString> m_clubLogLookupMessage;
    bool m_clubLogLookupFailed = false;
    // The panel lookup and the automatic refresh run independently; destroying them aborts their
    // requests and drops their completions.
    std::unique_ptr<ClubLogChartLookup> m_panelLookup;
    std::unique_ptr<ClubLogChartLookup> m_refreshLookup;
    // Bumped by every change that a running refresh must not overwrite.
    quint64 m_newSlotGeneration = 0;

    // --- Spot Alerts sidebar and New Slot sheet
    bool m_clearAllAlertsConfirmationPresented = false;
    // Bumped at every opening of the New Slot sheet; a lookup result belongs to one opening.
    quint64 m_newSlotSheetOpening = 0;

    bool m_newSlotRefreshPending = false;
    bool m_newSlotInitialRefreshCompleted = false;
    QTimer m_newSlotRefreshAgeCheckTimer;

    // --- Alert editor
    void editAlertDraft(const std::function<void(SpotAlertConfiguration &)> &edit);
    bool m_alertNameAcceptsFocus = false;
    QString m_alertEntitySearch;
    QString m_alertCallsignEntry;

    // --- Populate from Club Log
    void editClubLogBands(const std::function<void(ClubLogBandSelection &)> &edit);
    // Hides the Populate sheet and its explanation, and bumps the sheet generation.
    void endClubLogAlertSheet();
    bool m_clubLogExplanationPresented = false;
    bool m_clubLogExplanationDontShowAgain = false;
    QString m_clubLogEntitySearch;
    std::chrono::milliseconds m_clubLogExplanationDelay{200};
    // Bumped whenever the sheet closes, so a pending explanation never opens over a later one.
    quint64 m_clubLogSheetGeneration = 0;
};

} // namespace varnello
