// Reading the stored alert form, strictly.
#include "AlertCoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>
#include <limits>

namespace varnello::alertcoding {

namespace {

// Seconds between 1970-01-01 and 2001-01-01, both 00:00:00 UTC.
constexpr double referenceDateOffset = 978307200.0;
constexpr qint64 intMin = std::numeric_limits<int>::min();
constexpr qint64 intMax = std::numeric_limits<int>::max();

// --- decoding helpers: each returns false on the first wrong type ------------------------------

bool readInt(const QJsonValue &value, int &out)
{
    const auto number = strictInteger(value, intMin, intMax);
    if (!number)
        return false;
    out = int(*number);
    return true;
}

bool readBool(const QJsonValue &value, bool &out)
{
    if (!value.isBool())
        return false;
    out = value.toBool();
    return true;
}

bool readString(const QJsonValue &value, QString &out)
{
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool readDouble(const QJsonValue &value, double &out)
{
    if (!value.isDouble())
        return false;
    out = value.toDouble();
    return std::isfinite(out);
}

template <typename T, typename ReadOne>
bool readSet(const QJsonValue &value, QSet<T> &out, ReadOne readOne)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    QSet<T> result;
    result.reserve(array.size());
    for (const QJsonValue &element : array) {
        T item{};
        if (!readOne(element, item))
            return false;
        result.insert(item);
    }
    out = std::move(result);
    return true;
}

template <typename Enum> auto enumReader(std::optional<Enum> (*fromRaw)(const QString &))
{
    return [fromRaw](const QJsonValue &value, Enum &out) {
        if (!value.isString())
            return false;
        const auto parsed = fromRaw(value.toString());
        if (!parsed)
            return false;
        out = *parsed;
        return true;
    };
}

bool readColour(const QJsonValue &value, SpotAlertColor &out)
{
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    return readDouble(object.value(QLatin1String("red")), out.red) &&
           readDouble(object.value(QLatin1String("green")), out.green) &&
           readDouble(object.value(QLatin1String("blue")), out.blue);
}

bool readSlot(const QJsonValue &value, ClubLogAlertSlot &out)
{
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    return readString(object.value(QLatin1String("band")), out.band) &&
           enumReader(alertSpotTypeFromRaw)(object.value(QLatin1String("mode")), out.mode);
}

bool readRule(const QJsonValue &value, ClubLogEntitySlotRule &out)
{
    if (!value.isObject())
        return false;
    const QJsonObject object = value.toObject();
    return readInt(object.value(QLatin1String("entityADIFNumber")), out.entityADIFNumber) &&
           readSet(object.value(QLatin1String("slots")), out.slotSet, readSlot);
}

bool readRules(const QJsonValue &value, QList<ClubLogEntitySlotRule> &out)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    QList<ClubLogEntitySlotRule> rules;
    rules.reserve(array.size());
    for (const QJsonValue &element : array) {
        ClubLogEntitySlotRule rule;
        if (!readRule(element, rule))
            return false;
        rules.append(std::move(rule));
    }
    out = std::move(rules);
    return true;
}

// An optional key: absent or null leaves `out` untouched and succeeds.
template <typename T, typename ReadOne>
bool readOptional(const QJsonObject &object, const char *key, std::optional<T> &out,
                  ReadOne readOne)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    T item{};
    if (!readOne(value, item))
        return false;
    out = std::move(item);
    return true;
}

// A key with a default: absent or null keeps the default already in `out`.
template <typename T, typename ReadOne>
bool readDefaulted(const QJsonObject &object, const char *key, T &out, ReadOne readOne)
{
    const QJsonValue value = object.value(QLatin1String(key));
    if (value.isUndefined() || value.isNull())
        return true;
    return readOne(value, out);
}

bool readClubLogSettings(const QJsonValue &value, ClubLogAlertSettings &out)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    return enumReader(clubLogWantedStatusFromRaw)(o.value(QLatin1String("wantedStatus")),
                                                  out.wantedStatus) &&
           readSet(o.value(QLatin1String("modes")), out.modes, enumReader(clubLogModeFromRaw)) &&
           readOptional(o, "bandGroups", out.bandGroups,
                        [](const QJsonValue &v, QSet<ClubLogBandGroup> &s) {
                            return readSet(v, s, enumReader(clubLogBandGroupFromRaw));
                        }) &&
           readOptional(
               o, "individualBands", out.individualBands,
               [](const QJsonValue &v, QSet<QString> &s) { return readSet(v, s, readString); }) &&
           readSet(o.value(QLatin1String("entityFilterADIFNumbers")), out.entityFilterADIFNumbers,
                   readInt) &&
           readRules(o.value(QLatin1String("entitySlotRules")), out.entitySlotRules);
}

bool readConfiguration(const QJsonValue &value, SpotAlertConfiguration &out)
{
    if (!value.isObject())
        return false;
    const QJsonObject o = value.toObject();
    SpotAlertConfiguration c;
    const bool ok =
        readDefaulted(o, "name", c.name, readString) &&
        readDefaulted(o, "selectedEntityADIFNumbers", c.selectedEntityADIFNumbers,
                      [](const QJsonValue &v, QSet<int> &s) { return readSet(v, s, readInt); }) &&
        readDefaulted(
            o, "selectedCallsigns", c.selectedCallsigns,
            [](const QJsonValue &v, QSet<QString> &s) { return readSet(v, s, readString); }) &&
        readDefaulted(
            o, "selectedBands", c.selectedBands,
            [](const QJsonValue &v, QSet<QString> &s) { return readSet(v, s, readString); }) &&
        readDefaulted(o, "selectedModes", c.selectedModes,
                      [](const QJsonValue &v, QSet<SpotType> &s) {
                          return readSet(v, s, enumReader(alertSpotTypeFromRaw));
                      }) &&
        readDefaulted(o, "highlightRows", c.highlightRows, readBool) &&
        readDefaulted(o, "highlightColor", c.highlightColor, readColour) &&
        readDefaulted(o, "playSound", c.playSound, readBool) &&
        readDefaulted(o, "soundChoice", c.soundChoice, enumReader(alertSoundChoiceFromRaw)) &&
        readDefaulted(o, "soundFrequency", c.soundFrequency,
                      enumReader(alertSoundFrequencyFromRaw)) &&
        readDefaulted(o, "showNotification", c.showNotification, readBool) &&
        readOptional(o, "clubLogSettings", c.clubLogSettings, readClubLogSettings);
    if (!ok)
        return false;
    out = std::move(c);
    return true;
}

std::optional<QJsonDocument> parse(const QByteArray &bytes)
{
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return document;
}

} // namespace

std::optional<qint64> strictInteger(const QJsonValue &value, qint64 minimum, qint64 maximum)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!std::isfinite(number) || std::trunc(number) != number || number < double(minimum) ||
        number > double(maximum))
        return std::nullopt;
    // Whole numbers beyond 2^53 cannot be told apart from their neighbours; ask Qt for the exact
    // one.
    const qint64 exact = value.toInteger(qint64(number));
    if (exact < minimum || exact > maximum)
        return std::nullopt;
    return exact;
}

std::optional<QDateTime> decodeDate(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double seconds = value.toDouble();
    // QDateTime covers far more than this; the bound keeps the millisecond arithmetic exact.
    constexpr double limit = 1e14;
    if (!std::isfinite(seconds) || std::fabs(seconds) > limit)
        return std::nullopt;
    const double msecs = std::round((seconds + referenceDateOffset) * 1000.0);
    return QDateTime::fromMSecsSinceEpoch(qint64(msecs), Qt::UTC);
}

std::optional<SpotAlertConfiguration> decodeConfiguration(const QByteArray &bytes)
{
    const auto document = parse(bytes);
    if (!document || !document->isObject())
        return std::nullopt;
    SpotAlertConfiguration c;
    if (!readConfiguration(document->object(), c))
        return std::nullopt;
    return c;
}

std::optional<QList<SpotAlertConfiguration>> decodeConfigurationList(const QByteArray &bytes)
{
    const auto document = parse(bytes);
    if (!document || !document->isArray())
        return std::nullopt;
    QList<SpotAlertConfiguration> list;
    const QJsonArray array = document->array();
    list.reserve(array.size());
    for (const QJsonValue &element : array) {
        SpotAlertConfiguration c;
        if (!readConfiguration(element, c))
            return std::nullopt;
        list.append(std::move(c));
    }
    return list;
}

std::optional<NewSlotAlertConfiguration> decodeNewSlotConfiguration(const QByteArray &bytes)
{
    const auto document = parse(bytes);
    if (!document || !document->isObject())
        return std::nullopt;
    const QJsonObject o = document->object();
    NewSlotAlertConfiguration c;
    const bool ok =
        enumReader(clubLogWantedStatusFromRaw)(o.value(QLatin1String("wantedStatus")),
                                               c.wantedStatus) &&
        readSet(o.value(QLatin1String("modes")), c.modes, enumReader(clubLogModeFromRaw)) &&
        readSet(o.value(QLatin1String("bands")), c.bands, readString) &&
        readBool(o.value(QLatin1String("highlightRows")), c.highlightRows) &&
        readColour(o.value(QLatin1String("highlightColor")), c.highlightColor) &&
        readBool(o.value(QLatin1String("playSound")), c.playSound) &&
        enumReader(alertSoundChoiceFromRaw)(o.value(QLatin1String("soundChoice")), c.soundChoice) &&
        enumReader(alertSoundFrequencyFromRaw)(o.value(QLatin1String("soundFrequency")),
                                               c.soundFrequency) &&
        readBool(o.value(QLatin1String("showNotification")), c.showNotification) &&
        readOptional(o, "lastSuccessfulRefresh", c.lastSuccessfulRefresh,
                     [](const QJsonValue &v, QDateTime &d) {
                         const auto date = decodeDate(v);
                         if (date)
                             d = *date;
                         return date.has_value();
                     }) &&
        readOptional(o, "entitySlotRules", c.entitySlotRules, readRules) &&
        readOptional(o, "neededEntityCount", c.neededEntityCount, readInt) &&
        readOptional(o, "neededSlotCount", c.neededSlotCount, readInt);
    if (!ok)
        return std::nullopt;
    return c;
}

std::optional<QList<ClubLogEntitySlotRule>> decodeRuleList(const QByteArray &bytes)
{
    const auto document = parse(bytes);
    if (!document || !document->isArray())
        return std::nullopt;
    QList<ClubLogEntitySlotRule> rules;
    if (!readRules(document->array(), rules))
        return std::nullopt;
    return rules;
}

std::optional<QList<bool>> decodeFlags(const QByteArray &bytes)
{
    const auto document = parse(bytes);
    if (!document || !document->isArray())
        return std::nullopt;
    QList<bool> flags;
    for (const QJsonValue &element : document->array()) {
        bool flag = false;
        if (!readBool(element, flag))
            return std::nullopt;
        flags.append(flag);
    }
    return flags;
}

} // namespace varnello::alertcoding
