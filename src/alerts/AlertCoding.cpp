// Writing the stored alert form: deterministic bytes, never a null for a number.
#include "AlertCoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <algorithm>
#include <cmath>

namespace varnello::alertcoding {

namespace {

// Seconds between 1970-01-01 and 2001-01-01, both 00:00:00 UTC.
constexpr double referenceDateOffset = 978307200.0;

// --- encoding helpers: sets are sorted so equal values give equal bytes -----------------------

QJsonArray sortedInts(const QSet<int> &set)
{
    QList<int> values(set.begin(), set.end());
    std::sort(values.begin(), values.end());
    QJsonArray array;
    for (int v : values)
        array.append(v);
    return array;
}

QJsonArray sortedStrings(const QSet<QString> &set)
{
    QStringList values(set.begin(), set.end());
    std::sort(values.begin(), values.end());
    return QJsonArray::fromStringList(values);
}

template <typename Enum> QJsonArray sortedEnums(const QSet<Enum> &set, QString (*raw)(Enum))
{
    QList<Enum> values(set.begin(), set.end());
    std::sort(values.begin(), values.end(), [](Enum a, Enum b) { return int(a) < int(b); });
    QJsonArray array;
    for (Enum v : values)
        array.append(raw(v));
    return array;
}

std::optional<QJsonObject> writeColour(const SpotAlertColor &colour)
{
    if (!std::isfinite(colour.red) || !std::isfinite(colour.green) || !std::isfinite(colour.blue))
        return std::nullopt;
    return QJsonObject{{QLatin1String("red"), colour.red},
                       {QLatin1String("green"), colour.green},
                       {QLatin1String("blue"), colour.blue}};
}

QJsonArray writeRules(const QList<ClubLogEntitySlotRule> &rules)
{
    QJsonArray array;
    for (const ClubLogEntitySlotRule &rule : rules) {
        QList<ClubLogAlertSlot> slotList(rule.slotSet.begin(), rule.slotSet.end());
        std::sort(slotList.begin(), slotList.end(),
                  [](const ClubLogAlertSlot &a, const ClubLogAlertSlot &b) {
                      return a.band != b.band ? a.band < b.band : int(a.mode) < int(b.mode);
                  });
        QJsonArray slotArray;
        for (const ClubLogAlertSlot &slot : slotList)
            slotArray.append(QJsonObject{{QLatin1String("band"), slot.band},
                                         {QLatin1String("mode"), alertSpotTypeRaw(slot.mode)}});
        array.append(QJsonObject{{QLatin1String("entityADIFNumber"), rule.entityADIFNumber},
                                 {QLatin1String("slots"), slotArray}});
    }
    return array;
}

QJsonObject writeClubLogSettings(const ClubLogAlertSettings &s)
{
    QJsonObject o;
    o.insert(QLatin1String("wantedStatus"), toRaw(s.wantedStatus));
    o.insert(QLatin1String("modes"), sortedEnums<ClubLogMode>(s.modes, toRaw));
    if (s.bandGroups)
        o.insert(QLatin1String("bandGroups"), sortedEnums<ClubLogBandGroup>(*s.bandGroups, toRaw));
    if (s.individualBands)
        o.insert(QLatin1String("individualBands"), sortedStrings(*s.individualBands));
    o.insert(QLatin1String("entityFilterADIFNumbers"), sortedInts(s.entityFilterADIFNumbers));
    o.insert(QLatin1String("entitySlotRules"), writeRules(s.entitySlotRules));
    return o;
}

// The highlight, sound and notification choices that every kind of alert carries. False when the
// colour cannot be written (a non-finite component).
template <typename Alert> bool writeActions(QJsonObject &o, const Alert &c)
{
    const auto colour = writeColour(c.highlightColor);
    if (!colour)
        return false;
    o.insert(QLatin1String("highlightRows"), c.highlightRows);
    o.insert(QLatin1String("highlightColor"), *colour);
    o.insert(QLatin1String("playSound"), c.playSound);
    o.insert(QLatin1String("soundChoice"), toRaw(c.soundChoice));
    o.insert(QLatin1String("soundFrequency"), toRaw(c.soundFrequency));
    o.insert(QLatin1String("showNotification"), c.showNotification);
    return true;
}

std::optional<QJsonObject> writeConfiguration(const SpotAlertConfiguration &c)
{
    QJsonObject o;
    o.insert(QLatin1String("name"), c.name);
    o.insert(QLatin1String("selectedEntityADIFNumbers"), sortedInts(c.selectedEntityADIFNumbers));
    o.insert(QLatin1String("selectedCallsigns"), sortedStrings(c.selectedCallsigns));
    o.insert(QLatin1String("selectedBands"), sortedStrings(c.selectedBands));
    o.insert(QLatin1String("selectedModes"),
             sortedEnums<SpotType>(c.selectedModes, alertSpotTypeRaw));
    if (!writeActions(o, c))
        return std::nullopt;
    if (c.clubLogSettings)
        o.insert(QLatin1String("clubLogSettings"), writeClubLogSettings(*c.clubLogSettings));
    return o;
}

QByteArray bytesOf(const QJsonArray &array)
{
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}
QByteArray bytesOf(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

std::optional<double> encodeDate(const QDateTime &date)
{
    if (!date.isValid())
        return std::nullopt;
    const double seconds = double(date.toMSecsSinceEpoch()) / 1000.0 - referenceDateOffset;
    if (!std::isfinite(seconds))
        return std::nullopt;
    return seconds;
}

std::optional<QByteArray> encode(const SpotAlertConfiguration &value)
{
    const auto object = writeConfiguration(value);
    if (!object)
        return std::nullopt;
    return bytesOf(*object);
}

std::optional<QByteArray> encode(const QList<SpotAlertConfiguration> &value)
{
    QJsonArray array;
    for (const SpotAlertConfiguration &c : value) {
        const auto object = writeConfiguration(c);
        if (!object)
            return std::nullopt;
        array.append(*object);
    }
    return bytesOf(array);
}

std::optional<QByteArray> encode(const NewSlotAlertConfiguration &c)
{
    QJsonObject o;
    o.insert(QLatin1String("wantedStatus"), toRaw(c.wantedStatus));
    o.insert(QLatin1String("modes"), sortedEnums<ClubLogMode>(c.modes, toRaw));
    o.insert(QLatin1String("bands"), sortedStrings(c.bands));
    if (!writeActions(o, c))
        return std::nullopt;
    if (c.lastSuccessfulRefresh) {
        const auto seconds = encodeDate(*c.lastSuccessfulRefresh);
        if (!seconds)
            return std::nullopt;
        o.insert(QLatin1String("lastSuccessfulRefresh"), *seconds);
    }
    if (c.entitySlotRules)
        o.insert(QLatin1String("entitySlotRules"), writeRules(*c.entitySlotRules));
    if (c.neededEntityCount)
        o.insert(QLatin1String("neededEntityCount"), *c.neededEntityCount);
    if (c.neededSlotCount)
        o.insert(QLatin1String("neededSlotCount"), *c.neededSlotCount);
    return bytesOf(o);
}

std::optional<QByteArray> encode(const QList<ClubLogEntitySlotRule> &value)
{
    return bytesOf(writeRules(value));
}

std::optional<QByteArray> encodeFlags(const QList<bool> &value)
{
    QJsonArray array;
    for (bool flag : value)
        array.append(flag);
    return bytesOf(array);
}

} // namespace varnello::alertcoding
