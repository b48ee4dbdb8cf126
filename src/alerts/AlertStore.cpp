#include "AlertStore.h"

#include "AlertCoding.h"
#include "AppSettingsStore.h"
#include "SettingsKeys.h"

namespace varnello {

namespace {

QList<bool> fiveFlags(QList<bool> flags)
{
    flags.resize(alertSlotCount, false);
    return flags;
}

bool isBlank(const QString &text)
{
    for (QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

constexpr SpotAlertColor oldNewSlotColour{1.0, 0.8, 0.0};
constexpr SpotAlertColor newSlotColour{0.95, 0.35, 0.65};

} // namespace

bool sameStoredBytes(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    return a.constData() == b.constData() || a == b;
}

AlertStore::AlertStore(AppSettingsStore &settings) : m_settings(settings) {}

QList<SpotAlertConfiguration>
AlertStore::normalizedAlertConfigurations(QList<SpotAlertConfiguration> list)
{
    const QList<SpotAlertConfiguration> &defaults = defaultAlertConfigurations();
    if (list.size() > alertSlotCount)
        list.resize(alertSlotCount);
    for (qsizetype slot = list.size(); slot < alertSlotCount; ++slot)
        list.append(defaults[slot]);
    for (int slot = 0; slot < alertSlotCount; ++slot) {
        if (isBlank(list[slot].name))
            list[slot].name = defaultAlertName(slot);
    }
    SpotAlertConfiguration &callsignAlert = list[callsignAlertSlot];
    callsignAlert.selectedEntityADIFNumbers.clear();
    if (callsignAlert.name == QLatin1String("Alert 5"))
        callsignAlert.name = defaultAlertName(callsignAlertSlot);
    return list;
}

std::shared_ptr<const AlertMatcher> AlertStore::alertMatcher() const
{
    const quint64 revision = m_settings.revision();
    if (m_listMemo && m_listMemo->revision == revision)
        return m_listMemo->matcher;
    const QByteArray stored = m_settings.data(SettingsKeys::spotAlertsConfiguration);
    const QByteArray legacy = m_settings.data(SettingsKeys::spotAlert1Configuration);
    if (m_listMemo && sameStoredBytes(m_listMemo->stored, stored) &&
        sameStoredBytes(m_listMemo->legacy, legacy)) {
        m_listMemo->revision = revision;
        return m_listMemo->matcher;
    }

    QList<SpotAlertConfiguration> list;
    std::optional<QList<SpotAlertConfiguration>> decoded;
    if (!stored.isEmpty())
        decoded = alertcoding::decodeConfigurationList(stored);
    if (decoded) {
        list = normalizedAlertConfigurations(std::move(*decoded));
    } else {
        // The former single alert fills slot 0 as it was stored, not normalised.
        list = defaultAlertConfigurations();
        if (!legacy.isEmpty()) {
            if (auto single = alertcoding::decodeConfiguration(legacy))
                list[0] = std::move(*single);
        }
    }
    m_listMemo = ListMemo{revision, stored, legacy, std::make_shared<const AlertMatcher>(list)};
    return m_listMemo->matcher;
}

QList<SpotAlertConfiguration> AlertStore::loadAlertConfigurations() const
{
    return alertMatcher()->configurations();
}

QList<bool> AlertStore::loadAlertEnabledStates() const
{
    const quint64 revision = m_settings.revision();
    if (m_flagsMemo && m_flagsMemo->revision == revision)
        return m_flagsMemo->flags;
    const QByteArray stored = m_settings.data(SettingsKeys::spotAlertsEnabled);
    const bool legacy = m_settings.boolValue(SettingsKeys::spotAlert1Enabled);
    if (m_flagsMemo && m_flagsMemo->legacy == legacy &&
        sameStoredBytes(m_flagsMemo->stored, stored)) {
        m_flagsMemo->revision = revision;
        return m_flagsMemo->flags;
    }

    QList<bool> flags;
    std::optional<QList<bool>> decoded;
    if (!stored.isEmpty())
        decoded = alertcoding::decodeFlags(stored);
    if (decoded)
        flags = fiveFlags(std::move(*decoded));
    else
        flags = fiveFlags({legacy});
    m_flagsMemo = FlagsMemo{revision, stored, legacy, flags};
    return flags;
}

void AlertStore::saveAlertEnabledStates(QList<bool> flags)
{
    if (const auto bytes = alertcoding::encodeFlags(fiveFlags(std::move(flags))))
        m_settings.setData(SettingsKeys::spotAlertsEnabled, *bytes);
}

bool AlertStore::storeAlertConfigurations(const QList<SpotAlertConfiguration> &list)
{
    const auto bytes = alertcoding::encode(normalizedAlertConfigurations(list));
    if (!bytes)
        return false;
    m_settings.setData(SettingsKeys::spotAlertsConfiguration, *bytes);
    return true;
}

void AlertStore::migrateStoredAlerts()
{
    if (m_settings.data(SettingsKeys::spotAlertsConfiguration).isEmpty())
        storeAlertConfigurations(loadAlertConfigurations());
    if (m_settings.data(SettingsKeys::spotAlertsEnabled).isEmpty())
        saveAlertEnabledStates(loadAlertEnabledStates());
}

bool AlertStore::newSlotAlertEnabled() const
{
    const quint64 revision = m_settings.revision();
    if (!m_newSlotEnabledMemo || m_newSlotEnabledMemo->first != revision)
        m_newSlotEnabledMemo.emplace(revision,
                                     m_settings.boolValue(SettingsKeys::newSlotAlertEnabled));
    return m_newSlotEnabledMemo->second;
}

NewSlotAlertConfiguration AlertStore::loadNewSlotAlertConfiguration() const
{
    const quint64 revision = m_settings.revision();
    if (m_newSlotMemo && m_newSlotMemo->revision == revision)
        return m_newSlotMemo->configuration;
    const QByteArray stored = m_settings.data(SettingsKeys::newSlotAlertConfiguration);
    if (m_newSlotMemo && sameStoredBytes(m_newSlotMemo->stored, stored)) {
        m_newSlotMemo->revision = revision;
        return m_newSlotMemo->configuration;
    }
    NewSlotAlertConfiguration configuration;
    if (!stored.isEmpty()) {
        if (auto decoded = alertcoding::decodeNewSlotConfiguration(stored))
            configuration = std::move(*decoded);
    }
    m_newSlotMemo = NewSlotMemo{revision, stored, configuration};
    return configuration;
}

bool AlertStore::saveNewSlotAlertConfiguration(NewSlotAlertConfiguration configuration)
{
    if (configuration.entitySlotRules) {
        saveNewSlotAlertRules(*configuration.entitySlotRules);
        configuration.entitySlotRules.reset();
    }
    const auto bytes = alertcoding::encode(configuration);
    if (!bytes)
        return false;
    m_settings.setData(SettingsKeys::newSlotAlertConfiguration, *bytes);
    return true;
}

bool AlertStore::saveNewSlotAlertRules(const QList<ClubLogEntitySlotRule> &rules)
{
    const auto bytes = alertcoding::encode(rules);
    if (!bytes)
        return false;
    m_settings.setData(SettingsKeys::newSlotAlertLookup, *bytes);
    setNewSlotAlertRules(rules);
    return true;
}

void AlertStore::setNewSlotAlertRules(const QList<ClubLogEntitySlotRule> &rules)
{
    m_newSlotRules = rules;
    m_newSlotRuleIndex = SlotRuleIndex(rules);
    ++m_newSlotRulesGeneration;
}

void AlertStore::loadNewSlotAlertRules()
{
    const QByteArray lookup = m_settings.data(SettingsKeys::newSlotAlertLookup);
    if (!lookup.isEmpty()) {
        if (auto rules = alertcoding::decodeRuleList(lookup)) {
            setNewSlotAlertRules(*rules);
            return;
        }
    }
    // A configuration stored before the rules had their own key still carries them.
    const QByteArray stored = m_settings.data(SettingsKeys::newSlotAlertConfiguration);
    if (!stored.isEmpty()) {
        auto configuration = alertcoding::decodeNewSlotConfiguration(stored);
        if (configuration && configuration->entitySlotRules) {
            saveNewSlotAlertRules(*configuration->entitySlotRules);
            configuration->entitySlotRules.reset();
            if (const auto bytes = alertcoding::encode(*configuration))
                m_settings.setData(SettingsKeys::newSlotAlertConfiguration, *bytes);
            return;
        }
    }
    setNewSlotAlertRules({});
}

NewSlotAlertConfiguration AlertStore::migrateNewSlotAlertHighlightColour()
{
    NewSlotAlertConfiguration configuration = loadNewSlotAlertConfiguration();
    if (!m_settings.boolValue(SettingsKeys::newSlotAlertHighlightColourMigrated)) {
        if (configuration.highlightColor == oldNewSlotColour) {
            configuration.highlightColor = newSlotColour;
            saveNewSlotAlertConfiguration(configuration);
        }
        m_settings.setBool(SettingsKeys::newSlotAlertHighlightColourMigrated, true);
    }
    return configuration;
}

bool AlertStore::isNewSlotRefreshDue(const QDateTime &now) const
{
    if (!newSlotAlertEnabled())
        return false;
    const NewSlotAlertConfiguration configuration = loadNewSlotAlertConfiguration();
    if (!configuration.lastSuccessfulRefresh || m_newSlotRules.isEmpty())
        return false;
    const qint64 elapsedMs = configuration.lastSuccessfulRefresh->msecsTo(now);
    return elapsedMs >= std::chrono::milliseconds(newSlotRefreshInterval).count();
}

} // namespace varnello
