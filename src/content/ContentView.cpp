#include "ContentView.h"

#include "AlertNotificationManager.h"
#include "AlertSoundPlayer.h"
#include "AppSettingsStore.h"
#include "BundledResources.h"
#include "CTYDatabase.h"
#include "Clock.h"
#include "ClusterConnection.h"
#include "GridDXCCDatabase.h"
#include "HttpClient.h"
#include "LoTWActivityLookup.h"
#include "NotificationHub.h"
#include "SettingsKeys.h"
#include "UDPSpotFeedSender.h"

namespace varnello {

ContentView::ContentView(ContentViewEnvironment environment, QObject *parent)
    : QObject(parent),
      m_settings(environment.settings ? *environment.settings : AppSettingsStore::shared()),
      m_cluster(environment.cluster),
      m_notifications(environment.notifications ? *environment.notifications
                                                : AlertNotificationManager::shared()),
      m_sounds(environment.sounds ? *environment.sounds : AlertSoundPlayer::shared()),
      m_clock(environment.clock ? *environment.clock : Clock::system()),
      m_http(environment.http ? *environment.http : HttpClient::shared()),
      m_clubLog(std::move(environment.clubLog)),
      m_lotw(environment.lotw ? *environment.lotw : LoTWActivityLookup::shared()),
      m_udpFeedMode(std::move(environment.udpFeedMode)),
      m_sendToUdpFeed(std::move(environment.sendToUdpFeed)), m_alerts(m_settings),
      m_grid(environment.grid ? *environment.grid : GridDXCCDatabase::shared())
{
    if (m_cluster) {
        // Every change of the connection's list that is not a live spot put in front makes the
        // lists start over; the live spot's notice comes right after its change.
        connect(m_cluster.data(), &ClusterConnection::spotsChanged, this,
                [this] { ++m_unexplainedSpotChanges; });
        connect(m_cluster.data(), &ClusterConnection::liveSpotReceived, this,
                [this](const DXSpot &spot) {
                    const QList<DXSpot> &spots = m_cluster->spots();
                    if (m_unexplainedSpotChanges > 0 && !spots.isEmpty() &&
                        spots.constFirst().id == spot.id)
                        --m_unexplainedSpotChanges;
                });
        connect(m_cluster.data(), &ClusterConnection::liveSpotReceived, this,
                &ContentView::handleLiveSpot);
        connect(m_cluster.data(), &ClusterConnection::spotsChanged, this,
                &ContentView::spotsChanged);
        // Every new RBN state of the connection replaces the popover's drafts.
        m_seededRBNStateVersion = m_cluster->rbnStateVersion();
        connect(m_cluster.data(), &ClusterConnection::rbnStateChanged, this, [this] {
            if (m_cluster->rbnStateVersion() != m_seededRBNStateVersion)
                seedRBNDrafts();
            emit rbnDraftsChanged();
        });
    }
    connect(&m_settings, &AppSettingsStore::valueChanged, this, &ContentView::handleSettingChanged);
    // A new LoTW table changes what the LoTW-only filter lets through.
    connect(&NotificationHub::instance(), &NotificationHub::posted, this,
            [this](const QString &name, const QVariantMap &) {
                if (name == QLatin1String(kLoTWActivityLookupDidReload))
                    filterStateChanged();
            });

    m_newSlotRefreshAgeCheckTimer.setInterval(environment.newSlotRefreshCheckInterval);
    connect(&m_newSlotRefreshAgeCheckTimer, &QTimer::timeout, this,
            &ContentView::handleNewSlotRefreshTimer);
    m_newSlotRefreshAgeCheckTimer.start();

    if (environment.observeNotificationHub) {
        connect(&NotificationHub::instance(), &NotificationHub::posted, this,
                [this](const QString &name, const QVariantMap &) {
                    if (name == QLatin1String("VarnelloInitialNewSlotRefresh"))
                        handleInitialNewSlotRefresh();
                });
    }
}

ContentView::~ContentView()
{
    endCustomSpotterEntitySheet();
}

ClusterConnection *ContentView::cluster() const
{
    return m_cluster.data();
}

void ContentView::handleAppear()
{
    loadSelectedBands();
    loadHiddenContinents();
    setCustomSpotterEntityADIFNumbers(loadCustomSpotterEntityADIFNumbers());
    // The blocked terms follow one turn later, after the alert state below.
    QTimer::singleShot(0, this, [this] { setCustomInfoFilterTerms(loadCustomInfoFilterTerms()); });
    loadAlertEntities();
    migrateStoredAlerts();
    loadNewSlotAlertRules();
}

QString ContentView::udpFeedMode() const
{
    if (m_udpFeedMode)
        return m_udpFeedMode();
    return m_cluster ? m_cluster->udpFeedMode() : QString();
}

void ContentView::sendToUdpFeed(const QString &rawLine)
{
    if (m_sendToUdpFeed) {
        m_sendToUdpFeed(rawLine);
        return;
    }
    if (m_cluster && m_cluster->udpFeedSender())
        m_cluster->udpFeedSender()->send(rawLine);
}

// --- Stored alerts -------------------------------------------------------------------------------

QList<SpotAlertConfiguration>
ContentView::normalizedAlertConfigurations(const QList<SpotAlertConfiguration> &list)
{
    return AlertStore::normalizedAlertConfigurations(list);
}

NewSlotAlertConfiguration ContentView::loadNewSlotAlertConfiguration() const
{
    return m_alerts.loadNewSlotAlertConfiguration();
}

void ContentView::saveNewSlotAlertConfiguration(const NewSlotAlertConfiguration &configuration)
{
    ++m_newSlotGeneration;
    m_alerts.saveNewSlotAlertConfiguration(configuration);
    emit alertsChanged();
}

void ContentView::saveNewSlotAlertRules(const QList<ClubLogEntitySlotRule> &rules)
{
    ++m_newSlotGeneration;
    m_alerts.saveNewSlotAlertRules(rules);
    emit alertsChanged();
}

void ContentView::loadNewSlotAlertRules()
{
    m_alerts.loadNewSlotAlertRules();
    emit alertsChanged();
}

NewSlotAlertConfiguration ContentView::migrateNewSlotAlertHighlightColour()
{
    return m_alerts.migrateNewSlotAlertHighlightColour();
}

void ContentView::loadAlertEntities()
{
    if (!m_alertEntities.isEmpty() || m_alertEntityLoadError)
        return;
    auto path = BundledResources::url(QStringLiteral("cty_wt"), QStringLiteral("dat"));
    if (!path)
        path = BundledResources::url(QStringLiteral("cty"), QStringLiteral("dat"));
    if (!path) {
        m_alertEntityLoadError =
            QStringLiteral("cty_wt.dat was not found in the program's built-in data.");
        emit alertEntitiesChanged();
        return;
    }
    const CTYDatabase::ParseResult parsed = CTYDatabase::load(*path);
    if (!parsed.database) {
        m_alertEntityLoadError = parsed.error ? parsed.error->description() : QString();
        emit alertEntitiesChanged();
        return;
    }
    QList<CTYEntity> entities;
    for (const CTYEntity &entity : parsed.database->entities()) {
        if (!entity.isNonDXCCEntity)
            entities.append(entity);
    }
    m_alertEntities = std::move(entities);
    emit alertEntitiesChanged();
}

// --- Matching and actions ------------------------------------------------------------------------

bool ContentView::matchesNewSlotAlert(const DXSpot &spot) const
{
    return newSlotRulesMatch(m_alerts.newSlotRuleIndex(), spot);
}

ContentView::AlertSnapshot ContentView::alertSnapshot() const
{
    return {m_alerts.alertMatcher(), m_alerts.loadAlertEnabledStates(),
            m_alerts.newSlotAlertEnabled()};
}

bool ContentView::matchesEnabledAlert(const AlertSnapshot &snapshot, const DXSpot &spot) const
{
    if (snapshot.newSlotEnabled && matchesNewSlotAlert(spot))
        return true;
    for (int slot = 0; slot < alertSlotCount; ++slot) {
        if (snapshot.flags[slot] && snapshot.matcher->isConfigured(slot) &&
            snapshot.matcher->matches(slot, spot))
            return true;
    }
    return false;
}

bool ContentView::spotMatchesEnabledAlert(const DXSpot &spot) const
{
    return matchesEnabledAlert(alertSnapshot(), spot);
}

QList<DXSpot> ContentView::alertMatchingSpots(const QList<DXSpot> &spots) const
{
    const AlertSnapshot snapshot = alertSnapshot();
    QList<DXSpot> matching;
    for (const DXSpot &spot : spots) {
        if (matchesEnabledAlert(snapshot, spot))
            matching.append(spot);
    }
    return matching;
}

bool ContentView::soundGranted(const std::optional<SteadyTime> &last, SteadyTime now) const
{
    return !last || now - *last >= alertSoundInterval;
}

void ContentView::processSpotAlerts(const DXSpot &spot)
{
    if (spotPassesLocalFilters(spot))
        processPassingSpotAlerts(alertSnapshot(), spot);
}

bool ContentView::processPassingSpotAlerts(const AlertSnapshot &snapshot, const DXSpot &spot)
{
    const AlertMatcher *matcher = snapshot.matcher.get();
    const QList<SpotAlertConfiguration> &alerts = matcher->configurations();
    // Each matcher runs once per spot; the UDP feed, the notifications and the sounds share it.
    const bool newSlotMatches = snapshot.newSlotEnabled && matchesNewSlotAlert(spot);
    bool matched = newSlotMatches;
    std::array<bool, alertSlotCount> slotMatches{};
    for (int slot = 0; slot < alertSlotCount; ++slot) {
        slotMatches[size_t(slot)] =
            snapshot.flags[slot] && matcher->isConfigured(slot) && matcher->matches(slot, spot);
        matched = matched || slotMatches[size_t(slot)];
    }

    if (matched && udpFeedMode() == QLatin1String("alerts"))
        sendToUdpFeed(spot.rawLine);

    // Throttles run on the steady clock: a wall-clock step back must not silence an alert for
    // hours.
    const SteadyTime now = m_clock.steadyNow();
    // A resume replays a whole buffer at once: there every alert sounds once at most, whatever
    // its frequency.
    constexpr int newSlotSound = alertSlotCount;
    const auto maySound = [this](int alert) {
        return !m_replay || !m_replay->sounded[size_t(alert)];
    };
    const auto play = [this](int alert, AlertSoundChoice choice) {
        if (m_replay)
            m_replay->sounded[size_t(alert)] = true;
        m_sounds.play(choice);
    };

    // The Callsign Alert outranks every other alert for this spot.
    if (slotMatches[size_t(callsignAlertSlot)]) {
        const SpotAlertConfiguration &alert = alerts[callsignAlertSlot];
        if (alert.showNotification)
            notifySpot(callsignAlertSlot, spot, alert.name);
        if (alert.playSound && maySound(callsignAlertSlot)) {
            if (alert.soundFrequency == AlertSoundFrequency::everySpot) {
                play(callsignAlertSlot, alert.soundChoice);
            } else if (soundGranted(m_lastAlertSoundDates[callsignAlertSlot], now)) {
                m_lastAlertSoundDates[callsignAlertSlot] = now;
                play(callsignAlertSlot, alert.soundChoice);
            }
        }
        return true;
    }

    std::optional<std::pair<int, AlertSoundChoice>> candidate;
    if (newSlotMatches) {
        const NewSlotAlertConfiguration newSlot = m_alerts.loadNewSlotAlertConfiguration();
        if (newSlot.showNotification)
            notifySpot(newSlotSound, spot, QStringLiteral("New Slot Alert"));
        if (newSlot.playSound && maySound(newSlotSound)) {
            if (newSlot.soundFrequency == AlertSoundFrequency::everySpot) {
                candidate = {newSlotSound, newSlot.soundChoice};
            } else if (soundGranted(m_lastNewSlotAlertSoundDate, now)) {
                m_lastNewSlotAlertSoundDate = now;
                candidate = {newSlotSound, newSlot.soundChoice};
            }
        }
    }

    for (int slot = 0; slot < callsignAlertSlot; ++slot) {
        if (!slotMatches[size_t(slot)])
            continue;
        const SpotAlertConfiguration &alert = alerts[slot];
        if (alert.showNotification)
            notifySpot(slot, spot, alert.name);
        if (!alert.playSound || !maySound(slot))
            continue;
        if (alert.soundFrequency == AlertSoundFrequency::everyFiveMinutes) {
            if (!soundGranted(m_lastAlertSoundDates[size_t(slot)], now))
                continue;
            // Recorded even when an earlier alert already supplies the sound.
            m_lastAlertSoundDates[size_t(slot)] = now;
        }
        if (!candidate)
            candidate = {slot, alert.soundChoice};
    }

    if (candidate)
        play(candidate->first, candidate->second);
    return matched;
}

void ContentView::notifySpot(int alert, const DXSpot &spot, const QString &title)
{
    if (!m_replay) {
        m_notifications.postSpotNotification(spot, title);
        return;
    }
    std::optional<ReplayedNotice> &notice = m_replay->notices[size_t(alert)];
    if (!notice) {
        notice.emplace(ReplayedNotice{}); // clang: no default constructor for emplace()
        m_replay->noticeOrder.append(alert);
    }
    notice->latest = spot;
    notice->title = title;
    ++notice->count;
}

ContentView::HighlightRules ContentView::highlightRules(const AlertSnapshot &snapshot) const
{
    HighlightRules rules;
    const AlertMatcher &matcher = *snapshot.matcher;
    const QList<SpotAlertConfiguration> &alerts = matcher.configurations();
    rules.newSlotEnabled = snapshot.newSlotEnabled;
    rules.newSlot = m_alerts.loadNewSlotAlertConfiguration();
    rules.callsignActive =
        snapshot.flags[callsignAlertSlot] && matcher.isConfigured(callsignAlertSlot);
    rules.anyActive =
        rules.callsignActive || (rules.newSlotEnabled && !m_alerts.newSlotRuleIndex().isEmpty());
    for (int slot = 0; slot < callsignAlertSlot; ++slot) {
        rules.slotActive[size_t(slot)] =
            snapshot.flags[slot] && alerts[slot].highlightRows && matcher.isConfigured(slot);
        rules.anyActive = rules.anyActive || rules.slotActive[size_t(slot)];
    }
    return rules;
}

std::optional<SpotAlertColor> ContentView::highlightColor(const AlertSnapshot &snapshot,
                                                          const HighlightRules &rules,
                                                          const DXSpot &spot) const
{
    if (!rules.anyActive)
        return std::nullopt;
    const AlertMatcher &matcher = *snapshot.matcher;
    const QList<SpotAlertConfiguration> &alerts = matcher.configurations();
    if (rules.callsignActive && matcher.matches(callsignAlertSlot, spot)) {
        if (alerts[callsignAlertSlot].highlightRows)
            return alerts[callsignAlertSlot].highlightColor;
        return std::nullopt;
    }
    if (rules.newSlotEnabled && matchesNewSlotAlert(spot)) {
        if (rules.newSlot.highlightRows)
            return rules.newSlot.highlightColor;
        return std::nullopt;
    }
    for (int slot = 0; slot < callsignAlertSlot; ++slot) {
        if (rules.slotActive[size_t(slot)] && matcher.matches(slot, spot))
            return alerts[slot].highlightColor;
    }
    return std::nullopt;
}

QHash<QUuid, SpotAlertColor> ContentView::alertHighlightColors(const QList<DXSpot> &spots) const
{
    QHash<QUuid, SpotAlertColor> colours;
    const AlertSnapshot snapshot = alertSnapshot();
    const HighlightRules rules = highlightRules(snapshot);
    if (!rules.anyActive)
        return colours;
    for (const DXSpot &spot : spots) {
        if (const auto colour = highlightColor(snapshot, rules, spot))
            colours.insert(spot.id, *colour);
    }
    return colours;
}

ContentView::AlertMarking ContentView::alertMarking() const
{
    AlertMarking marking{alertSnapshot(), {}};
    marking.rules = highlightRules(marking.snapshot);
    return marking;
}

SpotAlertMark ContentView::alertMark(const AlertMarking &marking, const DXSpot &spot) const
{
    return {matchesEnabledAlert(marking.snapshot, spot),
            highlightColor(marking.snapshot, marking.rules, spot)};
}

} // namespace varnello
