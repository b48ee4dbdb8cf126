#pragma once

#include "AlertMatching.h"
#include "AlertModel.h"

#include <QByteArray>
#include <QDateTime>
#include <chrono>
#include <memory>

namespace varnello {

class AppSettingsStore;

// The alerts as the settings document holds them: the five slots and their enabled flags (with
// the one-time move from the former single alert), the New Slot Alert, its rules, and the
// one-time New Slot colour change. Every read reflects the stored bytes as they are now; decoded
// values are remembered by the exact bytes they came from, so a changed document always decodes
// again while a spot burst costs no JSON parsing. Reads never write.
class AlertStore final {
public:
    explicit AlertStore(AppSettingsStore &settings);
    AlertStore(const AlertStore &) = delete;
    AlertStore &operator=(const AlertStore &) = delete;

    AppSettingsStore &settings() const { return m_settings; }

    // Pads with the defaults or cuts to five, names blank slots, clears the Callsign Alert's
    // entities and renames a slot 4 still called "Alert 5".
    static QList<SpotAlertConfiguration>
    normalizedAlertConfigurations(QList<SpotAlertConfiguration> list);

    QList<SpotAlertConfiguration> loadAlertConfigurations() const;
    // The loaded list prepared for matching; shared until the stored bytes change.
    std::shared_ptr<const AlertMatcher> alertMatcher() const;
    QList<bool> loadAlertEnabledStates() const;
    void saveAlertEnabledStates(QList<bool> flags);
    // Normalises and stores the list; false (and nothing stored) when it cannot be encoded.
    bool storeAlertConfigurations(const QList<SpotAlertConfiguration> &list);
    void migrateStoredAlerts();

    bool newSlotAlertEnabled() const;
    NewSlotAlertConfiguration loadNewSlotAlertConfiguration() const;
    // Rules carried by the configuration go to their own key first; the configuration is stored
    // without them. False when nothing could be stored.
    bool saveNewSlotAlertConfiguration(NewSlotAlertConfiguration configuration);
    // Stores the rules and makes them the rules in use; an encoding failure changes neither.
    bool saveNewSlotAlertRules(const QList<ClubLogEntitySlotRule> &rules);
    void loadNewSlotAlertRules();
    NewSlotAlertConfiguration migrateNewSlotAlertHighlightColour();
    bool isNewSlotRefreshDue(const QDateTime &now) const;

    // The New Slot rules in use (not read from the document on every spot).
    const QList<ClubLogEntitySlotRule> &newSlotAlertRules() const { return m_newSlotRules; }
    const SlotRuleIndex &newSlotRuleIndex() const { return m_newSlotRuleIndex; }
    void setNewSlotAlertRules(const QList<ClubLogEntitySlotRule> &rules);
    // Grows whenever the rules in use are replaced.
    quint64 newSlotRulesGeneration() const { return m_newSlotRulesGeneration; }

    static constexpr std::chrono::seconds newSlotRefreshInterval{5400};

private:
    // Each memo also remembers the settings revision it was last confirmed at: while the store
    // has not changed since, the stored bytes are not even read.
    struct ListMemo {
        quint64 revision = 0;
        QByteArray stored;
        QByteArray legacy;
        std::shared_ptr<const AlertMatcher> matcher;
    };
    struct FlagsMemo {
        quint64 revision = 0;
        QByteArray stored;
        bool legacy = false;
        QList<bool> flags;
    };
    struct NewSlotMemo {
        quint64 revision = 0;
        QByteArray stored;
        NewSlotAlertConfiguration configuration;
    };

    AppSettingsStore &m_settings;
    mutable std::optional<ListMemo> m_listMemo;
    mutable std::optional<FlagsMemo> m_flagsMemo;
    mutable std::optional<NewSlotMemo> m_newSlotMemo;
    mutable std::optional<std::pair<quint64, bool>> m_newSlotEnabledMemo; // revision, value
    QList<ClubLogEntitySlotRule> m_newSlotRules;
    SlotRuleIndex m_newSlotRuleIndex;
    quint64 m_newSlotRulesGeneration = 0;
};

// Bytes known to be equal without comparing them when they share one buffer.
bool sameStoredBytes(const QByteArray &a, const QByteArray &b);

} // namespace varnello
