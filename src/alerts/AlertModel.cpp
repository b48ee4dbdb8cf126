#include "AlertModel.h"

namespace varnello {

namespace {

template <typename Enum, size_t N>
std::optional<Enum> fromRawTable(const std::array<std::pair<Enum, const char *>, N> &table,
                                 const QString &raw)
{
    for (const auto &[value, text] : table) {
        if (raw == QLatin1String(text))
            return value;
    }
    return std::nullopt;
}

template <typename Enum, size_t N>
QString toRawTable(const std::array<std::pair<Enum, const char *>, N> &table, Enum value)
{
    for (const auto &[candidate, text] : table) {
        if (candidate == value)
            return QString::fromLatin1(text);
    }
    return {};
}

constexpr std::array<std::pair<ClubLogWantedStatus, const char *>, 2> wantedStatusTable{{
    {ClubLogWantedStatus::notWorked, "notWorked"},
    {ClubLogWantedStatus::notConfirmed, "notConfirmed"},
}};
constexpr std::array<std::pair<ClubLogMode, const char *>, 4> modeTable{{
    {ClubLogMode::mixed, "mixed"},
    {ClubLogMode::cw, "cw"},
    {ClubLogMode::ssb, "ssb"},
    {ClubLogMode::data, "data"},
}};
constexpr std::array<std::pair<ClubLogBandGroup, const char *>, 5> bandGroupTable{{
    {ClubLogBandGroup::allBands, "allBands"},
    {ClubLogBandGroup::hf, "hf"},
    {ClubLogBandGroup::hfPlus6m, "hfPlus6m"},
    {ClubLogBandGroup::vhfUhf, "vhfUhf"},
    {ClubLogBandGroup::microwave, "microwave"},
}};
constexpr std::array<std::pair<AlertSoundChoice, const char *>, 3> soundChoiceTable{{
    {AlertSoundChoice::appleDefault, "appleDefault"},
    {AlertSoundChoice::alert1, "alert1"},
    {AlertSoundChoice::alert2, "alert2"},
}};
constexpr std::array<std::pair<AlertSoundFrequency, const char *>, 2> soundFrequencyTable{{
    {AlertSoundFrequency::everySpot, "everySpot"},
    {AlertSoundFrequency::everyFiveMinutes, "everyFiveMinutes"},
}};

} // namespace

QString toRaw(ClubLogWantedStatus value)
{
    return toRawTable(wantedStatusTable, value);
}
QString toRaw(ClubLogMode value)
{
    return toRawTable(modeTable, value);
}
QString toRaw(ClubLogBandGroup value)
{
    return toRawTable(bandGroupTable, value);
}
QString toRaw(AlertSoundChoice value)
{
    return toRawTable(soundChoiceTable, value);
}
QString toRaw(AlertSoundFrequency value)
{
    return toRawTable(soundFrequencyTable, value);
}

std::optional<ClubLogWantedStatus> clubLogWantedStatusFromRaw(const QString &raw)
{
    return fromRawTable(wantedStatusTable, raw);
}
std::optional<ClubLogMode> clubLogModeFromRaw(const QString &raw)
{
    return fromRawTable(modeTable, raw);
}
std::optional<ClubLogBandGroup> clubLogBandGroupFromRaw(const QString &raw)
{
    return fromRawTable(bandGroupTable, raw);
}
std::optional<AlertSoundChoice> alertSoundChoiceFromRaw(const QString &raw)
{
    return fromRawTable(soundChoiceTable, raw);
}
std::optional<AlertSoundFrequency> alertSoundFrequencyFromRaw(const QString &raw)
{
    return fromRawTable(soundFrequencyTable, raw);
}
QString alertSpotTypeRaw(SpotType type)
{
    return toRaw(type);
}
std::optional<SpotType> alertSpotTypeFromRaw(const QString &raw)
{
    return spotTypeFromRaw(raw);
}

bool SpotAlertConfiguration::isConfigured() const
{
    return !selectedEntityADIFNumbers.isEmpty() || !selectedCallsigns.isEmpty() ||
           !selectedBands.isEmpty() || !selectedModes.isEmpty() ||
           (clubLogSettings && !clubLogSettings->entityFilterADIFNumbers.isEmpty());
}

QSet<QString> defaultNewSlotBands()
{
    static const QSet<QString> bands{
        QStringLiteral("160m"), QStringLiteral("80m"),  QStringLiteral("60m"),
        QStringLiteral("40m"),  QStringLiteral("30m"),  QStringLiteral("20m"),
        QStringLiteral("17m"),  QStringLiteral("15m"),  QStringLiteral("12m"),
        QStringLiteral("10m"),  QStringLiteral("6m"),   QStringLiteral("4m"),
        QStringLiteral("2m"),   QStringLiteral("70cm"), QStringLiteral("23cm"),
        QStringLiteral("13cm"),
    };
    return bands;
}

QString defaultAlertName(int slot)
{
    if (slot == callsignAlertSlot)
        return QStringLiteral("Callsign Alert");
    return QStringLiteral("Alert %1").arg(slot + 1);
}

const QList<SpotAlertConfiguration> &defaultAlertConfigurations()
{
    static const QList<SpotAlertConfiguration> defaults = [] {
        const std::array<SpotAlertColor, alertSlotCount> colours{{
            {1.0, 0.8, 0.0},
            {0.35, 0.8, 0.45},
            {0.35, 0.65, 1.0},
            {1.0, 0.55, 0.3},
            {0.75, 0.45, 0.95},
        }};
        QList<SpotAlertConfiguration> list;
        for (int slot = 0; slot < alertSlotCount; ++slot) {
            SpotAlertConfiguration configuration;
            configuration.name = defaultAlertName(slot);
            configuration.highlightColor = colours[size_t(slot)];
            list.append(configuration);
        }
        return list;
    }();
    return defaults;
}

} // namespace varnello
