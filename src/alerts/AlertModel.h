#pragma once

#include <QHashFunctions>

#include "SpotType.h"

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>
#include <array>
#include <optional>

namespace varnello {

// A row colour of the spot table; components run from 0 to 1.
struct SpotAlertColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    bool operator==(const SpotAlertColor &) const = default;
};

enum class ClubLogWantedStatus { notWorked, notConfirmed };
// The position of a case is the mode digit of a chart request.
enum class ClubLogMode { mixed, cw, ssb, data };
enum class ClubLogBandGroup { allBands, hf, hfPlus6m, vhfUhf, microwave };
// "appleDefault" is the stored raw value of the system beep; it stays so stored alerts keep
// meaning.
enum class AlertSoundChoice { appleDefault, alert1, alert2 };
enum class AlertSoundFrequency { everySpot, everyFiveMinutes };

inline constexpr std::array allClubLogModes{ClubLogMode::mixed, ClubLogMode::cw, ClubLogMode::ssb,
                                            ClubLogMode::data};
inline constexpr std::array allClubLogBandGroups{
    ClubLogBandGroup::allBands, ClubLogBandGroup::hf, ClubLogBandGroup::hfPlus6m,
    ClubLogBandGroup::vhfUhf, ClubLogBandGroup::microwave};
inline constexpr std::array allAlertSoundChoices{
    AlertSoundChoice::appleDefault, AlertSoundChoice::alert1, AlertSoundChoice::alert2};

// Raw values as stored in the settings document (the case names).
QString toRaw(ClubLogWantedStatus value);
QString toRaw(ClubLogMode value);
QString toRaw(ClubLogBandGroup value);
QString toRaw(AlertSoundChoice value);
QString toRaw(AlertSoundFrequency value);
std::optional<ClubLogWantedStatus> clubLogWantedStatusFromRaw(const QString &raw);
std::optional<ClubLogMode> clubLogModeFromRaw(const QString &raw);
std::optional<ClubLogBandGroup> clubLogBandGroupFromRaw(const QString &raw);
std::optional<AlertSoundChoice> alertSoundChoiceFromRaw(const QString &raw);
std::optional<AlertSoundFrequency> alertSoundFrequencyFromRaw(const QString &raw);

// The spot type as the stored alert form writes it (its raw value); shaped for the decoders here.
QString alertSpotTypeRaw(SpotType type);
std::optional<SpotType> alertSpotTypeFromRaw(const QString &raw);

inline size_t qHash(ClubLogWantedStatus v, size_t seed = 0)
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(ClubLogMode v, size_t seed = 0)
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(ClubLogBandGroup v, size_t seed = 0)
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(AlertSoundChoice v, size_t seed = 0)
{
    return ::qHash(int(v), seed);
}
inline size_t qHash(AlertSoundFrequency v, size_t seed = 0)
{
    return ::qHash(int(v), seed);
}

// One band/mode slot, looked up by the pair (band, mode) of a spot.
struct ClubLogAlertSlot {
    QString band;
    SpotType mode = SpotType::unknown;
    bool operator==(const ClubLogAlertSlot &) const = default;
};

inline size_t qHash(const ClubLogAlertSlot &slot, size_t seed = 0)
{
    return qHashMulti(seed, slot.band, int(slot.mode));
}

// The needed slots of one DXCC entity.
struct ClubLogEntitySlotRule {
    int entityADIFNumber = 0;
    // "slots" in the stored form; the word itself is taken by Qt's moc keywords.
    QSet<ClubLogAlertSlot> slotSet;
    bool operator==(const ClubLogEntitySlotRule &) const = default;
};

// The Club Log part of an alert slot, written by "Populate from Club Log".
struct ClubLogAlertSettings {
    ClubLogWantedStatus wantedStatus = ClubLogWantedStatus::notWorked;
    QSet<ClubLogMode> modes;
    std::optional<QSet<ClubLogBandGroup>> bandGroups;
    std::optional<QSet<QString>> individualBands;
    QSet<int> entityFilterADIFNumbers;
    QList<ClubLogEntitySlotRule> entitySlotRules;
    bool operator==(const ClubLogAlertSettings &) const = default;
};

// One of the five alert slots (slot 4 is the Callsign Alert). The initialisers are the values a
// stored alert takes for a missing key.
struct SpotAlertConfiguration {
    QString name = QStringLiteral("Alert 1");
    QSet<int> selectedEntityADIFNumbers;
    QSet<QString> selectedCallsigns;
    QSet<QString> selectedBands;
    QSet<SpotType> selectedModes;
    bool highlightRows = true;
    SpotAlertColor highlightColor{1.0, 0.8, 0.0};
    bool playSound = false;
    AlertSoundChoice soundChoice = AlertSoundChoice::appleDefault;
    AlertSoundFrequency soundFrequency = AlertSoundFrequency::everyFiveMinutes;
    bool showNotification = false;
    std::optional<ClubLogAlertSettings> clubLogSettings;

    bool operator==(const SpotAlertConfiguration &) const = default;

    // A slot with nothing selected takes part in nothing, even when switched on.
    bool isConfigured() const;
};

// The sixteen bands a New Slot Alert watches unless the operator narrows them.
QSet<QString> defaultNewSlotBands();

// The one New Slot Alert; the initialisers are the New Slot defaults.
struct NewSlotAlertConfiguration {
    ClubLogWantedStatus wantedStatus = ClubLogWantedStatus::notWorked;
    QSet<ClubLogMode> modes{ClubLogMode::mixed};
    QSet<QString> bands = defaultNewSlotBands();
    bool highlightRows = true;
    SpotAlertColor highlightColor{0.95, 0.35, 0.65};
    bool playSound = false;
    AlertSoundChoice soundChoice = AlertSoundChoice::appleDefault;
    AlertSoundFrequency soundFrequency = AlertSoundFrequency::everyFiveMinutes;
    bool showNotification = false;
    std::optional<QDateTime> lastSuccessfulRefresh;
    // Only carried between the sheet and the save; the stored configuration never keeps rules.
    std::optional<QList<ClubLogEntitySlotRule>> entitySlotRules;
    std::optional<int> neededEntityCount;
    std::optional<int> neededSlotCount;

    bool operator==(const NewSlotAlertConfiguration &) const = default;
};

// Presents the alert editor; a fresh id for each opening gives a fresh sheet.
struct AlertEditorSession {
    int index = 0;
    QUuid id;
    SpotAlertConfiguration configuration;
    bool operator==(const AlertEditorSession &) const = default;
};

inline constexpr int alertSlotCount = 5;
inline constexpr int callsignAlertSlot = 4;

// The five slots as a fresh installation has them.
const QList<SpotAlertConfiguration> &defaultAlertConfigurations();

// The fallback name of a slot whose name is blank.
QString defaultAlertName(int slot);

} // namespace varnello
