#pragma once

#include "AlertModel.h"
#include "AlertStore.h"
#include "CTYResult.h"
#include "ClubLogLookup.h"
#include "DXSpot.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QUuid>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace varnello {

class AlertNotificationManager;
class AlertSoundPlayer;
class AppSettingsStore;
class Clock;
class ClusterConnection;
class HttpClient;
struct ClubLogBandSelection;

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
    // The main window's local spot filters; empty lets every spot pass.
    std::function<bool(const DXSpot &)> localFilter;
    // The UDP feed's mode and its sender; empty takes the cluster connection's.
    std::function<QString()> udpFeedMode;
    std::function<void(const QString &rawLine)> sendToUdpFeed;
    // How often the age of the New Slot rules is checked.
    std::chrono::milliseconds newSlotRefreshCheckInterval{60'000};
    // Whether to listen for "VarnelloInitialNewSlotRefresh" on the notification hub.
    bool observeNotificationHub = true;
};

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

    // --- Spots from the connection.
    void handleLiveSpot(const DXSpot &spot);
    void setSpotListPaused(bool paused);
    bool isSpotListPaused() const { return m_spotListPaused; }
    void resumeSpots();
    const QList<DXSpot> &bufferedSpots() const { return m_bufferedSpots; }
    bool spotPassesLocalFilters(const DXSpot &spot) const;
    void setLocalFilter(std::function<bool(const DXSpot &)> filter);

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
    // The Alerts Only list: the spots, in order, that match an enabled alert.
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

private:
    // The alerts as stored now, read once for a batch of spots.
    struct AlertSnapshot {
        std::shared_ptr<const AlertMatcher> matcher;
        QList<bool> flags;
        bool newSlotEnabled = false;
    };
    AlertSnapshot alertSnapshot() const;
    bool matchesEnabledAlert(const AlertSnapshot &snapshot, const DXSpot &spot) const;
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
    std::function<bool(const DXSpot &)> m_localFilter;
    std::function<QString()> m_udpFeedMode;
    std::function<void(const QString &)> m_sendToUdpFeed;
    AlertStore m_alerts;

    bool m_spotListPaused = false;
    QList<DXSpot> m_bufferedSpots;

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
    bool m_clubLogExplanationPresented = false;
    bool m_clubLogExplanationDontShowAgain = false;
    QString m_clubLogEntitySearch;
    std::chrono::milliseconds m_clubLogExplanationDelay{200};
    // Bumped whenever the sheet closes, so a pending explanation never opens over a later one.
    quint64 m_clubLogSheetGeneration = 0;
};

} // namespace varnello
