// The Spots and Alerts Only lists and the count label. The lists follow the connection's list
// entry by entry: each spot's filter verdict and alert mark are worked out when it arrives, and
// again for every spot only when what they depend on changes (a filter, the search, a pause, the
// alerts, records rewritten under their ids), so a refresh costs what changed since the previous
// one.
#include "AppSettingsStore.h"
#include "ClusterConnection.h"
#include "ContentView.h"

namespace varnello {

namespace {

const QList<DXSpot> &noSpots()
{
    static const QList<DXSpot> empty;
    return empty;
}

QString ofTotal(qsizetype shown, qsizetype total)
{
    return QString::number(shown) + QLatin1String(" of ") + QString::number(total) +
           QLatin1String(" spots");
}

} // namespace

// --- Lists ---------------------------------------------------------------------------------------

// What evaluating entries needs, gathered once per sync; the alerts only when a spot passes.
struct ContentView::ListContext {
    const LocalSpotFilter &filter;
    QString search;
    bool spotsPaused;
    bool alertsPaused;
    std::optional<AlertMarking> marking;
};

const QList<DXSpot> &ContentView::clusterSpots() const
{
    return m_cluster ? m_cluster->spots() : noSpots();
}

void ContentView::evaluateListEntry(ListEntry &entry, const DXSpot &spot, ListContext &context,
                                    bool filterVerdict) const
{
    entry.id = spot.id;
    if (filterVerdict)
        entry.passes = context.filter.passes(spot);
    if (entry.passes && !entry.marked) {
        if (!context.marking)
            context.marking = alertMarking();
        entry.mark = alertMark(*context.marking, spot);
        entry.marked = true;
    }
    entry.displayed =
        entry.passes && (!context.spotsPaused || m_pausedSpotIDs.contains(spot.id)) &&
        (context.search.isEmpty() || spot.callsign.contains(context.search, Qt::CaseInsensitive));
    entry.alertsOnly = entry.passes && entry.mark.matchesEnabledAlert &&
                       (!context.alertsPaused || m_pausedAlertSpotIDs.contains(spot.id));
}

void ContentView::countListEntry(const ListEntry &entry, int sign) const
{
    m_filteredCount += sign * entry.passes;
    m_listSizes[0] += sign * entry.displayed;
    m_listSizes[1] += sign * entry.alertsOnly;
}

// New spots in front and a cut tail, as the connection's live spots change its list: only the
// new entries are worked out. False when the list changed otherwise.
bool ContentView::alignListEntries(const QList<DXSpot> &spots, ListContext &context) const
{
    qsizetype fresh = spots.size();
    if (!m_listEntries.empty()) {
        const QUuid &newest = m_listEntries.front().id;
        fresh = -1;
        for (qsizetype i = 0; i < spots.size(); ++i) {
            if (spots[i].id == newest) {
                fresh = i;
                break;
            }
        }
        if (fresh < 0)
            return false;
        const qsizetype overlap = std::min(spots.size() - fresh, qsizetype(m_listEntries.size()));
        if (fresh + overlap != spots.size() ||
            spots[fresh + overlap - 1].id != m_listEntries[size_t(overlap - 1)].id)
            return false;
        while (qsizetype(m_listEntries.size()) > overlap) {
            const ListEntry &gone = m_listEntries.back();
            // The oldest rows handed out go first.
            for (int list = 0; list < 2; ++list) {
                if (list == 0 ? gone.displayed : gone.alertsOnly) {
                    ListDelta &delta = m_listDeltas[size_t(list)];
                    delta.kept = std::max<qsizetype>(delta.kept - 1, 0);
                }
            }
            countListEntry(gone, -1);
            m_listEntries.pop_back();
        }
    }
    for (qsizetype i = fresh - 1; i >= 0; --i) {
        ListEntry entry;
        evaluateListEntry(entry, spots[i], context, true);
        countListEntry(entry, 1);
        m_listEntries.push_front(std::move(entry));
    }
    return true;
}

void ContentView::syncLists() const
{
    const QList<DXSpot> &spots = clusterSpots();
    ListContext context{currentFilter(), m_spotCallsignSearch.trimmed(), isSpotsPaused(),
                        isAlertsPaused(), std::nullopt};

    // The settings' revision moves with every stored change; the marks only with the alerts'.
    bool alertsChanged = false;
    const std::pair<quint64, quint64> alertKey{m_settings.revision(),
                                               m_alerts.newSlotRulesGeneration()};
    if (m_alertInputsKey != alertKey) {
        m_alertInputsKey = alertKey;
        context.marking = alertMarking();
        const AlertMarking &marking = *context.marking;
        SpotAlertMarkInputs inputs{marking.snapshot.matcher,
                                   marking.snapshot.flags,
                                   marking.snapshot.newSlotEnabled,
                                   marking.rules.newSlot.highlightRows,
                                   marking.rules.newSlot.highlightColor,
                                   alertKey.second};
        alertsChanged = m_alertInputs != inputs;
        m_alertInputs = std::move(inputs);
    }
    const bool filterChanged = m_listFilterGeneration != m_filterGeneration;
    m_listFilterGeneration = m_filterGeneration;

    bool whole = m_listsStale || alertsChanged || filterChanged;
    if (m_unexplainedSpotChanges > 0 || !alignListEntries(spots, context)) {
        m_listEntries.clear();
        m_filteredCount = 0;
        m_listSizes = {};
        for (const DXSpot &spot : spots) {
            ListEntry entry;
            evaluateListEntry(entry, spot, context, true);
            countListEntry(entry, 1);
            m_listEntries.push_back(std::move(entry));
        }
        whole = true;
    } else if (whole) {
        // The same spots: verdicts again only for a new filter, marks only for new alerts.
        m_filteredCount = 0;
        m_listSizes = {};
        for (qsizetype i = 0; i < spots.size(); ++i) {
            ListEntry &entry = m_listEntries[size_t(i)];
            if (alertsChanged)
                entry.marked = false;
            evaluateListEntry(entry, spots[i], context, filterChanged);
            countListEntry(entry, 1);
        }
    }
    if (whole)
        m_listDeltas = {};
    m_listsStale = false;
    m_unexplainedSpotChanges = 0;
}

QList<DXSpot> ContentView::listRows(bool alertsOnly, qsizetype limit,
                                    QHash<QUuid, SpotAlertColor> *colours) const
{
    const QList<DXSpot> &spots = clusterSpots();
    const qsizetype size = m_listSizes[alertsOnly];
    const qsizetype wanted = limit < 0 ? size : std::min(limit, size);
    QList<DXSpot> rows;
    rows.reserve(wanted);
    for (size_t i = 0; i < m_listEntries.size() && rows.size() < wanted; ++i) {
        const ListEntry &entry = m_listEntries[i];
        if (!(alertsOnly ? entry.alertsOnly : entry.displayed))
            continue;
        rows.append(spots[qsizetype(i)]);
        if (colours && entry.mark.highlightColor)
            colours->insert(entry.id, *entry.mark.highlightColor);
    }
    return rows;
}

QList<DXSpot> ContentView::displayedSpots() const
{
    syncLists();
    return listRows(false);
}

QList<DXSpot> ContentView::alertsOnlySpots() const
{
    syncLists();
    return listRows(true);
}

QString ContentView::spotCountLabel() const
{
    syncLists();
    return spotCountLabel(m_filteredCount, m_listSizes[1], clusterSpots().size());
}

QString ContentView::spotCountLabel(qsizetype filtered, qsizetype alertsOnly, qsizetype total) const
{
    if (m_selectedTab == MainTab::alertsOnly)
        return ofTotal(alertsOnly, total);
    const bool anyFilter =
        !m_filterState.selectedBands.isEmpty() || !m_filterState.hiddenDXFromContinents.isEmpty() ||
        !m_filterState.hiddenDXByContinents.isEmpty() || filterSwitch(FilterSwitch::hideCWSpots) ||
        filterSwitch(FilterSwitch::hideSSBSpots) || filterSwitch(FilterSwitch::hideFTxSpots) ||
        filterSwitch(FilterSwitch::hideOtherDigitalSpots) ||
        filterSwitch(FilterSwitch::hideBeaconSpots) || filterSwitch(FilterSwitch::hideQRPSpots) ||
        filterSwitch(FilterSwitch::hideSameDXCCSpots) ||
        filterSwitch(FilterSwitch::customSpotterEntityFilterEnabled) ||
        filterSwitch(FilterSwitch::customInfoFilterEnabled);
    if (!anyFilter)
        return QString::number(total) + QLatin1String(" spots");
    return ofTotal(filtered, total);
}

void ContentView::setListCounts(SpotListsSnapshot &snapshot, qsizetype total) const
{
    snapshot.spotCountLabel = spotCountLabel(m_filteredCount, m_listSizes[1], total);
    snapshot.totalSpotCount = total;
    snapshot.filteredSpotCount = m_filteredCount;
    snapshot.displayedSpotCount = m_listSizes[0];
    snapshot.alertsOnlySpotCount = m_listSizes[1];
}

SpotListsSnapshot ContentView::spotListsSnapshot(SnapshotLists wanted) const
{
    syncLists();
    SpotListsSnapshot snapshot;
    const QList<DXSpot> &spots = clusterSpots();
    for (size_t i = 0; i < m_listEntries.size(); ++i) {
        const ListEntry &entry = m_listEntries[i];
        const bool displayed = entry.displayed && wanted != SnapshotLists::alertsOnlyOnly;
        const bool alertsOnly = entry.alertsOnly && wanted != SnapshotLists::displayedOnly;
        if (displayed)
            snapshot.displayedSpots.append(spots[qsizetype(i)]);
        if (alertsOnly)
            snapshot.alertsOnlySpots.append(spots[qsizetype(i)]);
        if ((entry.displayed || entry.alertsOnly) && entry.mark.highlightColor)
            snapshot.highlightColorsBySpotID.insert(entry.id, *entry.mark.highlightColor);
    }
    setListCounts(snapshot, spots.size());
    return snapshot;
}

SpotListsSnapshot ContentView::spotListsUpdate(bool alertsOnly, bool whole)
{
    syncLists();
    const QList<DXSpot> &spots = clusterSpots();
    ListDelta &delta = m_listDeltas[alertsOnly];
    const qsizetype size = m_listSizes[alertsOnly];
    whole = whole || delta.whole;
    // The new rows are the newest of the list, so the walk ends among the new entries.
    SpotListsSnapshot snapshot;
    (alertsOnly ? snapshot.alertsOnlySpots : snapshot.displayedSpots) =
        listRows(alertsOnly, whole ? -1 : size - delta.kept, &snapshot.highlightColorsBySpotID);
    if (!whole)
        snapshot.keptRows = delta.kept;
    delta = {false, size};
    setListCounts(snapshot, spots.size());
    return snapshot;
}

} // namespace varnello
