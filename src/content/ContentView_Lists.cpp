// The road of each live spot, the callsign search and the two pause machines. The lists and the
// count label are in ContentView_ListEntries.cpp.
#include "ContentView.h"

#include "AlertNotificationManager.h"
#include "ClusterConnection.h"

namespace varnello {

namespace {

QString pauseLabel(bool manual, qsizetype waiting)
{
    QString label = manual ? QStringLiteral("Paused") : QStringLiteral("Paused \u2014 scrolled");
    if (waiting >= 1)
        label += QStringLiteral(" \u2014 ") + QString::number(waiting) + QLatin1String(" new");
    return label;
}

} // namespace

// --- Intake
// ----------------------------------------------------------------------------------------

void ContentView::handleLiveSpot(const DXSpot &spot)
{
    // The verdict the lists worked out for the spot on its arrival.
    syncLists();
    const bool passes = !m_listEntries.empty() && m_listEntries.front().id == spot.id
                            ? m_listEntries.front().passes
                            : spotPassesLocalFilters(spot);
    // Local programs get the spot at once, paused or not.
    if (passes && m_cluster)
        m_cluster->broadcastSpot(spot);

    if (isSpotsPaused()) {
        bufferSpot(spot, passes);
        if (isAlertsPaused() && passes && matchesEnabledAlert(alertSnapshot(), spot))
            noteAlertSpot(spot.id);
        return;
    }
    if (!passes)
        return;
    const bool matched = processPassingSpotAlerts(alertSnapshot(), spot);
    if (isAlertsPaused() && matched)
        noteAlertSpot(spot.id);
}

// The buffer keeps the newest spots up to its cap, so a pause left on for days cannot exhaust
// memory; the count of passing spots follows it without a new pass over the buffer.
void ContentView::bufferSpot(const DXSpot &spot, bool passes)
{
    const bool countValid = m_bufferedCountGeneration == m_filterGeneration;
    if (m_bufferedSpots.size() >= maximumBufferedSpots) {
        if (countValid && spotPassesLocalFilters(m_bufferedSpots.first()))
            --m_bufferedPassingCount;
        m_bufferedSpots.removeFirst();
    }
    m_bufferedSpots.append(spot);
    if (countValid && passes)
        ++m_bufferedPassingCount;
    emit pauseStateChanged();
}

void ContentView::noteAlertSpot(const QUuid &id)
{
    if (m_bufferedAlertSpotIDs.contains(id))
        return;
    m_bufferedAlertSpotIDs.insert(id);
    // Only ids the connection still holds are worth counting; it holds at most maximumSpots.
    if (m_bufferedAlertSpotIDs.size() > ClusterConnection::maximumSpots)
        pruneBufferedAlertSpotIDs();
    emit pauseStateChanged();
}

// One pass over the connection's list; run when the set is read, not per arriving spot.
void ContentView::pruneBufferedAlertSpotIDs() const
{
    if (m_bufferedAlertSpotIDs.isEmpty())
        return;
    const QList<DXSpot> &spots = clusterSpots();
    QSet<QUuid> kept;
    for (const DXSpot &spot : spots) {
        if (m_bufferedAlertSpotIDs.contains(spot.id))
            kept.insert(spot.id);
    }
    if (kept.size() != m_bufferedAlertSpotIDs.size())
        m_bufferedAlertSpotIDs = std::move(kept);
}

const QSet<QUuid> &ContentView::bufferedAlertSpotIDs() const
{
    pruneBufferedAlertSpotIDs();
    return m_bufferedAlertSpotIDs;
}

// --- Tab and search
// --------------------------------------------------------------------------------

void ContentView::setSelectedTab(MainTab tab)
{
    if (m_selectedTab == tab)
        return;
    m_selectedTab = tab;
    handleTabChange();
    emit selectedTabChanged();
}

void ContentView::setSpotCallsignSearch(const QString &text)
{
    if (m_spotCallsignSearch == text)
        return;
    m_spotCallsignSearch = text;
    listsChanged();
    emit spotCallsignSearchChanged();
}

void ContentView::clearCallsignSearch()
{
    setSpotCallsignSearch(QString());
}

// --- Pausing -------------------------------------------------------------------------------------

int ContentView::newBufferedSpotCount() const
{
    if (m_bufferedCountGeneration != m_filterGeneration) {
        const LocalSpotFilter &filter = currentFilter();
        m_bufferedPassingCount =
            int(std::count_if(m_bufferedSpots.begin(), m_bufferedSpots.end(),
                              [&filter](const DXSpot &spot) { return filter.passes(spot); }));
        m_bufferedCountGeneration = m_filterGeneration;
    }
    return m_bufferedPassingCount;
}

QString ContentView::spotsPauseLabel() const
{
    return pauseLabel(m_isManuallyPaused, newBufferedSpotCount());
}

QString ContentView::alertsPauseLabel() const
{
    return pauseLabel(m_isAlertsManuallyPaused, bufferedAlertSpotIDs().size());
}

bool ContentView::isCurrentTabPaused() const
{
    return m_selectedTab == MainTab::alertsOnly ? isAlertsPaused() : isSpotsPaused();
}

void ContentView::pauseSpots(bool manual)
{
    if (isSpotsPaused())
        return;
    m_pausedSpotIDs.clear();
    if (m_cluster) {
        for (const DXSpot &spot : m_cluster->spots())
            m_pausedSpotIDs.insert(spot.id);
    }
    m_bufferedSpots.clear();
    m_bufferedPassingCount = 0;
    m_bufferedCountGeneration = m_filterGeneration;
    m_isManuallyPaused = manual;
    m_isAutomaticallyPaused = !manual;
    listsChanged();
    emit pauseStateChanged();
}

void ContentView::resumeSpots()
{
    const QList<DXSpot> taken = std::exchange(m_bufferedSpots, {});
    m_isManuallyPaused = false;
    m_isAutomaticallyPaused = false;
    m_pausedSpotIDs.clear();
    m_bufferedCountGeneration.reset();
    listsChanged();
    ++m_scrollToTopRequest;
    emit pauseStateChanged();
    replayBufferedSpots(taken);
}

void ContentView::replayBufferedSpots(const QList<DXSpot> &spots)
{
    m_replay.emplace(AlertReplay{}); // clang: no default constructor for emplace()
    for (const DXSpot &spot : spots)
        processSpotAlerts(spot);
    const AlertReplay replay = *std::exchange(m_replay, std::nullopt);
    for (const int alert : replay.noticeOrder) {
        const ReplayedNotice &notice = *replay.notices[size_t(alert)];
        m_notifications.postSpotNotification(notice.latest, notice.title, notice.count);
    }
}

void ContentView::pauseAlerts(bool manual)
{
    if (isAlertsPaused())
        return;
    m_pausedAlertSpotIDs.clear();
    // Unpaused, the Alerts Only list is every passing spot that matches an enabled alert.
    syncLists();
    for (const ListEntry &entry : m_listEntries) {
        if (entry.alertsOnly)
            m_pausedAlertSpotIDs.insert(entry.id);
    }
    m_bufferedAlertSpotIDs.clear();
    m_isAlertsManuallyPaused = manual;
    m_isAlertsAutomaticallyPaused = !manual;
    listsChanged();
    emit pauseStateChanged();
}

void ContentView::resumeAlerts()
{
    m_isAlertsManuallyPaused = false;
    m_isAlertsAutomaticallyPaused = false;
    m_pausedAlertSpotIDs.clear();
    m_bufferedAlertSpotIDs.clear();
    ++m_scrollToTopRequest;
    listsChanged();
    emit pauseStateChanged();
}

void ContentView::togglePauseOfCurrentTab()
{
    if (m_selectedTab == MainTab::alertsOnly) {
        if (isAlertsPaused())
            resumeAlerts();
        else
            pauseAlerts(true);
        return;
    }
    if (isSpotsPaused())
        resumeSpots();
    else
        pauseSpots(true);
}

void ContentView::handleTableTopStateChange(bool isAtTop, bool isAlertsOnly)
{
    if (m_selectedTab == MainTab::console)
        return;
    if (isAlertsOnly) {
        if (isAtTop && m_isAlertsAutomaticallyPaused && !m_isAlertsManuallyPaused)
            resumeAlerts();
        else if (!isAtTop && !isAlertsPaused())
            pauseAlerts(false);
        return;
    }
    if (m_selectedTab == MainTab::alertsOnly)
        return;
    if (isAtTop && m_isAutomaticallyPaused && !m_isManuallyPaused)
        resumeSpots();
    else if (!isAtTop && !isSpotsPaused())
        pauseSpots(false);
}

} // namespace varnello
