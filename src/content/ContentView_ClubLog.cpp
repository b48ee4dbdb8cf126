// Club Log lookups: the New Slot sheet's lookup, the automatic New Slot refresh and its schedule,
// and "Populate from Club Log" for an alert slot.
#include "ContentView.h"

#include "AppSettingsStore.h"
#include "Clock.h"
#include "NewSlotRules.h"
#include "SettingsKeys.h"

namespace varnello {

namespace {

QSet<int> adifNumbers(const QList<CTYEntity> &entities)
{
    QSet<int> numbers;
    numbers.reserve(entities.size());
    for (const CTYEntity &entity : entities)
        numbers.insert(entity.adifNumber);
    return numbers;
}

QString newSlotChoicesChangedText(bool showSummary)
{
    return QStringLiteral("The needed-for choice, modes or bands changed while Club Log was "
                          "being asked. Press %1 again to look up the ones shown.")
        .arg(showSummary ? QStringLiteral("Apply") : QStringLiteral("Refresh"));
}

} // namespace

void ContentView::retire(std::unique_ptr<ClubLogChartLookup> &lookup)
{
    // Its completion is still on the stack: delete it on a later turn.
    if (lookup)
        lookup.release()->deleteLater();
}

std::optional<QString> ContentView::accountCheck(ClubLogCredentials &credentials) const
{
    if (m_clubLog.apiKey.isEmpty())
        return QString(noClubLogApiKeyText);
    credentials.callsign = m_settings.string(SettingsKeys::clubLogCallsign).trimmed();
    credentials.email = m_settings.string(SettingsKeys::clubLogEmail).trimmed();
    credentials.password = m_settings.string(SettingsKeys::clubLogAppPassword).trimmed();
    if (credentials.callsign.isEmpty())
        return QStringLiteral("No Club Log callsign has been entered in Settings.");
    if (credentials.email.isEmpty())
        return QStringLiteral("No Club Log email address has been entered in Settings.");
    if (credentials.password.isEmpty())
        return QStringLiteral("No Club Log application password has been entered in Settings.");
    return std::nullopt;
}

// --- The New Slot sheet --------------------------------------------------------------------------

void ContentView::applyNewSlotAlertDraft(bool showSummary)
{
    if (m_clubLogLookupInProgress)
        return;
    ClubLogCredentials credentials;
    if (const auto failure = accountCheck(credentials)) {
        setLookupState(false, true, *failure);
        return;
    }
    QSet<QString> bands;
    for (const QString &band : m_newSlotAlertDraft.bands) {
        if (clubLogBandKey(band))
            bands.insert(band);
    }
    if (bands.isEmpty()) {
        setLookupState(false, true, QStringLiteral("Select at least one band."));
        return;
    }
    const QList<ClubLogMode> modes = newSlotLookupModes(m_newSlotAlertDraft.modes);
    if (modes.isEmpty()) {
        setLookupState(false, true, QStringLiteral("Select at least one mode."));
        return;
    }
    // Without entities the lookup would succeed with no rules, and saving that would replace
    // good stored rules by none.
    loadAlertEntities();
    if (m_alertEntities.isEmpty()) {
        setLookupState(false, true,
                       m_alertEntityLoadError.value_or(
                           QStringLiteral("The DXCC entity list is not available.")));
        return;
    }
    runNewSlotSheetLookupTask(credentials, m_clubLog.apiKey, modes, adifNumbers(m_alertEntities),
                              m_newSlotAlertDraft.wantedStatus, m_newSlotAlertDraft.bands,
                              showSummary);
}

void ContentView::runNewSlotSheetLookupTask(const ClubLogCredentials &credentials,
                                            const QString &apiKey, const QList<ClubLogMode> &modes,
                                            const QSet<int> &entities,
                                            ClubLogWantedStatus wantedStatus,
                                            const QSet<QString> &bands, bool showSummary)
{
    ClubLogService service = m_clubLog;
    service.apiKey = apiKey;
    // The result belongs to this opening of the sheet only.
    const quint64 opening = m_newSlotSheetOpening;
    setLookupState(true, false, std::nullopt);
    m_panelLookup = std::make_unique<ClubLogChartLookup>(m_http, service, this);
    m_panelLookup->start(
        credentials, modes,
        [this, modes, entities, wantedStatus, bands, showSummary,
         opening](const ClubLogChartLookup::Result &r) {
            retire(m_panelLookup);
            // A summary flag left set behind a closed sheet would hold back
            // the automatic refresh for good.
            if (!m_newSlotAlertSheetPresented || opening != m_newSlotSheetOpening) {
                setLookupState(false, false, std::nullopt);
                return;
            }
            if (!r.charts) {
                setLookupState(false, true, clubLogLookupFailureMessage(*r.error));
                return;
            }
            // Rules saved beside a needed-for choice, modes or bands they were not built for
            // would match other spots than the summary says.
            const NewSlotAlertConfiguration &shown = m_newSlotAlertDraft;
            if (shown.wantedStatus != wantedStatus || shown.bands != bands ||
                newSlotLookupModes(shown.modes) != modes) {
                setLookupState(false, true, newSlotChoicesChangedText(showSummary));
                return;
            }
            NewSlotAlertConfiguration draft = m_newSlotAlertDraft;
            draft.entitySlotRules =
                clubLogEntitySlotRules(entities, *r.charts, modes, wantedStatus, bands);
            const ClubLogNeededCounts counts =
                clubLogNeededCounts(entities, *r.charts, modes, wantedStatus, bands);
            draft.neededEntityCount = counts.neededEntityCount;
            draft.neededSlotCount = counts.neededSlotCount;
            draft.lastSuccessfulRefresh = m_clock.now();
            setNewSlotAlertDraft(draft);
            setLookupState(false, false, std::nullopt);
            if (showSummary)
                setNewSlotAlertSummaryPresented(true);
        });
}

// --- Populate from Club Log ----------------------------------------------------------------------

void ContentView::populateFromClubLog()
{
    if (m_clubLogLookupInProgress)
        return;
    ClubLogCredentials credentials;
    if (const auto failure = accountCheck(credentials)) {
        setLookupState(false, true, *failure);
        return;
    }
    const QSet<int> chosenEntities = clubLogSelectedEntityADIFNumbers;
    const QList<ClubLogMode> modes = clubLogPopulateModes(clubLogModes, !chosenEntities.isEmpty());
    if (modes.isEmpty()) {
        setLookupState(false, true, QStringLiteral("Select at least one Club Log mode."));
        return;
    }
    const QSet<QString> bands = clubLogSelectedBands();
    // With no band ticked the stored groups would read as every band, the opposite of the choice.
    if (bands.isEmpty()) {
        setLookupState(false, true, QStringLiteral("Select at least one band."));
        return;
    }
    const ClubLogWantedStatus wantedStatus = clubLogWantedStatus;
    const QSet<ClubLogMode> sheetModes = clubLogModes;
    QSet<ClubLogBandGroup> bandGroups = clubLogBandGroups;
    const QSet<QString> individualBands = clubLogIndividualBands;
    if (bandGroups.isEmpty() && individualBands.isEmpty())
        bandGroups = {ClubLogBandGroup::allBands};
    static const QString nothingNeeded =
        QStringLiteral("Club Log shows no needed DXCC entities for these choices.");
    if (chosenEntities.isEmpty()) {
        loadAlertEntities();
        // Club Log has not been asked yet: say why there is nothing to look up.
        if (m_alertEntities.isEmpty()) {
            setLookupState(false, true,
                           m_alertEntityLoadError.value_or(
                               QStringLiteral("The DXCC entity list is not available.")));
            return;
        }
    }
    // The result belongs to this opening of the editor only.
    const std::optional<QUuid> session =
        m_alertEditorSession ? std::optional<QUuid>(m_alertEditorSession->id) : std::nullopt;
    // ... and to this showing of the sheet: after Cancel the draft stays as the user left it.
    const quint64 sheetGeneration = m_clubLogSheetGeneration;

    setLookupState(true, false, std::nullopt);
    m_panelLookup = std::make_unique<ClubLogChartLookup>(m_http, m_clubLog, this);
    m_panelLookup->start(credentials, modes, [=, this](const ClubLogChartLookup::Result &r) {
        retire(m_panelLookup);
        if (!session || !m_alertEditorSession || m_alertEditorSession->id != *session ||
            !m_clubLogAlertSheetPresented || sheetGeneration != m_clubLogSheetGeneration) {
            setLookupState(false, false, std::nullopt);
            return;
        }
        if (!r.charts) {
            setLookupState(false, true, clubLogLookupFailureMessage(*r.error));
            return;
        }
        SpotAlertConfiguration draft = m_alertDraft;
        ClubLogAlertSettings settings;
        settings.wantedStatus = wantedStatus;
        settings.modes = sheetModes;
        settings.bandGroups = bandGroups;
        settings.individualBands = individualBands;
        if (chosenEntities.isEmpty()) {
            std::optional<QSet<int>> needed;
            for (ClubLogMode mode : modes) {
                const QSet<int> inMode =
                    clubLogNeededEntities(r.charts->value(mode), wantedStatus, m_alertEntities);
                needed = needed ? needed->intersect(inMode) : inMode;
            }
            // An empty set would make an alert that matches every spot.
            if (!needed || needed->isEmpty()) {
                setLookupState(false, true, nothingNeeded);
                return;
            }
            draft.selectedEntityADIFNumbers = *needed;
            draft.selectedModes = clubLogSpotTypes(sheetModes);
            draft.selectedBands = bands;
        } else {
            const QList<ClubLogEntitySlotRule> rules =
                clubLogEntitySlotRules(chosenEntities, *r.charts, modes, wantedStatus, bands);
            QSet<QString> ruleBands;
            QSet<SpotType> ruleModes;
            for (const ClubLogEntitySlotRule &rule : rules) {
                for (const ClubLogAlertSlot &slot : rule.slotSet) {
                    ruleBands.insert(slot.band);
                    ruleModes.insert(slot.mode);
                }
            }
            draft.selectedEntityADIFNumbers = chosenEntities;
            draft.selectedBands = ruleBands;
            draft.selectedModes = ruleModes;
            settings.entityFilterADIFNumbers = chosenEntities;
            settings.entitySlotRules = rules;
        }
        draft.highlightRows = true;
        draft.clubLogSettings = settings;
        setAlertDraft(draft);
        setLookupState(false, false, std::nullopt);
        setClubLogAlertSheetPresented(false);
    });
}

// --- Automatic New Slot refresh ------------------------------------------------------------------

void ContentView::refreshNewSlotLookup(bool force)
{
    refreshNewSlotLookupWithCompletion(force, nullptr);
}

void ContentView::refreshNewSlotLookupWithCompletion(bool force, std::function<void()> completion)
{
    const auto startNothing = [&completion] {
        if (completion)
            completion();
    };
    // One refresh at a time: a second one would race the first to the stored rules.
    if (m_refreshLookup)
        return startNothing();
    if (!force && !m_alerts.isNewSlotRefreshDue(m_clock.now()))
        return startNothing();
    const NewSlotAlertConfiguration configuration = m_alerts.loadNewSlotAlertConfiguration();
    if (!m_alerts.newSlotAlertEnabled() || !configuration.lastSuccessfulRefresh ||
        m_alerts.newSlotAlertRules().isEmpty() || m_clubLogLookupInProgress)
        return startNothing();
    ClubLogCredentials credentials;
    if (accountCheck(credentials))
        return startNothing();
    const QList<ClubLogMode> modes = newSlotLookupModes(configuration.modes);
    if (configuration.bands.isEmpty() || modes.isEmpty())
        return startNothing();
    loadAlertEntities();
    if (m_alertEntities.isEmpty())
        return startNothing();

    const QSet<int> entities = adifNumbers(m_alertEntities);
    // What the refresh replaces: if anyone stores New Slot settings meanwhile, its result is stale.
    const quint64 generation = m_newSlotGeneration;
    const QByteArray storedConfiguration = m_settings.data(SettingsKeys::newSlotAlertConfiguration);
    const QByteArray storedLookup = m_settings.data(SettingsKeys::newSlotAlertLookup);

    m_refreshLookup = std::make_unique<ClubLogChartLookup>(m_http, m_clubLog, this);
    emit newSlotRefreshStateChanged();
    m_refreshLookup->start(credentials, modes, [=, this](const ClubLogChartLookup::Result &r) {
        retire(m_refreshLookup);
        const bool unchanged =
            generation == m_newSlotGeneration &&
            sameStoredBytes(storedConfiguration,
                            m_settings.data(SettingsKeys::newSlotAlertConfiguration)) &&
            sameStoredBytes(storedLookup, m_settings.data(SettingsKeys::newSlotAlertLookup));
        // A failure changes nothing: the old rules stay and the next check tries again.
        if (r.charts && unchanged) {
            const QList<ClubLogEntitySlotRule> rules = clubLogEntitySlotRules(
                entities, *r.charts, modes, configuration.wantedStatus, configuration.bands);
            const ClubLogNeededCounts counts = clubLogNeededCounts(
                entities, *r.charts, modes, configuration.wantedStatus, configuration.bands);
            NewSlotAlertConfiguration updated = m_alerts.loadNewSlotAlertConfiguration();
            updated.entitySlotRules.reset();
            updated.neededEntityCount = counts.neededEntityCount;
            updated.neededSlotCount = counts.neededSlotCount;
            updated.lastSuccessfulRefresh = m_clock.now();
            if (m_alerts.saveNewSlotAlertRules(rules))
                m_alerts.saveNewSlotAlertConfiguration(updated);
            emit alertsChanged();
        }
        emit newSlotRefreshStateChanged();
        if (completion)
            completion();
    });
}

// --- Refresh schedule ----------------------------------------------------------------------------

void ContentView::finishInitialRefresh()
{
    refreshNewSlotLookupWithCompletion(true, [this] {
        m_newSlotInitialRefreshCompleted = true;
        emit newSlotRefreshStateChanged();
    });
}

void ContentView::handleInitialNewSlotRefresh()
{
    if (m_newSlotAlertSheetPresented || m_newSlotAlertSummaryPresented) {
        m_newSlotRefreshPending = true;
        emit newSlotRefreshStateChanged();
        return;
    }
    finishInitialRefresh();
}

void ContentView::handleNewSlotRefreshTimer()
{
    if (!m_newSlotInitialRefreshCompleted || !m_alerts.isNewSlotRefreshDue(m_clock.now()))
        return;
    if (m_newSlotAlertSheetPresented || m_newSlotAlertSummaryPresented) {
        m_newSlotRefreshPending = true;
        emit newSlotRefreshStateChanged();
        return;
    }
    refreshNewSlotLookup(false);
}

void ContentView::runPendingNewSlotRefresh()
{
    if (m_newSlotAlertSheetPresented || m_newSlotAlertSummaryPresented || !m_newSlotRefreshPending)
        return;
    m_newSlotRefreshPending = false;
    emit newSlotRefreshStateChanged();
    finishInitialRefresh();
}

} // namespace varnello
